"""What a new user meets first: nodes as containers (iteration, len, indexing, == and hash on the
node), help that says what each member returns and when it raises, and errors that name what
went wrong."""

import unittest

import quorvelxml
from support import ReleaseCheck, new_handle

CATALOG = ("<catalog><book id='b1'><title>Rain</title></book><book id='b2'><title>Snow</title></book>"
           "<book id='b3'><title>Sun</title></book></catalog>")


class NodeContainerTest(ReleaseCheck):
    def test_children_as_a_sequence_and_handles_equal_by_node(self):
        doc = new_handle()
        doc.LoadXml(CATALOG)
        ids = [book.GetAttrValue("id") for book in doc]
        self.assertEqual(ids, ["b1", "b2", "b3"])
        self.assertEqual((len(doc), len(doc[0][0])), (3, 0))
        self.assertTrue(doc[0][0], "a node without children is still true")
        self.assertEqual([doc[i].GetAttrValue("id") for i in (0, 2, -1, -3)], ["b1", "b3", "b3", "b1"])
        self.assertEqual([b.GetAttrValue("id") for b in doc[1:]], ["b2", "b3"])
        self.assertEqual([b.GetAttrValue("id") for b in doc[::-2]], ["b3", "b1"])
        for bad in (3, -4, 2 ** 40):
            with self.assertRaises(IndexError):
                doc[bad]
        with self.assertRaises(TypeError):
            doc["b1"]

        # Distinct handle objects on one node are equal and hash alike; other nodes are not.
        first, again = doc.GetChild(0), doc.FirstChild()
        self.assertIsNot(first, again)
        self.assertTrue(first == again and not first != again)
        self.assertEqual(hash(first), hash(again))
        self.assertEqual(len({first, again, doc[0], doc[1]}), 2)
        self.assertNotEqual(first, doc[1])
        self.assertIn(doc[1], doc)
        self.assertNotIn(doc, doc)
        self.assertEqual(first.GetRoot(), doc)
        self.assertFalse(first == "b1")
        # A handle moved with a member ending in 2 equals the node it moved to.
        walker = doc.GetChild(0)
        walker.NextSibling2()
        self.assertEqual(walker, doc[1])
        # A detached node is not in its old parent any more.
        gone = doc.ExtractChildByIndex(0)
        self.assertNotIn(gone, doc)
        self.assertEqual(len(doc), 2)

        # Every node handle is a quorvelxml.QuorvelXml; other automation objects are not.
        factory = quorvelxml.Dispatch("QuorvelXml.XmlFactory")
        self.assertTrue(all(isinstance(n, quorvelxml.QuorvelXml) for n in (doc, first, quorvelxml.QuorvelXml())))
        self.assertFalse(isinstance(factory, quorvelxml.QuorvelXml) or isinstance("x", quorvelxml.QuorvelXml))
        with self.assertRaises(TypeError):
            len(factory)
        self.assertEqual(quorvelxml.QuorvelXml().Tag, "unnamed")
        del doc, first, again, walker, gone, factory


class HelpTest(ReleaseCheck):
    def test_every_member_has_help_and_results_say_when_they_are_none(self):
        docs = quorvelxml._member_docs()
        names = {m[0] for m in quorvelxml._member_table()}
        self.assertEqual(names - set(docs), set())
        x = new_handle()
        self.assertEqual(x.GetChild.__doc__.splitlines()[:3], [
            "GetChild(index: int) -> QuorvelXml", "",
            "A new handle on child index (0-based). Raises ComError when index is out of range; never None."])
        self.assertEqual(x.FirstChild.__doc__.splitlines()[0], "FirstChild() -> QuorvelXml | None")
        self.assertIn("NOT detected", x.DecryptNode.__doc__)
        for text in ("breadth-first", "only * is special", "repairs rather than rejects", "return None",
                     "no\nintegrity check"):
            self.assertIn(text, quorvelxml.__doc__)
        self.assertIn("SearchForTag(after, Tag) -> QuorvelXml | None", quorvelxml.QuorvelXml.__doc__)
        del x


class ErrorTextTest(ReleaseCheck):
    def test_errors_name_what_went_wrong(self):
        x = new_handle()
        # The summary stays as the component logs it; the exception's text adds what (5) means.
        e = self.com_error(lambda: x.LoadXml("not xml"))
        self.assertEqual(e.description, "(LoadXml)\nFailed to parse XML data (5)")
        self.assertEqual(str(e).splitlines()[:2], ["(LoadXml)", "Failed to parse XML data (5)"])
        self.assertIn("holds no element at all", str(e))
        # Repaired input loads; the log says what the parser noticed.
        self.assertEqual(x.LoadXml("<a><b></c x</a>"), 1)
        self.assertIn("Error in closing tag", x.ErrorLogText)

        # Refused arguments name the member and its parameters, early-bound or by name.
        for call, hresult, text in [
            (lambda: x.GetChild(1, 2), 0x8002000E, "GetChild(index: int) takes 1 argument, 2 given: called with (int, int)"),
            (lambda: x.GetChild(), 0x8002000E, "GetChild(index: int) takes 1 argument, 0 given"),
            (lambda: x.GetChild("x"), 0x80020005, "GetChild(index: int): an argument does not convert"),
            (lambda: x.AddAttribute("a", "b", "c"), 0x8002000E,
             "AddAttribute(name: str, value: str) takes 2 arguments, 3 given"),
            (lambda: setattr(x, "Cdata", "yes"), 0x80020005,
             "Cdata(newVal: int): an argument does not convert to its parameter's type; called with (str)"),
        ]:
            e = self.com_error(call)
            self.assertEqual(hex(e.hresult), hex(hresult))
            self.assertTrue(e.description.startswith(text), e.description)

        # A wrong password is not detected by decryption; a compressed payload then fails to
        # inflate, and the exception says the password may be wrong.
        node = x.NewChild("secret", "")
        node.SetBinaryContent(1, 1, "right", b"payload " * 20)
        self.assertEqual(node.GetBinaryContent(1, 1, "right"), b"payload " * 20)
        e = self.com_error(lambda: node.GetBinaryContent(1, 1, "wrong"))
        self.assertRegex(e.description, "^\\(GetBinaryContent\\)\\nFailed (append compressed data|to unzip data)$")
        self.assertNotIn("password", e.description)
        self.assertIn("the password or the data may be wrong", str(e))
        plain = x.NewChild("plain", "text")
        plain.EncryptNode("right")
        plain.DecryptNode("wrong")  # succeeds: there is nothing to tell it by
        self.assertNotEqual(plain.Content, "text")
        del x, node, plain


if __name__ == "__main__":
    unittest.main()

"""The Python host reaching the node handle by name: creation, properties, methods, errors and the
release of every reference."""

import os
import tempfile
import threading
import unittest

import quorvelxml
from support import ReleaseCheck, new_handle

E_FAIL = 0x80004005
CO_E_CLASSSTRING = 0x800401F3
DISP_E_UNKNOWNNAME = 0x80020006

CLSID_QUORVELXML = "{0401FBD5-7529-4F1C-A4A9-BC7CE05B4935}"


class CreationTest(ReleaseCheck):
    def test_names_that_create_a_handle(self):
        for name in ("QuorvelXml.QuorvelXml", "QuorvelXml.QuorvelXml.1", CLSID_QUORVELXML):
            with self.subTest(name=name):
                self.assertEqual(quorvelxml.Dispatch(name).Version, "4.0.2")
        x = quorvelxml.Dispatch("QuorvelXml.XmlFactory").NewXml()
        self.assertIsInstance(x, quorvelxml.DispatchObject)
        self.assertEqual((x.Tag, x.NumChildren), ("unnamed", 0))
        self.assertEqual(self.com_error(lambda: quorvelxml.Dispatch("QuorvelXml.Nothing")).hresult, CO_E_CLASSSTRING)


class PropertyTest(ReleaseCheck):
    def test_new_handle(self):
        x = new_handle()
        self.assertEqual((x.Version, x.Tag, x.NumChildren, x.Cdata, x.ErrorLogXml), ("4.0.2", "unnamed", 0, 0, ""))
        self.assertGreaterEqual(x.TreeId, 100)
        self.assertNotEqual(x.TreeId, new_handle().TreeId)

    def test_writes_read_back_under_any_case(self):
        x = new_handle()
        for name, value, expected in [("Tag", "record", "record"), ("Content", "déjà vu 😀 ∑", "déjà vu 😀 ∑"),
                                      ("Cdata", 5, 1)]:
            with self.subTest(name=name, value=value):
                setattr(x, name, value)
                self.assertEqual(getattr(x, name), expected)
        x.tAg = "mixed"
        self.assertEqual((x.TAG, x.tag), ("mixed", "mixed"))
        with self.assertRaises(AttributeError):
            x.NoSuchMember
        with self.assertRaises(AttributeError):
            x.Version = "5"  # read-only


class MethodTest(ReleaseCheck):
    def test_positional_and_keyword_arguments(self):
        x = new_handle()
        with tempfile.TemporaryDirectory() as directory:
            for keyword, name in (("fileName", "a.xml"), ("FILENAME", "b.xml")):
                path = os.path.join(directory, name)
                x.SaveXmlLog(**{keyword: path})
                self.assertTrue(os.path.exists(path), keyword)
            x.savexmllog(os.path.join(directory, "c.xml"))
            self.assertTrue(os.path.exists(os.path.join(directory, "c.xml")))
        self.assertEqual(self.com_error(lambda: x.SaveXmlLog(path="x.xml")).hresult, DISP_E_UNKNOWNNAME)
        error = self.com_error(lambda: x.SaveXmlLog(None))
        self.assertEqual((error.hresult, error.description), (E_FAIL, "(SaveXmlLog)\nParameter is NULL"))

    def test_variant_parameter_takes_bytes(self):
        x = new_handle()
        self.assertEqual(x.LoadXmlV("<a>caf\u00e9</a>".encode("utf-8")), 1)
        self.assertEqual((x.Tag, x.Content), ("a", "caf\u00e9"))

    def test_dir_lists_the_members(self):
        names = set(dir(new_handle()))
        for member in ("Version", "Tag", "TreeId", "GetChild", "SortRecordsByAttribute", "NewChild2"):
            self.assertIn(member, names)
        self.assertEqual(len([n for n in names if not n.startswith("_")]), 81)


class ReleaseTest(ReleaseCheck):
    def test_threads_on_separate_handles(self):
        finished = []  # a thread that raised leaves no entry

        def work(n):
            x = new_handle()
            tags = ["t%d_%d" % (n, i) for i in range(2000)]
            for tag in tags:
                x.Tag = tag
                if x.Tag != tag:
                    return
            finished.append(n)

        threads = [threading.Thread(target=work, args=(n,)) for n in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(sorted(finished), [0, 1, 2, 3])


if __name__ == "__main__":
    unittest.main()

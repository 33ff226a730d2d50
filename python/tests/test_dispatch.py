"""The Python host reaching the node handle by name: creation, properties, methods, conversions,
errors and the release of every reference."""

import os
import tempfile
import threading
import unittest

import quorvelxml
from support import ReleaseCheck, new_handle

E_NOTIMPL = 0x80004001
E_FAIL = 0x80004005
CO_E_CLASSSTRING = 0x800401F3
DISP_E_TYPEMISMATCH = 0x80020005
DISP_E_UNKNOWNNAME = 0x80020006
DISP_E_BADPARAMCOUNT = 0x8002000E

CLSID_QUORVELXML = "{0401FBD5-7529-4F1C-A4A9-BC7CE05B4935}"


class CreationTest(ReleaseCheck):
    def test_names_that_create_a_handle(self):
        for name in ("QuorvelXml.QuorvelXml", "QuorvelXml.QuorvelXml.1", "quorvelxml.QUORVELXML",
                     CLSID_QUORVELXML, CLSID_QUORVELXML.lower()):
            with self.subTest(name=name):
                x = quorvelxml.Dispatch(name)
                self.assertEqual(x.Version, "4.0.2")
                self.assertIn("IQuorvelXml", repr(x))

    def test_factory_makes_handles(self):
        for name in ("QuorvelXml.XmlFactory", "QuorvelXml.XmlFactory.1"):
            factory = quorvelxml.Dispatch(name)
            x = factory.NewXml()
            self.assertIsInstance(x, quorvelxml.DispatchObject)
            self.assertEqual((x.Tag, x.NumChildren), ("unnamed", 0))
        self.assertIn("NewXml", dir(factory))

    def test_unknown_names_fail(self):
        self.assertEqual(self.com_error(lambda: quorvelxml.Dispatch("QuorvelXml.Nothing")).hresult, CO_E_CLASSSTRING)
        with self.assertRaises(TypeError):
            quorvelxml.Dispatch(42)

    def test_dispatch_of_a_dispatch_object_is_itself(self):
        x = new_handle()
        self.assertIs(quorvelxml.Dispatch(x), x)


class PropertyTest(ReleaseCheck):
    def test_new_handle(self):
        x = new_handle()
        self.assertEqual(x.Version, "4.0.2")
        self.assertEqual(x.Tag, "unnamed")
        self.assertEqual(x.Content, "")
        self.assertEqual((x.NumChildren, x.NumAttributes, x.Cdata), (0, 0, 0))
        self.assertIsInstance(x.TreeId, int)
        self.assertGreaterEqual(x.TreeId, 100)
        self.assertEqual(x.ErrorLogXml, "")
        self.assertNotEqual(x.TreeId, new_handle().TreeId)

    def test_writes_read_back(self):
        x = new_handle()
        cases = [("Tag", "record", "record"), ("Content", "déjà vu 😀 ∑", "déjà vu 😀 ∑"), ("Cdata", 5, 1),
                 ("Cdata", True, 1)]
        for name, value, expected in cases:
            with self.subTest(name=name, value=value):
                setattr(x, name, value)
                self.assertEqual(getattr(x, name), expected)

    def test_names_match_without_case(self):
        x = new_handle()
        x.tAg = "mixed"
        self.assertEqual((x.TAG, x.tag, x.Tag), ("mixed", "mixed", "mixed"))
        self.assertEqual(x.version, "4.0.2")
        x.CDATA = 1
        self.assertEqual(x.cdata, 1)

    def test_none_is_the_absent_string(self):
        x = new_handle()
        x.Tag = None
        self.assertEqual(x.Tag, "")
        x.Content = "kept"
        x.Content = None
        self.assertEqual(x.Content, "")
        # A member that tells the absent string from the empty one.
        error = self.com_error(lambda: x.SaveXmlLog(None))
        self.assertEqual((error.hresult, error.description), (E_FAIL, "(SaveXmlLog)\nParameter is NULL"))

    def test_wrong_attribute_use(self):
        x = new_handle()
        with self.assertRaises(AttributeError):
            x.NoSuchMember
        self.assertFalse(hasattr(x, "NoSuchMember"))
        with self.assertRaises(AttributeError):
            x.NoSuchMember = 1
        with self.assertRaises(AttributeError):
            x.Version = "5"  # read-only
        with self.assertRaises(AttributeError):
            x.GetChild = 1  # a method
        with self.assertRaises(AttributeError):
            x.__length_hint__  # special names never go to the object
        self.assertEqual(x.Version, "4.0.2")

    def test_values_that_do_not_fit(self):
        x = new_handle()
        with self.assertRaises(OverflowError):
            x.Cdata = 2 ** 31
        with self.assertRaises(TypeError):
            x.Tag = object()
        self.assertEqual(self.com_error(lambda: setattr(x, "Cdata", "not a number")).hresult, DISP_E_TYPEMISMATCH)
        x.Cdata = "7"  # coerced by the component
        self.assertEqual(x.Cdata, 1)
        x.Tag = 12
        self.assertEqual(x.Tag, "12")


class MethodTest(ReleaseCheck):
    def test_member_of_a_later_issue_fails_not_implemented(self):
        x = new_handle()
        for call in (lambda: x.CompressNode(), lambda: x.EncryptNode("secret"), lambda: x.DecodeContent(),
                     lambda: x.GetURL("http://127.0.0.1/", None, None, None), lambda: x.HttpPost(url="x")):
            error = self.com_error(call)
            self.assertEqual(error.hresult, E_NOTIMPL)
            self.assertEqual(error.source, "QuorvelXml.QuorvelXml")
            self.assertIn("Not implemented", error.description)
            self.assertEqual(str(error), error.description)

    def test_keyword_arguments(self):
        x = new_handle()
        with tempfile.TemporaryDirectory() as directory:
            for keyword, name in (("fileName", "a.xml"), ("FILENAME", "b.xml"), ("filename", "c.xml")):
                path = os.path.join(directory, name)
                x.SaveXmlLog(**{keyword: path})
                self.assertTrue(os.path.exists(path), keyword)
            x.savexmllog(os.path.join(directory, "d.xml"))
            self.assertTrue(os.path.exists(os.path.join(directory, "d.xml")))
        error = self.com_error(lambda: x.SaveXmlLog(path="x.xml"))
        self.assertEqual(error.hresult, DISP_E_UNKNOWNNAME)
        self.assertIn("path", str(error))
        self.assertEqual(self.com_error(lambda: x.GetChild(index=0)).description,
                         "(GetChild)\nNo child at this index\nindex: 0")

    def test_argument_count_is_checked_by_the_object(self):
        x = new_handle()
        for call in (lambda: x.SaveXmlLog(), lambda: x.SaveXmlLog("a", "b"), lambda: x.ErrorLogClear(1)):
            self.assertEqual(self.com_error(call).hresult, DISP_E_BADPARAMCOUNT)

    def test_method_objects(self):
        x = new_handle()
        method = x.ErrorLogClear
        self.assertIsInstance(method, quorvelxml.DispatchMethod)
        self.assertIn("ErrorLogClear", repr(method))
        del x
        self.assertIsNone(method())  # the method keeps its object alive


class DirTest(ReleaseCheck):
    def test_members_from_the_type_information(self):
        names = set(dir(new_handle()))
        for member in ("Version", "Tag", "Content", "Cdata", "TreeId", "GetChild", "LoadXmlV", "SortRecordsByAttribute",
                       "ErrorLogText", "NewChild2", "GetBinaryContent"):
            self.assertIn(member, names)
        self.assertEqual(len([n for n in names if not n.startswith("_")]), 81)


class ReleaseTest(ReleaseCheck):
    def test_references_go_with_the_python_objects(self):
        handles = [new_handle() for _ in range(1000)]
        self.assertEqual(quorvelxml._interface_count(), 1000)
        self.assertFalse(quorvelxml._can_unload_now())
        ids = {h.TreeId for h in handles}
        self.assertEqual(len(ids), 1000)
        del handles[::2]
        self.assertEqual(quorvelxml._interface_count(), 500)
        handles.clear()
        self.assertEqual(quorvelxml._interface_count(), 0)

    def test_threads_on_separate_handles(self):
        failures = []

        def work(n):
            try:
                x = new_handle()
                for i in range(2000):
                    x.Tag = "t%d_%d" % (n, i)
                    if x.Tag != "t%d_%d" % (n, i):
                        failures.append(n)
            except Exception as error:  # reported below
                failures.append(error)

        threads = [threading.Thread(target=work, args=(n,)) for n in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(failures, [])


if __name__ == "__main__":
    unittest.main()

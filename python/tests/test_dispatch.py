"""The Python host reaching the node handle by name: creation, properties, methods, errors and the
release of every reference."""

import os
import tempfile
import unittest

import quorvelxml
from support import ReleaseCheck, new_handle

E_FAIL = 0x80004005
CO_E_CLASSSTRING = 0x800401F3
DISP_E_UNKNOWNNAME = 0x80020006

CLSID_QUORVELXML = "{0401FBD5-7529-4F1C-A4A9-BC7CE05B4935}"


class LateBoundTest(ReleaseCheck):
    def test_names_that_create_a_handle(self):
        for name in ("QuorvelXml.QuorvelXml", "QuorvelXml.QuorvelXml.1", CLSID_QUORVELXML):
            with self.subTest(name=name):
                self.assertEqual(quorvelxml.Dispatch(name).Version, "4.0.2")
        x = quorvelxml.Dispatch("QuorvelXml.XmlFactory").newxml()  # by name, in any case
        self.assertIsInstance(x, quorvelxml.DispatchObject)
        # Results of each type arrive as their Python type.
        self.assertEqual((x.Tag, x.NumChildren, x.ErrorLogXml), ("unnamed", 0, ""))
        self.assertEqual(self.com_error(lambda: quorvelxml.Dispatch("QuorvelXml.Nothing")).hresult, CO_E_CLASSSTRING)

    def test_writes_read_back_under_any_case(self):
        x = new_handle()
        x.Content = "déjà vu 😀 ∑"
        self.assertEqual(x.Content, "déjà vu 😀 ∑")
        x.tAg = "mixed"
        self.assertEqual((x.TAG, x.tag), ("mixed", "mixed"))
        with self.assertRaises(AttributeError):
            x.NoSuchMember
        with self.assertRaises(AttributeError):
            x.Version = "5"  # read-only

    def test_positional_and_keyword_arguments(self):
        x = new_handle()
        with tempfile.TemporaryDirectory() as directory:
            for call, name in ((lambda p: x.SaveXmlLog(FILENAME=p), "a.xml"), (x.savexmllog, "b.xml")):
                path = os.path.join(directory, name)
                call(path)
                self.assertTrue(os.path.exists(path), name)
        self.assertEqual(self.com_error(lambda: x.SaveXmlLog(path="x.xml")).hresult, DISP_E_UNKNOWNNAME)
        error = self.com_error(lambda: x.SaveXmlLog(None))
        self.assertEqual((error.hresult, error.description), (E_FAIL, "(SaveXmlLog)\nParameter is NULL"))

    def test_dir_lists_the_members(self):
        names = set(dir(new_handle()))
        # IQuorvelXml's members and those IQuorvelXml2 adds, read from its type information and its base's.
        for member in ("Version", "Tag", "TreeId", "GetChild", "SortRecordsByAttribute", "NewChild2", "SelectNodes",
                       "NamespaceUri", "RecordSizeLimit", "GetRecordAncestor"):
            self.assertIn(member, names)
        for member in ("GetTagUtf8", "OpenRecordStream"):  # reached only through the virtual table
            self.assertNotIn(member, names)
        self.assertEqual(len([n for n in names if not n.startswith("_")]), 81 + 18)


if __name__ == "__main__":
    unittest.main()

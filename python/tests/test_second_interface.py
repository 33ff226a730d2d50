"""IQuorvelXml2's members from Python: in the member table with their types, reached through the
virtual table and by name alike, with the same outcome either way."""

import unittest

import quorvelxml
from support import ReleaseCheck, new_handle

DISP_E_BADPARAMCOUNT = 0x8002000E

# As hosts were promised them: name, kind, parameters, result type.
PROMISED = [
    ("SelectNodes", "method", [("xpath", "str")], "nodes"),
    ("SelectSingleNode", "method", [("xpath", "str")], "handle"),
    ("SelectValues", "method", [("xpath", "str")], "strings"),
    ("EvaluateXPath", "method", [("xpath", "str")], "scalar"),
    ("SetXPathNamespace", "method", [("prefix", "str"), ("uri", "str")], "none"),
    ("SetXPathVariable", "method", [("name", "str"), ("value", "variant")], "none"),
    ("NamespaceUri", "get", [], "str"),
    ("LocalName", "get", [], "str"),
    ("Prefix", "get", [], "str"),
    ("LookupNamespace", "method", [("prefix", "str")], "str"),
    ("GetXmlIndented", "method", [("indent", "str")], "str"),
    ("SaveXmlIndented", "method", [("fileName", "str"), ("indent", "str")], "none"),
    ("OpenRecords", "method", [("source", "str"), ("recordPath", "str")], "none"),
    ("OpenRecordRange", "method",
     [("fileName", "str"), ("recordPath", "str"), ("start", "variant"), ("end", "variant")], "none"),
    ("NextRecord", "method", [], "handle"),
    ("RecordSizeLimit", "get", [], "int"),
    ("RecordSizeLimit", "put", [("newVal", "int")], "none"),
    ("RecordPath", "get", [], "str"),
    ("GetRecordAncestor", "method", [("level", "int")], "handle"),
]

# Arguments that every member takes, whatever it then makes of them.
ARGUMENTS = {"str": "/r/*", "int": 0, "variant": None}
DOC = "<r xmlns:p='urn:p'><p:a k='1'>x</p:a><b>y</b></r>"


def describe(value):
    if isinstance(value, quorvelxml.DispatchObject):
        return ("handle", value.Tag, value.GetXml())
    if isinstance(value, list):
        return [describe(v) for v in value]
    return value


class SecondInterfaceTest(ReleaseCheck):
    def tearDown(self):
        quorvelxml._set_early_binding(True)
        super().tearDown()

    def test_the_member_table_holds_what_was_promised(self):
        table = quorvelxml._member_table()
        self.assertEqual(len(table), 86 + len(PROMISED))
        self.assertEqual([(n, k, list(p), r) for n, k, p, r in table[86:]], PROMISED)
        # The virtual-table-only members are no members by name.
        self.assertNotIn("GetTagUtf8", {row[0] for row in table})

    def outcome(self, early, call):
        quorvelxml._set_early_binding(early)
        try:
            x = new_handle()
            x.LoadXml(DOC)
            return ("ok", describe(call(x)))
        except quorvelxml.ComError as e:
            return ("ComError", e.hresult, e.source, e.description)
        finally:
            quorvelxml._set_early_binding(True)

    def test_both_bindings_reach_every_new_member_alike(self):
        for name, kind, params, _ in PROMISED:
            if name.startswith("Save"):
                continue  # would write a file
            args = [ARGUMENTS[t] for _, t in params]
            if kind == "get":
                def call(x, name=name):
                    return getattr(x, name)
            elif kind == "put":
                def call(x, name=name, args=args):
                    setattr(x, name, *args)
                    return getattr(x, name)
            else:
                def call(x, name=name, args=args):
                    return getattr(x, name)(*args)
            early, late = self.outcome(True, call), self.outcome(False, call)
            self.assertEqual(early, late, name)
            if early[0] == "ComError":
                self.assertEqual(early[2], "QuorvelXml.QuorvelXml", name)

    def test_methods_are_bound_members_that_count_their_arguments(self):
        x = new_handle()
        method = x.SelectNodes
        self.assertIsInstance(method, quorvelxml.BoundMember)
        self.assertIn("SelectNodes(xpath: str) -> list[QuorvelXml]", method.__doc__)
        self.assertIn("SelectValues(xpath: str) -> list[str]", x.SelectValues.__doc__)
        self.assertIn("EvaluateXPath(xpath: str) -> float | str | bool", x.evaluatexpath.__doc__)
        for early in (True, False):
            quorvelxml._set_early_binding(early)
            self.assertEqual(self.com_error(lambda: x.SelectNodes("a", "b")).hresult, DISP_E_BADPARAMCOUNT)
            self.assertEqual(self.com_error(lambda: x.GetRecordAncestor()).hresult, DISP_E_BADPARAMCOUNT)
        del method, x


if __name__ == "__main__":
    unittest.main()

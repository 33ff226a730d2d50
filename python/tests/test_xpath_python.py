"""XPath results as Python values, set against lxml on the MIME database: node lists of live node
objects in document order, string lists and typed scalars, through both bindings alike."""

import os
import unittest
import weakref

import quorvelxml
from support import ReleaseCheck, new_handle

try:
    from lxml import etree
except ImportError:  # the tests need it as the reference
    etree = None

MIME = "/usr/share/mime/packages/freedesktop.org.xml"
NS = "http://www.freedesktop.org/standards/shared-mime-info"

# method, our query, lxml's text (m: bound to the namespace), $p or None
CASES = [
    ("SelectNodes", "/mime-info/mime-type[sub-class-of]", "/m:mime-info/m:mime-type[m:sub-class-of]", None),
    ("SelectNodes", "//*[@type][position() < 10]", "//*[@type][position() < 10]", None),
    ("SelectNodes", "//glob[@pattern=$p]/..", "//m:glob[@pattern=$p]/..", "*.pdf"),
    ("SelectNodes", "/mime-info/no-such", "/m:mime-info/m:no-such", None),
    ("SelectValues", "/mime-info/mime-type/glob/@pattern", "/m:mime-info/m:mime-type/m:glob/@pattern", None),
    ("SelectValues", "//mime-type[glob/@pattern=$p]/@type", "//m:mime-type[m:glob/@pattern=$p]/@type", "*.pdf"),
    ("EvaluateXPath", "count(//*)", "count(//*)", None),
    ("EvaluateXPath", "string(/mime-info/mime-type[2]/@type)", "string(/m:mime-info/m:mime-type[2]/@type)", None),
    ("EvaluateXPath", "boolean(//mime-type[@type='text/plain'])", "boolean(//m:mime-type[@type='text/plain'])", None),
]


def identity(element):
    """What tells one element from another in this document, in lxml's terms."""
    return (etree.QName(element).localname, element.get("type", ""), element.get("pattern", ""))


@unittest.skipUnless(etree is not None and os.path.exists(MIME), "needs lxml and the MIME database")
class XPathPythonTest(ReleaseCheck):
    def tearDown(self):
        quorvelxml._set_early_binding(True)
        super().tearDown()

    def test_results_match_lxml_in_type_order_and_length(self):
        root = etree.parse(MIME).getroot()
        for early in (True, False):
            quorvelxml._set_early_binding(early)
            x = new_handle()
            x.LoadXmlFile(MIME)
            x.SetXPathNamespace("", NS)
            results = []
            for method, ours, theirs, p in CASES:
                if p is not None:
                    x.SetXPathVariable("p", p)
                got = getattr(x, method)(ours)
                want = etree.XPath(theirs, namespaces={"m": NS})(root, **({"p": p} if p else {}))
                where = (early, ours)
                if method == "SelectNodes":
                    self.assertIsInstance(got, list, where)
                    self.assertTrue(all(isinstance(n, quorvelxml.DispatchObject) for n in got), where)
                    results.append((got, want))
                elif method == "SelectValues":
                    self.assertIsInstance(got, list, where)
                    self.assertTrue(all(type(v) is str for v in got), where)
                    self.assertEqual(got, [str(v) for v in want], where)
                else:
                    self.assertIs(type(got), type(want) if not isinstance(want, str) else str, where)
                    self.assertEqual(got, want, where)
            # The nodes outlive the handle they were selected from, each a handle of its own.
            del x
            for got, want in results:
                self.assertEqual(len(got), len(want))
                self.assertEqual([(n.Tag, n.GetAttrValue("type"), n.GetAttrValue("pattern")) for n in got],
                                 [identity(e) for e in want])
                if got:
                    got[0].AddAttribute("seen", "1")  # a change through one node shows only in itself
                    self.assertEqual([n.GetAttrValue("seen") for n in got[:2]], ["1", ""][: len(got)])
            self.assertGreater(sum(len(g) for g, _ in results), 400)
            # A node object with a weak reference on it is freed the general way; the reference
            # then reads None, and the tear-down finds every handle released either way.
            ref = weakref.ref(results[0][0][0])
            results.clear()
            self.assertIsNone(ref())


if __name__ == "__main__":
    unittest.main()

"""quorvelxml.records: a document's records one at a time, whole or by byte range, with the
reader's failures raised as ComError after the records before them."""

import os
import tempfile
import unittest

import quorvelxml

MIME = "/usr/share/mime/packages/freedesktop.org.xml"


class Records(unittest.TestCase):
    def test_records_ranges_and_failures(self):
        types = [rec.GetAttrValue("type") for rec in quorvelxml.records(MIME, "//mime-type")]
        self.assertGreater(len(types), 500)
        first = next(iter(quorvelxml.records(MIME, "/mime-info/mime-type")))
        self.assertEqual(first.RecordPath, "/mime-info")
        self.assertEqual(first.GetRecordAncestor(0).Tag, "mime-info")
        self.assertEqual(first.GetAttrValue("type"), types[0])

        # Byte ranges of the file together give every record once; an open end reads on to the end.
        size = os.path.getsize(MIME)
        cuts = [0, 1, size // 3, size // 3 + 1, size // 2]
        joined = []
        for start, end in zip(cuts, cuts[1:] + [None]):
            joined += [rec.GetAttrValue("type") for rec in quorvelxml.records(MIME, "//mime-type", start=start, end=end)]
        self.assertEqual(joined, types)

        with tempfile.TemporaryDirectory() as d:
            cut = os.path.join(d, "cut.xml")
            with open(cut, "w") as f:
                f.write("<r><a>1</a><a>2</a><a>3")
            seen = []
            with self.assertRaises(quorvelxml.ComError) as failure:
                for rec in quorvelxml.records(cut, "//a"):
                    seen.append(rec.Content)
            self.assertEqual(seen, ["1", "2"])
            self.assertIn("The document ends inside a record", str(failure.exception))
            with self.assertRaises(quorvelxml.ComError):
                quorvelxml.records(os.path.join(d, "missing.xml"), "//a")
            with self.assertRaises(quorvelxml.ComError):
                quorvelxml.records(cut, "a")


if __name__ == "__main__":
    unittest.main()

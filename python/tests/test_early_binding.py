"""Calls through the virtual table against the same calls by name, byte arrays lent without a copy,
and threads that load, search, edit and serialize their own documents at once."""

import array
import random
import sys
import threading
import unittest

import quorvelxml
from support import ReleaseCheck, new_handle

XML = (b"<r a='1'><b k='x'>t1<c k='y'>x</c></b><b k='y'>t2<c/></b>"
       b"<d>zz<e k='x'/><b k='x'>xy</b></d><c>x</c></r>")

# Every method as the module's member table reports it: name, then each parameter's name and kind
# (S string, L long, H handle, V variant). Left out: the members that reach past the document, to
# files and the network, which random strings must not do.
OUTSIDE = {"LoadXmlFile", "SaveXml", "SaveXmlLog", "GetURL", "HttpPost", "OpenRecords", "OpenRecordRange",
           "SaveXmlIndented"}
KIND = {"str": "S", "int": "L", "handle": "H", "variant": "V"}
MEMBERS = [(name, [(p, KIND[t]) for p, t in params]) for name, kind, params, _ in quorvelxml._member_table()
           if kind == "method" and name not in OUTSIDE]
# Mostly values that pass as they are; the rest must be coerced or refused by name.
VALUES = {
    "S": ["b", "c", "k", "x*", "*", "", " b ", None, "é😀", 5, True, 2.5],
    "L": [0, 1, 2, -1, 7, True, "1", "x", 2 ** 40, None, 1.0],
    "V": ["b", b"<v k='1'>x</v>", "<w/>", None, 3, 2.5, True],
}


def describe(value):
    """A result as both ways must give it: handles by what they designate."""
    if isinstance(value, quorvelxml.DispatchObject):
        return ("handle", value.Tag, value.Content, value.NumChildren, value.GetXml())
    if isinstance(value, list):  # the selections' lists of handles
        return [describe(v) for v in value]
    return value


class EarlyBindingTest(ReleaseCheck):
    def tearDown(self):
        quorvelxml._set_early_binding(True)
        super().tearDown()

    def run_both(self, call):
        """call(early) with members called through the virtual table, then by name: what each gave,
        described, and the results themselves."""
        outcomes, results = [], []
        for early in (True, False):
            quorvelxml._set_early_binding(early)
            result = None
            try:
                result = call(early)
                outcomes.append(("ok", describe(result)))
            except quorvelxml.ComError as e:
                outcomes.append(("ComError", e.hresult, e.source, e.description))
            except Exception as e:  # the same Python error either way
                outcomes.append((type(e).__name__, str(e)))
            finally:
                quorvelxml._set_early_binding(True)
            results.append(result)
        return outcomes, results

    def test_random_calls_agree_with_calls_by_name(self):
        rng = random.Random(18)
        docs = {}
        for early in (True, False):
            quorvelxml._set_early_binding(early)
            x = new_handle()
            x.LoadXmlV(XML)
            docs[early] = [x]  # handles found so far, in the same order on both sides
        quorvelxml._set_early_binding(True)
        for step in range(1500):
            name, params = rng.choice(MEMBERS)
            target = rng.randrange(len(docs[True]))
            choices = []
            for _, kind in params:
                if kind == "H":
                    choices.append(("H", rng.choice([None, None, -1, rng.randrange(len(docs[True])), "x"])))
                else:
                    choices.append(("V", rng.choice(VALUES[kind])))
            shape = rng.random()
            spelled = name if rng.random() < 0.7 else "".join(rng.choice((c.lower(), c.upper())) for c in name)

            def call(early):
                handles = docs[early]
                values = [handles[v] if kind == "H" and isinstance(v, int) and v >= 0 else v for kind, v in choices]
                method = getattr(handles[target], spelled)
                if shape < 0.6:
                    return method(*values)
                if shape < 0.85:  # keywords, in any case, the same on both sides
                    cases = random.Random(step)
                    return method(**{"".join(cases.choice((c.lower(), c.upper())) for c in p): v
                                     for (p, _), v in zip(params, values)})
                if shape < 0.92:
                    return method(*values, 1)  # one too many
                return method(noSuchParameter=1) if params else method(None)

            outcomes, results = self.run_both(call)
            self.assertEqual(outcomes[0], outcomes[1], "step %d: %s%r" % (step, spelled, choices))
            if all(isinstance(r, quorvelxml.DispatchObject) for r in results) and len(docs[True]) < 40:
                docs[True].append(results[0])
                docs[False].append(results[1])
            # Properties both ways, writes too.
            prop = rng.choice(["Tag", "Content", "Cdata", "NumChildren", "TreeId"])
            value = rng.choice(["q", "", None, 1, "é", True])

            def write(early, prop=prop, value=value, target=target):
                handle = docs[early][target]
                if prop in ("Tag", "Content", "Cdata"):
                    setattr(handle, prop.lower() if step % 2 else prop, value)
                result = getattr(handle, prop)
                # Tree numbers are the process's, so only whether it is the first handle's tree.
                return result == docs[early][0].TreeId if prop == "TreeId" else result

            outcomes, _ = self.run_both(write)
            self.assertEqual(outcomes[0], outcomes[1], "step %d: %s = %r" % (step, prop, value))
        self.assertEqual(docs[True][0].GetXml(), docs[False][0].GetXml())

    def test_texts_read_through_views_are_the_host_strings(self):
        """Called early, Tag, Content and the attribute getters read the component's UTF-8 views;
        by name they read host strings: the same str, failures and log either way, for text that
        is not ASCII, not UTF-8 at all, or changed in between."""
        documents = [
            ("<r k='v' e='' sp=' x '><a \u00e9='\u00e9t\u00e9'>caf\u00e9 \U0001F600</a><b k='1' k='2'>&amp;&lt;</b>"
             "<c><![CDATA[<x>]]></c><a/></r>").encode(),
            b"<r k\xff='\xc3(' ok='\xed\xa0\x80'><c>\xf5\x80 \xe6\x97</c></r>",
        ]
        for data in documents:
            def walk(early, data=data):
                x = new_handle()
                x.LoadXmlV(data)
                seen = []

                def read(call):
                    try:
                        seen.append(call())
                    except quorvelxml.ComError as e:
                        seen.append(("error", e.description, x.ErrorLogText))
                    except Exception as e:  # refused before the call, the same way both ways
                        seen.append((type(e).__name__, str(e)))

                while True:
                    read(lambda: (x.Tag, x.tag, x.Content))
                    for i in (-1, 0, 1, x.NumAttributes, 2 ** 40):
                        read(lambda: x.GetAttributeName(i))
                        read(lambda: x.GetAttributeValue(i))
                        read(lambda: x.ErrorLogText)
                    for i in range(x.NumAttributes):
                        name = x.GetAttributeName(i)
                        for asked in (name, " %s\t" % name, name.upper(), name + "\0x"):
                            read(lambda: x.GetAttrValue(asked))
                    for asked in ("", None, "\ud800", "nothing"):
                        read(lambda: x.GetAttrValue(asked))
                    if x.NumChildren == 1:  # a changed tag reads changed, however often the old was read
                        x.Tag = "changed" + x.Tag
                        read(lambda: x.Tag)
                    if x.FirstChild2():
                        continue
                    while not x.NextSibling2():
                        if not x.GetParent2():
                            return seen

            outcomes, _ = self.run_both(walk)
            self.assertEqual(outcomes[0][0], "ok", outcomes[0])
            self.assertEqual(outcomes[0], outcomes[1])

    def test_members_show_their_parameters_and_errors_stay(self):
        x = new_handle()
        method = x.SearchForAttribute
        self.assertIsInstance(method, quorvelxml.BoundMember)
        self.assertIn("SearchForAttribute(after: QuorvelXml | None, Tag: str, attr: str, valuePattern: str)",
                      method.__doc__)
        self.assertEqual(repr(x.getchild), "<bound method IQuorvelXml2.getchild>")
        error = self.com_error(lambda: x.GetChild(index=7))
        self.assertEqual((hex(error.hresult), error.source), ("0x80004005", "QuorvelXml.QuorvelXml"))
        self.assertTrue(error.description.startswith("(GetChild)"), error.description)
        # The failure's description is the one of this call, not a stale one.
        self.assertEqual(self.com_error(lambda: x.GetAttributeName(3)).description.split("\n")[0],
                         "(GetAttributeName)")

    def test_bound_members_keep_their_handle_and_each_is_its_own(self):
        # Bound members are reused once given back, and names are found by their str: a kept one
        # still calls its own member on its own handle, whatever was bound and dropped meanwhile.
        x = new_handle()
        x.LoadXml("<r><a/><b/></r>")
        first, following, up = x.FirstChild2, x.NextSibling2, x.getparent2
        del x
        self.assertEqual((first(), following(), up(), following()), (1, 1, 1, 0))
        handles = [new_handle() for _ in range(3)]
        for i, h in enumerate(handles):
            h.LoadXml("<t%d/>" % i)
        expected = ["<t%d></t%d>" % (i, i) for i in range(3)]
        for _ in range(20):
            methods = [h.GetXml for h in handles] + [h.getxml for h in handles]
            methods += [getattr(h, "".join(["Get", "Xml"])) for h in handles]  # a new str each time
            self.assertEqual([m().split("\n")[1] for m in methods], expected * 3)
            self.assertEqual(repr(methods[3]), "<bound method IQuorvelXml2.getxml>")
            self.assertEqual([h.Tag for h in handles], ["t0", "t1", "t2"])

    def test_byte_arrays_are_lent_and_given_back(self):
        x = new_handle()
        text = b"<a k='v'>caf\xc3\xa9</a>"
        ba = bytearray(text)
        strided = memoryview(b"<<aa//>>")[::2]
        for data, tag, content in ((text, "a", "caf\u00e9"), (ba, "a", "caf\u00e9"), (memoryview(text), "a", "caf\u00e9"),
                                   (array.array("B", text), "a", "caf\u00e9"), (strided, "a", "")):
            for early in (True, False):
                quorvelxml._set_early_binding(early)
                self.assertEqual(x.LoadXmlV(data), 1, (data, early))
                self.assertEqual((x.Tag, x.Content), (tag, content))
        for early in (True, False):
            quorvelxml._set_early_binding(early)
            self.assertIn("Failed to parse XML data", self.com_error(lambda: x.LoadXmlV(b"")).description)
        quorvelxml._set_early_binding(True)
        ba.extend(b" ")  # no export left behind: a bytearray still resizes
        self.assertEqual(x.LoadXmlV(xmlData=ba), 1)
        ba.extend(b" ")
        content = "<p>" + "é" * 1000 + "</p>"
        x.LoadXml(content)
        self.assertIn(content, x.GetXml())


class ThreadTest(ReleaseCheck):
    def test_threads_with_their_own_documents(self):
        failures = []

        def work(n):
            try:
                x = new_handle()
                doc = ("<r>" + "".join("<i n='%d'><v>%d</v></i>" % (k, k * n) for k in range(300)) + "</r>").encode()
                for round_ in range(15):
                    if x.LoadXmlV(doc) != 1:
                        failures.append((n, "load"))
                    found, count = x.SearchForTag(None, "v"), 0
                    while found is not None:
                        if found.Content != str(count * n):
                            failures.append((n, "content", count))
                        count += 1
                        found.Content = "e%d" % round_
                        found = x.SearchForTag(found, "v")
                    if count != 300 or x.GetXml().count("<v>e%d</v>" % round_) != 300:
                        failures.append((n, "count", count))
            except Exception as e:  # noqa: BLE001 - reported below
                failures.append((n, repr(e)))

        threads = [threading.Thread(target=work, args=(n,)) for n in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(failures, [])

    def test_a_long_load_lets_other_threads_run(self):
        # Counted, not timed: with no forced switches between threads, another thread runs during
        # a load only where the load lets go of the interpreter; meeting the load at two of its
        # percentages shows it runs without holding it. (Without letting go, the loop would not run
        # before the load ends: a failure, not a hang.)
        big = b"<r>" + b"<i a='1'>text</i>" * 500000 + b"</r>"
        started, done, percent = threading.Event(), threading.Event(), [0]

        class Progress:
            def OnParsePercentDone(self, percentDone):
                percent[0] = percentDone
                started.set()

        loader = quorvelxml.DispatchWithEvents("QuorvelXml.QuorvelXml", Progress)

        def load():
            loader.LoadXmlV(big)
            done.set()

        other, seen = new_handle(), set()
        thread = threading.Thread(target=load)
        interval = sys.getswitchinterval()
        sys.setswitchinterval(1000)
        try:
            thread.start()
            started.wait(30)
            while not done.is_set():
                other.LoadXml("<t%d/>" % percent[0])  # a member that lets go of the interpreter too
                seen.add(percent[0])
            thread.join()
        finally:
            sys.setswitchinterval(interval)
        self.assertGreater(len(seen - {100}), 1, seen)
        self.assertEqual(loader.NumChildren, 500000)
        del loader

if __name__ == "__main__":
    unittest.main()

"""Event handlers connected from Python: WithEvents, DispatchWithEvents, the handlers' calls and
the ends of a connection."""

import sys
import threading
import unittest
import weakref

import quorvelxml
from support import ReleaseCheck, new_handle

E_NOINTERFACE = 0x80004002
DISPID_PARSEPERCENTDONE = 1


class Progress:
    def __init__(self):
        self.seen = []
        self.threads = set()

    def OnParsePercentDone(self, percentDone):
        self.seen.append(percentDone)
        self.threads.add(threading.get_ident())


class EventTest(ReleaseCheck):
    def test_with_events_calls_the_handler_until_closed(self):
        x = new_handle()
        handler = quorvelxml.WithEvents(x, Progress)
        self.assertEqual(quorvelxml._raise_event(x, DISPID_PARSEPERCENTDONE, 40), 1)
        self.assertEqual(handler.seen, [40])
        # Called on the raising thread, which had let go of the interpreter lock.
        self.assertEqual(handler.threads, {threading.get_ident()})
        handler.close()
        self.assertEqual(quorvelxml._raise_event(x, DISPID_PARSEPERCENTDONE, 50), 0)
        self.assertEqual(handler.seen, [40])
        handler.close()  # a second close does nothing

        # The connection holds the handler until the object goes.
        gone = weakref.ref(quorvelxml.WithEvents(x, Progress))
        self.assertIsNotNone(gone())
        del x
        self.assertIsNone(gone())

    def test_failing_and_methodless_handlers_stop_nothing(self):
        class Silent:
            pass

        class Failing:
            def OnParsePercentDone(self, percentDone):
                raise ValueError("handler failed at %d" % percentDone)

        x = new_handle()
        silent = quorvelxml.WithEvents(x, Silent)
        failing = quorvelxml.WithEvents(x, Failing)
        after = quorvelxml.WithEvents(x, Progress)
        reported = []
        previous = sys.unraisablehook
        # Only the type and text are kept: the hook's arguments would hold this frame in a cycle.
        sys.unraisablehook = lambda report: reported.append((report.exc_type, str(report.exc_value)))
        try:
            self.assertEqual(quorvelxml._raise_event(x, DISPID_PARSEPERCENTDONE, 3), 3)
        finally:
            sys.unraisablehook = previous
        self.assertEqual(reported, [(ValueError, "handler failed at 3")])
        self.assertEqual(after.seen, [3])
        for h in (silent, failing, after):
            h.close()

    def test_values_reach_handlers_as_they_were_sent(self):
        class Recording:
            def OnParsePercentDone(self, *values):
                self.values = values

        x = new_handle()
        handler = quorvelxml.WithEvents(x, Recording)
        other = new_handle()
        other.Tag = "other"
        cases = [
            (("text", 7, -2 ** 31, 2 ** 40, 2.5, True, None), ("text", 7, -2 ** 31, 2 ** 40, 2.5, True, None)),
            (("", "a\0b", "\ud800 lone", "😀\ufeff"), ("", "a\0b", "\ud800 lone", "😀\ufeff")),
            ((b"\x00\xffbytes", bytearray(b"ba"), memoryview(b"0123456789")[::3]), (b"\x00\xffbytes", b"ba", b"0369")),
        ]
        for sent, received in cases:
            with self.subTest(sent=sent):
                quorvelxml._raise_event(x, DISPID_PARSEPERCENTDONE, *sent)
                self.assertEqual(handler.values, received)
                self.assertEqual([type(v) for v in handler.values], [type(v) for v in received])
        quorvelxml._raise_event(x, DISPID_PARSEPERCENTDONE, other)
        self.assertEqual(handler.values[0].Tag, "other")
        with self.assertRaises(OverflowError):
            quorvelxml._raise_event(x, DISPID_PARSEPERCENTDONE, 2 ** 64)
        with self.assertRaises(TypeError):
            quorvelxml._raise_event(x, DISPID_PARSEPERCENTDONE, object())
        handler.close()

    def test_dispatch_with_events_is_handler_and_object(self):
        x = quorvelxml.DispatchWithEvents("QuorvelXml.QuorvelXml", Progress)
        self.assertIsInstance(x, Progress)
        x.Tag = "record"
        self.assertEqual(x.Tag, "record")
        quorvelxml._raise_event(x, DISPID_PARSEPERCENTDONE, 12)
        self.assertEqual(x.seen, [12])
        gone = weakref.ref(x)
        del x
        self.assertIsNone(gone())  # no cycle through the connection

        factory = new_handle("QuorvelXml.XmlFactory")
        self.assertEqual(self.com_error(lambda: quorvelxml.WithEvents(factory, Progress)).hresult, E_NOINTERFACE)


if __name__ == "__main__":
    unittest.main()

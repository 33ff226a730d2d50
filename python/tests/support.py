"""What the Python tests share: new handles, and the check that each test released every reference."""

import gc
import unittest

import quorvelxml


def new_handle(name="QuorvelXml.QuorvelXml"):
    return quorvelxml.Dispatch(name)


class ReleaseCheck(unittest.TestCase):
    """Every test ends with all references released and the component free to unload."""

    def tearDown(self):
        gc.collect()
        self.assertEqual(quorvelxml._interface_count(), 0)
        self.assertTrue(quorvelxml._can_unload_now())

    def com_error(self, call):
        """The ComError that call() raises."""
        with self.assertRaises(quorvelxml.ComError) as caught:
            call()
        return caught.exception

#!/usr/bin/env python3
"""The harness's own retry rule: a test that failed because Wine could not be driven runs
once more; one whose wait on the saver timed out fails the run, even if a second try
would pass (an intermittent hang must show)."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))

# A test that fails the first time with the given error and passes the next time.
SCRIPT = """
import os, sys, unittest
sys.path.insert(0, {here!r})
import qvharness as h

MARK = {mark!r}

class Flaky(unittest.TestCase):
    def test_once(self):
        if not os.path.exists(MARK):
            open(MARK, "w").close()
            {fail}

if __name__ == "__main__":
    h.run_tests()
"""


class RetryRule(unittest.TestCase):
    def test_only_failures_to_drive_wine_are_retried(self):
        cases = [  # (what failed the first time, exit code, retried)
            ("h.wait_for(lambda: False, timeout=0, what='the intro to end')", 1, False),
            ("raise h.HarnessError('saver still running after 20s')", 1, False),
            ("h.windows()", 0, True),  # no Wine here: the window list fails to start
            ("raise h.DriveError('wine did not start')", 0, True),
            ("self.fail('wrong colour')", 1, False),
        ]
        for fail, code, retried in cases:
            with self.subTest(fail=fail), tempfile.TemporaryDirectory() as folder:
                script = os.path.join(folder, "flaky.py")
                with open(script, "w") as f:
                    f.write(SCRIPT.format(here=HERE, mark=os.path.join(folder, "mark"), fail=fail))
                env = dict(os.environ, QV_WINE64="/nonexistent/wine64")
                p = subprocess.run([sys.executable, script], capture_output=True, text=True, timeout=120, env=env)
                self.assertEqual(p.returncode, code, p.stdout + p.stderr)
                self.assertEqual("HARNESS RETRY" in p.stdout, retried, p.stdout)


if __name__ == "__main__":
    unittest.main()

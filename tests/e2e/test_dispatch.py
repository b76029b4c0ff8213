#!/usr/bin/env python3
"""The music player's dispatch path under Wine against objects whose IDispatch the
system's automation runtime makes (tools/qvdispatch.cpp): the calls arrive as the
recording fake of the unit tests sees them, strings and numbers intact, every object
reference released, and a member the object lacks fails the call, not the player."""
import os
import unittest

import qvharness as h

QVDISPATCH = os.path.join(h.BUILD, "qvdispatch.exe")

OPEN = [
    "player get 5", "settings put 107 int 100",
    "player get 5", "settings put 102 int 0",
    "player put 23 string none",
    "player put 22 bool false",
    "player get 5", "settings method 111 string loop bool true",
    "player get 5", "settings method 111 string autoRewind bool false",
    "player get 5", "settings put 101 bool false",
    "player get 5", "settings put 105 int 0",
    "player put 1 string C:\\m\\s\\xf8ng.mp3",  # the ANSI path made a BSTR and back
    "player get 17", "error get 852",
    "player get 6", "media get 757",
    "opened=1 duration=3",
]


class Dispatch(unittest.TestCase):
    def test_the_player_through_the_system_automation_runtime(self):
        p = h.run([h.WINE64, QVDISPATCH], timeout=60)
        steps, name = {}, None
        for line in p.stdout.splitlines():
            if line.startswith("== "):
                name = line[3:]
                steps[name] = []
            elif name is not None:
                steps[name].append(line.strip())
        self.assertEqual(p.returncode, 0, p.stdout + p.stderr)
        self.assertEqual(steps["open"], OPEN)
        self.assertEqual(steps["seek 25"], ["player get 4", "controls put 56 double 3", "player get 4",
                                            "controls method 53"])
        self.assertEqual(steps["loop check at 3.5 s"], ["player get 4", "controls get 56", "player get 4",
                                                        "controls put 56 double 0", "player get 4",
                                                        "controls method 51"])
        self.assertEqual(steps["stop"], ["player get 4", "controls method 52", "player get 4",
                                         "controls put 56 double 0"])
        self.assertEqual(steps["error count 2"], ["opened=0"])
        # The older control's identifiers: only 23 exists here (uiMode, a string), and the
        # runtime turns the boolean into text; every other call fails and the open goes on.
        self.assertEqual(steps["older members missing"], ["player put 23 string 0", "opened=1 duration=0"])
        # Every object reference the wrapper took was given back.
        self.assertEqual(steps["refs"], ["player=1 settings=1 controls=1 media=1 error=1"])


if __name__ == "__main__":
    h.run_tests()

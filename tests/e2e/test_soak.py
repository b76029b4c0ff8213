#!/usr/bin/env python3
"""A two-minute soak (scripts/soak.py): the demo with sounds and loopback feeds, sampled
every 30 s; no figure may grow beyond its noise bound after the first minute."""
import os
import sys
import unittest

import qvharness as h

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import soak  # noqa: E402


class Soak(unittest.TestCase):
    def test_judge_finds_growth_after_the_first_minute_only(self):
        def sample(ms, private=50 << 20, handles=200):
            return {"ms": ms, "private": private, "handles": handles, "gdi": 0, "user": 0}
        flat = [sample(0, 10 << 20, 90), sample(60000), sample(90000, (50 << 20) + 1000, 210), sample(120000)]
        self.assertEqual(soak.judge(flat), [])
        leaking = flat + [sample(150000, handles=217)]
        self.assertEqual(len(soak.judge(leaking)), 1)
        self.assertIn("handles grew by 17", soak.judge(leaking)[0])
        self.assertEqual(len(soak.judge(flat[:2])), 1, "too few samples to judge")

    def test_two_minutes_of_the_demo_with_sound_and_feeds(self):
        samples, problems, code = soak.soak(2, out=lambda line: print(line, file=sys.stderr))
        self.assertGreaterEqual(len(samples), 5, samples)
        self.assertEqual(problems, [])
        self.assertEqual(code, 0)


if __name__ == "__main__":
    h.run_tests()

#!/usr/bin/python3
"""Writes expected/cycles.txt: strides of sampled signals resampled to 101 points of the gait
cycle by numpy.interp, the reference of the program's normalisation. The places are computed
as the program computes them (first + span * point / 100 frames in, double precision). Made once
with Debian's python3-numpy (1.24); the program itself never needs Python. Run from anywhere: it
writes next to itself.

Each case is three lines: "case NAME FIRST STRIKE NEXT", "x v1 v2 ..." (the samples, index 0
being frame FIRST of the motion) and "y v0 ... v100" (17 digits)."""

import os

import numpy as np


def cases():
    rng = np.random.default_rng(26)
    t = np.arange(200) / 120.0
    yield "knee-like curve", 0, 30, 163, 35 * (1 - np.cos(2 * np.pi * t / 1.1)) + rng.normal(size=200)
    yield "range starting at frame 40", 40, 57, 118, np.cumsum(rng.normal(size=90))
    yield "stride shorter than 100 frames", 0, 3, 20, rng.normal(size=25)
    yield "stride to the last sample", 10, 10, 33, np.linspace(-5.0, 7.5, 24) ** 3


def main():
    lines = []
    for name, first, strike, following, x in cases():
        span = float(following - strike)
        places = [(strike - first) + span * p / 100 for p in range(101)]
        y = np.interp(places, np.arange(len(x), dtype=float), x)
        lines.append("case %s %d %d %d" % (name.replace(" ", "_"), first, strike, following))
        lines.append("x " + " ".join("%.17g" % v for v in x))
        lines.append("y " + " ".join("%.17g" % v for v in y))
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "expected", "cycles.txt")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()

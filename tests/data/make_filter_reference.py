#!/usr/bin/python3
"""Writes expected/filtfilt.txt: signals and what scipy.signal.filtfilt(*butter(2, fc, fs=fs), x)
makes of them (odd padding of 9 samples, or one less than the signal for shorter ones), the
reference of the program's zero-lag Butterworth filter. Made once with Debian's python3-scipy
(1.10); the program itself never needs Python. Run from anywhere: it writes next to itself.

Each case is three lines: "case NAME fs fc", "x v1 v2 ...", "y v1 v2 ..." (17 digits)."""

import os

import numpy as np
from scipy.signal import butter, filtfilt


def cases():
    t = np.arange(200) / 100.0
    yield "sine with fast ripple", 100.0, 6.0, np.sin(2 * np.pi * t) + 0.2 * np.sin(2 * np.pi * 25 * t)
    t = np.arange(50) / 120.0
    yield "step and ramp", 120.0, 6.0, np.where(t < 0.2, 0.0, 1.0) + 3.0 * t
    rng = np.random.default_rng(2026)
    yield "random walk, corrected cut-off", 60.0, 10.0 / 0.802, np.cumsum(rng.normal(size=300))
    yield "five samples", 100.0, 6.0, np.array([1.0, 4.0, -2.0, 8.0, 5.0])
    yield "centimetres of a standing body", 125.0, 6.0, 95.0 + 0.5 * rng.normal(size=40)


def main():
    lines = []
    for name, fs, fc, x in cases():
        b, a = butter(2, fc, fs=fs)
        y = filtfilt(b, a, x, padlen=min(9, len(x) - 1))
        lines.append(f"case {name}|{fs!r}|{fc!r}")
        lines.append("x " + " ".join(f"{v:.17g}" for v in x))
        lines.append("y " + " ".join(f"{v:.17g}" for v in y))
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "expected", "filtfilt.txt")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()

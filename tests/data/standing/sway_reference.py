#!/usr/bin/env /usr/bin/python3
"""The sway measures of standing.bvh computed on their own from the analysis table, with numpy
and scipy (Debian's python3-scipy), as Prieto et al. (1996) define them: written once to
standing-sway.csv, which the tests compare the program's --sway-csv with.

    kinovane-convert tests/data/standing/standing.bvh --analysis-csv /tmp/standing-analysis.csv
    tests/data/standing/sway_reference.py /tmp/standing-analysis.csv \
        > tests/data/standing/standing-sway.csv

The table's X, Y, Z are the filtered centre of mass in centimetres, Y up. The figure faces +Z
(make_standing.py), so the sway along the way it faces is Z and across it, to the right, -X.

With --ellipse-cases instead, writes ellipse-cases.txt: paths of sines whose covariance is
known, and the area of the 95 % ellipse of that covariance, pi chi2(0.95, 2) sqrt(det C).
"""
import csv
import math
import sys

import numpy as np
from scipy import signal, stats

LOW, HIGH = 0.15, 5.0


def transform_length(n):
    """n itself, unless n times its largest prime factor passes 5e7: then the next power of 2."""
    rest, largest, factor = n, 1, 2
    while factor * factor <= rest:
        while rest % factor == 0:
            rest //= factor
            largest = factor
        factor += 1
    largest = max(largest, rest)
    return n if n * largest <= 5e7 else 1 << (n - 1).bit_length()


def power_frequencies(x, fs):
    n = len(x)
    nfft = transform_length(n)
    f, p = signal.periodogram(x, fs, window="boxcar", nfft=nfft, detrend="constant",
                              scaling="density")
    band = (f >= LOW) & (f <= min(HIGH, fs / 2))
    f, p = f[band], p[band]
    cumulative = np.cumsum(p)
    total = cumulative[-1]
    return [f[np.argmax(cumulative >= share * total)] for share in (0.5, 0.95)]


def measures(along, across, frame_time):
    n = len(along)
    ap = along - along.mean()
    ml = across - across.mean()
    rd = np.hypot(ap, ml)
    seconds = (n - 1) * frame_time
    steps = np.diff(np.column_stack([ap, ml]), axis=0)
    rows = {}
    rows["MEAN_DISTANCE_M"] = [rd.mean(), np.abs(ap).mean(), np.abs(ml).mean()]
    rows["RMS_DISTANCE_M"] = [math.sqrt((rd ** 2).mean()), math.sqrt((ap ** 2).mean()),
                              math.sqrt((ml ** 2).mean())]
    path = [np.hypot(steps[:, 0], steps[:, 1]).sum(), np.abs(steps[:, 0]).sum(),
            np.abs(steps[:, 1]).sum()]
    rows["PATH_LENGTH_M"] = path
    rows["MEAN_VELOCITY_M_S"] = [length / seconds for length in path]
    c = np.cov(np.vstack([ap, ml]), bias=True)
    f = stats.f.ppf(0.95, 2, n - 2)
    rows["ELLIPSE_AREA_M2"] = [2 * math.pi * f * math.sqrt(np.linalg.det(c)), None, None]
    eigen = np.linalg.eigvalsh(c)
    rows["ELLIPSE_MAJOR_AXIS_M"] = [math.sqrt(2 * f * eigen[1]), None, None]
    rows["ELLIPSE_MINOR_AXIS_M"] = [math.sqrt(2 * f * eigen[0]), None, None]
    rows["ELLIPSE_ANGLE_DEG"] = [
        math.degrees(0.5 * math.atan2(2 * c[0, 1], c[0, 0] - c[1, 1])), None, None]
    fs = 1 / frame_time
    frequencies = [power_frequencies(x, fs) for x in (rd, ap, ml)]
    rows["POWER_FREQUENCY_50_HZ"] = [pair[0] for pair in frequencies]
    rows["POWER_FREQUENCY_95_HZ"] = [pair[1] for pair in frequencies]
    return rows


ELLIPSE_CASES = [
    # name, frames per second, seconds, a, f1, b, f2, c (metres, Hz)
    ("uncorrelated", 100, 30, 0.005, 0.2, 0.003, 0.5, 0.0),
    ("correlated", 100, 30, 0.005, 0.2, 0.003, 0.5, 0.002),
    ("long and thin", 60, 20, 0.01, 0.25, 0.0005, 0.4, 0.0),
    ("short and slow", 30, 10, 0.002, 0.1, 0.004, 0.3, -0.003),
]


def ellipse_cases():
    """along = a sin(2 pi f1 t), across = b sin(2 pi f2 t) + c sin(2 pi f1 t) over whole periods:
    covariance [[a^2/2, a c/2], [a c/2, (b^2 + c^2)/2]], determinant a^2 b^2 / 4."""
    chi2 = stats.chi2.ppf(0.95, 2)
    print("# name | frames per second | seconds | a | f1 | b | f2 | c | area (m^2)")
    for name, rate, seconds, a, f1, b, f2, c in ELLIPSE_CASES:
        area = math.pi * chi2 * math.sqrt(a * a * b * b / 4)
        print(f"{name} | {rate} | {seconds} | {a} | {f1} | {b} | {f2} | {c} | {area:.9g}")


def main():
    if sys.argv[1] == "--ellipse-cases":
        return ellipse_cases()
    table = list(csv.DictReader(open(sys.argv[1])))
    time = np.array([float(row["TIME"]) for row in table])
    x = np.array([float(row["X"]) for row in table]) / 100
    z = np.array([float(row["Z"]) for row in table]) / 100
    frame_time = (time[-1] - time[0]) / (len(time) - 1)
    rows = measures(z, -x, frame_time)
    print("MEASURE,RESULTANT,AP,ML")
    print(f"FRAMES,{len(time)},,")
    print(f"DURATION_S,{(len(time) - 1) * frame_time:.9g},,")
    for name, values in rows.items():
        print(name + "," + ",".join("" if v is None else f"{v:.9g}" for v in values))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes standing.bvh: the first pose of samples/walk.bvh held for 20 s at 30 frames/s, the
root swaying on the floor by a known sum of sines (centimetres, the sample's unit).

The figure faces +Z (its left hip lies towards +X), so the sway along the way it faces is the
Z motion and the sway across it, to the right, is -X:

    along(t)  = 0.4 sin(2 pi 0.3 t) + 0.2 sin(2 pi 1.1 t)
    across(t) = 0.3 sin(2 pi 0.5 t + 0.4) + 0.15 sin(2 pi 0.8 t) + 0.4 sin(2 pi 0.1 t)
                + 0.15 sin(2 pi 0.3 t)

The slow part across, at 0.1 Hz, the strongest across, lies below the band the power frequencies look at (0.15 to
5 Hz): it moves the distances and the ellipse, not those frequencies. The last part moves with
the sway along, so the ellipse leans to the right of forward.

Run from the repository's top folder: python3 tests/data/standing/make_standing.py
"""
import math

SOURCE = "samples/walk.bvh"
TARGET = "tests/data/standing/standing.bvh"
FRAME_TIME = 1 / 30
FRAMES = 601


def along(t):
    return 0.4 * math.sin(2 * math.pi * 0.3 * t) + 0.2 * math.sin(2 * math.pi * 1.1 * t)


def across(t):
    return (0.3 * math.sin(2 * math.pi * 0.5 * t + 0.4) + 0.15 * math.sin(2 * math.pi * 0.8 * t)
            + 0.4 * math.sin(2 * math.pi * 0.1 * t) + 0.15 * math.sin(2 * math.pi * 0.3 * t))


def main():
    lines = open(SOURCE).read().splitlines()
    motion = lines.index("MOTION")
    pose = lines[motion + 3].split()
    out = lines[: motion + 1]
    out.append(f"Frames: {FRAMES}")
    out.append(f"Frame Time: {FRAME_TIME:.7f}")
    for i in range(FRAMES):
        t = i * FRAME_TIME
        values = list(pose)
        values[0] = f"{-across(t):.6f}"  # X: right is -X
        values[2] = f"{along(t):.6f}"  # Z: forward
        out.append(" ".join(values))
    open(TARGET, "w").write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the two shipped samples of Kinovane:

- walk.bvh: a few seconds of a synthetic walk on the iPi Studio-style skeleton (Hips, LowerSpine,
  MiddleSpine, Chest, Neck, Head, clavicles, shoulders, forearms, hands, thighs, shins, feet,
  toes and End Sites), 60 frames per second, tab-separated rows. The joint angles are smooth
  periodic curves shaped like a normal gait; the root is placed so that the lower foot touches
  the ground (y = 0) and the standing foot does not slide.
- defaultMassSegments.xml: the 14-segment whole-body model of de Leva (1996), Table 4
  (Zatsiorsky-Seluyanov adjusted, male), mapped onto the joints of that skeleton.

Both are written in the layout the program itself writes. Run it from anywhere; it writes next
to itself. Only the Python standard library is used.
"""

import math
import os

FRAME_RATE = 60
SECONDS = 4.0
GAIT_PERIOD = 1.1  # seconds per stride (two steps)

# Bone lengths in centimetres for a man of about 1.74 m, close to de Leva's segment lengths.
TRUNK = 53.2  # mid-hips to the base of the neck (C7)
HEAD = 24.3  # C7 to the top of the head
UPPER_ARM = 28.2
FOREARM = 26.9
HAND = 8.6  # wrist to the third knuckle, the far end of de Leva's hand segment
THIGH = 42.2
SHANK = 43.4
ANKLE_HEIGHT = 6.5
FOOT_LENGTH = 25.8  # heel to toe tip

# The skeleton: (name, parent, offset, channels). "End Site" joints have no channels. The spine
# and head come first so that the head's End Site is the first End Site in pre-order.
ROOT_CHANNELS = "Xposition Yposition Zposition Zrotation Xrotation Yrotation"
JOINT_CHANNELS = "Zrotation Xrotation Yrotation"
TOE_OFFSET = (0.0, -5.0, 13.5)  # ankle to the ball of the foot
TOE_TIP_OFFSET = (0.0, -ANKLE_HEIGHT - TOE_OFFSET[1], 6.0)  # ball to toe tip, on the ground
HEEL = (0.0, -ANKLE_HEIGHT, -(FOOT_LENGTH - TOE_OFFSET[2] - 6.0))  # in the foot's frame


def side(sign, prefix):
    """Arm and leg of one side; sign is +1 for the left (+x), -1 for the right."""
    arm = [
        (prefix + "Clavicle", "Chest", (sign * 2.0, 14.0, 1.0)),
        (prefix + "Shoulder", prefix + "Clavicle", (sign * 15.0, 0.0, -1.0)),
        (prefix + "Forearm", prefix + "Shoulder", (0.0, -UPPER_ARM, 0.0)),
        (prefix + "Hand", prefix + "Forearm", (0.0, -FOREARM, 0.0)),
        ("End Site", prefix + "Hand", (0.0, -18.9, 0.0)),
    ]
    leg = [
        (prefix + "Thigh", "Hips", (sign * 9.0, 0.0, 0.0)),
        (prefix + "Shin", prefix + "Thigh", (0.0, -THIGH, 0.0)),
        (prefix + "Foot", prefix + "Shin", (0.0, -SHANK, 0.0)),
        (prefix + "Toe", prefix + "Foot", TOE_OFFSET),
        ("End Site", prefix + "Toe", TOE_TIP_OFFSET),
    ]
    return arm, leg


LEFT_ARM, LEFT_LEG = side(1, "L")
RIGHT_ARM, RIGHT_LEG = side(-1, "R")
JOINTS = (
    [
        ("Hips", None, (0.0, 0.0, 0.0)),
        ("LowerSpine", "Hips", (0.0, 10.0, 0.0)),
        ("MiddleSpine", "LowerSpine", (0.0, 12.0, 0.0)),
        ("Chest", "MiddleSpine", (0.0, 12.0, 0.0)),
        ("Neck", "Chest", (0.0, TRUNK - 34.0, 0.0)),
        ("Head", "Neck", (0.0, 10.0, 0.0)),
        ("End Site", "Head", (0.0, HEAD - 10.0, 0.0)),
    ]
    + LEFT_ARM
    + RIGHT_ARM
    + LEFT_LEG
    + RIGHT_LEG
)
MOVING = [name for name, _, _ in JOINTS if name != "End Site"]


# ---- rotations, composed as the program does: R = Rx(x) Ry(y) Rz(z), degrees ----

def matmul(a, b):
    return [[sum(a[r][k] * b[k][c] for k in range(3)) for c in range(3)] for r in range(3)]


def apply(m, v):
    return tuple(sum(m[r][k] * v[k] for k in range(3)) for r in range(3))


def rotation(x, y, z):
    cx, sx = math.cos(math.radians(x)), math.sin(math.radians(x))
    cy, sy = math.cos(math.radians(y)), math.sin(math.radians(y))
    cz, sz = math.cos(math.radians(z)), math.sin(math.radians(z))
    rx = [[1, 0, 0], [0, cx, -sx], [0, sx, cx]]
    ry = [[cy, 0, sy], [0, 1, 0], [-sy, 0, cy]]
    rz = [[cz, -sz, 0], [sz, cz, 0], [0, 0, 1]]
    return matmul(matmul(rx, ry), rz)


def add(a, b):
    return tuple(p + q for p, q in zip(a, b))


def bump(phase, centre, width):
    """A periodic bell curve over the gait cycle (phase in 0..1), 1 at its centre."""
    d = (phase - centre + 0.5) % 1.0 - 0.5
    return math.exp(-0.5 * (d / width) ** 2)


# ---- the gait: angles of one leg and one arm at a phase of the cycle (0 = heel strike) ----

def hip_flexion(p):
    return 5.0 + 15.0 * math.cos(2 * math.pi * p)  # +20 at heel strike, -10 at push-off


def knee_flexion(p):
    return 5.0 + 15.0 * bump(p, 0.15, 0.08) + 55.0 * bump(p, 0.72, 0.09)


def foot_pitch(p):
    """Pitch of the foot against the ground, toes down positive."""
    return -10.0 * bump(p, 0.0, 0.05) + 25.0 * bump(p, 0.6, 0.06) - 5.0 * bump(p, 0.85, 0.08)


def toe_bend(p):
    return 25.0 * bump(p, 0.6, 0.06)


def pose(t):
    """Rotation (x, y, z) of every moving joint, and the root's sideways sway, at time t."""
    left = (t / GAIT_PERIOD) % 1.0
    right = (left + 0.5) % 1.0
    yaw = 5.0 * math.sin(2 * math.pi * left)  # the pelvis turns with the swinging leg
    angles = {name: (0.0, 0.0, 0.0) for name in MOVING}
    angles["Hips"] = (0.0, yaw, 0.0)
    angles["LowerSpine"] = (2.0, -0.3 * yaw, 0.0)
    angles["MiddleSpine"] = (1.0, -0.3 * yaw, 0.0)
    angles["Chest"] = (0.0, -0.6 * yaw, 0.0)
    angles["Neck"] = (-3.0, 0.3 * yaw, 0.0)
    angles["Head"] = (3.0, 0.3 * yaw, 0.0)
    for prefix, phase, sign in (("L", left, 1.0), ("R", right, -1.0)):
        hip, knee = hip_flexion(phase), knee_flexion(phase)
        # A joint's rotation about x swings its children backwards for positive angles; the
        # ankle undoes the thigh and shin so that the foot keeps the pitch of foot_pitch.
        angles[prefix + "Thigh"] = (-hip, -yaw, 0.0)
        angles[prefix + "Shin"] = (knee, 0.0, 0.0)
        angles[prefix + "Foot"] = (hip - knee + foot_pitch(phase), 0.0, 0.0)
        angles[prefix + "Toe"] = (-toe_bend(phase), 0.0, 0.0)
        # The arm swings against the leg of its own side, the elbow bends more when forward.
        swing = 0.8 * (hip - 5.0)
        angles[prefix + "Clavicle"] = (0.0, 0.0, 0.0)
        angles[prefix + "Shoulder"] = (swing, 0.6 * yaw, sign * 6.0)
        angles[prefix + "Forearm"] = (-(15.0 + max(0.0, -swing)), 0.0, 0.0)
        angles[prefix + "Hand"] = (0.0, 0.0, sign * -3.0)
    sway = 2.0 * math.sin(2 * math.pi * left)  # towards the standing leg
    return angles, sway


def joint_positions(angles):
    """Absolute positions with the root at the origin; also each joint's global rotation."""
    positions, globals_ = {}, {}  # End Sites are keyed as "<parent>/End Site"
    for name, parent, offset in JOINTS:
        own = rotation(*angles.get(name, (0.0, 0.0, 0.0)))
        label = name if name != "End Site" else parent + "/End Site"
        if parent is None:
            positions[label], globals_[label] = offset, own
        else:
            parent_rotation = globals_[parent]
            positions[label] = add(positions[parent], apply(parent_rotation, offset))
            globals_[label] = matmul(parent_rotation, own)
    return positions, globals_


def contact_points(positions, globals_, prefix):
    """Heel, ball and toe tip of one foot, with the root at the origin."""
    heel = add(positions[prefix + "Foot"], apply(globals_[prefix + "Foot"], HEEL))
    return [heel, positions[prefix + "Toe"], positions[prefix + "Toe/End Site"]]


def frames():
    count = int(SECONDS * FRAME_RATE)
    rows = []
    forward = 0.0
    previous = None
    for frame in range(count):
        angles, sway = pose(frame / FRAME_RATE)
        positions, globals_ = joint_positions(angles)
        points = contact_points(positions, globals_, "L") + contact_points(
            positions, globals_, "R")
        lowest = min(range(len(points)), key=lambda i: points[i][1])
        height = -points[lowest][1]
        if previous is not None:
            # The lowest point stands on the ground: move the body so that it does not slide.
            forward -= points[lowest][2] - previous[lowest][2]
        previous = points
        row = [sway, height, forward]
        for name in MOVING:
            x, y, z = angles[name]
            row += [z, x, y]  # CHANNELS order: Zrotation Xrotation Yrotation
        rows.append(row)
    return rows


def write_bvh(path):
    lines = ["HIERARCHY"]
    children = {}
    for name, parent, offset in JOINTS:
        children.setdefault(parent, []).append((name, offset))

    def write_joint(name, offset, depth, keyword):
        indent = "\t" * depth
        lines.append(indent + keyword + (" " + name if keyword != "End Site" else ""))
        lines.append(indent + "{")
        lines.append(indent + "\tOFFSET\t" + "\t".join("%.4f" % v for v in offset))
        if keyword != "End Site":
            channels = ROOT_CHANNELS if keyword == "ROOT" else JOINT_CHANNELS
            lines.append(indent + "\tCHANNELS %d %s" % (len(channels.split()), channels))
            for child, child_offset in children.get(name, []):
                write_joint(child, child_offset, depth + 1,
                            "End Site" if child == "End Site" else "JOINT")
        lines.append(indent + "}")

    root_name, _, root_offset = JOINTS[0]
    write_joint(root_name, root_offset, 0, "ROOT")
    rows = frames()
    lines.append("MOTION")
    lines.append("Frames:\t%d" % len(rows))
    lines.append("Frame Time: %.7f" % (1.0 / FRAME_RATE))
    for row in rows:
        lines.append("\t".join("%.4f" % v for v in row))
    with open(path, "w", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


# ---- the mass-segment model ----

def foot_distance():
    """Where de Leva's foot centre (44.15 % of heel -> toe tip) projects onto ankle -> ball."""
    tip = add(TOE_OFFSET, TOE_TIP_OFFSET)
    centre = tuple(h + 0.4415 * (t - h) for h, t in zip(HEEL, tip))
    along = sum(c * b for c, b in zip(centre, TOE_OFFSET))
    return along / sum(b * b for b in TOE_OFFSET)


def segments():
    """(start joint, end joint, proximal distance, mass fraction) after de Leva (1996),
    Table 4, males: mass in % of body mass, centre of mass in % of the segment length from its
    first landmark, converted to fractions measured from the start joint."""
    model = [
        # Head: vertex -> C7, centre 50.02 % from the vertex; Neck -> head top here.
        ("Neck", "End Site", 1.0 - 0.5002, 0.0694),
        # Trunk: C7 -> mid-hips, centre 51.38 % from C7; Hips -> Neck here.
        ("Hips", "Neck", 1.0 - 0.5138, 0.4346),
    ]
    for prefix in ("L", "R"):
        model += [
            (prefix + "Shoulder", prefix + "Forearm", 0.5772, 0.0271),
            (prefix + "Forearm", prefix + "Hand", 0.4574, 0.0162),
            # Hand: wrist -> third knuckle, centre at 79.00 %. Its End Site cannot be named,
            # so the hand continues the forearm line beyond the wrist.
            (prefix + "Forearm", prefix + "Hand", 1.0 + 0.79 * HAND / FOREARM, 0.0061),
        ]
    for prefix in ("L", "R"):
        model += [
            (prefix + "Thigh", prefix + "Shin", 0.4095, 0.1416),
            (prefix + "Shin", prefix + "Foot", 0.4395, 0.0433),
            # Foot: heel -> toe tip, centre at 44.15 %, projected onto the ankle -> ball line.
            (prefix + "Foot", prefix + "Toe", foot_distance(), 0.0137),
        ]
    return model


def write_model(path):
    lines = ["<!DOCTYPE BvhMassProperties>", "<BvhMassProperties>"]
    for start, end, distance, mass in segments():
        lines += [
            "   <Segment>",
            "      <StartJoint>%s</StartJoint>" % start,
            "      <EndJoint>%s</EndJoint>" % end,
            "      <ProximalDistance>%g</ProximalDistance>" % distance,
            "      <Mass>%g</Mass>" % mass,
            "   </Segment>",
        ]
    lines.append("</BvhMassProperties>")
    with open(path, "w", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write_bvh(os.path.join(here, "walk.bvh"))
    write_model(os.path.join(here, "defaultMassSegments.xml"))

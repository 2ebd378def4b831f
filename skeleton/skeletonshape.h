#pragma once

#include "skeleton/skeletonprofile.h"

#include <QList>
#include <QString>
#include <QStringList>

class BvhFile;

// Finds the landmarks of a humanoid skeleton from its shape, for skeletons whose names no
// profile knows, reading a few posed rows (MotionSamples::rows: spread over the motion, past
// calibration and rest rows) rather than the rest pose, which exporters rig in many ways.
// - The body hangs from the topmost joint with position channels, or below it where a joint
//   with a single child (a reference on the floor, or one travelling with the body) is set
//   aside: it is no limb and no pelvis. Each bone is as long as MotionSamples::boneLengths
//   says, so position channels on every joint do not mislead.
// - The four limbs are the four branches reaching farthest; the legs are the pair meeting
//   nearest the body's top joint (at the pelvis), the arms the other pair (meeting high on the
//   spine), the head the longest branch leaving the trunk between them. Twist, roll and helper
//   bones, fingers and toes are side branches too short to be a limb.
// - Along a limb the joints are those whose distances in the posed rows fit a human's
//   proportions best, each segment one rigid bone (a bending joint between two joints changes
//   their distance), so that clavicles, twist bones inside a limb and joints at one place do
//   not mislead.
// - Left and right, and the top of the head, come from the posed rows: up runs from the pelvis
//   to where the arms meet, forward from the ankles to the toes (where the foot stands off the
//   shank's line), or the way the knees bend, or the path walked; left is up × forward; each row
//   votes. Names only break a tie the geometry leaves.
namespace SkeletonShape {

struct Recognition
{
    QList<SkeletonProfile::Landmark> landmarks; // each with the one joint name that is it
    QString problem;      // why the skeleton is not recognised; empty when it is
    QList<int> frames;    // the rows whose poses were read
    QStringList setAside; // joints above the body (a reference on the floor), not part of it

    bool ok() const { return problem.isEmpty(); }
};

// The landmarks of the skeleton of `motion`, its rows posed under the standard convention
// (the rest pose when it has none, where left and right may be a guess), or why it has none.
Recognition recognise(const BvhFile& motion);

} // namespace SkeletonShape

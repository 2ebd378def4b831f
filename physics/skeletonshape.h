#pragma once

#include "physics/skeletonprofile.h"

#include <QList>
#include <QString>

class BvhFile;

// Finds the landmarks of a humanoid skeleton from its shape, for skeletons whose names no
// profile knows.
// - The skeleton is taken as a tree of bones below the topmost joint with position channels
//   (joints above it, such as a reference at the floor, are no part of the body), each bone as
//   long as its joint's OFFSET.
// - The four limbs are the four branches reaching farthest; the legs are the pair meeting
//   nearest that top joint (at the pelvis), the arms the other pair (meeting high on the spine),
//   the head the longest branch leaving the trunk between them. Twist, roll and helper bones,
//   fingers and toes are side branches too short to be a limb.
// - Along a limb the joints are those whose distances fit a human's proportions best, so that
//   clavicles, twist bones inside a limb and joints at one place do not mislead.
// - Left and right, and the top of the head, come from the posed motion: up runs from the
//   pelvis to where the arms meet, forward from the ankles to the toes (or the way the knees
//   bend, or the path walked), left is up × forward. Names only break a tie the geometry
//   leaves.
namespace SkeletonShape {

struct Recognition
{
    QList<SkeletonProfile::Landmark> landmarks; // each with the one joint name that is it
    QString problem; // why the skeleton is not recognised; empty when it is

    bool ok() const { return problem.isEmpty(); }
};

// The landmarks of the skeleton of `motion`, its frames posed under the standard convention
// (the rest pose when it has none, where left and right may be a guess), or why it has none.
Recognition recognise(const BvhFile& motion);

} // namespace SkeletonShape

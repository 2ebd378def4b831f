#pragma once

#include "model/vectortypes.h"

#include <QList>

#include <vector>

class BvhJoint;

// Absolute positions of every joint of a skeleton for the values the joints hold now, as
// BvhJoint::getAbsolutePosition() gives them, digit for digit, but with each joint's rotation
// matrix built once per frame instead of once per descendant. The exports walk whole motions
// through it.
class PoseEvaluator
{
public:
    // Takes the joint list (pre-order) of the tree under `root`; the tree must not change
    // while the evaluator is used. A null root gives an empty evaluator.
    explicit PoseEvaluator(const BvhJoint* root);

    const QList<BvhJoint*>& getJoints() const { return joints; }
    // Recomputes every position from the joints' current values.
    void evaluate();
    // Position of joint `index` of getJoints() from the last evaluate().
    const Vector3f& getPosition(qsizetype index) const { return positions[size_t(index)]; }
    const std::vector<Vector3f>& getPositions() const { return positions; }

private:
    QList<BvhJoint*> joints;
    std::vector<int> parents;          // index of each joint's parent, -1 for the root
    std::vector<char> hasChildren;     // only joints with children need their matrix
    std::vector<Matrix3f> rotations;   // R(J) of each joint, this frame
    std::vector<Vector3f> localPoints; // offset + position of each joint, this frame
    std::vector<Vector3f> positions;
};

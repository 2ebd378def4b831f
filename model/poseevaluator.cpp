#include "poseevaluator.h"

#include "model/bvhjoint.h"
#include "model/rotationmath.h"

#include <QHash>

PoseEvaluator::PoseEvaluator(const BvhJoint* root)
{
    if (!root)
        return;
    joints = root->getAllJoints();
    QHash<const BvhJoint*, int> indexOf;
    indexOf.reserve(joints.size());
    for (qsizetype i = 0; i < joints.size(); ++i)
        indexOf.insert(joints[i], int(i));
    const size_t count = size_t(joints.size());
    parents.assign(count, -1);
    hasChildren.assign(count, 0);
    for (qsizetype i = 1; i < joints.size(); ++i) {
        const int parent = indexOf.value(joints[i]->getParentJoint(), -1);
        parents[size_t(i)] = parent;
        if (parent >= 0)
            hasChildren[size_t(parent)] = 1;
    }
    rotations.resize(count);
    localPoints.resize(count);
    positions.resize(count);
}

void PoseEvaluator::evaluate()
{
    const size_t count = positions.size();
    for (size_t i = 0; i < count; ++i) {
        const BvhJoint* joint = joints[qsizetype(i)];
        localPoints[i] = joint->getOffset() + joint->getPosition();
        if (hasChildren[i])
            rotations[i] = joint->getRotationMatrix();
    }
    // The same operations, in the same order, as BvhJoint::getAbsolutePosition().
    for (size_t i = 0; i < count; ++i) {
        Vector3f accumulated = Vector3f::Zero();
        size_t joint = i;
        for (;;) {
            const Vector3f point = localPoints[joint] + accumulated;
            const int parent = parents[joint];
            if (parent < 0) {
                positions[i] = point;
                break;
            }
            accumulated = RotationMath::transform(rotations[size_t(parent)], point);
            joint = size_t(parent);
        }
    }
}

#include "poseevaluator.h"

#include "model/bvhjoint.h"
#include "model/rotationmath.h"

#include <QHash>

#include <algorithm>
#include <cstring>

// A joint's place in its parent: OFFSET plus its position values, except that under
// ReplaceOffset each position channel stands for its OFFSET component, whose slot is then 0.
static Vector3f offsetUnderConvention(const BvhJoint& joint, PositionChannels positionChannels)
{
    Vector3f offset = joint.getOffset();
    if (positionChannels != PositionChannels::ReplaceOffset)
        return offset;
    for (int k = 0; k < joint.getNumChannels(); ++k) {
        const int slot = int(joint.getChannel(k));
        if (slot < 3)
            offset[slot] = 0.0f;
    }
    return offset;
}

static std::array<float, 6> valuesOf(const BvhJoint& joint)
{
    const Vector3f position = joint.getPosition();
    const Vector3f rotation = joint.getRotation();
    return {position.x(), position.y(), position.z(), rotation.x(), rotation.y(), rotation.z()};
}

PoseEvaluator::PoseEvaluator(const BvhJoint* root, const PoseConvention& convention)
    : convention(convention)
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
    // The DOF order of setFrameValues: joints in pre-order, each joint's channels in order.
    offsets.resize(count);
    rotationAxes.resize(count);
    for (qsizetype i = 0; i < joints.size(); ++i) {
        const BvhJoint* joint = joints[i];
        heldValues.push_back(valuesOf(*joint));
        for (int k = 0; k < joint->getNumChannels(); ++k) {
            const int slot = int(joint->getChannel(k));
            channelTargets.push_back(slot < 6 ? int(6 * i) + slot : -1);
        }
        rotationAxes[size_t(i)] = joint->getRotationAxes(convention.rotationOrder);
        offsets[size_t(i)] = offsetUnderConvention(*joint, convention.positionChannels);
    }
    values.resize(count);
    localPoints.resize(count);
    rotations.resize(count);
    positions.resize(count);
}

// Bitwise, so that -0 and 0, which can lead to different sums, count as different.
template <typename T> static bool sameBytes(const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool PoseEvaluator::hasSameSetup(const PoseEvaluator& other) const
{
    return joints == other.joints && parents == other.parents &&
           channelTargets == other.channelTargets && convention == other.convention &&
           rotationAxes == other.rotationAxes && sameBytes(offsets, other.offsets) &&
           sameBytes(heldValues, other.heldValues);
}

void PoseEvaluator::evaluate()
{
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = valuesOf(*joints[qsizetype(i)]);
    evaluateValues();
}

Vector3f PoseEvaluator::positionOf(const BvhJoint& joint, const PoseConvention& convention)
{
    const BvhJoint* root = &joint;
    while (root->getParentJoint())
        root = root->getParentJoint();
    PoseEvaluator evaluator(root, convention);
    evaluator.evaluate();
    return evaluator.getPosition(evaluator.getJoints().indexOf(const_cast<BvhJoint*>(&joint)));
}

void PoseEvaluator::evaluateRow(std::span<const double> row)
{
    loadRow(row);
    evaluateValues();
}

void PoseEvaluator::loadRow(std::span<const double> row)
{
    const qsizetype length = qsizetype(row.size());
    std::copy(heldValues.begin(), heldValues.end(), values.begin());
    float* flat = values.empty() ? nullptr : values.front().data();
    const qsizetype channels = qsizetype(channelTargets.size());
    for (qsizetype k = 0; k < channels; ++k) {
        const int target = channelTargets[size_t(k)];
        if (target >= 0)
            flat[target] = float(k < length ? row[k] : 0.0);
    }
}

void PoseEvaluator::evaluateValues()
{
    const size_t count = positions.size();
    const bool declaredOrder = convention.rotationOrder == RotationOrder::Declared;
    const float pi = convention.pi;
    for (size_t i = 0; i < count; ++i) {
        const JointValues& v = values[i];
        localPoints[i] = offsets[i] + Vector3f(v[0], v[1], v[2]);
        if (!hasChildren[i])
            continue;
        const Vector3f degrees(v[3], v[4], v[5]);
        rotations[i] = declaredOrder ? RotationMath::fromJointDegrees(degrees, rotationAxes[i], pi)
                                     : RotationMath::fromJointDegrees(degrees, pi);
    }
    // Walks each joint's chain up to the root; the order of the float operations fixes every
    // digit the exports write, so it must not change.
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

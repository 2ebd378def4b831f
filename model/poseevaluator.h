#pragma once

#include "model/poseconvention.h"
#include "model/vectortypes.h"

#include <QList>

#include <array>
#include <span>
#include <vector>

class BvhJoint;

// Absolute positions of every joint of a skeleton: the one pose computation of the program,
// used by the view, the tables, the C3D export and the command-line runs alike. Each joint's
// point (offset + position) is turned by its parent's rotation matrix and added to the
// parent's point, up to the root; all arithmetic is single precision, each joint's matrix
// built once per frame, as the motion's pose convention says (given, never taken from the
// joints: one motion can be posed under several). The exports walk whole motions through it,
// straight from the frame rows, and use one copy per thread.
class PoseEvaluator
{
public:
    // Takes the joint list (pre-order) of the tree under `root` and the values its joints hold
    // now; the tree must not change while the evaluator is used. A null root gives an empty
    // evaluator.
    PoseEvaluator(const BvhJoint* root, const PoseConvention& convention);

    // Absolute position of one joint from the values its tree holds now.
    static Vector3f positionOf(const BvhJoint& joint, const PoseConvention& convention);

    const QList<BvhJoint*>& getJoints() const { return joints; }
    // True when evaluateRow gives `other`'s positions, bit for bit, for every row: the same
    // joints, channels, offsets, held values and pose convention.
    bool hasSameSetup(const PoseEvaluator& other) const;
    // Recomputes every position from the joints' current values.
    void evaluate();
    // Computes the positions the joints would have after setFrameValues(row), without
    // touching them: each channel takes its row value rounded to float (0 past the row's end),
    // and every value without a channel is the one the joint held when the evaluator was made.
    void evaluateRow(std::span<const double> row);
    // Takes the values of evaluateRow without computing positions (for getRotation alone).
    void loadRow(std::span<const double> row);
    // Rotation values (degrees) of joint `index` in the last row loaded or evaluated.
    Vector3f getRotation(qsizetype index) const
    {
        const JointValues& v = values[size_t(index)];
        return Vector3f(v[3], v[4], v[5]);
    }
    // Position of joint `index` of getJoints() from the last evaluation.
    const Vector3f& getPosition(qsizetype index) const { return positions[size_t(index)]; }
    const std::vector<Vector3f>& getPositions() const { return positions; }

private:
    // Per joint: position x, y, z, then rotation x, y, z, the slots of BvhJoint::Channel.
    using JointValues = std::array<float, 6>;

    void evaluateValues();

    QList<BvhJoint*> joints;
    std::vector<int> parents;      // index of each joint's parent, -1 for the root
    std::vector<char> hasChildren; // only joints with children need their matrix
    PoseConvention convention;
    std::vector<RotationAxes> rotationAxes;
    std::vector<Vector3f> offsets;       // OFFSET, less what position channels replace
    std::vector<JointValues> heldValues; // what the joints held when the evaluator was made
    std::vector<int> channelTargets;     // per DOF index: 6 * joint + slot, or -1 for no slot
    std::vector<JointValues> values;     // this frame's values
    std::vector<Vector3f> localPoints;   // offset + position of each joint, this frame
    std::vector<Matrix3f> rotations;     // R(J) of each joint, this frame
    std::vector<Vector3f> positions;
};

#include "interpolation.h"

#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/numberformat.h"

#include <array>
#include <cmath>

namespace Interpolation {

void normalizeQuaternion(Vector4f& q)
{
    const float length =
        std::sqrt((q.x() * q.x() + q.y() * q.y()) + (q.z() * q.z() + q.w() * q.w()));
    if (!(length > 0.0f) || !std::isfinite(length)) {
        q = Vector4f(0, 0, 0, 1);
        return;
    }
    const float scale = 1.0f / length;
    q = Vector4f(q.x() * scale, q.y() * scale, q.z() * scale, q.w() * scale);
}

// Where a joint's rotation channels sit in a row: one column per axis, or -1 for an axis it
// has no channel for (the joint's own value is used there).
using RotationColumns = std::array<qsizetype, 3>;

static RotationColumns rotationColumns(const BvhFile& motion, const BvhJoint& joint)
{
    RotationColumns columns{-1, -1, -1};
    const qsizetype first = motion.firstChannelOf(&joint);
    for (int k = 0; k < joint.getNumChannels(); ++k) {
        const int axis = int(joint.getChannel(k)) - int(BvhJoint::Channel::Xrotation);
        if (axis >= 0 && axis < 3 && columns[size_t(axis)] < 0)
            columns[size_t(axis)] = first + k;
    }
    return columns;
}

// The joint's rotation in `row`, as the joint would hold it with the row loaded.
static Vector3f rotationIn(std::span<const double> row, const RotationColumns& columns,
                           const Vector3f& held)
{
    Vector3f rotation = held;
    for (int axis = 0; axis < 3; ++axis) {
        const qsizetype column = columns[size_t(axis)];
        if (column >= 0)
            rotation[axis] = float(row[size_t(column)]);
    }
    return rotation;
}

// Angles and matrices in the motion's convention: under Declared in the joint's channel order,
// with the full range of every angle, so interpolated angles are written back as the file
// means them.
static Vector4f rotationQuaternion(const BvhJoint& joint, RotationOrder order, const Vector3f& r)
{
    if (order == RotationOrder::Declared)
        return BvhJoint::matrixToQuaternion(
            BvhJoint::eulerToMatrix(r, joint.getRotationAxes(order)));
    return BvhJoint::matrixToQuaternion(BvhJoint::eulerToMatrix(r.x(), r.y(), r.z()));
}

static Vector3f rotationAngles(const BvhJoint& joint, RotationOrder order, const Matrix3f& matrix)
{
    if (order == RotationOrder::Declared)
        return BvhJoint::matrixToEuler(matrix, joint.getRotationAxes(order));
    return BvhJoint::matrixToEuler(matrix);
}

// Blends the joint's rotation across all of `rows` (a copy of the motion's rows), from the
// first row's to the last's.
static void blendRows(FrameRows& rows, const BvhFile& motion, const BvhJoint& joint,
                      RotationOrder order)
{
    const qsizetype steps = rows.rowCount() - 1;
    if (steps < 1 || motion.firstChannelOf(&joint) < 0)
        return;
    const RotationColumns columns = rotationColumns(motion, joint);
    const Vector3f held = joint.getRotation();
    const Vector4f q0 = rotationQuaternion(joint, order, rotationIn(rows[0], columns, held));
    Vector4f q1 = rotationQuaternion(joint, order, rotationIn(rows[steps], columns, held));
    // q and -q are the same rotation, and both ends come with w >= 0 whatever the angle
    // between them; blending across a negative dot product would take the long way round
    // (and pass through zero for opposite quaternions).
    if (q0.dot(q1) < 0.0f)
        q1 = -q1;

    for (qsizetype k = 1; k <= steps; ++k) {
        const float t = float(double(k) / double(steps));
        const float u = 1.0f - t;
        Vector4f q(u * q0.x() + t * q1.x(), u * q0.y() + t * q1.y(), u * q0.z() + t * q1.z(),
                   u * q0.w() + t * q1.w());
        normalizeQuaternion(q);
        const Vector3f angles = rotationAngles(joint, order, BvhJoint::quaternionToMatrix(q));
        const std::span<double> row = rows.rowToChange(k);
        for (int axis = 0; axis < 3; ++axis) {
            const qsizetype column = columns[size_t(axis)];
            if (column >= 0)
                row[size_t(column)] = NumberFormat::decimalOf(angles[axis]);
        }
    }
}

FrameRows interpolatedRows(const BvhFile& motion, const QList<bool>& selection,
                           const FrameRange& range, RotationOrder order, ProgressSink* progress)
{
    const FrameRange rows = range.clampedTo(motion.rowCount());
    if (!motion.root || rows.isEmpty())
        return {};
    FrameRows blended = motion.frames.mid(rows.first, rows.count());
    const QList<BvhJoint*> joints = motion.root->getAllJoints();
    if (progress)
        progress->begin({}, {}, int(selection.size()));
    // Cancelling has no effect: every selected joint is finished, so no joint is left half
    // interpolated.
    for (qsizetype i = 0; i < selection.size(); ++i) {
        if (selection[i] && i < joints.size())
            blendRows(blended, motion, *joints[i], order);
        if (progress)
            progress->setValue(int(i));
    }
    if (progress)
        progress->end();
    return blended;
}

void interpolateJoints(BvhFile& motion, const QList<bool>& selection, const FrameRange& range,
                       RotationOrder order, ProgressSink* progress)
{
    const FrameRange rows = range.clampedTo(motion.rowCount());
    motion.frames.replaceRows(rows.first,
                              interpolatedRows(motion, selection, range, order, progress));
}

void interpolateJoint(BvhFile& motion, const BvhJoint& joint, const FrameRange& range,
                      RotationOrder order)
{
    const FrameRange rows = range.clampedTo(motion.rowCount());
    if (rows.isEmpty())
        return;
    FrameRows blended = motion.frames.mid(rows.first, rows.count());
    blendRows(blended, motion, joint, order);
    motion.frames.replaceRows(rows.first, blended);
}

} // namespace Interpolation

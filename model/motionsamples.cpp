#include "motionsamples.h"

#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace MotionSamples {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

std::vector<qsizetype> rotationColumns(const BvhFile& motion)
{
    std::vector<qsizetype> columns;
    qsizetype column = 0;
    for (const BvhJoint* joint : motion.root->getAllJoints()) {
        for (int k = 0; k < joint->getNumChannels(); ++k, ++column) {
            const BvhJoint::Channel channel = joint->getChannel(k);
            if (channel >= BvhJoint::Channel::Xrotation && channel <= BvhJoint::Channel::Zrotation)
                columns.push_back(column);
        }
    }
    return columns;
}

bool isRestRow(std::span<const double> row, const std::vector<qsizetype>& rotationColumns)
{
    return std::all_of(rotationColumns.begin(), rotationColumns.end(),
                       [&](qsizetype column) { return row[size_t(column)] == 0.0; });
}

std::vector<int> rows(const BvhFile& motion, int count)
{
    const int rowCount = motion.rowCount();
    std::vector<int> chosen;
    if (!motion.root || rowCount == 0 || count <= 0)
        return chosen;
    const std::vector<qsizetype> rotations = rotationColumns(motion);
    const auto isRest = [&](int row) { return isRestRow(motion.frames[row], rotations); };
    if (rowCount <= count) {
        for (int row = 0; row < rowCount; ++row) {
            if (!isRest(row))
                chosen.push_back(row);
        }
    } else {
        const qint64 spacing = std::max<qint64>(1, rowCount / (count + 1));
        for (int k = 1; k <= count; ++k) {
            const int start = int(qint64(k) * rowCount / (count + 1));
            for (int row = start; row < start + spacing && row < rowCount; ++row) {
                if (!isRest(row)) {
                    chosen.push_back(row);
                    break;
                }
            }
        }
    }
    if (chosen.empty())
        chosen.push_back(rowCount / 2);
    return chosen;
}

std::vector<double> boneLengths(const BvhFile& motion, const PoseConvention& convention,
                                const std::vector<int>& rows)
{
    std::vector<double> lengths;
    if (!motion.root)
        return lengths;
    const QList<BvhJoint*> joints = motion.root->getAllJoints();
    const bool replace = convention.positionChannels == PositionChannels::ReplaceOffset;
    qsizetype column = 0;
    for (qsizetype i = 0; i < joints.size(); ++i) {
        const BvhJoint& joint = *joints[i];
        const Eigen::Vector3d& offset = joint.getExactOffset();
        std::array<qsizetype, 3> positionColumns{-1, -1, -1};
        for (int k = 0; k < joint.getNumChannels(); ++k, ++column) {
            const BvhJoint::Channel channel = joint.getChannel(k);
            if (channel <= BvhJoint::Channel::Zposition)
                positionColumns[size_t(channel)] = column;
        }
        double length = i == 0 ? 0.0 : offset.norm();
        const bool moved = std::any_of(positionColumns.begin(), positionColumns.end(),
                                       [](qsizetype c) { return c >= 0; });
        if (i > 0 && moved && !rows.empty()) {
            std::vector<double> posed;
            for (const int row : rows) {
                const std::span<const double> values = motion.frames[row];
                Eigen::Vector3d translation = offset;
                for (int axis = 0; axis < 3; ++axis) {
                    if (const qsizetype c = positionColumns[size_t(axis)]; c >= 0)
                        translation[axis] = (replace ? 0.0 : offset[axis]) + values[size_t(c)];
                }
                posed.push_back(translation.norm());
            }
            const double held = median(std::move(posed));
            if (std::abs(held - length) > 0.1 * length)
                length = held;
        }
        lengths.push_back(std::isfinite(length) ? length : 0.0);
    }
    return lengths;
}

std::vector<std::vector<Eigen::Vector3d>>
poses(const BvhFile& motion, const PoseConvention& convention, const std::vector<int>& rows)
{
    std::vector<std::vector<Eigen::Vector3d>> result;
    if (!motion.root)
        return result;
    PoseEvaluator pose(motion.root, convention);
    for (const int row : rows) {
        const std::span<const double> values = motion.frames[row];
        pose.evaluateRow(values);
        std::vector<Eigen::Vector3d> places;
        places.reserve(pose.getPositions().size());
        for (const Vector3f& p : pose.getPositions())
            places.push_back(p.cast<double>());
        result.push_back(std::move(places));
    }
    return result;
}

} // namespace MotionSamples

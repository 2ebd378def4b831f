#pragma once

#include "model/poseconvention.h"

#include <QList>

#include <Eigen/Core>

#include <span>
#include <vector>

class BvhFile;

// A few rows of a motion, read to learn what does not change from frame to frame: the shape of
// its skeleton, the length of its bones, which way is up. Exporters rig one body in many ways
// (a rest pose lying down, bones along their own axes, position channels on every joint), so
// these are read from the posed rows, not from the rest pose.
namespace MotionSamples {

// Up to `count` rows spread evenly over the motion, short of its first and last rows (where
// recordings keep calibration poses), each moved on past rest rows (every rotation 0); every
// row that is not a rest row of a motion with no more than `count` rows. One rest row at least
// when the motion has nothing else; none when it has no row.
std::vector<int> rows(const BvhFile& motion, int count = 16);

// The length of each joint's bone, its translation from its parent (getAllJoints() order, 0 for
// the root): the OFFSET, as producers give their rest pose; where position channels move the
// joint and hold it elsewhere over `rows` (their median length differing from the OFFSET's by
// more than a tenth of it, as when an exporter leaves OFFSET at zero), that median length.
std::vector<double> boneLengths(const BvhFile& motion, const PoseConvention& convention,
                                const std::vector<int>& rows);

// Every joint's place (getAllJoints() order) in each of `rows`, posed under `convention`.
std::vector<std::vector<Eigen::Vector3d>>
poses(const BvhFile& motion, const PoseConvention& convention, const std::vector<int>& rows);

// The columns of a motion's rows that hold rotations.
std::vector<qsizetype> rotationColumns(const BvhFile& motion);
// A row with every rotation 0: a rest or calibration pose, which says nothing of where the
// body's parts lie as it moves.
bool isRestRow(std::span<const double> row, const std::vector<qsizetype>& rotationColumns);

// The median of some values; 0 for none.
double median(std::vector<double> values);

} // namespace MotionSamples

#include "jointtables.h"

#include "model/bvhfile.h"
#include "model/frametable.h"
#include "model/poseevaluator.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace JointTables {

// Indices into `joints` whose selection flag is set; flags beyond the joint list are ignored
// and joints beyond the selection count as not selected.
static std::vector<qsizetype> selectedIndices(const QList<bool>& selection,
                                              const QList<BvhJoint*>& joints)
{
    std::vector<qsizetype> indices;
    const qsizetype count = std::min(selection.size(), joints.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (selection[i])
            indices.push_back(i);
    }
    return indices;
}

static void addCells(CsvWriter& writer, const Vector3f& value)
{
    writer.addNumberCell(value.x());
    writer.addNumberCell(value.y());
    writer.addNumberCell(value.z());
}

// The layout both tables share: "Time", then an x, y, z column triple per selected joint.
static FrameTable::Format formatOf(const BvhFile& motion, const ExportOptions& options,
                                   const QList<BvhJoint*>& joints,
                                   const std::vector<qsizetype>& selected)
{
    FrameTable::Format format;
    format.header = QStringLiteral("Time");
    for (const qsizetype i : selected)
        format.header += QStringLiteral(",%1.x,%1.y,%1.z").arg(joints[i]->getName());
    format.frames = options.range.clampedTo(motion.rowCount());
    format.frameTime = motion.frameTime;
    return format;
}

WriteResult writeRotations(const BvhFile& motion, const QString& fileName,
                           const ExportOptions& options, ProgressSink* progress)
{
    if (!motion.root)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    PoseEvaluator evaluator(motion.root, options.convention);
    const std::vector<qsizetype> selected =
        selectedIndices(options.jointSelection, evaluator.getJoints());
    return FrameTable::write(fileName, formatOf(motion, options, evaluator.getJoints(), selected),
                             progress, [&](CsvWriter& writer, int frame) {
                                 const std::span<const double> row = motion.frames[frame];
                                 evaluator.loadRow(row);
                                 for (const qsizetype i : selected)
                                     addCells(writer, evaluator.getRotation(i));
                             });
}

WriteResult writePositions(const BvhFile& motion, const QString& fileName,
                           const ExportOptions& options, ProgressSink* progress)
{
    if (!motion.root)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    PoseEvaluator evaluator(motion.root, options.convention);
    const std::vector<qsizetype> selected =
        selectedIndices(options.jointSelection, evaluator.getJoints());
    FrameTable::Format format = formatOf(motion, options, evaluator.getJoints(), selected);
    format.progressTitle = QStringLiteral("Please be patient");
    format.progressLabel = QStringLiteral("Doing a lot of math. This may take a while.");
    return FrameTable::write(fileName, format, progress, [&](CsvWriter& writer, int frame) {
        const std::span<const double> row = motion.frames[frame];
        evaluator.evaluateRow(row);
        for (const qsizetype i : selected)
            addCells(writer, evaluator.getPosition(i));
    });
}

} // namespace JointTables

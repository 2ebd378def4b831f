#include "jointtables.h"

#include "model/bvhfile.h"
#include "model/csvwriter.h"
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

struct TableTexts
{
    QString title;
    QString label;
};

// The loop both tables share: for each frame it asks `addCells(writer, row)` for the cells
// after the time. Progress runs 0..100 in steps of 10.
template <typename AddCells>
static WriteResult writeTable(const BvhFile& motion, const QString& fileName,
                              const ExportOptions& options, ProgressSink* progress,
                              const TableTexts& texts, const PoseEvaluator& evaluator,
                              AddCells addCells)
{
    if (!motion.root)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    if (progress)
        progress->begin(texts.title, texts.label, 100);

    const QList<BvhJoint*>& joints = evaluator.getJoints();
    const std::vector<qsizetype> selected = selectedIndices(options.jointSelection, joints);
    writer.addText("Time");
    for (const qsizetype i : selected)
        writer.addText(QStringLiteral(",%1.x,%1.y,%1.z").arg(joints[i]->getName()));
    writer.endLine();

    const FrameRange range = options.range.clampedTo(motion.rowCount());
    PercentProgress percent(progress, range.first, range.last + 1);
    for (int frame = range.first; frame <= range.last; ++frame) {
        if (percent.advance(frame))
            break;
        writer.addNumber(double(frame) * motion.frameTime);
        const QList<double>& row = std::as_const(motion.frames)[frame];
        addCells(writer, selected, row);
        writer.endLine();
    }
    if (progress)
        progress->end();
    return writer.finish();
}

static void addCells(CsvWriter& writer, const Vector3f& value)
{
    writer.addNumberCell(value.x());
    writer.addNumberCell(value.y());
    writer.addNumberCell(value.z());
}

WriteResult writeRotations(const BvhFile& motion, const QString& fileName,
                           const ExportOptions& options, ProgressSink* progress)
{
    PoseEvaluator evaluator(motion.root);
    return writeTable(
        motion, fileName, options, progress, {}, evaluator,
        [&](CsvWriter& writer, const std::vector<qsizetype>& selected, const QList<double>& row) {
            evaluator.loadRow(row.constData(), row.size());
            for (const qsizetype i : selected)
                addCells(writer, evaluator.getRotation(i));
        });
}

WriteResult writePositions(const BvhFile& motion, const QString& fileName,
                           const ExportOptions& options, ProgressSink* progress)
{
    PoseEvaluator evaluator(motion.root);
    const TableTexts texts{QStringLiteral("Please be patient"),
                           QStringLiteral("Doing a lot of math. This may take a while.")};
    return writeTable(
        motion, fileName, options, progress, texts, evaluator,
        [&](CsvWriter& writer, const std::vector<qsizetype>& selected, const QList<double>& row) {
            evaluator.evaluateRow(row.constData(), row.size());
            for (const qsizetype i : selected)
                addCells(writer, evaluator.getPosition(i));
        });
}

} // namespace JointTables

// The two joint tables of BvhFile: rotation channel values and absolute positions of the
// joints that exportMask selects, one row per frame.

#include "model/bvhfile.h"
#include "model/csvwriter.h"
#include "model/poseevaluator.h"

#include <algorithm>
#include <vector>

// Indices into `joints` whose mask flag is set; flags beyond the joint list are ignored and
// joints beyond the mask count as not selected.
static std::vector<qsizetype> selectedIndices(const QList<bool>& mask,
                                              const QList<BvhJoint*>& joints)
{
    std::vector<qsizetype> indices;
    const qsizetype count = std::min(mask.size(), joints.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (mask[i])
            indices.push_back(i);
    }
    return indices;
}

struct JointTableTexts
{
    QString title;
    QString label;
};

// The loop both joint tables share. For each frame it loads the row into the joints and asks
// `addCells(writer)` for the cells after the time. Progress runs 0..100 in steps of 10.
template <typename AddCells>
static WriteResult writeJointTable(BvhFile& motion, const QString& fileName, int startFrame,
                                   int endFrame, ProgressSink* progress,
                                   const JointTableTexts& texts,
                                   const std::vector<qsizetype>& selected,
                                   const QList<BvhJoint*>& joints, AddCells addCells)
{
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    if (progress)
        progress->begin(texts.title, texts.label, 100);

    writer.addText("Time");
    for (const qsizetype i : selected) {
        const QString name = joints[i]->getName();
        writer.addText(QStringLiteral(",%1.x,%1.y,%1.z").arg(name));
    }
    writer.endLine();

    const int rows = motion.rowCount();
    const int first = std::max(startFrame, 0);
    const int stop = std::min(endFrame == -1 ? rows : endFrame, rows);
    PercentProgress percent(progress, first, stop);
    for (int frame = first; frame < stop; ++frame) {
        if (percent.advance(frame))
            break;
        motion.setCurrentFrame(frame);
        writer.addNumber(double(frame) * motion.frameTime);
        addCells(writer);
        writer.endLine();
    }

    if (progress)
        progress->end();
    return writer.finish();
}

static WriteResult noMotion(const QString& fileName)
{
    return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
}

WriteResult BvhFile::exportRotationsCsv(const QString& fileName, int startFrame, int endFrame,
                                        ProgressSink* progress)
{
    if (!root)
        return noMotion(fileName);
    const QList<BvhJoint*> joints = root->getAllJoints();
    const std::vector<qsizetype> selected = selectedIndices(exportMask, joints);
    return writeJointTable(*this, fileName, startFrame, endFrame, progress, {}, selected, joints,
                           [&](CsvWriter& writer) {
                               for (const qsizetype i : selected) {
                                   const Vector3f rotation = joints[i]->getRotation();
                                   writer.addNumberCell(rotation.x());
                                   writer.addNumberCell(rotation.y());
                                   writer.addNumberCell(rotation.z());
                               }
                           });
}

WriteResult BvhFile::exportAbsolutePositionsCsv(const QString& fileName, int startFrame,
                                                int endFrame, ProgressSink* progress)
{
    if (!root)
        return noMotion(fileName);
    PoseEvaluator evaluator(root);
    const QList<BvhJoint*>& joints = evaluator.getJoints();
    const std::vector<qsizetype> selected = selectedIndices(exportMask, joints);
    const JointTableTexts texts{QStringLiteral("Please be patient"),
                                QStringLiteral("Doing a lot of math. This may take a while.")};
    return writeJointTable(*this, fileName, startFrame, endFrame, progress, texts, selected, joints,
                           [&](CsvWriter& writer) {
                               evaluator.evaluate();
                               for (const qsizetype i : selected) {
                                   const Vector3f& position = evaluator.getPosition(i);
                                   writer.addNumberCell(position.x());
                                   writer.addNumberCell(position.y());
                                   writer.addNumberCell(position.z());
                               }
                           });
}

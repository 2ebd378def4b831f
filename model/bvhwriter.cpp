#include "bvhwriter.h"

#include "model/bvhjoint.h"
#include "model/numberformat.h"

#include <QSaveFile>

#include <algorithm>
#include <utility>
#include <vector>

static constexpr size_t flushSize = 1 << 20;

WriteResult BvhWriter::write(const QString& fileName, int startFrame, int endFrame)
{
    if (!file.root)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    QSaveFile saveFile(fileName);
    if (!saveFile.open(QIODevice::WriteOnly))
        return WriteResult::failure(fileName, saveFile.errorString());
    output = &saveFile;
    text.reserve(flushSize + 4096);
    writeHierarchy();
    writeMotion(startFrame, endFrame);
    if (!failed && !text.empty() && saveFile.write(text.data(), qint64(text.size())) < 0)
        failed = true;
    text.clear();
    output = nullptr;
    return WriteResult::commit(saveFile, failed);
}

std::string BvhWriter::toText(int startFrame, int endFrame)
{
    text.clear();
    if (file.root) {
        writeHierarchy();
        writeMotion(startFrame, endFrame);
    }
    return std::move(text);
}

void BvhWriter::flushIfFull()
{
    if (!output || text.size() < flushSize)
        return;
    if (!failed && output->write(text.data(), qint64(text.size())) < 0)
        failed = true;
    text.clear();
}

void BvhWriter::writeIndent(int level)
{
    text.append(size_t(std::max(level, 0)), '\t');
}

void BvhWriter::writeNumber(double value, int decimals)
{
    char buffer[NumberFormat::maxLength];
    text.append(buffer, size_t(NumberFormat::writeFixed(buffer, value, decimals)));
}

void BvhWriter::writeText(const QString& value)
{
    text.append(value.toStdString());
}

void BvhWriter::writeHierarchy()
{
    text.append("HIERARCHY\nROOT ");
    writeText(file.root->getName());
    text.append("\n");
    file.indentLevel = 0;
    writeJoint(file.root);
}

void BvhWriter::writeJoint(const BvhJoint* top)
{
    // Depth-first with an explicit stack, so that no nesting depth can exhaust the call stack.
    // file.indentLevel is the level of the innermost open block.
    struct OpenBlock
    {
        const BvhJoint* joint;
        int nextChild;
    };
    std::vector<OpenBlock> open;
    const auto openBlock = [&](const BvhJoint* joint) {
        writeIndent(file.indentLevel);
        text.append("{\n");
        writeIndent(file.indentLevel + 1);
        text.append("OFFSET");
        const Vector3f offset = joint->getOffset();
        for (int axis = 0; axis < 3; ++axis) {
            text.append("\t");
            writeNumber(offset[axis], 4);
        }
        text.append("\n");
        if (joint->getNumChannels() >= 1) {
            writeIndent(file.indentLevel + 1);
            text.append("CHANNELS ");
            text.append(std::to_string(joint->getNumChannels()));
            for (int k = 0; k < joint->getNumChannels(); ++k) {
                text.append(" ");
                writeText(joint->getChannelName(k));
            }
            text.append("\n");
        }
        open.push_back({joint, 0});
    };

    openBlock(top);
    while (!open.empty()) {
        OpenBlock& block = open.back();
        if (block.nextChild < block.joint->getNumChildren()) {
            const BvhJoint* child = block.joint->getChild(block.nextChild++);
            writeIndent(file.indentLevel + 1);
            if (child->getName() == QLatin1String("End Site")) {
                text.append("End Site");
            } else {
                text.append("JOINT ");
                writeText(child->getName());
            }
            text.append("\n");
            ++file.indentLevel;
            openBlock(child);
        } else {
            open.pop_back();
            writeIndent(file.indentLevel);
            text.append("}\n");
            --file.indentLevel;
        }
        flushIfFull();
    }
    file.indentLevel = 0;
}

void BvhWriter::writeMotion(int startFrame, int endFrame)
{
    const qsizetype rows = file.frames.size();
    const qsizetype stop =
        std::min<qsizetype>(endFrame == -2 ? rows : qsizetype(endFrame) + 1, rows);
    const qsizetype first = std::max(startFrame, 0);
    const qsizetype count = std::max<qsizetype>(stop - first, 0);

    text.append("MOTION\nFrames:\t");
    text.append(std::to_string(count));
    text.append("\nFrame Time: ");
    writeNumber(file.frameTime, 10);
    text.append("\n");
    for (qsizetype i = first; i < stop; ++i) {
        const QList<double>& row = std::as_const(file.frames)[i];
        for (qsizetype k = 0; k < row.size(); ++k) {
            text.append("\t");
            writeNumber(row[k], k < 3 ? 4 : 6);
        }
        text.append("\n");
        flushIfFull();
    }
}

#include "bvhwriter.h"

#include "model/bvhjoint.h"
#include "model/numberformat.h"

#include <QSaveFile>

#include <algorithm>
#include <utility>
#include <vector>

static constexpr size_t flushSize = 1 << 20;

WriteResult BvhWriter::write(const QString& fileName, const FrameRange& range)
{
    if (!file.root)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    QSaveFile saveFile(fileName);
    if (!saveFile.open(QIODevice::WriteOnly))
        return WriteResult::failure(fileName, saveFile.errorString());
    output = &saveFile;
    text.reserve(flushSize + 4096);
    writeHierarchy();
    writeMotion(range);
    if (!failed && !text.empty() && saveFile.write(text.data(), qint64(text.size())) < 0)
        failed = true;
    text.clear();
    output = nullptr;
    return WriteResult::commit(saveFile, failed);
}

std::string BvhWriter::toText(const FrameRange& range)
{
    text.clear();
    if (file.root) {
        writeHierarchy();
        writeMotion(range);
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
    text.append(buffer, size_t(NumberFormat::writeFixedExact(buffer, value, decimals)));
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
    indentLevel = 0;
    writeJoint(file.root);
}

void BvhWriter::writeJoint(const BvhJoint* top)
{
    // Depth-first with an explicit stack, so that no nesting depth can exhaust the call stack.
    struct OpenBlock
    {
        const BvhJoint* joint;
        int nextChild;
    };
    std::vector<OpenBlock> open;
    const auto openBlock = [&](const BvhJoint* joint) {
        writeIndent(indentLevel);
        text.append("{\n");
        writeIndent(indentLevel + 1);
        text.append("OFFSET");
        const Eigen::Vector3d& offset = joint->getExactOffset();
        for (int axis = 0; axis < 3; ++axis) {
            text.append("\t");
            writeNumber(offset[axis], 4);
        }
        text.append("\n");
        if (joint->getNumChannels() >= 1) {
            writeIndent(indentLevel + 1);
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
            writeIndent(indentLevel + 1);
            if (child->getName() == QLatin1String("End Site")) {
                text.append("End Site");
            } else {
                text.append("JOINT ");
                writeText(child->getName());
            }
            text.append("\n");
            ++indentLevel;
            openBlock(child);
        } else {
            open.pop_back();
            writeIndent(indentLevel);
            text.append("}\n");
            --indentLevel;
        }
        flushIfFull();
    }
    indentLevel = 0;
}

void BvhWriter::writeMotion(const FrameRange& range)
{
    const FrameRange rows = range.clampedTo(file.rowCount());
    text.append("MOTION\nFrames:\t");
    text.append(std::to_string(rows.count()));
    text.append("\nFrame Time: ");
    writeNumber(file.frameTime, 10);
    text.append("\n");
    for (int i = rows.first; i <= rows.last; ++i) {
        const std::span<const double> row = file.frames[i];
        for (size_t k = 0; k < row.size(); ++k) {
            text.append("\t");
            writeNumber(row[k], k < 3 ? 4 : 6);
        }
        text.append("\n");
        flushIfFull();
    }
}

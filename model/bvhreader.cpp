#include "bvhreader.h"

#include "model/bvhjoint.h"
#include "model/numberformat.h"

#include <QDebug>
#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

static constexpr qsizetype chunkSize = 1 << 20;

static bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

static bool contains(std::string_view text, std::string_view word)
{
    return text.find(word) != std::string_view::npos;
}

// True when `first` followed directly by `second` reads `whole` ("Frame" "Time:").
static bool joinsTo(std::string_view first, std::string_view second, std::string_view whole)
{
    return first.size() + second.size() == whole.size() && whole.substr(0, first.size()) == first &&
           whole.substr(first.size()) == second;
}

static QString decodeName(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

BvhReadResult BvhReader::read(const QString& fileName)
{
    QFile input(fileName);
    if (!input.open(QIODevice::ReadOnly)) {
        result.status = BvhReadResult::Status::CannotOpen;
        result.errorString = input.errorString();
        return result;
    }
    return read(input);
}

BvhReadResult BvhReader::read(QIODevice& input)
{
    device = &input;
    buffer.resize(chunkSize);
    while (nextLine()) {
        if (contains(line, "HIERARCHY"))
            readHierarchy();
        else if (contains(line, "MOTION"))
            readMotion();
    }
    device = nullptr;
    buffer = QByteArray();
    if (!file.root) {
        result.status = BvhReadResult::Status::NoHierarchy;
        result.errorString = QStringLiteral("The file holds no joint hierarchy (no HIERARCHY "
                                            "section with a ROOT joint).");
    }
    return result;
}

bool BvhReader::nextLine()
{
    for (;;) {
        const char* begin = buffer.constData() + bufferStart;
        const auto* newline =
            static_cast<const char*>(std::memchr(begin, '\n', size_t(bufferEnd - bufferStart)));
        if (newline || (deviceDone && bufferStart < bufferEnd)) {
            const char* end = newline ? newline : buffer.constData() + bufferEnd;
            bufferStart = newline ? newline + 1 - buffer.constData() : bufferEnd;
            if (end > begin && end[-1] == '\r')
                --end;
            line = std::string_view(begin, size_t(end - begin));
            ++lineNumber;
            return true;
        }
        if (deviceDone)
            return false;
        // Keep the unfinished line at the front and read more after it; a line longer than
        // the buffer doubles the buffer.
        const qsizetype kept = bufferEnd - bufferStart;
        if (bufferStart > 0)
            std::memmove(buffer.data(), buffer.constData() + bufferStart, size_t(kept));
        bufferStart = 0;
        bufferEnd = kept;
        if (buffer.size() - bufferEnd < chunkSize / 2)
            buffer.resize(std::max(buffer.size() * 2, bufferEnd + chunkSize));
        const qint64 count = device->read(buffer.data() + bufferEnd, buffer.size() - bufferEnd);
        if (count <= 0)
            deviceDone = true;
        else
            bufferEnd += count;
    }
}

bool BvhReader::nextNonBlankLine()
{
    while (nextLine()) {
        if (!std::all_of(line.begin(), line.end(), isBlank))
            return true;
    }
    return false;
}

qint64 BvhReader::bytesLeft() const
{
    const qint64 unread =
        device->isSequential() ? device->bytesAvailable() : device->size() - device->pos();
    return std::max<qint64>(0, unread) + (bufferEnd - bufferStart);
}

void BvhReader::tokenise()
{
    tokens.clear();
    const char* p = line.data();
    const char* end = p + line.size();
    while (p < end) {
        while (p < end && isBlank(*p))
            ++p;
        const char* start = p;
        while (p < end && !isBlank(*p))
            ++p;
        if (p > start)
            tokens.emplace_back(start, size_t(p - start));
    }
}

std::string_view BvhReader::token(size_t index) const
{
    return index < tokens.size() ? tokens[index] : std::string_view();
}

void BvhReader::readHierarchy()
{
    if (!nextNonBlankLine())
        return;
    tokenise();
    if (token(0) != "ROOT")
        return;
    BvhJoint* newRoot = readJoint(decodeName(token(1)));
    if (file.root) {
        // A second hierarchy (two files joined into one) replaces the first motion whole.
        result.warnings.append(QStringLiteral("A second HIERARCHY section at line %1 replaced "
                                              "the first one.")
                                   .arg(lineNumber));
        delete file.root.data();
        file.frames.clear();
        file.numFrames = 0;
        file.frameTime = 0.0;
    }
    newRoot->setParentJoint(nullptr);
    file.root = newRoot;
}

bool BvhReader::openBlock()
{
    return nextNonBlankLine() && contains(line, "{");
}

BvhJoint* BvhReader::readJoint(const QString& name)
{
    auto* top = new BvhJoint;
    top->setName(name);
    if (!openBlock())
        return top;
    // The joints whose blocks are open, innermost last. An explicit stack instead of recursion
    // keeps a deeply nested file from exhausting the call stack.
    std::vector<BvhJoint*> open{top};
    while (!open.empty()) {
        if (!nextLine()) {
            result.warnings.append(QStringLiteral("The joint hierarchy ends with the file, "
                                                  "before the closing \"}\" of %1 joints.")
                                       .arg(open.size()));
            break;
        }
        tokenise();
        const std::string_view keyword = token(0);
        BvhJoint* joint = open.back();
        if (keyword == "OFFSET") {
            joint->setOffset(float(NumberFormat::toDouble(token(1))),
                             float(NumberFormat::toDouble(token(2))),
                             float(NumberFormat::toDouble(token(3))));
        } else if (keyword == "CHANNELS") {
            const int count = std::min(NumberFormat::toInt(token(1)), maxChannelsPerJoint);
            for (int i = 0; i < count; ++i)
                joint->addChannel(decodeName(token(size_t(i) + 2)));
        } else if (keyword == "JOINT" || keyword == "End") {
            if (open.size() >= size_t(maxDepth)) {
                result.warnings.append(QStringLiteral("The joint hierarchy nests deeper than %1 "
                                                      "levels at line %2; the joints below were "
                                                      "left out.")
                                           .arg(maxDepth)
                                           .arg(lineNumber));
                break;
            }
            auto* child = new BvhJoint;
            child->setName(keyword == "JOINT" ? decodeName(token(1)) : QStringLiteral("End Site"));
            child->setParentJoint(joint);
            joint->addChild(child);
            if (openBlock())
                open.push_back(child);
        } else if (keyword == "}") {
            open.pop_back();
        }
    }
    return top;
}

void BvhReader::readMotion()
{
    if (!nextNonBlankLine())
        return;
    tokenise();
    if (token(0) == "Frames:")
        file.numFrames = NumberFormat::toInt(token(1));
    if (!nextNonBlankLine())
        return;
    tokenise();
    if (joinsTo(token(0), token(1), "FrameTime:"))
        file.frameTime = NumberFormat::toDouble(token(2));
    if (file.numFrames != 0)
        qDebug().nospace() << "Frames: " << file.numFrames;
    if (file.frameTime != 0.0)
        qDebug().nospace() << "Frame Time: " << file.frameTime;

    rowLimit = -1;
    if (file.root) {
        rowLimit = 0;
        for (const BvhJoint* joint : file.root->getAllJoints())
            rowLimit += joint->getNumChannels();
    }
    // Never trust the declared count alone: every row takes at least one byte of the file.
    const qint64 possibleRows = std::min<qint64>(file.numFrames, bytesLeft() + 1);
    if (possibleRows > 0)
        file.frames.reserve(file.frames.size() + possibleRows);
    if (observer && file.root)
        observer->motionStarted(file, std::max<qint64>(0, possibleRows));

    for (int i = 0; i < file.numFrames; ++i) {
        if (!nextLine()) {
            result.warnings.append(QStringLiteral("The file declares %1 frames but holds %2.")
                                       .arg(file.numFrames)
                                       .arg(i));
            if (observer && i % observedBatch != 0)
                observer->rowsAppended(file);
            return;
        }
        QList<double> row;
        parseRow(row);
        file.frames.append(std::move(row));
        if (observer && ((i + 1) % observedBatch == 0 || i + 1 == file.numFrames))
            observer->rowsAppended(file);
    }
    qDebug() << "Loaded" << file.frames.size() << "frames";
}

void BvhReader::parseRow(QList<double>& row) const
{
    // The hot loop of loading: split at runs of blanks and convert in place. Values are
    // gathered on the stack first so that the row is allocated once, at its final size.
    thread_local std::vector<double> values;
    values.clear();
    const char* p = line.data();
    const char* end = p + line.size();
    while (p < end) {
        while (p < end && isBlank(*p))
            ++p;
        if (p == end)
            break;
        const char* start = p;
        while (p < end && !isBlank(*p))
            ++p;
        if (rowLimit >= 0 && qsizetype(values.size()) >= rowLimit)
            break; // values beyond the skeleton's channels belong to no channel
        const char* first = start;
        if (*first == '+' && p - first > 1 && first[1] != '-' && first[1] != '+')
            ++first;
        double value = 0.0;
        const auto parsed = std::from_chars(first, p, value);
        if (parsed.ec != std::errc() || parsed.ptr != p || !std::isfinite(value))
            value = 0.0;
        values.push_back(value);
    }
    row = QList<double>(values.begin(), values.end());
}

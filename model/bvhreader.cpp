#include "bvhreader.h"

#include "model/bvhjoint.h"
#include "model/numberformat.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

static constexpr qsizetype chunkSize = 1 << 20;

// A carriage return inside a line separates like a blank: the one at a line's end is taken off
// with the line feed, so a name or number ending in one could not be written back.
static bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
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

// A value a pose can use: a number within the float range (poses are computed in single
// precision, where a larger one would become an infinity or a NaN in every pose and table).
// NumberFormat::tokenToDouble spelled out, as it runs for every value of a motion: one test
// covers a text that is no number or not the whole token, and a value beyond the double or
// the float range (a NaN fails the comparison too).
static inline bool isTrusted(std::string_view token, double& value)
{
    token = NumberFormat::withoutLeadingPlus(token);
    value = 0.0;
    const char* end = token.data() + token.size();
    const auto parsed = std::from_chars(token.data(), end, value);
    return parsed.ec == std::errc() && parsed.ptr == end &&
           std::abs(value) <= BvhReader::largestValue;
}

// "1 frame", "2 frames".
static QString frameCount(qint64 count)
{
    return count == 1 ? QStringLiteral("1 frame") : QStringLiteral("%1 frames").arg(count);
}

static QString decodeName(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

BvhReadResult BvhReader::read(const QString& fileName)
{
    // A directory, a named pipe or a device named *.bvh is no motion; opening a pipe would
    // wait for a writer, and a device may never end.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        result.status = BvhReadResult::Status::CannotOpen;
        result.errorString = QStringLiteral("%1 is not a regular file.").arg(fileName);
        return result;
    }
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
    // A small file needs no full chunk (a batch run or the fuzzer reads thousands of them).
    buffer.resize(std::min<qint64>(chunkSize, bytesLeft() + 1));
    while (result.ok() && nextLine()) {
        if (contains(line, "HIERARCHY"))
            readHierarchy();
        else if (contains(line, "MOTION"))
            readMotion();
    }
    device = nullptr;
    buffer = QByteArray();
    if (result.ok() && !file.root) {
        // Rows without a skeleton are no motion: a refused file leaves nothing loaded.
        file.frames.clear();
        file.numFrames = 0;
        result.warnings.clear();
        result.status = BvhReadResult::Status::NoHierarchy;
        result.errorString = QStringLiteral("The file holds no joint hierarchy (no HIERARCHY "
                                            "section with a ROOT joint).");
    }
    return result;
}

bool BvhReader::nextLine()
{
    // Bytes of the unfinished line already searched for a line feed: a device that delivers a
    // long line in small pieces would otherwise have it searched again after every piece.
    qsizetype searched = 0;
    for (;;) {
        const char* begin = buffer.constData() + bufferStart;
        const auto* newline = static_cast<const char*>(
            std::memchr(begin + searched, '\n', size_t(bufferEnd - bufferStart - searched)));
        searched = bufferEnd - bufferStart;
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
        // the buffer doubles the buffer. The room wanted is a chunk, or what the device still
        // holds (and one byte more, to meet its end) when that is less.
        const qsizetype kept = bufferEnd - bufferStart;
        if (bufferStart > 0)
            std::memmove(buffer.data(), buffer.constData() + bufferStart, size_t(kept));
        bufferStart = 0;
        bufferEnd = kept;
        const qsizetype wanted = qsizetype(std::min<qint64>(chunkSize, bytesLeft() - kept + 1));
        if (buffer.size() - bufferEnd < (wanted + 1) / 2)
            buffer.resize(std::max(buffer.size() * 2, bufferEnd + wanted));
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
    // No keyword line needs more tokens than a full CHANNELS line; a longer line (a whole
    // file's worth of words) would otherwise cost 16 bytes of token per 2 bytes of text.
    static constexpr size_t maxTokens = size_t(maxChannelsPerJoint) + 2;
    tokens.clear();
    const char* p = line.data();
    const char* end = p + line.size();
    while (p < end && tokens.size() < maxTokens) {
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
    if (!result.ok()) {
        delete newRoot;
        return;
    }
    if (file.root) {
        // A second hierarchy (two files joined into one) replaces the first motion whole.
        result.warnings.append(QStringLiteral("A second HIERARCHY section at line %1 replaced "
                                              "the first one.")
                                   .arg(lineNumber));
        delete file.root.data();
    } else if (!file.frames.isEmpty()) {
        // Rows read before any skeleton fit no channels (and were kept whole, however long).
        result.warnings.append(QStringLiteral("The %1 frame rows before the HIERARCHY section "
                                              "at line %2 were dropped.")
                                   .arg(file.frames.size())
                                   .arg(lineNumber));
    }
    file.frames.clear();
    file.numFrames = 0;
    file.frameTime = 0.0;
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
            // A missing value reads as 0; one that is there must be a number.
            double offset[3] = {0.0, 0.0, 0.0};
            for (size_t axis = 0; axis < 3; ++axis) {
                if (!token(axis + 1).empty() && !isTrusted(token(axis + 1), offset[axis])) {
                    refuseBadValue(token(axis + 1));
                    return top;
                }
            }
            joint->setOffset(offset[0], offset[1], offset[2]);
        } else if (keyword == "CHANNELS" && joint->getNumChannels() == 0) {
            // Only a joint's first CHANNELS line counts: appending a second one after the
            // empty names of a short first one would put names where no file can say them.
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

    // Rows are read until the declared count is complete. A blank line is no row; a row with
    // fewer values than the skeleton's channels (a file cut short mid-row, a damaged line) is
    // no frame either: it is left out and reported.
    qint64 firstShortLine = 0;
    qsizetype firstShortValues = 0;
    int shortRows = 0;
    int kept = 0;
    while (kept < file.numFrames && nextLine()) {
        QList<double> row;
        if (!parseRow(row))
            return;
        if (row.size() < rowLimit) {
            if (!row.isEmpty() && shortRows++ == 0) {
                firstShortLine = lineNumber;
                firstShortValues = row.size();
            }
            continue;
        }
        file.frames.append(std::move(row));
        ++kept;
        if (observer && kept % observedBatch == 0)
            observer->rowsAppended(file);
    }
    if (observer && kept % observedBatch != 0)
        observer->rowsAppended(file);
    if (shortRows > 0) {
        result.warnings.append(
            QStringLiteral("Line %1 holds %2 of the %3 values of a frame and was left out%4; %5 "
                           "of the %6 declared %7 kept.")
                .arg(firstShortLine)
                .arg(firstShortValues)
                .arg(rowLimit)
                .arg(shortRows == 1 ? QString()
                                    : QStringLiteral(", with %1 more incomplete %2")
                                          .arg(shortRows - 1)
                                          .arg(shortRows == 2 ? QStringLiteral("row")
                                                              : QStringLiteral("rows")))
                .arg(kept)
                .arg(frameCount(file.numFrames))
                .arg(kept == 1 ? QStringLiteral("was") : QStringLiteral("were")));
    } else if (kept < file.numFrames) {
        result.warnings.append(QStringLiteral("The file declares %1 but holds %2.")
                                   .arg(frameCount(file.numFrames))
                                   .arg(kept));
    }
}

void BvhReader::refuseBadValue(std::string_view value)
{
    delete file.root.data();
    file.root = nullptr;
    file.frames.clear();
    file.numFrames = 0;
    result.warnings.clear();
    result.status = BvhReadResult::Status::BadValue;
    result.errorString = QStringLiteral("Line %1 holds \"%2\", which is not a finite number "
                                        "in single precision.")
                             .arg(lineNumber)
                             .arg(decodeName(value.substr(0, 40)));
}

bool BvhReader::parseRow(QList<double>& row)
{
    // The hot loop of loading: split at runs of blanks and convert in place. Values are
    // gathered in a per-thread scratch list first so that the row is allocated once, at its
    // final size. A value a pose cannot use fails the file.
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
        const std::string_view token(start, size_t(p - start));
        double value;
        if (!isTrusted(token, value)) [[unlikely]] {
            refuseBadValue(token);
            return false;
        }
        values.push_back(value);
    }
    row = QList<double>(values.begin(), values.end());
    return true;
}

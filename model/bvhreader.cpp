#include "bvhreader.h"

#include "model/bvhjoint.h"
#include "model/numberformat.h"
#include "model/threadstart.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <system_error>
#include <thread>

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
// A number too small or too large for a double: true when it is too small, from the place of
// its first significant digit and its exponent.
static bool isTiny(std::string_view number)
{
    size_t i = 0;
    if (i < number.size() && (number[i] == '-' || number[i] == '+'))
        ++i;
    qint64 digitsBeforePoint = 0;
    qint64 zerosAfterPoint = 0; // before the first significant digit
    bool afterPoint = false;
    bool significant = false;
    for (; i < number.size() && (std::isdigit(uchar(number[i])) || number[i] == '.'); ++i) {
        if (number[i] == '.')
            afterPoint = true;
        else if (number[i] != '0' || significant)
            significant = true, digitsBeforePoint += afterPoint ? 0 : 1;
        else if (afterPoint)
            ++zerosAfterPoint;
    }
    qint64 exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '-' || number[i] == '+'))
            ++i;
        for (; i < number.size() && std::isdigit(uchar(number[i])); ++i)
            exponent = std::min<qint64>(exponent * 10 + (number[i] - '0'), qint64(1) << 40);
        exponent = negative ? -exponent : exponent;
    }
    const qint64 leading = digitsBeforePoint > 0 ? digitsBeforePoint - 1 : -zerosAfterPoint - 1;
    return leading + exponent < 0;
}

static inline bool isTrusted(std::string_view token, double& value)
{
    token = NumberFormat::withoutLeadingPlus(token);
    value = 0.0;
    const char* end = token.data() + token.size();
    const auto parsed = std::from_chars(token.data(), end, value);
    if (parsed.ec == std::errc::result_out_of_range && parsed.ptr == end && isTiny(token)) {
        // Below the smallest double: 0, keeping its sign as a correctly rounded read would.
        value = token.front() == '-' ? -0.0 : 0.0;
        return true;
    }
    return parsed.ec == std::errc() && parsed.ptr == end &&
           std::abs(value) <= BvhReader::largestValue;
}

// A text that could be the start of a number cut short: only signs, digits, points and
// exponent marks ("-", "1.5e", "2e-").
static bool couldBeCutNumber(std::string_view token)
{
    return std::all_of(token.begin(), token.end(), [](char c) {
        return std::isdigit(uchar(c)) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
    });
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
    try {
        // A small file needs no full chunk (a batch run or the fuzzer reads thousands of them).
        buffer.resize(std::min<qint64>(chunkSize, bytesLeft() + 1));
        while (result.ok() && nextLine()) {
            if (contains(line, "HIERARCHY"))
                readHierarchy();
            else if (contains(line, "MOTION"))
                readMotion();
        }
    } catch (const std::bad_alloc&) {
        buffer = QByteArray();
        refuse(BvhReadResult::Status::OutOfMemory,
               QStringLiteral("There is not enough memory to hold its frames (%1 values each).")
                   .arg(file.frames.channelCount()));
    }
    device = nullptr;
    buffer = QByteArray();
    if (observer)
        observer->readingDone(file);
    if (result.ok() && !file.root) {
        // Rows without a skeleton are no motion: a refused file leaves nothing loaded.
        dropRows();
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
        readMore();
    }
}

void BvhReader::readMore()
{
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
    qint64 count = device->read(buffer.data() + bufferEnd, buffer.size() - bufferEnd);
    // A pipe or a socket may have nothing yet: only the device knows when it is at its end.
    while (count == 0 && !device->atEnd()) {
        device->waitForReadyRead(100);
        count = device->read(buffer.data() + bufferEnd, buffer.size() - bufferEnd);
    }
    if (count <= 0)
        deviceDone = true;
    else
        bufferEnd += count;
}

qsizetype BvhReader::completeLinesEnd(qsizetype bytes)
{
    // Both counted from bufferStart, which readMore moves: the bytes already searched for a
    // line feed, and the end of the complete lines among them.
    qsizetype searched = 0;
    qsizetype linesEnd = 0;
    for (;;) {
        const char* begin = buffer.constData() + bufferStart;
        const qsizetype held = bufferEnd - bufferStart;
        if (held > searched) {
            const auto* last =
                static_cast<const char*>(memrchr(begin + searched, '\n', size_t(held - searched)));
            if (last)
                linesEnd = last + 1 - begin;
            searched = held;
        }
        if (deviceDone)
            return bufferEnd; // the last line needs no line feed
        if (linesEnd > 0 && held >= bytes)
            return bufferStart + linesEnd;
        readMore();
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
        // Rows read before any skeleton fit no channels (they were only counted).
        result.warnings.append(QStringLiteral("The %1 frame rows before the HIERARCHY section "
                                              "at line %2 were dropped.")
                                   .arg(file.rowCount())
                                   .arg(lineNumber));
    }
    dropRows();
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

    readRows();
}

// The rows of one piece of a block: the lines from `begin` to `end`, parsed by one thread into
// rows of its own. A thread stops at the first value it cannot trust, and after `wanted` rows
// (no row after the declared count is a frame).
struct BvhReader::Piece
{
    struct ShortRow
    {
        qint64 line; // counted from 0 at `begin`
        qsizetype values;
    };

    const char* begin = nullptr;
    const char* end = nullptr;
    qsizetype wanted = 0;

    // The rows' values, one after the other, each row as long as the skeleton has channels:
    // the first `used` of `values`, which is kept from block to block (so that only the
    // motion's table takes fresh memory) and only grows.
    std::vector<double> values;
    size_t used = 0;
    qsizetype rows = 0;
    struct RowEnd
    {
        const char* next; // the line after the row's
        qint64 lines;     // the lines up to the row's, that one included
    };
    std::vector<RowEnd> rowEnds;     // one per row, where the piece would stop after it
    std::vector<ShortRow> shortRows; // rows with some values but fewer than a frame's
    qint64 lines = 0;                // lines parsed, the one of a bad value included
    std::string_view badValue;       // the first value that cannot be trusted, if any
    // Where the line of the bad value ends, and whether that value could be a number cut
    // short at the line's end, with `cutValues` whole values before it on the line.
    const char* badLineEnd = nullptr;
    bool badValueCut = false;
    qsizetype cutValues = 0;
    bool outOfMemory = false;

    void parse(qsizetype rowLimit);
    void parseLines(qsizetype rowLimit);
};

// The text of the value at `p`: up to the next blank.
static std::string_view tokenAt(const char* p, const char* lineEnd)
{
    const char* end = p;
    while (end < lineEnd && !isBlank(*end))
        ++end;
    return {p, size_t(end - p)};
}

void BvhReader::Piece::parse(qsizetype rowLimit)
{
    // Runs on a thread of its own: running out of memory is told, not thrown.
    try {
        parseLines(rowLimit);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    }
}

void BvhReader::Piece::parseLines(qsizetype rowLimit)
{
    // The hot loop of loading. Each value is converted straight from the text where it starts
    // into its place in the row, a plain decimal by the short way, any other number by
    // std::from_chars; that the conversion stops at a blank shows it took the whole value.
    // Anything else (a value beginning with '+', or no number at all) goes the rare way,
    // checked as a whole token.
    used = 0;
    rows = 0;
    rowEnds.clear();
    shortRows.clear();
    lines = 0;
    badValue = {};
    badValueCut = false;
    outOfMemory = false;
    // Values beyond the skeleton's channels belong to no channel and are not read. Rows before
    // any skeleton are counted and checked but not kept: the skeleton that comes drops them,
    // and without one the file is refused.
    const qsizetype limit = rowLimit >= 0 ? rowLimit : std::numeric_limits<qsizetype>::max();
    const char* p = begin;
    while (p < end && rows < wanted) {
        const auto* newline = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = newline ? newline : end;
        ++lines;
        // A row takes room for the skeleton's channels, but never more than the line can fill
        // (n values take at least 2n - 1 characters): a hostile skeleton of a million
        // channels costs no more than its short lines' text.
        const qsizetype room =
            rowLimit >= 0 ? std::min<qsizetype>(rowLimit, (lineEnd - p + 1) / 2) : 0;
        if (values.size() < used + size_t(room))
            values.resize(std::max(2 * values.size(), used + size_t(room)));
        double* row = values.data() + used;
        qsizetype count = 0;
        for (const char* q = p;;) {
            while (q < lineEnd && isBlank(*q))
                ++q;
            if (q == lineEnd || count == limit)
                break;
            double value = 0.0;
            const char* next = NumberFormat::readPlainDecimal(q, lineEnd, value);
            if (next && (next == lineEnd || isBlank(*next))) [[likely]] {
                q = next; // at most 2^53: always within the float range
            } else if (const auto parsed = std::from_chars(q, lineEnd, value);
                       parsed.ec == std::errc() &&
                       (parsed.ptr == lineEnd || isBlank(*parsed.ptr)) &&
                       std::abs(value) <= largestValue) {
                q = parsed.ptr;
            } else {
                const std::string_view token = tokenAt(q, lineEnd);
                if (!isTrusted(token, value)) {
                    badValue = token;
                    badLineEnd = newline ? newline + 1 : end;
                    const char* after = token.data() + token.size();
                    badValueCut = count < rowLimit && couldBeCutNumber(token) &&
                                  std::all_of(after, lineEnd, isBlank);
                    cutValues = count;
                    return;
                }
                q = token.data() + token.size();
            }
            if (count < room)
                row[count] = value;
            ++count;
        }
        p = newline ? newline + 1 : end;
        if (count < rowLimit) {
            if (count > 0)
                shortRows.push_back({lines - 1, count});
            continue;
        }
        ++rows;
        used += size_t(std::max<qsizetype>(rowLimit, 0));
        rowEnds.push_back({p, lines});
    }
}

int BvhReader::threadCount() const
{
    return threads > 0 ? threads : std::max(1, int(std::thread::hardware_concurrency()));
}

void BvhReader::parseBlock(qsizetype linesEnd, std::vector<Piece>& pieces) const
{
    const char* begin = buffer.constData() + bufferStart;
    const char* end = buffer.constData() + linesEnd;
    const qsizetype leastPiece = std::max<qsizetype>(1, blockBytes / 32);
    const qsizetype count =
        std::clamp<qsizetype>((end - begin) / leastPiece, 1, qsizetype(threadCount()));
    pieces.resize(size_t(count));
    // Equal shares of the bytes, each moved on to the start of a line.
    const char* pieceBegin = begin;
    for (qsizetype i = 0; i < count; ++i) {
        const char* pieceEnd = end;
        if (i + 1 < count) {
            pieceEnd = std::max(pieceBegin, begin + (end - begin) * (i + 1) / count);
            const auto* newline =
                static_cast<const char*>(std::memchr(pieceEnd, '\n', size_t(end - pieceEnd)));
            pieceEnd = newline ? newline + 1 : end;
        }
        Piece& piece = pieces[size_t(i)];
        piece.begin = pieceBegin;
        piece.end = pieceEnd;
        piece.wanted = file.numFrames - file.rowCount();
        pieceBegin = pieceEnd;
    }
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < pieces.size(); ++i)
        helpers.push_back(ThreadStart::startOrRun([&, i] { pieces[i].parse(rowLimit); }));
    pieces[0].parse(rowLimit);
    for (std::thread& helper : helpers) {
        if (helper.joinable())
            helper.join();
    }
}

void BvhReader::readRows()
{
    rowLimit = -1;
    if (file.root) {
        rowLimit = 0;
        for (const BvhJoint* joint : file.root->getAllJoints())
            rowLimit += joint->getNumChannels();
    }
    const qsizetype channels = std::max<qsizetype>(rowLimit, 0);
    if (file.frames.isEmpty())
        file.frames.reset(channels);
    // Never trust the declared count alone: a row takes at least two bytes per channel (a
    // value and a blank or line end), and at least one byte without channels.
    const qint64 bytes = bytesLeft() + 1;
    const qint64 possibleRows =
        std::clamp<qint64>(std::min<qint64>(file.numFrames - file.rowCount(),
                                            channels > 0 ? bytes / (2 * channels) : bytes),
                           0, std::numeric_limits<int>::max());
    if (possibleRows > 0)
        file.frames.reserveRows(file.rowCount() + possibleRows);
    if (observer && file.root)
        observer->motionStarted(file, possibleRows);

    // Rows are read until the declared count is complete. A blank line is no row; a row with
    // fewer values than the skeleton's channels (a file cut short mid-row, a damaged line) is
    // no frame either: it is left out and reported. The lines after the last row are read on
    // as keyword lines.
    qint64 firstShortLine = 0;
    qsizetype firstShortValues = 0;
    qint64 shortRows = 0;
    const auto countShortRow = [&](qint64 line, qsizetype values) {
        if (shortRows++ == 0) {
            firstShortLine = line;
            firstShortValues = values;
        }
    };
    std::vector<Piece> pieces;
    while (file.rowCount() < file.numFrames) {
        if (cancelFlag && cancelFlag->load()) {
            refuse(BvhReadResult::Status::Canceled, QStringLiteral("The reading was canceled."));
            return;
        }
        qsizetype linesEnd = completeLinesEnd(blockBytes);
        if (linesEnd == bufferStart)
            break; // the file ended
        if (linesEnd - bufferStart > blockBytes) {
            const char* blockEnd = buffer.constData() + bufferStart + blockBytes - 1;
            const auto* newline = static_cast<const char*>(
                std::memchr(blockEnd, '\n', size_t(buffer.constData() + linesEnd - blockEnd)));
            if (newline)
                linesEnd = newline + 1 - buffer.constData();
        }
        parseBlock(linesEnd, pieces);

        // The rows the motion takes from each piece, up to the declared count, and the lines
        // that many rows span.
        const int rowsBefore = file.rowCount();
        const char* stop = buffer.constData() + linesEnd;
        qsizetype taking = 0;
        const Piece* badPiece = nullptr;
        std::vector<qint64> linesTaken;
        for (const Piece& piece : pieces) {
            if (piece.outOfMemory)
                throw std::bad_alloc();
            const qsizetype wanted = file.numFrames - file.rowCount() - taking;
            const bool countReached = piece.rows >= wanted;
            qint64 lines = piece.lines;
            if (countReached) {
                stop = piece.rowEnds[size_t(wanted - 1)].next;
                lines = piece.rowEnds[size_t(wanted - 1)].lines;
            }
            linesTaken.push_back(lines);
            taking += std::min(piece.rows, wanted);
            if (countReached)
                break;
            if (!piece.badValue.empty()) {
                badPiece = &piece;
                break;
            }
        }
        // Where the rows go: a table that must grow moves, which the observer hears first.
        if (file.rowCount() + taking > file.frames.reservedRows() && observer)
            observer->rowsMoving(file);
        double* target = file.frames.appendRows(taking);
        for (size_t k = 0; k < linesTaken.size(); ++k) {
            const Piece& piece = pieces[k];
            for (const Piece::ShortRow& shortRow : piece.shortRows) {
                if (shortRow.line >= linesTaken[k])
                    break;
                countShortRow(lineNumber + shortRow.line + 1, shortRow.values);
            }
            const qsizetype rows = std::min(piece.rows, taking);
            if (rows > 0 && channels > 0) {
                std::memcpy(target, piece.values.data(), size_t(rows * channels) * sizeof(double));
                target += rows * channels;
            }
            taking -= rows;
            lineNumber += linesTaken[k];
        }
        if (badPiece) {
            // The file's last row cut inside a number is a row cut short; anything else fails
            // the file.
            const std::string badValue(badPiece->badValue);
            const qint64 badLine = lineNumber;
            if (!(badPiece->badValueCut &&
                  onlyBlanksFollow(badPiece->badLineEnd - buffer.constData()))) {
                refuseBadValue(badValue);
                return;
            }
            countShortRow(badLine, badPiece->cutValues);
            if (observer && file.rowCount() > rowsBefore)
                observer->rowsAppended(file);
            break;
        }
        bufferStart = stop - buffer.constData();
        if (observer && file.rowCount() > rowsBefore)
            observer->rowsAppended(file);
    }
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
                .arg(file.rowCount())
                .arg(frameCount(file.numFrames))
                .arg(file.rowCount() == 1 ? QStringLiteral("was") : QStringLiteral("were")));
    } else if (file.rowCount() < file.numFrames) {
        result.warnings.append(QStringLiteral("The file declares %1 but holds %2.")
                                   .arg(frameCount(file.numFrames))
                                   .arg(file.rowCount()));
    }
}

void BvhReader::dropRows()
{
    if (observer && !file.frames.isEmpty())
        observer->rowsMoving(file);
    file.frames.clear();
}

bool BvhReader::onlyBlanksFollow(qsizetype offset)
{
    for (;;) {
        const char* p = buffer.constData() + offset;
        const char* end = buffer.constData() + bufferEnd;
        if (!std::all_of(p, end, [](char c) { return isBlank(c) || c == '\n'; }))
            return false;
        if (deviceDone)
            return true;
        // Only what follows is kept: the bytes up to `offset` were looked at.
        bufferStart = bufferEnd;
        readMore();
        offset = bufferStart;
    }
}

void BvhReader::refuse(BvhReadResult::Status status, const QString& reason)
{
    delete file.root.data();
    file.root = nullptr;
    dropRows();
    file.numFrames = 0;
    result.warnings.clear();
    result.status = status;
    result.errorString = reason;
}

void BvhReader::refuseBadValue(std::string_view value)
{
    refuse(BvhReadResult::Status::BadValue,
           QStringLiteral("Line %1 holds \"%2\", which is not a finite number in single "
                          "precision.")
               .arg(lineNumber)
               .arg(decodeName(value.substr(0, 40))));
}

#pragma once

#include "model/bvhfile.h"
#include "model/bvhreadobserver.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <limits>
#include <string_view>
#include <vector>

class QIODevice;
class BvhJoint;

// What reading a BVH file gave. The reader is forgiving about the layout: whatever it understood
// stays loaded, and a file that cannot be opened or holds no joint hierarchy is a failure. A
// value it cannot trust is not forgiven: a frame row holding a text that is no finite number
// in single precision ("nan", "inf", "1e39", "abc") fails the whole file, named by its line,
// unless it is the file's last row cut inside a number ("7 -", "7 1.5e"), which is left out
// like any row cut short. A value too small for a double ("1e-400") reads as 0.
struct BvhReadResult
{
    enum class Status
    {
        Ok,
        CannotOpen,
        NoHierarchy,
        BadValue,    // a frame row holds a text that is no number, or one too large for a pose
        OutOfMemory, // the frames need more memory than there is
        Canceled     // the reading was canceled (BvhReader::setCancelFlag)
    };

    Status status = Status::Ok;
    QString errorString;  // why the file gave no motion, when !ok()
    QStringList warnings; // what was repaired or left out, one sentence each

    bool ok() const { return status == Status::Ok; }
};

// Reads the BVH text format into a BvhFile (normally an empty one). Line-oriented and
// forgiving: keywords are whole tokens compared exactly, unknown lines are skipped, and whatever
// was understood stays loaded. The grammar:
// - a line containing "HIERARCHY" is followed (blank lines skipped) by "ROOT name"; each joint
//   is "{", then OFFSET, CHANNELS, JOINT and End lines, then "}"; only the first word of a
//   name is kept, every End block is named "End Site", and only a joint's first CHANNELS line
//   counts;
// - a line containing "MOTION" is followed (blank lines skipped) by "Frames: n" and
//   "Frame Time: t", then by at most n frame rows of numbers separated by tabs or spaces;
//   a carriage return inside a line separates like a blank, blank lines are skipped, and a row
//   with fewer values than the skeleton's channels is left out with a warning.
// The frame rows are read in blocks of whole lines, each block split at line ends into pieces
// that threads parse at once, each into rows of its own; the rows are then appended to the
// motion's one table in file order.
// What is read, warned about or refused is the same whatever the number of threads.
// Bounds against hostile files: a hierarchy deeper than maxDepth levels ends there, a joint
// takes at most maxChannelsPerJoint channels, a row keeps at most as many values as the
// skeleton has channels, rows read before a hierarchy are dropped when it comes, storage is
// reserved only for as many rows as the bytes left can fill (a row takes at least two bytes
// per channel), running out of memory fails the read (nothing stays loaded), and only regular
// files are opened.
class BvhReader
{
public:
    static constexpr int maxDepth = 1000;
    static constexpr int maxChannelsPerJoint = 1024;

    // Bytes of frame rows read at once; the observer hears of their rows together.
    static constexpr qsizetype defaultBlockBytes = qsizetype(1) << 20;

    // The largest magnitude a value may have: the largest float.
    static constexpr double largestValue = std::numeric_limits<float>::max();

    // `observer`, when given, is told about the rows as they are read.
    explicit BvhReader(BvhFile& file, BvhReadObserver* observer = nullptr)
        : file(file), observer(observer)
    {
    }

    // Threads that parse the frame rows, the calling one included; 0 (the default) means one
    // per core. A thread is given at least a 32nd of a block (32 KB by default), so a motion
    // of a few dozen kilobytes is parsed on the calling thread alone; tests set small blocks
    // to have small files read in many blocks and pieces.
    void setThreads(int count) { threads = count; }
    void setBlockBytes(qsizetype bytes) { blockBytes = std::max<qsizetype>(1, bytes); }
    // A flag another thread may set to end the reading after the block of rows under way;
    // nothing read stays loaded.
    void setCancelFlag(const std::atomic<bool>* flag) { cancelFlag = flag; }

    BvhReadResult read(const QString& fileName);
    // Reads from an open device; the same rules as for a file. A read that gives no bytes
    // before the device is at its end waits for more.
    BvhReadResult read(QIODevice& device);

private:
    struct Piece;

    // The stages of the grammar above.
    void readHierarchy();
    BvhJoint* readJoint(const QString& name);
    void readMotion();
    // Reads the rows that follow the MOTION header into file.frames.
    void readRows();
    // Splits the complete lines from bufferStart to `linesEnd` among threads and parses them.
    void parseBlock(qsizetype linesEnd, std::vector<Piece>& pieces) const;
    int threadCount() const;

    bool nextLine();
    // Moves the unread bytes to the front of the buffer and reads more after them.
    void readMore();
    // Reads until at least `bytes` unread bytes, ending in a complete line, are held (or the
    // file ends); returns the end of the complete lines (the end of the file's bytes).
    qsizetype completeLinesEnd(qsizetype bytes);
    bool nextNonBlankLine();
    bool openBlock();
    void tokenise();
    std::string_view token(size_t index) const;
    // Fails the whole read: nothing read stays loaded.
    void refuse(BvhReadResult::Status status, const QString& reason);
    // Fails the whole read over `value` of the current line.
    void refuseBadValue(std::string_view value);
    // Empties the frame table, telling the observer first.
    void dropRows();
    // True when nothing but blanks and line ends follows `offset` in the whole file.
    bool onlyBlanksFollow(qsizetype offset);
    qint64 bytesLeft() const;

    BvhFile& file;
    BvhReadObserver* observer;
    BvhReadResult result;

    QIODevice* device = nullptr;
    QByteArray buffer;
    qsizetype bufferStart = 0; // first unread byte of buffer
    qsizetype bufferEnd = 0;   // end of the valid bytes of buffer
    bool deviceDone = false;
    std::string_view line;
    qint64 lineNumber = 0;
    std::vector<std::string_view> tokens;
    qsizetype rowLimit = -1; // values kept per row, -1 for no limit
    int threads = 0;
    qsizetype blockBytes = defaultBlockBytes;
    const std::atomic<bool>* cancelFlag = nullptr;
};

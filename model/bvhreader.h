#pragma once

#include "model/bvhfile.h"
#include "model/bvhreadobserver.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <limits>
#include <string_view>
#include <vector>

class QIODevice;
class BvhJoint;

// What reading a BVH file gave. The reader is forgiving about the layout: whatever it understood
// stays loaded, and a file that cannot be opened or holds no joint hierarchy is a failure. A
// value it cannot trust is not forgiven: a frame row holding a text that is no finite number
// in single precision ("nan", "inf", "1e39", "abc") fails the whole file, named by its line.
struct BvhReadResult
{
    enum class Status
    {
        Ok,
        CannotOpen,
        NoHierarchy,
        BadValue // a frame row holds a text that is no number, or one too large for a pose
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
// Bounds against hostile files: a hierarchy deeper than maxDepth levels ends there, a joint
// takes at most maxChannelsPerJoint channels, a row keeps at most as many values as the
// skeleton has channels, rows read before a hierarchy are dropped when it comes, storage is
// reserved only as far as the file's size justifies, and only regular files are opened.
class BvhReader
{
public:
    static constexpr int maxDepth = 1000;
    static constexpr int maxChannelsPerJoint = 1024;

    // Rows between two calls of the observer's rowsAppended.
    static constexpr int observedBatch = 256;

    // The largest magnitude a value may have: the largest float.
    static constexpr double largestValue = std::numeric_limits<float>::max();

    // `observer`, when given, is told about the rows as they are read.
    explicit BvhReader(BvhFile& file, BvhReadObserver* observer = nullptr)
        : file(file), observer(observer)
    {
    }

    BvhReadResult read(const QString& fileName);
    // Reads from an open device; the same rules as for a file.
    BvhReadResult read(QIODevice& device);

private:
    // The stages of the grammar above.
    void readHierarchy();
    BvhJoint* readJoint(const QString& name);
    void readMotion();

    bool nextLine();
    bool nextNonBlankLine();
    bool openBlock();
    void tokenise();
    std::string_view token(size_t index) const;
    // False when the line holds a value that cannot be trusted; the file is then refused.
    bool parseRow(QList<double>& row);
    // Fails the whole read over `value` of the current line: nothing read stays loaded.
    void refuseBadValue(std::string_view value);
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
};

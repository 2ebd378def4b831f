#pragma once

#include "model/bvhfile.h"
#include "model/framerange.h"
#include "model/writeresult.h"

#include <string>

class QSaveFile;

// Writes a motion as BVH text: the tab-indented hierarchy, then a range of frame rows,
// values separated by tabs. Offsets and the first three values of a row get 4 decimals, the
// other values 6, the frame time 10, and any value that needs more digits to read back as the
// same number gets as many as it needs: the reader reads every file it writes back, value for
// value.
class BvhWriter
{
public:
    explicit BvhWriter(const BvhFile& file) : file(file) {}

    // The rows of `range` that the motion holds. Nothing is written, and the old file is kept,
    // when no motion is loaded or the file cannot be written.
    WriteResult write(const QString& fileName, const FrameRange& range);
    // The same text into a string (for tests and tools that write elsewhere).
    std::string toText(const FrameRange& range);

private:
    void writeHierarchy();
    void writeJoint(const BvhJoint* joint);
    void writeMotion(const FrameRange& range);

    void writeIndent(int level);
    void writeNumber(double value, int decimals);
    void writeText(const QString& text);
    void flushIfFull();

    const BvhFile& file;
    std::string text;
    int indentLevel = 0;         // the level of the innermost open block
    QSaveFile* output = nullptr; // null when writing into `text` only
    bool failed = false;
};

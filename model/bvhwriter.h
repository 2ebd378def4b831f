#pragma once

#include "model/bvhfile.h"

#include <string>

class QSaveFile;

// Writes a motion as BVH text: the tab-indented hierarchy, then a range of frame rows,
// values separated by tabs. Offsets and the first three values of a row get 4 decimals, the
// other values 6, the frame time 10; the reader reads every file it writes back.
class BvhWriter
{
public:
    explicit BvhWriter(BvhFile& file) : file(file) {}

    // startFrame..endFrame, both included; endFrame -2 means through the last row. A negative
    // start starts at row 0. The file is replaced only once everything was written.
    WriteResult write(const QString& fileName, int startFrame, int endFrame);
    // The same text into a string (for tests and tools that write elsewhere).
    std::string toText(int startFrame, int endFrame);

private:
    void writeHierarchy();
    void writeJoint(const BvhJoint* joint);
    void writeMotion(int startFrame, int endFrame);

    void writeIndent(int level);
    void writeNumber(double value, int decimals);
    void writeText(const QString& text);
    void flushIfFull();

    BvhFile& file;
    std::string text;
    QSaveFile* output = nullptr; // null when writing into `text` only
    bool failed = false;
};

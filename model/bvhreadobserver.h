#pragma once

#include <QtGlobal>

class BvhFile;

// Lets a caller work on a motion while BvhReader is still reading it, on another thread: the
// reader tells it, on the reading thread, when the rows start and each time a batch of rows
// was appended. Only then may it look at the file, and only at what it was told about: once
// the call returns the reader goes on changing the file (appending to `frames` may move the
// rows), so whatever it hands to another thread must be copied first.
class BvhReadObserver
{
public:
    virtual ~BvhReadObserver() = default;

    // The hierarchy is complete and the MOTION section begins; `possibleRows` is as many rows
    // as the section can hold (never more than the declared frame count). Called once for each
    // MOTION section that follows a hierarchy.
    virtual void motionStarted(const BvhFile& file, qsizetype possibleRows) = 0;
    // Rows were appended to file.frames, which now holds file.rowCount() rows.
    virtual void rowsAppended(const BvhFile& file) = 0;
    // The rows told of are about to move or go; on return nobody looks at them any more.
    virtual void rowsMoving(const BvhFile& file) { Q_UNUSED(file); }
    // The reading is over, whatever it gave; on return nobody looks at the rows any more, as
    // the reader's caller may change them from now on.
    virtual void readingDone(const BvhFile& file) { Q_UNUSED(file); }
};

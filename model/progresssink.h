#pragma once

#include <QString>

// How a long operation of the core (an export, the interpolation, a batch conversion) reports
// its progress without knowing about widgets. The window fills it with a QProgressDialog, the
// command line with a line on standard error, the tests with a recorder. Every operation takes
// a ProgressSink pointer that may be null: then nothing is reported and nothing can cancel.
class ProgressSink
{
public:
    virtual ~ProgressSink();

    // Shows the progress for a new operation: value 0 of 0..maximum, with an optional window
    // title and label text (empty strings leave them unset).
    virtual void begin(const QString& title, const QString& label, int maximum) = 0;
    virtual void setValue(int value) = 0;
    // True once the user has asked to stop. Operations that can stop test it at their
    // progress steps; the others never ask.
    virtual bool isCanceled() const = 0;
    // The operation is over; the progress display goes away.
    virtual void end() = 0;
};

// Result of writing one output file.
struct WriteResult
{
    bool ok = true;
    QString fileName;
    QString errorString; // why the file could not be written, when !ok

    static WriteResult failure(const QString& fileName, const QString& errorString)
    {
        return {false, fileName, errorString};
    }
    static WriteResult success(const QString& fileName) { return {true, fileName, {}}; }
};

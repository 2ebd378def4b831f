#pragma once

#include "model/writeresult.h"

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

// Reports a loop over the indices first..stop-1 as a value of 0..100 that rises in steps of 10:
// at each index whose share of the loop has passed the value, the value goes up one step.
class PercentProgress
{
public:
    // `sink` may be null.
    PercentProgress(ProgressSink* sink, int first, int stop)
        : sink(sink), first(first), span(double(stop) - double(first))
    {
    }

    // Call at the start of each pass; true when the user has asked to stop.
    bool advance(int index);

private:
    ProgressSink* sink;
    int first;
    double span;
    int value = 0;
};

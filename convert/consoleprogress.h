#pragma once

#include "model/progresssink.h"

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

// One progress bar on standard error for several outputs written at once, each from its own
// thread: the bar shows the mean of their percentages and is redrawn in place when it changes.
// Used only when standard error is a terminal. Nothing here can cancel.
class ConsoleProgress
{
public:
    // `label` is shown before the bar; `outputs` is the number of sinks.
    ConsoleProgress(const QString& label, int outputs);
    ~ConsoleProgress();

    // The sink through which output `index` reports.
    ProgressSink* sink(int index);
    // Every output is done: draws the full bar and ends the line.
    void finish();

private:
    class OutputSink;

    void report(int index, int percent);
    void draw(int percent);

    QString label;
    std::vector<std::unique_ptr<OutputSink>> sinks;
    std::mutex mutex; // guards percents and shown, and the drawing
    std::vector<int> percents;
    int shown = -1;
};

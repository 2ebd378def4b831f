#pragma once

#include <QString>
#include <QStringList>

// Runs a program as a child process and measures it as the shell's `time` would: wall time,
// the CPU time of its threads (user and system) and its peak resident memory.
namespace ChildRun {

struct Measure
{
    bool ok = false; // started, and ended with exit code 0
    double seconds = 0.0;
    double userSeconds = 0.0;
    double systemSeconds = 0.0;
    double peakMegabytes = 0.0;

    double cpuSeconds() const { return userSeconds + systemSeconds; }
};

struct Options
{
    QString workingDirectory;     // empty: this process's
    qint64 addressSpaceLimit = 0; // bytes, as `ulimit -v` sets; 0 for none
    QString cpuList;              // as `taskset -c` takes it ("0"); empty for any core
    bool offscreen = true;        // QT_QPA_PLATFORM=offscreen for the child
    bool quiet = false;           // standard output and error to /dev/null
};

Measure run(const QString& program, const QStringList& arguments, const Options& options = {});

} // namespace ChildRun

#pragma once

#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"

#include <QString>

#include <optional>

class BvhFile;
class ProgressSink;
struct WriteResult;
class C3DPipeline;

// What one command-line argument asks for. "--help" and "--version" print and end; the name of
// an existing file opens it in the window. Otherwise it selects a run over the BVH files of
// the current directory: an argument containing "all" writes a C3D file for each, else one
// containing "feet" writes a table of the two ankles' positions for each (case-sensitive
// tests). Each file is posed, scaled and named as its detected skeleton profile says. The
// files are converted several at once (two per core), under one progress dialog whose Cancel
// ends the run after the files under way; each output is named on standard output, saying so
// when it replaces a file, and the lines come in the order of the files whatever order they
// were written in. A file that cannot be read, or has no foot joints for the foot run, is
// skipped with a line on standard error; an output that cannot be written is reported there
// too and makes the run fail.
class CommandLineRun
{
public:
    enum class Kind
    {
        None,
        OpenFile,
        Help,
        Version,
        ConvertToC3D,
        FootTables
    };

    // `jobs`: files converted at once; below 1, two per core.
    explicit CommandLineRun(int jobs = 0) : jobs(jobs) {}

    static Kind kindOf(const QString& argument);

    static QString usage();

    // Makes the run `argument` selects and returns the exit code for it: 1 when some output
    // could not be written (or the argument names a .bvh file that is not there), else 0.
    // Nothing for OpenFile: the window opens it.
    int run(const QString& argument);

private:
    enum class Outcome
    {
        Written,
        Skipped,
        Failed
    };

    // What became of one file, and the lines that say so, kept until the files before it have
    // had theirs printed.
    struct FileReport
    {
        Outcome outcome = Outcome::Skipped;
        QStringList outputs;  // for standard output
        QStringList problems; // for standard error

        // The outcome of writing `result`, with the reason when it failed.
        void recordWrite(const WriteResult& result);
    };

    using FileWork = void (CommandLineRun::*)(const QString&, ProgressSink*, FileReport&) const;

    int runOverDirectory(FileWork processFile, const QString& label);
    void convertToC3D(const QString& entry, ProgressSink* progress, FileReport& report) const;
    void writeFootTable(const QString& entry, ProgressSink* progress, FileReport& report) const;
    // Reads one file and chooses its setup (the detected profile), or says why it is skipped.
    std::optional<MotionSetup> readMotion(const QString& entry, BvhFile& motion, FileReport& report,
                                          C3DPipeline* pipeline = nullptr) const;

    int jobs;
    int readThreads = 0; // threads each file reads its rows on; 0: one per core
    SkeletonProfiles profiles;
};

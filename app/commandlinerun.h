#pragma once

#include "physics/motionsetup.h"
#include "physics/skeletonprofiles.h"

#include <QString>

#include <optional>

class BvhFile;
class C3DPipeline;

// What one command-line argument asks for. "--help" and "--version" print and end; the name of
// an existing file opens it in the window. Otherwise it selects a run over the BVH files of
// the current directory: an argument containing "all" writes a C3D file for each, else one
// containing "feet" writes a table of the two ankles' positions for each (case-sensitive
// tests). Each file is posed, scaled and named as its detected skeleton profile says, and named
// on standard output as it is written, saying so when it replaces a file.
// Each file gets its own progress dialog, whose Cancel ends the run after the file under way.
// A file that cannot be read, or has no foot joints for the foot run, is skipped with a line
// on standard error; an output that cannot be written is reported there too and makes the
// run fail.
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

    int runOverDirectory(Outcome (CommandLineRun::*processFile)(const QString&));
    Outcome convertToC3D(const QString& entry);
    Outcome writeFootTable(const QString& entry);
    // Reads one file and chooses its setup (the detected profile), or says why it is skipped.
    std::optional<MotionSetup> readMotion(const QString& entry, BvhFile& motion,
                                          C3DPipeline* pipeline = nullptr);

    SkeletonProfiles profiles;
    bool cancelled = false; // set by the Cancel button of any file's progress dialog
};

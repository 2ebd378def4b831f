#pragma once

#include "physics/motionsetup.h"
#include "physics/skeletonprofiles.h"

#include <QString>

#include <optional>

class BvhFile;
class C3DPipeline;

// The runs that one command-line argument selects, over the BVH files of the current
// directory: an argument containing "all" writes a C3D file for each, else one containing
// "feet" writes a table of the two ankles' positions for each (case-sensitive tests). Each
// file is posed, scaled and named as its detected skeleton profile says.
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
        ConvertToC3D,
        FootTables
    };

    static Kind kindOf(const QString& argument);

    // Makes the run `argument` selects and returns the exit code for it: 1 when some output
    // could not be written, else 0.
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

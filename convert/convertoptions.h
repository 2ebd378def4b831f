#pragma once

#include "model/framerange.h"
#include "model/lengthunit.h"
#include "model/poseconvention.h"
#include "physics/motionanalysis.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

struct ConvertOptions;

// One output a kinovane-convert call may ask for: its option, the member holding its file name,
// and the name it gets when the option is given none.
struct OutputOption
{
    const char* option;            // "--c3d"
    QString ConvertOptions::*file; // &ConvertOptions::c3dFile
    const char* nameAfterInput;    // "{name}.c3d"
};

// What one kinovane-convert call asks for, as parsed from its arguments.
struct ConvertOptions
{
    QString input;      // the first of `inputs`
    QStringList inputs; // files and folders
    bool recursive = false;
    QString outDir; // empty: outputs beside their inputs (or as named)
    int jobs = 0;   // files converted at once; 0: one per core
    QString c3dFile;
    QString bvhFile;
    QString massCentreFile;
    QString rotationsFile;
    QString positionsFile;
    QString analysisFile;
    QString eventsFile;
    AnalysisSettings analysis;
    QStringList joints;                       // empty: every joint
    std::optional<FrameRange> range;          // none: every frame
    QString modelFile;                        // empty: the profile's model
    QString profile;                          // empty: the detected profile
    std::optional<PoseConvention> convention; // none: the profile's
    std::optional<LengthUnit> unit;           // none: the profile's, judged by the stature
    bool quiet = false;
    bool help = false;
    bool version = false;

    // Every output option, in the order the usage lists them.
    static const std::array<OutputOption, 7>& outputOptions();

    bool hasOutput() const;
    // Several files or folders, an output folder or "{name}" in an output's name: each input
    // is converted on its own, its outputs named after it (see InputSet).
    bool isDataSet() const;
    bool wantsAnalysis() const { return !analysisFile.isEmpty() || !eventsFile.isEmpty(); }

    // Parses the arguments after the program name. Returns an empty string, or what is wrong
    // with them (a usage error).
    QString parse(const QStringList& arguments);

    static QString usage();
};

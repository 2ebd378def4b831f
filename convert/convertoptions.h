#pragma once

#include "model/framerange.h"
#include "model/lengthunit.h"
#include "model/poseconvention.h"
#include "physics/motionanalysis.h"

#include <QString>
#include <QStringList>

#include <optional>

// What one kinovane-convert call asks for, as parsed from its arguments.
struct ConvertOptions
{
    QString input;
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

    bool hasOutput() const;
    bool wantsAnalysis() const { return !analysisFile.isEmpty() || !eventsFile.isEmpty(); }

    // Parses the arguments after the program name. Returns an empty string, or what is wrong
    // with them (a usage error).
    QString parse(const QStringList& arguments);

    static QString usage();
};

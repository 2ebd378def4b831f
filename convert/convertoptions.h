#pragma once

#include "gait/gaitreference.h"
#include "gait/motionanalysis.h"
#include "model/framerange.h"
#include "model/lengthunit.h"
#include "model/poseconvention.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

struct ConvertOptions;

// One option of kinovane-convert, a row of the one table from which both the parsing and the
// usage text come.
struct ConvertOption
{
    enum class Argument
    {
        None,      // a switch
        Value,     // --name VALUE or --name=VALUE
        OutputName // --name=FILE, or --name FILE when FILE ends in `extension`, or no name
    };

    QString name;      // "--c3d"
    QString shortName; // "-j", or empty
    Argument argument = Argument::None;
    QString valueName; // "HZ", "FILE"; shown in the usage
    QString help;      // lines of the usage, "\n" between them
    QString section;   // a heading the usage puts before this option, when it starts one
    // Outputs only: the member that holds the file's name, the name an output given none
    // gets, and the extension that marks a following argument as its name.
    QString ConvertOptions::*file = nullptr;
    QString nameAfterInput;
    QString extension;
    // Takes the value (empty for a switch) of the option as typed (`option`: "-j" or
    // "--jobs"); returns what is wrong with the value, if anything.
    std::function<QString(ConvertOptions&, const QString& option, const QString& value)> apply;
};

// What one kinovane-convert call asks for, as parsed from its arguments.
struct ConvertOptions
{
    QString input;      // the first of `inputs`
    QStringList inputs; // files and folders
    bool recursive = false;
    QString outDir;      // empty: outputs beside their inputs (or as named)
    int jobs = 0;        // files converted at once; 0: two per core
    int readThreads = 0; // threads reading a file's rows; 0: one per core (set by data sets)
    QString c3dFile;
    QString bvhFile;
    QString massCentreFile;
    QString rotationsFile;
    QString positionsFile;
    QString analysisFile;
    QString eventsFile;
    QString anglesFile;
    QString stridesFile;
    QString cyclesFile;
    QString summaryFile; // a data set's one table, a row per file
    QString scoresFile;  // the deviation scores against the reference
    QString swayFile;    // the sway of a standing trial
    QString reportFile;  // PDF
    QString trcFile;     // OpenSim markers
    QString motFile;     // OpenSim storage of the analysis
    bool trcInMetres = false;
    bool c3dCentres = false;      // --c3d-extra com: CentreOfMass and XCoM points
    bool c3dAngles = false;       // --c3d-extra angles: the joint angles as points
    bool c3dEvents = false;       // --c3d-extra events: the gait events (an analysis adds them)
    bool c3dUniqueLabels = false; // --c3d-labels unique
    QString profileFile;          // the skeleton's profile, to edit and install
    bool showProfile = false;
    AnalysisSettings analysis;
    QString referenceFile;    // --reference: scores and bands against it
    QString referenceOutFile; // --reference-out: the reference of every walk converted
    bool referenceBySide = false;
    std::shared_ptr<const GaitReference> reference; // referenceFile's, once loaded
    QStringList joints;                             // empty: every joint
    std::optional<FrameRange> range;                // none: every frame
    QString modelFile;                              // empty: the profile's model
    QString profile;                                // empty: the detected profile
    std::optional<PoseConvention> convention;       // none: the profile's
    std::optional<LengthUnit> unit;                 // none: the profile's, judged by the stature
    bool quiet = false;
    bool help = false;
    bool version = false;

    // Every option, in the order the usage lists them.
    static const QList<ConvertOption>& table();
    // The rows of the outputs.
    static QList<const ConvertOption*> outputOptions();

    bool hasOutput() const;
    // Several files or folders, an output folder or "{name}" in an output's name: each input
    // is converted on its own, its outputs named after it (see InputSet).
    bool isDataSet() const;
    bool wantsAnalysis() const
    {
        return !analysisFile.isEmpty() || !eventsFile.isEmpty() || !anglesFile.isEmpty() ||
               !stridesFile.isEmpty() || !cyclesFile.isEmpty() || !summaryFile.isEmpty() ||
               !reportFile.isEmpty() || !motFile.isEmpty() || !scoresFile.isEmpty() ||
               !swayFile.isEmpty() || !referenceOutFile.isEmpty() ||
               (!c3dFile.isEmpty() && (c3dCentres || c3dAngles || c3dEvents));
    }

    // Parses the arguments after the program name. Returns an empty string, or what is wrong
    // with them (a usage error).
    QString parse(const QStringList& arguments);

    static QString usage();

    // Reads the reference the options name, if any, into `reference`. Returns what is wrong
    // with it, if anything.
    QString loadReference();
};

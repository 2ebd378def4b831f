#include "conversion.h"

#include "convert/consoleprogress.h"
#include "export/c3dpipeline.h"
#include "gait/gaitcycles.h"
#include "gait/gaitreference.h"
#include "gait/gaitscores.h"
#include "gait/motionanalysis.h"
#include "gait/strides.h"
#include "gait/sway.h"
#include "gait/trialsummary.h"
#include "handoff/c3drequest.h"
#include "handoff/gaitreport.h"
#include "handoff/opensimfiles.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "model/threadstart.h"
#include "physics/centreofmass.h"
#include "skeleton/motionsetup.h"
#include "skeleton/setupobserver.h"
#include "skeleton/skeletonprofilefile.h"
#include "skeleton/skeletonprofiles.h"

#include <QFile>

#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

// Where this thread's messages go instead of standard error, when set (a data-set run keeps
// each file's messages for its summary).
static thread_local QStringList* collectedMessages = nullptr;
// Where this thread's row of the summary table goes instead of a file of its own.
static thread_local QString* collectedSummaryRow = nullptr;
// Where this thread's walk goes to join a data set's reference instead of one of its own.
static thread_local GaitReference::Walk* collectedWalk = nullptr;

static void report(const QString& message)
{
    if (collectedMessages)
        collectedMessages->append(message);
    else
        std::fprintf(stderr, "kinovane-convert: %s\n", qUtf8Printable(message));
}

static bool check(const WriteResult& result)
{
    if (!result.ok)
        report(QStringLiteral("cannot write %1: %2").arg(result.fileName, result.errorString));
    return result.ok;
}

// The joint selection of the joint tables: the named joints (every joint of that name, so
// "End Site" selects them all), or every joint. False, with a message, for a name the motion
// lacks.
static bool selectJoints(const BvhFile& motion, const QStringList& names, QList<bool>& selection)
{
    const QStringList all = motion.root->getAllJointNames();
    selection = QList<bool>(all.size(), names.isEmpty());
    for (const QString& name : names) {
        if (!all.contains(name)) {
            report(QStringLiteral("unknown joint %1 (the motion has %2)")
                       .arg(name, all.join(QStringLiteral(", "))));
            return false;
        }
        for (qsizetype i = 0; i < all.size(); ++i)
            selection[i] = selection[i] || all[i] == name;
    }
    return true;
}

// True when the setup's model gives the body's centre of mass; else says why, one line per
// problem.
static bool modelFits(const MotionSetup& setup, const QString& input)
{
    if (!setup.ok()) {
        report(setup.errorString);
        return false;
    }
    const QStringList problems = setup.binding.problems(setup.segments);
    for (const QString& problem : problems)
        report(QStringLiteral("%1: %2").arg(input, problem));
    if (!problems.isEmpty())
        report(
            QStringLiteral("%1: no centre-of-mass table written (%2)").arg(input, setup.summary()));
    return problems.isEmpty();
}

// What writes one file of the run. Exports only read the motion, so they share it.
using Export = std::function<WriteResult(ProgressSink*)>;

// Writes every output at once, each on its own thread, so that a run of several outputs takes
// little longer than its slowest one. Failures are reported in the order of `exports`; true
// when all succeeded.
static bool writeAll(const std::vector<Export>& exports, bool showProgress)
{
    std::vector<WriteResult> results(exports.size());
    std::optional<ConsoleProgress> console;
    if (showProgress)
        console.emplace(exports.size() == 1
                            ? QStringLiteral("writing 1 file")
                            : QStringLiteral("writing %1 files").arg(exports.size()),
                        int(exports.size()));
    const auto write = [&](size_t i) {
        results[i] = exports[i](console ? console->sink(int(i)) : nullptr);
    };
    std::vector<std::thread> threads;
    for (size_t i = 0; i < exports.size(); ++i)
        threads.push_back(ThreadStart::startOrRun([&, i] { write(i); }));
    for (std::thread& thread : threads) {
        if (thread.joinable())
            thread.join();
    }
    if (console)
        console->finish();
    bool ok = true;
    for (const WriteResult& result : results)
        ok = check(result) && ok;
    return ok;
}

ConvertExit runConversion(const ConvertOptions& options)
{
    const SkeletonProfiles profiles = SkeletonProfiles::load();
    for (const QString& warning : profiles.getWarnings())
        report(warning);
    return runConversion(options, profiles);
}

ConvertExit runConversion(const ConvertOptions& options, const SkeletonProfiles& profiles,
                          QStringList* messages, QString* summaryRow, GaitReference::Walk* walk)
{
    collectedMessages = messages;
    collectedSummaryRow = summaryRow;
    collectedWalk = walk;
    const ConvertExit exit = runConversion(options, profiles);
    collectedMessages = nullptr;
    collectedSummaryRow = nullptr;
    collectedWalk = nullptr;
    return exit;
}

namespace {

// One input converted: read (with a whole-motion C3D file written as the rows come), its setup
// said, the range and joints chosen, analysed when an output needs it, then every output
// written at once.
class FileConversion
{
public:
    FileConversion(const ConvertOptions& options, const SkeletonProfiles& profiles)
        : options(options), profiles(profiles)
    {
    }

    ConvertExit run()
    {
        if (const std::optional<ConvertExit> stop = read())
            return *stop;
        saySetup();
        if (const std::optional<ConvertExit> stop = chooseFrames())
            return *stop;
        analyse();
        addMotionExports();
        addAnalysisExports();
        addReferenceExports();
        addHandOffExports();
        ok = writeAll(exports, showProgress) && ok;
        for (const QString& note : c3dNotes)
            report(QStringLiteral("%1: %2").arg(options.input, note));
        return ok ? ConvertExit::Done : ConvertExit::Failed;
    }

private:
    std::optional<ConvertExit> read();
    void saySetup();
    std::optional<ConvertExit> chooseFrames();
    void analyse();
    void addMotionExports();
    void addAnalysisExports();
    void addReferenceExports();
    void addHandOffExports();

    const ConvertOptions& options;
    const SkeletonProfiles& profiles;
    BvhFile motion;
    C3DPipeline pipeline;
    bool pipelined = false;
    MotionSetup setup;
    bool showProgress = false;
    ExportOptions tables;
    bool fits = false; // the model gives the body's centre of mass
    MotionAnalysis analysis;
    Strides strides;
    std::optional<GaitCycles> cycles, siCycles; // in the file's unit, and in metres
    std::optional<GaitScores> scores;
    std::optional<Sway> sway;
    std::optional<GaitReference> reference; // of this walk alone
    OpenSimFiles::Frame openSim;
    C3DRequest c3d;
    QStringList c3dNotes;
    std::vector<Export> exports;
    bool ok = true;
};

std::optional<ConvertExit> FileConversion::read()
{
    const SetupRequest request{options.profile, options.convention, options.unit,
                               options.modelFile};
    if (!request.profileName.isEmpty() && profiles.indexOf(request.profileName) < 0) {
        report(profiles.unknownProfileMessage(request.profileName));
        return ConvertExit::Usage;
    }
    // The C3D file of a whole motion, without events or other points, is written while the
    // file is still being read, once the setup (convention and unit) is chosen from the
    // hierarchy.
    pipelined = !options.c3dFile.isEmpty() && !options.range && !options.wantsAnalysis() &&
                !options.c3dUniqueLabels;
    pipeline.setOutput(options.c3dFile);
    SetupObserver observer(motion, profiles, request, pipelined ? &pipeline : nullptr,
                           [&](const MotionSetup& chosen) {
                               pipeline.setPosing(chosen.convention, chosen.unit.millimetres);
                           });
    BvhReader reader(motion, &observer);
    reader.setThreads(options.readThreads);
    const BvhReadResult result = reader.read(options.input);
    if (!result.ok() || !motion.root) {
        report(QStringLiteral("cannot read %1: %2").arg(options.input, result.errorString));
        return ConvertExit::Failed;
    }
    for (const QString& warning : result.warnings)
        report(QStringLiteral("%1: %2").arg(options.input, warning));
    setup = observer.finish();
    return std::nullopt;
}

void FileConversion::saySetup()
{
    showProgress = !options.quiet && isatty(STDERR_FILENO);
    // A unit other than the profile's changes the C3D file: worth a line in any run, and so
    // does a profile the names did not give. The rest of the setup only when someone watches.
    if (!options.quiet &&
        (setup.unitJudged || showProgress || setup.origin == MotionSetup::Origin::Shape ||
         setup.origin == MotionSetup::Origin::NoneFits))
        report(QStringLiteral("%1: %2").arg(options.input, setup.summary()));
    if (options.showProfile)
        std::fputs(qUtf8Printable(QStringLiteral("%1:\n%2\n")
                                      .arg(options.input,
                                           setup.describe(motion.root).join(QLatin1Char('\n')))),
                   stdout);
}

std::optional<ConvertExit> FileConversion::chooseFrames()
{
    if (options.range && options.range->last >= motion.rowCount()) {
        report(QStringLiteral("--range %1:%2 reaches past the last frame of %3, %4")
                   .arg(options.range->first)
                   .arg(options.range->last)
                   .arg(options.input)
                   .arg(motion.rowCount() - 1));
        return ConvertExit::Usage;
    }
    tables = setup.exportOptions(motion);
    if (options.range)
        tables.range = *options.range;
    if (!selectJoints(motion, options.joints, tables.jointSelection))
        return ConvertExit::Usage;
    return std::nullopt;
}

void FileConversion::analyse()
{
    // Said once, however many outputs need the model.
    fits = (!options.wantsAnalysis() && options.massCentreFile.isEmpty()) ||
           modelFits(setup, options.input);
    if (!options.wantsAnalysis())
        return;
    if (!fits) {
        ok = false;
        return;
    }
    analysis = MotionAnalysis::analyse(motion, setup, options.analysis, tables.range, nullptr);
    if (!analysis.ok()) {
        report(QStringLiteral("%1: no analysis: %2").arg(options.input, analysis.errorString));
        ok = false;
        return;
    }
    const bool wantsAngles = !options.anglesFile.isEmpty() || !options.cyclesFile.isEmpty() ||
                             !options.reportFile.isEmpty() || !options.motFile.isEmpty() ||
                             options.c3dAngles;
    if (wantsAngles) {
        for (const QString& note : analysis.angles.notes)
            report(QStringLiteral("%1: joint angles: %2").arg(options.input, note));
    }
    if (!analysis.restFrames.isEmpty() && !options.quiet)
        report(QStringLiteral("%1: %2").arg(options.input, analysis.restFrames));
    if (!analysis.hasFeet)
        report(QStringLiteral("%1: the %2 profile names no ankles: no contacts, events or margins")
                   .arg(options.input, setup.profile.name));
}

void FileConversion::addMotionExports()
{
    // The events go into the C3D file whenever the run analyses the motion.
    c3d.fileName = options.c3dFile;
    c3d.options = tables;
    c3d.uniqueLabels = options.c3dUniqueLabels;
    c3d.centres = options.c3dCentres;
    c3d.angles = options.c3dAngles;
    c3d.events = true;
    c3d.analysis = &analysis;
    if (!options.c3dFile.isEmpty()) {
        exports.push_back([this](ProgressSink* progress) {
            return c3d.write(motion, progress, pipelined ? &pipeline : nullptr, &c3dNotes);
        });
    }
    if (!options.bvhFile.isEmpty()) {
        exports.push_back([this](ProgressSink*) {
            return BvhWriter(motion).write(options.bvhFile, tables.range);
        });
    }
    if (!options.massCentreFile.isEmpty()) {
        if (fits) {
            exports.push_back([this](ProgressSink* progress) {
                return CentreOfMass::writeCsv(motion, setup.segments, options.massCentreFile,
                                              tables, progress);
            });
        } else {
            ok = false;
        }
    }
    if (!options.rotationsFile.isEmpty()) {
        exports.push_back([this](ProgressSink* progress) {
            return JointTables::writeRotations(motion, options.rotationsFile, tables, progress);
        });
    }
    if (!options.positionsFile.isEmpty()) {
        exports.push_back([this](ProgressSink* progress) {
            return JointTables::writePositions(motion, options.positionsFile, tables, progress);
        });
    }
}

void FileConversion::addAnalysisExports()
{
    strides = Strides::of(analysis, setup.unit);
    if (!analysis.ok())
        return;
    if (!options.analysisFile.isEmpty())
        exports.push_back(
            [this](ProgressSink*) { return analysis.writeCsv(options.analysisFile); });
    if (!options.eventsFile.isEmpty())
        exports.push_back(
            [this](ProgressSink*) { return analysis.writeEventsCsv(options.eventsFile); });
    if (!options.anglesFile.isEmpty())
        exports.push_back(
            [this](ProgressSink*) { return analysis.writeAnglesCsv(options.anglesFile); });
    if (!options.stridesFile.isEmpty())
        exports.push_back([this](ProgressSink*) { return strides.writeCsv(options.stridesFile); });
    // The cycles table keeps the motion's unit, as scripts read it; the report shows metres.
    if (!options.cyclesFile.isEmpty()) {
        cycles = GaitCycles::of(analysis, strides, Strides::Units::File);
        exports.push_back([this](ProgressSink*) { return cycles->writeCsv(options.cyclesFile); });
    }
    siCycles = GaitCycles::of(analysis, strides);
    sway = Sway::of(analysis, setup.unit.metresPerUnit());
    // Said where the sway is written: the report's balance page stands in for its gait cycle.
    if (sway && !options.quiet && (!options.swayFile.isEmpty() || !options.reportFile.isEmpty()))
        report(QStringLiteral("%1: standing, %2").arg(options.input, sway->describe()));
    if (options.reference) {
        scores = GaitScores::of(*siCycles, *options.reference);
        if (!options.quiet && !scores->isEmpty())
            report(QStringLiteral("%1: %2 against %3 (%4)")
                       .arg(options.input, scores->describe(), options.referenceFile,
                            options.reference->describe()));
    }
    if (!options.reportFile.isEmpty()) {
        exports.push_back([this](ProgressSink*) {
            GaitReport::Content content;
            content.motion = &motion;
            content.setup = &setup;
            content.analysis = &analysis;
            content.strides = &strides;
            content.cycles = &*siCycles;
            content.reference = options.reference.get();
            content.scores = scores && !scores->isEmpty() ? &*scores : nullptr;
            content.sway = sway ? &*sway : nullptr;
            content.source = options.input;
            return GaitReport::write(options.reportFile, content);
        });
    }
    const GaitScores* scored = scores && !scores->isEmpty() ? &*scores : nullptr;
    if (collectedSummaryRow)
        *collectedSummaryRow =
            TrialSummary::row(options.input, strides, scored, sway ? &*sway : nullptr);
    else if (!options.summaryFile.isEmpty())
        exports.push_back([this, scored](ProgressSink*) {
            return TrialSummary::write(
                options.summaryFile,
                {TrialSummary::row(options.input, strides, scored, sway ? &*sway : nullptr)});
        });
}

// The deviation scores and the sway, for the trials that have them; this walk's share of a
// reference.
void FileConversion::addReferenceExports()
{
    if (!analysis.ok())
        return;
    if (!options.scoresFile.isEmpty()) {
        if (scores && !scores->isEmpty()) {
            for (const QString& note : scores->notes)
                report(QStringLiteral("%1: %2").arg(options.input, note));
            exports.push_back(
                [this](ProgressSink*) { return scores->writeCsv(options.scoresFile); });
        } else {
            report(QStringLiteral("%1: no scores written: %2")
                       .arg(options.input, strides.strides.empty()
                                               ? QStringLiteral("the walk has no stride")
                                               : QStringLiteral("the reference scores none of "
                                                                "its variables")));
            ok = false;
        }
    }
    if (!options.swayFile.isEmpty()) {
        if (sway) {
            exports.push_back([this](ProgressSink*) { return sway->writeCsv(options.swayFile); });
        } else {
            report(QStringLiteral("%1: no sway written: the pelvis travels, as in walking; the "
                                  "sway of standing trials is measured")
                       .arg(options.input));
            ok = false;
        }
    }
    if (options.referenceOutFile.isEmpty())
        return;
    GaitReference::Walk walk = GaitReference::walkOf(analysis, strides);
    if (collectedWalk) {
        *collectedWalk = std::move(walk);
        return;
    }
    reference = GaitReference::build({walk}, options.referenceBySide);
    if (!options.quiet && !reference->isEmpty())
        report(QStringLiteral("%1: the reference of %2, goes to %3")
                   .arg(options.input, reference->describe(), options.referenceOutFile));
    exports.push_back([this](ProgressSink*) { return reference->write(options.referenceOutFile); });
}

void FileConversion::addHandOffExports()
{
    // The OpenSim files' axes and units, worked out only when one of them is asked for.
    if (!options.trcFile.isEmpty() || !options.motFile.isEmpty())
        openSim = OpenSimFiles::frameOf(motion, setup, tables,
                                        options.trcInMetres ? OpenSimFiles::Units::Metres
                                                            : OpenSimFiles::Units::Millimetres);
    if (!options.trcFile.isEmpty())
        exports.push_back([this](ProgressSink*) {
            return OpenSimFiles::writeTrc(motion, options.trcFile, tables, openSim);
        });
    if (analysis.ok() && !options.motFile.isEmpty())
        exports.push_back([this](ProgressSink*) {
            return OpenSimFiles::writeMot(analysis, options.motFile, openSim);
        });
    if (!options.profileFile.isEmpty()) {
        exports.push_back([this](ProgressSink*) {
            return SkeletonProfileFile::write(
                options.profileFile,
                setup.profileToSave(SkeletonProfileFile::profileNameOf(options.profileFile),
                                    motion.root));
        });
    }
}

} // namespace

ConvertExit runConversion(const ConvertOptions& options, const SkeletonProfiles& profiles)
{
    try {
        return FileConversion(options, profiles).run();
    } catch (const std::bad_alloc&) {
        // Outputs under way were given up (a save file not committed leaves the old one).
        report(QStringLiteral("cannot convert %1: there is not enough memory").arg(options.input));
        return ConvertExit::Failed;
    }
}

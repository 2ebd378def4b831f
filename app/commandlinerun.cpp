#include "commandlinerun.h"

#include "app/batchprogress.h"
#include "convert/filequeue.h"
#include "export/c3daxes.h"
#include "export/c3dexport.h"
#include "export/c3dpipeline.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhreader.h"
#include "model/frametable.h"
#include "model/poseevaluator.h"
#include "skeleton/setupobserver.h"

#include "version.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

static void report(const QString& message)
{
    std::fprintf(stderr, "kinovane: %s\n", qUtf8Printable(message));
    std::fflush(stderr);
}

// walk.bvh gives walk.c3d, WALK.BVH gives WALK.c3d.
static QString outputName(const QString& entry, const QString& extension)
{
    return entry.chopped(3) + extension;
}

CommandLineRun::Kind CommandLineRun::kindOf(const QString& argument)
{
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
        return Kind::Help;
    if (argument == QLatin1String("--version"))
        return Kind::Version;
    // A file is opened whatever its name holds: "ball.bvh" is no request to convert the folder.
    if (!argument.isEmpty() && QFileInfo(argument).isFile())
        return Kind::OpenFile;
    if (argument.contains(QLatin1String("all")))
        return Kind::ConvertToC3D;
    if (argument.contains(QLatin1String("feet")))
        return Kind::FootTables;
    return Kind::None;
}

QString CommandLineRun::usage()
{
    return QStringLiteral(
        "Usage: kinovane [FILE.bvh]\n"
        "       kinovane all|feet\n"
        "  FILE.bvh    open the motion in the window\n"
        "  all         convert every .bvh file of the current folder to a C3D file\n"
        "              (any argument containing \"all\" that is no file)\n"
        "  feet        write the two ankles' positions of every .bvh file of the current\n"
        "              folder as a CSV table (any argument containing \"feet\")\n"
        "  --help, --version\n"
        "kinovane-convert converts single files with every option.\n");
}

int CommandLineRun::run(const QString& argument)
{
    switch (kindOf(argument)) {
    case Kind::Help:
        std::fputs(qUtf8Printable(usage()), stdout);
        return 0;
    case Kind::Version:
        std::printf("kinovane %s\n", Version::number);
        return 0;
    default:
        break;
    }
    if (argument.endsWith(QLatin1String(".bvh"), Qt::CaseInsensitive) &&
        kindOf(argument) != Kind::OpenFile && !QFileInfo::exists(argument)) {
        report(QStringLiteral("%1: no such file").arg(argument));
        return 1;
    }
    if (kindOf(argument) != Kind::None) {
        profiles = SkeletonProfiles::load();
        for (const QString& warning : profiles.getWarnings())
            report(warning);
    }
    switch (kindOf(argument)) {
    case Kind::ConvertToC3D:
        return runOverDirectory(&CommandLineRun::convertToC3D,
                                QStringLiteral("Converting %1 BVH files to C3D"));
    case Kind::FootTables:
        return runOverDirectory(&CommandLineRun::writeFootTable,
                                QStringLiteral("Writing the foot tables of %1 BVH files"));
    case Kind::None:
        if (!argument.isEmpty())
            report(QStringLiteral("%1 asks for nothing: no such file, and no \"all\" or \"feet\" "
                                  "in it\n%2")
                       .arg(argument, usage()));
        break;
    default:
        break;
    }
    return 0;
}

// Names an output before it is written, saying so when it replaces a file.
static QString announcement(const QString& output)
{
    return QFileInfo::exists(output)
               ? QStringLiteral("%1 (replacing the existing file)").arg(output)
               : output;
}

// Every entry of the current directory whose name ends in ".bvh" in any case, in the
// directory's default order (by name, ignoring case).
int CommandLineRun::runOverDirectory(FileWork processFile, const QString& label)
{
    QStringList entries = QDir(QString()).entryList();
    entries.removeIf(
        [](const QString& entry) { return !entry.toLower().endsWith(QLatin1String(".bvh")); });
    std::vector<FileReport> reports(size_t(entries.size()));
    FileQueue queue(entries.size(), jobs, [&](qsizetype i, ProgressSink* progress) {
        FileReport& report = reports[size_t(i)];
        try {
            (this->*processFile)(entries[i], progress, report);
        } catch (const std::bad_alloc&) {
            // Its output was given up (a save file not committed leaves the old one).
            report.outputs.clear();
            report.outcome = Outcome::Failed;
            report.problems.append(
                QStringLiteral("%1: there is not enough memory to convert it").arg(entries[i]));
        }
    });
    readThreads = queue.coresPerFile();
    // Prints the lines of each file done, in the order of the files.
    qsizetype printed = 0;
    const auto printDone = [&] {
        for (; printed < entries.size() && queue.isDone(printed); ++printed) {
            const FileReport& report = reports[size_t(printed)];
            for (const QString& output : report.outputs)
                std::printf("%s\n", qUtf8Printable(output));
            std::fflush(stdout);
            for (const QString& problem : report.problems)
                ::report(problem);
        }
    };
    BatchProgress(QStringLiteral("kinovane"), label.arg(entries.size())).follow(queue, printDone);
    const bool failed = std::any_of(reports.begin(), reports.end(), [](const FileReport& report) {
        return report.outcome == Outcome::Failed;
    });
    return failed ? 1 : 0;
}

std::optional<MotionSetup> CommandLineRun::readMotion(const QString& entry, BvhFile& motion,
                                                      FileReport& report,
                                                      C3DPipeline* pipeline) const
{
    // The setup is chosen as soon as the skeleton is read, so that the pipeline converts the
    // rows with the profile's convention and unit.
    SetupObserver observer(motion, profiles, SetupRequest(), pipeline,
                           [pipeline](const MotionSetup& chosen) {
                               if (pipeline)
                                   pipeline->setPosing(chosen.convention, chosen.unit.millimetres);
                           });
    BvhReader reader(motion, &observer);
    reader.setThreads(readThreads);
    const BvhReadResult result = reader.read(entry);
    if (!result.ok() || !motion.root) {
        report.problems.append(QStringLiteral("skipped %1: %2").arg(entry, result.errorString));
        return std::nullopt;
    }
    for (const QString& warning : result.warnings)
        report.problems.append(QStringLiteral("%1: %2").arg(entry, warning));
    const MotionSetup& setup = observer.finish();
    if (setup.unitJudged)
        report.problems.append(QStringLiteral("%1: %2").arg(entry, setup.summary()));
    return setup;
}

void CommandLineRun::convertToC3D(const QString& entry, ProgressSink* progress,
                                  FileReport& report) const
{
    BvhFile motion;
    // Converts the rows and writes them on another thread while this one reads them.
    const QString output = outputName(entry, QStringLiteral("c3d"));
    C3DPipeline pipeline;
    pipeline.setOutput(output);
    const std::optional<MotionSetup> setup = readMotion(entry, motion, report, &pipeline);
    if (!setup)
        return;
    report.outputs.append(announcement(output));
    report.recordWrite(C3DExport::exportMotion(motion, output, setup->exportOptions(motion), {},
                                               progress, &pipeline));
}

void CommandLineRun::writeFootTable(const QString& entry, ProgressSink* progress,
                                    FileReport& report) const
{
    BvhFile motion;
    const std::optional<MotionSetup> setup = readMotion(entry, motion, report);
    if (!setup)
        return;
    // The ankles, as the profile names them (LFoot and RFoot in iPi Studio skeletons).
    PoseEvaluator pose(motion.root, setup->convention);
    const int left = setup->profile.jointIndexFor(QStringLiteral("left ankle"), pose.getJoints());
    const int right = setup->profile.jointIndexFor(QStringLiteral("right ankle"), pose.getJoints());
    if (left < 0 || right < 0) {
        report.problems.append(
            QStringLiteral("skipped %1: the %2 profile finds no %3 ankle in it")
                .arg(entry, setup->profile.title,
                     left < 0 ? QStringLiteral("left") : QStringLiteral("right")));
        return;
    }

    // The feet in C3D axes and millimetres, with 15 significant digits.
    const QString output = outputName(entry, QStringLiteral("csv"));
    report.outputs.append(announcement(output));
    FrameTable::Format format;
    format.header = QStringLiteral("Time,LFoot.x,LFoot.y,LFoot.z,RFoot.x,RFoot.y,RFoot.z");
    format.frames = FrameRange::all(motion.rowCount());
    format.frameTime = motion.frameTime;
    format.significantDigits = 15;
    format.time = FrameTable::TimeColumn::RunningSum;
    report.recordWrite(
        FrameTable::write(output, format, progress, [&](CsvWriter& table, int frame) {
            const std::span<const double> row = motion.frames[frame];
            pose.evaluateRow(row);
            for (const int foot : {left, right}) {
                const Eigen::Vector3d p =
                    C3DAxes::fromBvh(pose.getPosition(foot), setup->unit.millimetres);
                table.addNumberCell(p.x());
                table.addNumberCell(p.y());
                table.addNumberCell(p.z());
            }
        }));
}

void CommandLineRun::FileReport::recordWrite(const WriteResult& result)
{
    if (result.ok) {
        outcome = Outcome::Written;
        return;
    }
    outcome = Outcome::Failed;
    problems.append(QStringLiteral("cannot write %1: %2").arg(result.fileName, result.errorString));
}

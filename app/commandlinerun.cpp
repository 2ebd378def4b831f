#include "commandlinerun.h"

#include "app/batchprogress.h"
#include "app/csvfile.h"
#include "app/dudezu.h"
#include "export/c3dexport.h"
#include "export/c3dpipeline.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"

#include <QDir>

#include <cstdio>

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

static QString titleOf(const QString& entry)
{
    return entry.section(QLatin1Char('/'), -1);
}

CommandLineRun::Kind CommandLineRun::kindOf(const QString& argument)
{
    if (argument.contains(QLatin1String("all")))
        return Kind::ConvertToC3D;
    if (argument.contains(QLatin1String("feet")))
        return Kind::FootTables;
    return Kind::None;
}

int CommandLineRun::run(const QString& argument)
{
    switch (kindOf(argument)) {
    case Kind::ConvertToC3D: {
        const int exitCode = runOverDirectory(&CommandLineRun::convertToC3D);
        window.close();
        return exitCode;
    }
    case Kind::FootTables:
        return runOverDirectory(&CommandLineRun::writeFootTable);
    case Kind::None:
        break;
    }
    return 0;
}

// Every entry of the current directory whose name ends in ".bvh" in any case, in the
// directory's default order (by name, ignoring case).
int CommandLineRun::runOverDirectory(Outcome (CommandLineRun::*processFile)(const QString&))
{
    const QStringList entries = QDir(QString()).entryList();
    window.convertCancelled = false;
    int exitCode = 0;
    for (const QString& entry : entries) {
        if (!entry.toLower().endsWith(QLatin1String(".bvh")))
            continue;
        if ((this->*processFile)(entry) == Outcome::Failed)
            exitCode = 1;
        if (window.convertCancelled)
            break;
    }
    return exitCode;
}

bool CommandLineRun::readMotion(const QString& entry, BvhFile& motion, BvhReadObserver* observer)
{
    const BvhReadResult result = motion.readFile(entry, observer);
    if (result.ok() && motion.root)
        return true;
    report(QStringLiteral("skipped %1: %2").arg(entry, result.errorString));
    return false;
}

CommandLineRun::Outcome CommandLineRun::convertToC3D(const QString& entry)
{
    BvhFile motion;
    // Converts the rows on a second core while the first one reads them.
    C3DPipeline pipeline;
    if (!readMotion(entry, motion, &pipeline))
        return Outcome::Skipped;
    BatchProgress progress(window, titleOf(entry), 100);
    const WriteResult result = C3DExport::exportMotion(
        motion, outputName(entry, QStringLiteral("c3d")), &progress, &pipeline);
    if (result.ok)
        return Outcome::Written;
    report(QStringLiteral("cannot write %1: %2").arg(result.fileName, result.errorString));
    return Outcome::Failed;
}

CommandLineRun::Outcome CommandLineRun::writeFootTable(const QString& entry)
{
    BvhFile motion;
    if (!readMotion(entry, motion))
        return Outcome::Skipped;
    const QList<BvhJoint*> joints = motion.root->getAllJoints();
    const QStringList names = motion.root->getAllJointNames();
    const qsizetype left = names.indexOf(QLatin1String("LFoot"));
    const qsizetype right = names.indexOf(QLatin1String("RFoot"));
    if (left < 0 || right < 0) {
        report(QStringLiteral("skipped %1: it has no joint named %2")
                   .arg(entry, left < 0 ? QStringLiteral("LFoot") : QStringLiteral("RFoot")));
        return Outcome::Skipped;
    }

    CsvFile table;
    table.setHeader({QStringLiteral("Time"), QStringLiteral("LFoot.x"), QStringLiteral("LFoot.y"),
                     QStringLiteral("LFoot.z"), QStringLiteral("RFoot.x"),
                     QStringLiteral("RFoot.y"), QStringLiteral("RFoot.z")});
    const int frameCount = motion.rowCount();
    BatchProgress progress(window, titleOf(entry), 10);
    progress.begin(QString(), QString(), frameCount);
    // Times by repeated addition, so row k carries k additions of the frame time.
    double time = 0.0;
    const double frameTime = motion.frameTime;
    for (int frame = 0; frame < frameCount; ++frame) {
        progress.setValue(frame);
        motion.setCurrentFrame(frame);
        const Vector3f l = joints[left]->getGlobalPosition();
        const Vector3f r = joints[right]->getGlobalPosition();
        table.addRow({time, -10.0 * l.x(), 10.0 * l.z(), 10.0 * l.y(), -10.0 * r.x(), 10.0 * r.z(),
                      10.0 * r.y()});
        time += frameTime;
        if (progress.isCanceled())
            break;
    }
    progress.end();

    const WriteResult result = table.write(outputName(entry, QStringLiteral("csv")));
    if (result.ok)
        return Outcome::Written;
    report(QStringLiteral("cannot write %1: %2").arg(result.fileName, result.errorString));
    return Outcome::Failed;
}

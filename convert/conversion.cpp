#include "conversion.h"

#include "convert/consoleprogress.h"
#include "export/c3dexport.h"
#include "model/bvhfile.h"
#include "physics/bvhmathobject.h"

#include <QFile>

#include <cstdio>
#include <unistd.h>
#include <utility>

static void report(const QString& message)
{
    std::fprintf(stderr, "kinovane-convert: %s\n", qUtf8Printable(message));
}

static bool check(const WriteResult& result)
{
    if (!result.ok)
        report(QStringLiteral("cannot write %1: %2").arg(result.fileName, result.errorString));
    return result.ok;
}

// The export mask of the joint tables: the named joints (every joint of that name, so "End
// Site" selects them all), or every joint. False, with a message, for a name the motion lacks.
static bool selectJoints(BvhFile& motion, const QStringList& names)
{
    const QStringList all = motion.root->getAllJointNames();
    motion.exportMask = QList<bool>(all.size(), names.isEmpty());
    for (const QString& name : names) {
        if (!all.contains(name)) {
            report(QStringLiteral("unknown joint %1 (the motion has %2)")
                       .arg(name, all.join(QStringLiteral(", "))));
            return false;
        }
        for (qsizetype i = 0; i < all.size(); ++i)
            motion.exportMask[i] = motion.exportMask[i] || all[i] == name;
    }
    return true;
}

// --model, else defaultMassSegments.xml of the current directory (which the physics object
// has read already), else the model shipped inside the program.
static bool loadModel(BvhMathObject& physics, const QString& modelFile)
{
    QString error;
    if (!modelFile.isEmpty()) {
        if (physics.readMassSegments(modelFile, &error))
            return true;
        report(error);
        return false;
    }
    if (QFile::exists(QStringLiteral("defaultMassSegments.xml")))
        return true;
    return physics.readMassSegments(QStringLiteral(":/kinovane/defaultMassSegments.xml"), &error);
}

// The C3D export has no range of its own: a range converts the motion cut to it, as if saved
// with --bvh and converted whole.
static bool writeC3D(BvhFile& motion, const ConvertOptions& options, ProgressSink* progress)
{
    if (!options.hasRange)
        return check(C3DExport::exportMotion(motion, options.c3dFile, progress));
    QVector<QList<double>> all =
        std::exchange(motion.frames, motion.frames.mid(options.firstFrame,
                                                       options.lastFrame - options.firstFrame + 1));
    const bool ok = check(C3DExport::exportMotion(motion, options.c3dFile, progress));
    motion.frames = std::move(all);
    return ok;
}

ConvertExit runConversion(const ConvertOptions& options)
{
    BvhFile motion;
    motion.setRotationOrder(options.rotationOrder);
    const BvhReadResult read = motion.readFile(options.input);
    if (!read.ok() || !motion.root) {
        report(QStringLiteral("cannot read %1: %2").arg(options.input, read.errorString));
        return ConvertExit::Failed;
    }
    if (options.hasRange && options.lastFrame >= motion.rowCount()) {
        report(QStringLiteral("--range %1:%2 reaches past the last frame of %3, %4")
                   .arg(options.firstFrame)
                   .arg(options.lastFrame)
                   .arg(options.input)
                   .arg(motion.rowCount() - 1));
        return ConvertExit::Usage;
    }
    if (!selectJoints(motion, options.joints))
        return ConvertExit::Usage;
    const int first = options.hasRange ? options.firstFrame : 0;

    ConsoleProgress console;
    ProgressSink* progress = !options.quiet && isatty(STDERR_FILENO) ? &console : nullptr;
    bool ok = true;
    const auto announce = [&](const QString& file) { console.setOutput(file); };
    if (!options.c3dFile.isEmpty()) {
        announce(options.c3dFile);
        ok = writeC3D(motion, options, progress) && ok;
    }
    if (!options.bvhFile.isEmpty())
        ok = check(motion.writeFile(options.bvhFile, first,
                                    options.hasRange ? options.lastFrame : -2)) &&
             ok;
    if (!options.massCentreFile.isEmpty()) {
        BvhMathObject physics;
        if (loadModel(physics, options.modelFile)) {
            physics.setBvhFile(&motion);
            announce(options.massCentreFile);
            ok = check(physics.exportMassCentreCsv(options.massCentreFile, first,
                                                   options.hasRange ? options.lastFrame : -1,
                                                   progress)) &&
                 ok;
        } else {
            ok = false;
        }
    }
    const int stop = options.hasRange ? options.lastFrame + 1 : -1;
    if (!options.rotationsFile.isEmpty()) {
        announce(options.rotationsFile);
        ok = check(motion.exportRotationsCsv(options.rotationsFile, first, stop, progress)) && ok;
    }
    if (!options.positionsFile.isEmpty()) {
        announce(options.positionsFile);
        ok = check(
                 motion.exportAbsolutePositionsCsv(options.positionsFile, first, stop, progress)) &&
             ok;
    }
    return ok ? ConvertExit::Done : ConvertExit::Failed;
}

// Converting the benchmark motion (60 joints, 180 channels, 100,000 frames) to C3D, against
// reading it alone: the conversion must not take more than 1.5 times the reading. Times the
// reader, reading plus the export procedure in this process, and the whole `kinovane all`
// run over a directory holding only that motion. Each figure is the best of several runs
// (KINOVANE_BENCH_RUNS, 3 by default).

#include "export/c3dexport.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "support/benchmotion.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>

struct Timing
{
    double best = std::numeric_limits<double>::infinity();

    void add(qint64 nanoseconds) { best = std::min(best, double(nanoseconds) / 1e9); }
};

static bool readMotion(const QString& path, BvhFile& motion)
{
    if (BvhReader(motion).read(path).ok())
        return true;
    std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
    return false;
}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int repetitions = BenchMotion::runCount(3);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    // A directory of its own: `kinovane all` converts every BVH file of its directory.
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("bench.bvh"));
    if (!directory.isValid() || !BenchMotion::ensure(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("motion: %d frames, %.1f MB\n", BenchMotion::frameCount,
                double(QFile(path).size()) / 1e6);

    Timing reading, readingAndExport, exportAlone, program;
    QElapsedTimer timer;
    for (int run = 0; run < repetitions; ++run) {
        {
            BvhFile motion;
            timer.start();
            if (!readMotion(path, motion))
                return 1;
            reading.add(timer.nsecsElapsed());
        }
        {
            BvhFile motion;
            timer.start();
            if (!readMotion(path, motion))
                return 1;
            const qint64 read = timer.nsecsElapsed();
            const WriteResult result = C3DExport::exportMotion(
                motion, directory.filePath(QStringLiteral("in-process.c3d")),
                ExportOptions::wholeMotion(motion, PoseConvention::ipiStudio()));
            const qint64 total = timer.nsecsElapsed();
            if (!result.ok) {
                std::fprintf(stderr, "%s\n", qPrintable(result.errorString));
                return 1;
            }
            readingAndExport.add(total);
            exportAlone.add(total - read);
        }
        {
            QProcess process;
            process.setWorkingDirectory(directory.path());
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
            process.setProcessEnvironment(environment);
            timer.start();
            process.start(QStringLiteral(KINOVANE_EXECUTABLE), {QStringLiteral("all")});
            if (!process.waitForFinished(-1) || process.exitCode() != 0) {
                std::fprintf(stderr, "kinovane all failed\n");
                return 1;
            }
            program.add(timer.nsecsElapsed());
        }
    }

    std::printf("reading alone:                 %7.3f s\n", reading.best);
    std::printf("export procedure alone:        %7.3f s\n", exportAlone.best);
    std::printf("reading + export, in process:  %7.3f s  (%.2f x reading)\n", readingAndExport.best,
                readingAndExport.best / reading.best);
    std::printf("kinovane all (whole program):  %7.3f s  (%.2f x reading; limit 1.50)\n",
                program.best, program.best / reading.best);
    std::printf("C3D file: %.1f MB\n",
                double(QFile(directory.filePath(QStringLiteral("bench.c3d"))).size()) / 1e6);
    return 0;
}

// Converting the benchmark motion (60 joints, 180 channels, 100,000 frames) to C3D, against
// what one core does to split and convert its text (the bare loop of bench_bvh):
// - `kinovane all` over a directory holding only that motion, wall time at most the bare
//   loop's and CPU time at most 1.6 times its;
// - the peak memory of `kinovane-convert --c3d`, at most the values as doubles + 64 MB;
// - the same motion whose header declares 2,000,000,000 frames converts under a 1.5 GB
//   address-space limit to the very same C3D file.
// Each time is the best of several runs (KINOVANE_BENCH_RUNS, 3 by default); the reader and the
// export procedure in this process are timed too.

#include "export/c3dexport.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "support/benchmotion.h"
#include "support/childrun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
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

// `source` with its "Frames:" line declaring `frames`.
static bool writeLyingCopy(const QString& source, const QString& target, const QByteArray& frames)
{
    QFile in(source), out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    bool replaced = false;
    while (!in.atEnd()) {
        QByteArray line = in.readLine();
        if (!replaced && line.startsWith("Frames:")) {
            line = "Frames:\t" + frames + "\n";
            replaced = true;
            out.write(line);
            break;
        }
        out.write(line);
    }
    while (!in.atEnd())
        out.write(in.read(1 << 20));
    return replaced && out.error() == QFileDevice::NoError;
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
    const double valuesMegabytes = double(BenchMotion::frameCount) * 180 * 8 / 1e6;
    std::printf("motion: %d frames, %.1f MB, %.1f MB of values as doubles\n",
                BenchMotion::frameCount, double(QFile(path).size()) / 1e6, valuesMegabytes);

    Timing reading, readingAndExport, exportAlone;
    double bare = 1e9, bareCpu = 1e9;
    ChildRun::Measure all, allCpu, convert;
    all.seconds = allCpu.userSeconds = 1e9;
    convert.seconds = 1e9;
    double convertPeak = 0.0;
    QElapsedTimer timer;
    for (int run = 0; run < repetitions; ++run) {
        qint64 values = 0;
        const double cpuBefore = BenchMotion::cpuSeconds();
        timer.start();
        BenchMotion::bareLoop(path, &values);
        bare = std::min(bare, double(timer.nsecsElapsed()) / 1e9);
        bareCpu = std::min(bareCpu, BenchMotion::cpuSeconds() - cpuBefore);
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
        ChildRun::Options inDirectory;
        inDirectory.workingDirectory = directory.path();
        const ChildRun::Measure program = ChildRun::run(QStringLiteral(KINOVANE_EXECUTABLE),
                                                        {QStringLiteral("all")}, inDirectory);
        const ChildRun::Measure converter =
            ChildRun::run(QStringLiteral(KINOVANE_CONVERT_EXECUTABLE),
                          {path, QStringLiteral("--quiet"),
                           QStringLiteral("--c3d=") + directory.filePath("convert.c3d")});
        if (!program.ok || !converter.ok) {
            std::fprintf(stderr, "kinovane all or kinovane-convert --c3d failed\n");
            return 1;
        }
        if (program.seconds < all.seconds)
            all = program;
        if (program.cpuSeconds() < allCpu.cpuSeconds())
            allCpu = program;
        if (converter.seconds < convert.seconds)
            convert = converter;
        convertPeak = std::max(convertPeak, converter.peakMegabytes);
    }

    std::printf("bare split + from_chars, one thread: %7.3f s, CPU %.3f s\n", bare, bareCpu);
    std::printf("reading alone, in process:           %7.3f s\n", reading.best);
    std::printf("export procedure alone:              %7.3f s\n", exportAlone.best);
    std::printf("reading + export, in process:        %7.3f s  (%.2f x reading)\n",
                readingAndExport.best, readingAndExport.best / reading.best);
    std::printf(
        "kinovane all:                        %7.3f s  (%.2f x the bare loop; goal <= 1.00)\n",
        all.seconds, all.seconds / bare);
    std::printf(
        "kinovane all, CPU:                   %7.3f s  (%.2f x the bare loop; goal <= 1.60), "
        "peak %.1f MB\n",
        allCpu.cpuSeconds(), allCpu.cpuSeconds() / bareCpu, allCpu.peakMegabytes);
    const double memoryGoal = valuesMegabytes + 64;
    std::printf(
        "kinovane-convert --c3d:              %7.3f s, peak memory %.1f MB (goal <= %.1f MB)\n",
        convert.seconds, convertPeak, memoryGoal);

    // A header that lies about the frame count sizes no memory: under a 1.5 GB address space
    // the file converts as the honest one does.
    const QString lying = directory.filePath(QStringLiteral("lying.bvh"));
    if (!writeLyingCopy(path, lying, "2000000000")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(lying));
        return 1;
    }
    ChildRun::Options limited;
    limited.addressSpaceLimit = qint64(1500000) * 1024;
    const QString lyingC3d = directory.filePath(QStringLiteral("lying.c3d"));
    const ChildRun::Measure underLimit = ChildRun::run(
        QStringLiteral(KINOVANE_CONVERT_EXECUTABLE),
        {lying, QStringLiteral("--quiet"), QStringLiteral("--c3d=") + lyingC3d}, limited);
    const auto bytesOf = [](const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const bool same =
        underLimit.ok && bytesOf(lyingC3d) == bytesOf(directory.filePath("convert.c3d"));
    std::printf("\"Frames: 2000000000\" under a 1.5 GB limit: %s, peak memory %.1f MB\n",
                !underLimit.ok ? "FAILED"
                : same         ? "the same C3D file"
                               : "A DIFFERENT C3D FILE",
                underLimit.peakMegabytes);
    std::printf("C3D file: %.1f MB\n",
                double(QFile(directory.filePath(QStringLiteral("bench.c3d"))).size()) / 1e6);
    return same ? 0 : 1;
}

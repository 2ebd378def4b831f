// Converting a data set to C3D: a folder of 120 recordings (60 copies each of the CMU walk and
// the ArenaLouise recording from tests/data/real), with kinovane-convert one file at a time
// held to one core (-j 1 under `taskset -c 0`: the yardstick, as one file already reads on
// every core it is given), one at a time (-j 1), two at a time (-j 2), with "kinovane all" in
// the folder, and with the converter's own choice (no -j). The converter's choice must take at
// most 0.6 times as long as the yardstick, and no longer than the best of the others.
// KINOVANE_BENCH_JOBS adds runs of other -j values ("3,4,8"), to see which is fastest. Each
// figure is the best of several runs (KINOVANE_BENCH_RUNS, 5 by default), the commands
// interleaved so that a slow spell of the machine hits them alike.

#include "support/benchmotion.h"
#include "support/childrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

static bool makeDataSet(const QString& folder)
{
    for (const char* recording : {"cmu_01_14", "arena_louise"}) {
        const QString source = QStringLiteral(KINOVANE_SOURCE_DIR "/tests/data/real/%1.bvh")
                                   .arg(QLatin1String(recording));
        for (int copy = 1; copy <= 60; ++copy) {
            const QString target = QStringLiteral("%1/%2_%3.bvh")
                                       .arg(folder, QLatin1String(recording))
                                       .arg(copy, 2, 10, QLatin1Char('0'));
            if (!QFile::copy(source, target))
                return false;
        }
    }
    return true;
}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int repetitions = BenchMotion::runCount(5);
    QTemporaryDir directory;
    const QString recordings = directory.filePath(QStringLiteral("recordings"));
    const QString converted = directory.filePath(QStringLiteral("converted"));
    if (!directory.isValid() || !QDir().mkpath(recordings) || !makeDataSet(recordings)) {
        std::fprintf(stderr, "cannot make the data set\n");
        return 1;
    }

    struct Command
    {
        QByteArray name;
        QString program;
        QStringList arguments;
        QString workingDirectory;
        QString cpuList;
        double best = std::numeric_limits<double>::infinity();
    };
    // No -j at all: the converter's own choice.
    const auto convert = [&](const QByteArray& jobs) {
        QStringList arguments{recordings, QStringLiteral("--c3d"), QStringLiteral("--out-dir"),
                              converted, QStringLiteral("--quiet")};
        if (!jobs.isEmpty())
            arguments << QStringLiteral("-j") << QString::fromLatin1(jobs);
        return arguments;
    };
    std::vector<Command> commands{
        {"kinovane-convert -j 1", KINOVANE_CONVERT_EXECUTABLE, convert("1"), QString(), QString()},
        {"kinovane-convert -j 2", KINOVANE_CONVERT_EXECUTABLE, convert("2"), QString(), QString()},
        {"kinovane all", KINOVANE_EXECUTABLE, {QStringLiteral("all")}, recordings, QString()},
        {"kinovane-convert", KINOVANE_CONVERT_EXECUTABLE, convert({}), QString(), QString()},
        {"-j 1 on one core", KINOVANE_CONVERT_EXECUTABLE, convert("1"), QString(),
         QStringLiteral("0")}};
    for (const QByteArray& jobs : qgetenv("KINOVANE_BENCH_JOBS").split(',')) {
        if (!jobs.isEmpty())
            commands.push_back({"kinovane-convert -j " + jobs, KINOVANE_CONVERT_EXECUTABLE,
                                convert(jobs), QString(), QString()});
    }

    // Without a display "kinovane all" runs offscreen, as it would with one but without its
    // progress dialog.
    for (int run = 0; run < repetitions; ++run) {
        for (Command& command : commands) {
            // Each command writes into a folder without the previous command's files.
            QDir(converted).removeRecursively();
            for (const QString& c3d : QDir(recordings).entryList({QStringLiteral("*.c3d")}))
                QFile::remove(QDir(recordings).filePath(c3d));
            ChildRun::Options options;
            options.workingDirectory = command.workingDirectory;
            options.cpuList = command.cpuList;
            options.quiet = true;
            const ChildRun::Measure measure =
                ChildRun::run(command.program, command.arguments, options);
            if (!measure.ok) {
                std::fprintf(stderr, "%s failed\n", command.name.constData());
                return 1;
            }
            command.best = std::min(command.best, measure.seconds);
        }
    }

    for (const Command& command : commands)
        std::printf("%-24s %7.3f s\n", command.name.constData(), command.best);
    std::printf("no -j / -j 1 on one core: %.2f (limit 0.60)\n",
                commands[3].best / commands[4].best);
    std::printf("-j 2 / -j 1: %.2f\n", commands[1].best / commands[0].best);
    const double bestOfThree = std::min({commands[0].best, commands[1].best, commands[2].best});
    std::printf("no -j / the best of -j 1, -j 2 and kinovane all: %.2f (limit 1.00)\n",
                commands[3].best / bestOfThree);
    return 0;
}

// kinovane-convert writing the C3D file, the centre-of-mass table and the absolute-position
// table of the benchmark motion (60 joints, 180 channels, 100,000 frames) in one call, against
// each of the three written alone: the one call must not take more than 1.2 times the slowest
// alone. Each figure is the best of several runs (KINOVANE_BENCH_RUNS, 5 by default), the runs
// of the four commands interleaved so that a slow spell of the machine hits them alike.

#include "support/benchmotion.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

// Fourteen segments over the benchmark skeleton's limbs, so that the centre-of-mass table
// has as much to compute as with the shipped model on an iPi Studio skeleton; their mass
// fractions sum to 1, as the converter demands.
static bool writeModel(const QString& path)
{
    QByteArray xml = "<!DOCTYPE BvhMassProperties>\n<BvhMassProperties>\n";
    for (int segment = 0; segment < 14; ++segment) {
        const int limb = segment % 9;
        const int joint = segment / 9 * 2;
        xml += QStringLiteral("   <Segment>\n      <StartJoint>Limb%1_%2</StartJoint>\n"
                              "      <EndJoint>Limb%1_%3</EndJoint>\n"
                              "      <ProximalDistance>0.45</ProximalDistance>\n"
                              "      <Mass>%4</Mass>\n   </Segment>\n")
                   .arg(limb)
                   .arg(joint)
                   .arg(joint + 1)
                   .arg(segment < 13 ? QStringLiteral("0.07") : QStringLiteral("0.09"))
                   .toLatin1();
    }
    xml += "</BvhMassProperties>\n";
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(xml) == xml.size();
}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int repetitions = BenchMotion::runCount(5);
    const QString motion = qEnvironmentVariable("KINOVANE_BENCH_DIR", QDir::tempPath()) +
                           QStringLiteral("/kinovane-bench-motion.bvh");
    QTemporaryDir directory;
    const QString model = directory.filePath(QStringLiteral("model.xml"));
    if (!directory.isValid() || !BenchMotion::ensure(motion) || !writeModel(model)) {
        std::fprintf(stderr, "cannot write the benchmark motion or model\n");
        return 1;
    }

    struct Command
    {
        const char* name;
        QStringList options;
        double best = std::numeric_limits<double>::infinity();
    };
    const auto output = [&](const char* name) { return directory.filePath(QString(name)); };
    std::vector<Command> commands{
        {"--c3d", {QStringLiteral("--c3d"), output("motion.c3d")}},
        {"--com-csv", {QStringLiteral("--com-csv"), output("com.csv")}},
        {"--positions-csv", {QStringLiteral("--positions-csv"), output("positions.csv")}},
    };
    commands.push_back(
        {"all three in one call", commands[0].options + commands[1].options + commands[2].options});

    for (int run = 0; run < repetitions; ++run) {
        for (Command& command : commands) {
            QProcess process;
            process.setProcessChannelMode(QProcess::ForwardedChannels);
            QElapsedTimer timer;
            timer.start();
            process.start(
                QStringLiteral(KINOVANE_CONVERT_EXECUTABLE),
                QStringList{motion, QStringLiteral("--quiet"), QStringLiteral("--model"), model} +
                    command.options);
            if (!process.waitForFinished(-1) || process.exitCode() != 0) {
                std::fprintf(stderr, "kinovane-convert %s failed\n", command.name);
                return 1;
            }
            command.best = std::min(command.best, double(timer.nsecsElapsed()) / 1e9);
        }
    }

    double slowestAlone = 0;
    for (const Command& command : commands) {
        if (&command != &commands.back())
            slowestAlone = std::max(slowestAlone, command.best);
        std::printf("%-24s %7.3f s\n", command.name, command.best);
    }
    std::printf("one call / slowest alone: %.2f (limit 1.20)\n",
                commands.back().best / slowestAlone);
    return 0;
}

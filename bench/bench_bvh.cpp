// Reading and writing an hour-long-scale motion: 60 joints, 180 channels, 100,000 frames.
// Compares the reader, on one thread and on two, with a bare loop that only splits the same
// rows at blanks and converts them with std::from_chars on one thread (what one core can do),
// reports the memory the loaded motion takes and what writing that much fresh memory costs,
// and times writing it back. Then reads a line of 100 MB, in a frame row and in a CHANNELS
// line, which must cost about its own size: anything held per value or per token would cost
// several times as much.

#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "skeleton/setupobserver.h"
#include "skeleton/skeletonprofiles.h"
#include "support/benchmotion.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

// Reads a 100 MB frame row and a 100 MB CHANNELS line from memory; false when either is read
// wrong or costs more than 1.25 times its size (the high-water mark is reset first, where
// /proc/self/clear_refs allows it).
static bool longLinesCostTheirSize()
{
    const QByteArray motion = "MOTION\nFrames: 2\nFrame Time: 1\n";
    const qsizetype length = qsizetype(100) << 20;
    bool ok = true;
    for (const bool inChannels : {false, true}) {
        QByteArray text = "HIERARCHY\nROOT A\n{\nCHANNELS 2 ";
        if (inChannels)
            text +=
                QByteArray("Xrotation ").repeated(length / 10) + "\n}\n" + motion + "1 2\n3 4\n";
        else
            text += "Xrotation Yrotation\n}\n" + motion + QByteArray("1\t").repeated(length / 2) +
                    "\n5 6\n";
        QBuffer device(&text);
        device.open(QIODevice::ReadOnly);
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs")); // unbuffered: resets now
        const bool reset = clearRefs.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                           clearRefs.write("5") == 1;
        const qint64 before = BenchMotion::peakResidentBytes();
        BvhFile file;
        const bool read = BvhReader(file).read(device).ok() && file.rowCount() == 2 &&
                          file.root->getNumChannels() == 2 &&
                          file.root->getChannelName(0) == QLatin1String("Xrotation");
        const qint64 peak = BenchMotion::peakResidentBytes() - before;
        const bool small = !reset || peak < length + length / 4;
        std::printf("a 100 MB %s line: %s, peak memory %.1f MB%s (goal < 125 MB)\n",
                    inChannels ? "CHANNELS" : "frame", read ? "read" : "READ WRONG",
                    double(peak) / 1e6, reset ? "" : " (not reset: unreliable)");
        ok = ok && read && small;
    }
    return ok;
}

// A digest of every value of every row, bit for bit.
static QByteArray digestOf(const BvhFile& motion)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(motion.frames.constData()),
                                motion.frames.rowCount() * motion.frames.channelCount() *
                                    qsizetype(sizeof(double))));
    return hash.result().toHex();
}

// "--read-once THREADS FILE": reads the file on that many threads, prints the seconds it took
// and the rows' digest.
static int readOnce(const QStringList& arguments)
{
    BvhFile motion;
    BvhReader reader(motion);
    reader.setThreads(arguments.value(2).toInt());
    QElapsedTimer timer;
    timer.start();
    const bool ok = reader.read(arguments.value(3)).ok();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("%.4f %s\n", seconds, ok ? digestOf(motion).constData() : "failed");
    return ok ? 0 : 1;
}

// A skeleton of a million channels (joints declaring 1024 each, without names) followed by
// 20000 rows of one value: every row is short and left out, and must cost no more than its text
// (a row allocated at the channel count would be 8 MB for each line of two bytes).
static bool shortRowsOfAHugeSkeletonCostTheirText()
{
    QByteArray text = "HIERARCHY\nROOT A\n{\nCHANNELS 1024\n";
    for (int joint = 0; joint < 976; ++joint)
        text += "JOINT J\n{\nCHANNELS 1024\n}\n";
    text += "}\nMOTION\nFrames: 20000\nFrame Time: 1\n" + QByteArray("1\n").repeated(20000);
    QBuffer device(&text);
    device.open(QIODevice::ReadOnly);
    BvhFile file;
    QElapsedTimer timer;
    timer.start();
    const BvhReadResult result = BvhReader(file).read(device);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const bool ok = result.ok() && file.rowCount() == 0 && result.warnings.size() == 1;
    std::printf(
        "20000 one-value rows of a 1,000,000-channel skeleton: %s in %.3f s (goal < 0.5 s)\n",
        ok ? "left out" : "READ WRONG", seconds);
    return ok && seconds < 0.5;
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--read-once"))
        return readOnce(app.arguments());
    const QString directory = qEnvironmentVariable("KINOVANE_BENCH_DIR", QDir::tempPath());
    const QString path = directory + QStringLiteral("/kinovane-bench-motion.bvh");
    QElapsedTimer timer;
    timer.start();
    if (!BenchMotion::ensure(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("motion: %s, %.1f MB (ready in %.2f s)\n", qPrintable(path),
                double(QFile(path).size()) / 1e6, double(timer.elapsed()) / 1e3);

    // Each time is the best of three runs, the bare loop's too.
    qint64 values = 0;
    double sum = 0;
    double bare = 1e9;
    for (int run = 0; run < 3; ++run) {
        values = 0;
        timer.restart();
        sum = BenchMotion::bareLoop(path, &values);
        bare = std::min(bare, double(timer.nsecsElapsed()) / 1e9);
    }
    std::printf("bare split + from_chars: %.3f s (%lld values, checksum %.1f)\n", bare,
                static_cast<long long>(values), sum);

    // What the rows' memory alone costs the first time it is written, which the bare loop
    // never pays: as many bytes as the table's doubles, on one thread and split over two.
    for (const int threads : {1, 2}) {
        const size_t bytes = size_t(18000000) * sizeof(double);
        timer.restart();
        std::vector<std::unique_ptr<char[]>> parts;
        std::vector<std::thread> writers;
        for (int part = 0; part < threads; ++part)
            parts.emplace_back(new char[bytes / size_t(threads)]);
        for (int part = 1; part < threads; ++part)
            writers.emplace_back([&parts, part, bytes, threads] {
                std::memset(parts[size_t(part)].get(), 1, bytes / size_t(threads));
            });
        std::memset(parts[0].get(), 1, bytes / size_t(threads));
        for (std::thread& writer : writers)
            writer.join();
        std::printf("writing %.0f MB of fresh memory on %d thread%s: %.3f s\n", double(bytes) / 1e6,
                    threads, threads == 1 ? "" : "s", double(timer.nsecsElapsed()) / 1e9);
    }

    // The first read takes its memory fresh from the system, which is all it holds afterwards.
    const qint64 residentBefore = BenchMotion::residentBytes();
    BvhFile motion;
    timer.restart();
    const BvhReadResult result = BvhReader(motion).read(path);
    const double firstRead = double(timer.nsecsElapsed()) / 1e9;
    const qint64 peak = BenchMotion::peakResidentBytes() - residentBefore;
    const double tableBytes = double(motion.frames.rowCount()) * 180 * sizeof(double);
    std::printf("first BvhReader::read, one thread per core: %.3f s, %s, %d rows\n", firstRead,
                result.ok() ? "ok" : "FAILED", motion.rowCount());
    std::printf("peak memory of the load: %.1f MB for %.1f MB of doubles (%.2fx; goal <= 1.1x "
                "+ 64 MB = %.1f MB)\n",
                double(peak) / 1e6, tableBytes / 1e6, double(peak) / tableBytes,
                (1.1 * tableBytes + 64e6) / 1e6);
    const bool memoryOk = double(peak) <= 1.1 * tableBytes + 64e6;

    // Reads on one and two threads, each in a process of its own as a conversion reads: the
    // rows' memory is fresh every time, as for the first read above.
    bool sameRows = true;
    const QByteArray rowsDigest = digestOf(motion);
    for (const int threads : {1, 2}) {
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            QProcess reading;
            reading.start(QCoreApplication::applicationFilePath(),
                          {QStringLiteral("--read-once"), QString::number(threads), path});
            reading.waitForFinished(-1);
            const QList<QByteArray> answer = reading.readAllStandardOutput().trimmed().split(' ');
            sameRows = sameRows && answer.size() == 2 && answer[1] == rowsDigest;
            best = std::min(best, answer.value(0).toDouble());
        }
        std::printf("BvhReader::read on %d thread%s: %.3f s, %.2fx the bare loop (goal <= %.2fx)\n",
                    threads, threads == 1 ? "" : "s", best, best / bare, threads == 1 ? 1.5 : 0.75);
    }
    std::printf("rows read on 1 and 2 threads: %s\n", sameRows ? "the same" : "DIFFERENT");

    QTemporaryDir out;
    timer.restart();
    const WriteResult written = BvhWriter(motion).write(out.filePath(QStringLiteral("written.bvh")),
                                                        FrameRange::all(motion.rowCount()));
    const double write = double(timer.nsecsElapsed()) / 1e9;
    std::printf("BvhWriter::write: %.3f s (goal < 3 s), %s\n", write, written.ok ? "ok" : "FAILED");
    motion.clear();
    const bool longLinesOk = longLinesCostTheirSize() && shortRowsOfAHugeSkeletonCostTheirText();

    // Read as the converter reads: the skeleton profile is chosen from the hierarchy before the
    // first row, and the setup again once the reading is over. Compared with a plain read made
    // just before, as the first read above also paid for the memory the process first took.
    timer.restart();
    bool readAgain = BvhReader(motion).read(path).ok();
    const double plain = double(timer.nsecsElapsed()) / 1e9;
    motion.clear();
    const SkeletonProfiles profiles = SkeletonProfiles::load({});
    SetupObserver observer(motion, profiles, SetupRequest());
    timer.restart();
    readAgain = BvhReader(motion, &observer).read(path).ok() && readAgain;
    const MotionSetup& setup = observer.finish();
    const double detected = double(timer.nsecsElapsed()) / 1e9;
    std::printf("read again, plain: %.3f s; choosing the skeleton profile (%s): %.3f s (%+.1f %%)"
                ", %s\n",
                plain, qPrintable(setup.profile.name), detected, 100.0 * (detected / plain - 1.0),
                readAgain ? "ok" : "FAILED");
    motion.clear();
    return result.ok() && sameRows && memoryOk && written.ok && readAgain && longLinesOk ? 0 : 1;
}

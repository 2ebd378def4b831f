#include "export/c3dexport.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "model/frameblocks.h"
#include "model/jointtables.h"
#include "model/numberformat.h"
#include "support/testsupport.h"

#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>

// A motion in memory: the joints' channel slots, rows moved into the joints and back, lookups,
// the reader's rows and repairs, the writer's layout, digits and ranges, NumberFormat::general
// (the "%g" of the XML and CSV files), and the split of frame loops between two threads. The
// recordings of other producers are in tst_realrecordings.
class TestBvhFile : public QObject
{
    Q_OBJECT

private:
    static QByteArray written(const BvhFile& file, const FrameRange& range)
    {
        return QByteArray::fromStdString(BvhWriter(file).toText(range));
    }

    BvhFile file; // smallMotion(3): Hips DOF 0-5, Spine 6-8, End Site none, LeftLeg 9-11

private slots:
    void init() { QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(3))); }
    void cleanup() { file.clear(); }

    void channelSlots()
    {
        BvhJoint joint;
        for (const char* name : {"Xposition", "Xposition", "Zrotation"})
            joint.addChannel(QString::fromLatin1(name));
        // A repeated channel shares one slot; values are stored as floats.
        joint.setFrameValues(QList<double>{1.5, 0.1, 9});
        QCOMPARE(joint.getPosition().x(), 0.1f);
        QCOMPARE(joint.getChannelValue(0), double(0.1f));
        QCOMPARE(joint.getChannelValue(7), 0.0);
        QCOMPARE(joint.getChannelName(7), QString());
        joint.setChannelValue(QStringLiteral("Wrotation"), 5.0); // no slot: ignored
        QCOMPARE(joint.getRotation(), Vector3f(0, 0, 9));
    }

    // A row moves into the joints in DOF order, the values it lacks as zeros; storeJointValues
    // writes one joint's values back into a row, padding a short one.
    void rowsMoveBetweenTableAndJoints()
    {
        file.frames[1] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        file.loadFrame(2);
        file.loadFrame(1);
        file.loadFrame(3); // outside the table: nothing changes
        file.loadFrame(-1);
        BvhJoint* leg = file.root->getJointByName(QStringLiteral("LeftLeg"));
        QCOMPARE(file.root->getPosition(), Vector3f(0, 1, 2));
        QCOMPARE(file.root->getChild(0)->getRotation(), Vector3f(7, 8, 6));
        QCOMPARE(leg->getRotation(), Vector3f(0, 0, 9));
        leg->setRotation(Vector3f(4, 5, 6.6f));
        file.root->setPosition(Vector3f(7, 7, 7)); // not written back
        file.storeJointValues(leg, 1);
        file.storeJointValues(leg, 3); // outside the table
        BvhJoint stranger;
        file.storeJointValues(&stranger, 1);
        QCOMPARE(file.frames[1], QList<double>({0, 1, 2, 3, 4, 5, 6, 7, 8, double(6.6f), 4, 5}));
        QCOMPARE(file.frames[2], QList<double>({20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31}));
    }

    // findJoint tells End Sites apart by their parent; clear() nulls every guarded pointer.
    void lookupsAndClear()
    {
        const QList<BvhJoint*> joints = file.root->getAllJoints(); // Hips, Spine, End Site, ...
        const auto find = [&](const char* name, const char* parent) {
            return file.root->findJoint(QString::fromLatin1(name), QString::fromLatin1(parent));
        };
        QCOMPARE(find("End Site", "LeftLeg"), joints[4]);
        QCOMPARE(find("End Site", "Spine"), joints[2]);
        QCOMPARE(find("Hips", ""), joints[0]);
        QCOMPARE(find("Hips", "Anything"), nullptr);
        QCOMPARE(file.root->getJointByName(QStringLiteral("Nobody")), nullptr);
        QVERIFY(!file.root->getChild(2) && !file.root->getChild(-1));
        QPointer<BvhJoint> leaf = joints.last();
        file.clear();
        QVERIFY(leaf.isNull() && file.frames.isEmpty() && file.numFrames == 0);
        QCOMPARE(file.frameTime, 0.0);
    }

    // Every frame of a block exactly once, a long block split with another thread, in at most
    // about a hundred blocks of at least a few hundred frames.
    void frameBlocksCoverEveryFrameOnce()
    {
        const int blocks[][3] = {{5, 5, 0}, {0, 1, 0}, {10, 73, 0}, {10, 74, 1}, {3, 1004, 1}};
        for (const auto& [first, stop, split] : blocks) {
            std::vector<std::atomic<int>> counts(static_cast<size_t>(stop));
            std::atomic<bool> otherThread = false;
            const std::thread::id caller = std::this_thread::get_id();
            FrameBlocks::computeBlock(first, stop, [&](int from, int to, int) {
                otherThread = otherThread || std::this_thread::get_id() != caller;
                for (int f = from; f < to; ++f)
                    ++counts[size_t(f)];
            });
            for (int f = 0; f < stop; ++f)
                QCOMPARE(counts[size_t(f)].load(), f >= first ? 1 : 0);
            QCOMPARE(otherThread.load(), bool(split));
        }
        for (int frameCount : {0, 7, 7200, 10000000}) {
            const int size = FrameBlocks::blockSize(frameCount);
            QVERIFY(size >= 256 && (frameCount + size - 1) / size <= 100);
        }
    }

    // Each file of tests/data/input/read (rows of any form, damaged or hostile files, many
    // found by the fuzzer) as read and written back, in one exact file. Whatever was read goes
    // through every path that walks a motion, and writing is a fixed point: what was written
    // reads back and writes the same again.
    void filesReadAndWrittenBack()
    {
        QDir input(TestSupport::dataPath("input/read"));
        QStringList names = input.entryList(QDir::Files);
        names.sort();
        QByteArray all;
        QTemporaryDir dir;
        for (const QString& name : names) {
            BvhFile motion;
            const BvhReadResult result = BvhReader(motion).read(input.filePath(name));
            all += "== " + name.toLatin1() + "\n";
            if (!result.ok()) {
                QVERIFY(result.status == BvhReadResult::Status::NoHierarchy && !motion.root);
                all += "refused\n";
                continue;
            }
            all += "declared " + QByteArray::number(motion.numFrames) + " frames\n";
            for (const QString& warning : result.warnings)
                all += "warning: " + warning.toUtf8() + "\n";
            const QByteArray text = written(motion, FrameRange::all(motion.rowCount()));
            all += text;
            BvhFile back;
            QVERIFY(TestSupport::loadMotion(back, text));
            QCOMPARE(written(back, FrameRange::all(back.rowCount())), text);
            QVERIFY(motion.frames.capacity() <= 64);
            const ExportOptions options = ExportOptions::wholeMotion(motion);
            QVERIFY(JointTables::writeRotations(motion, dir.filePath("r.csv"), options).ok);
            QVERIFY(JointTables::writePositions(motion, dir.filePath("p.csv"), options).ok);
            QCOMPARE(TestSupport::readLines(dir.filePath("p.csv")).size(), motion.rowCount() + 1);
            QVERIFY(C3DExport::exportMotion(motion, dir.filePath("m.c3d"), nullptr).ok);
        }
        QCOMPARE(all, TestSupport::readFile(TestSupport::dataPath("expected/read.txt")));
    }

    void unreadableFilesAreRefused()
    {
        const BvhReadResult result = BvhReader(file).read(QStringLiteral("/nonexistent/walk.bvh"));
        QCOMPARE(result.status, BvhReadResult::Status::CannotOpen);
        QVERIFY(!result.errorString.isEmpty());
    }

    void frameRanges()
    {
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(20)));
        // first, last, first row written, rows written
        const int ranges[][4] = {{0, 20, 0, 20}, {10, 19, 10, 10}, {5, 5, 5, 1}, {3, 1000, 3, 17},
                                 {25, 30, 0, 0}, {8, 4, 0, 0},     {-5, 2, 0, 3}};
        for (const auto& [first, last, firstWritten, count] : ranges) {
            BvhFile back;
            QVERIFY(TestSupport::loadMotion(back, written(file, {first, last})));
            QCOMPARE(back.numFrames, count);
            QCOMPARE(back.frames, file.frames.mid(firstWritten, count));
        }
    }

    void failedWritesKeepTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = TestSupport::writeFile(dir, QStringLiteral("keep.bvh"), "old");
        QVERIFY(!BvhWriter(BvhFile()).write(path, {0, 10}).ok); // nothing loaded
        QCOMPARE(TestSupport::readFile(path), QByteArray("old"));
        const WriteResult result = BvhWriter(file).write(dir.filePath("no/x.bvh"), {0, 1});
        QVERIFY(!result.ok && !result.errorString.isEmpty());
        QCOMPARE(result.fileName, dir.filePath("no/x.bvh"));
    }

    // NumberFormat::general has a fast path of its own, so every value is checked against the
    // C library's printf: rounding up to a power of ten, the switch to the exponent style, ties,
    // and powers of ten with their neighbours, which decide the exponent.
    void generalNumbersMatchPrintf()
    {
        using Limits = std::numeric_limits<double>;
        QList<double> values{0.0,
                             -0.0,
                             0.0333333,
                             1234567.0,
                             999999.7,
                             0.09999999,
                             0.0001,
                             0.0000999999,
                             0.00009999996,
                             0.1234565,
                             2.5,
                             double(-173.27563f),
                             -6.02214076e23,
                             1e-200,
                             5e-320,
                             Limits::max(),
                             Limits::infinity(),
                             Limits::quiet_NaN()};
        for (int exponent = -32; exponent <= 32; ++exponent) {
            const double power = std::pow(10.0, exponent);
            for (double value : {power, std::nextafter(power, 0.0), std::nextafter(power, 1e300),
                                 power * 0.9999995, power * 1.0000005})
                values << value << double(float(value));
        }
        for (const double value : values) {
            for (int significant : {1, 3, 6, 9, 12, 15, 17}) {
                char buffer[400];
                std::snprintf(buffer, sizeof buffer, "%.*g", significant, value);
                QCOMPARE(NumberFormat::general(value, significant), QString::fromLatin1(buffer));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestBvhFile)
#include "tst_bvhfile.moc"

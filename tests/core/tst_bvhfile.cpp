#include "export/c3dexport.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "model/poseevaluator.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cstring>
#include <sys/stat.h>

// A pipe from a slow writer: twice nothing, then a few kilobytes, until the text is all given.
class TricklingDevice : public QIODevice
{
public:
    explicit TricklingDevice(const QByteArray& text) : text(text) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    bool atEnd() const override { return given >= text.size(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (++reads % 3 != 0 || given >= text.size())
            return 0;
        const qint64 count = std::min<qint64>({maxSize, 4093, text.size() - given});
        std::memcpy(data, text.constData() + given, size_t(count));
        given += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray text;
    qint64 given = 0;
    int reads = 0;
};

// The reader's rows and repairs, the writer's layout, digits and ranges, and files made to break
// the reader (too deep, not regular files; bench_bvh measures the memory a very long line costs).
// The recordings of other producers are in tst_realrecordings.
class TestBvhFile : public QObject
{
    Q_OBJECT

private:
    // The text BvhWriter writes for the frames of `range`, all by default.
    static QByteArray written(const BvhFile& file, const FrameRange& range = {0, INT_MAX})
    {
        return QByteArray::fromStdString(BvhWriter(file).toText(range));
    }

    BvhFile file; // smallMotion(3): Hips DOF 0-5, Spine 6-8, End Site none, LeftLeg 9-11

private slots:
    void init() { QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(3))); }
    void cleanup() { file.clear(); }

    // Each file of tests/data/input/read (rows of any form, damaged or hostile files, many
    // found by the fuzzer, values no pose can use) as read and written back, or refused with
    // its reason (its part of expected/read.txt), the same when its rows are read in blocks of
    // a few bytes split among three threads. Whatever
    // was read goes through every path that walks a motion, and writing is a fixed point: what
    // was written reads back and writes the same again.
    void fileReadAndWrittenBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("blockBytes");
        QDir input(TestSupport::dataPath("input/read"));
        for (const QString& name : input.entryList(QDir::Files, QDir::Name)) {
            QTest::newRow(qPrintable(name)) << name << 0 << int(BvhReader::defaultBlockBytes);
            QTest::addRow("%s in blocks on threads", qPrintable(name)) << name << 3 << 7;
        }
    }

    void fileReadAndWrittenBack()
    {
        QFETCH(QString, name);
        QFETCH(int, threads);
        QFETCH(int, blockBytes);
        BvhFile motion;
        BvhReader reader(motion);
        reader.setThreads(threads);
        reader.setBlockBytes(blockBytes);
        const BvhReadResult result = reader.read(TestSupport::dataPath("input/read/" + name));
        QByteArray transcript;
        if (!result.ok()) {
            // A refused file leaves nothing loaded.
            QVERIFY(!motion.root && motion.frames.isEmpty() && result.warnings.isEmpty());
            transcript = "refused: " + result.errorString.toUtf8() + "\n";
        } else {
            transcript = "declared " + QByteArray::number(motion.numFrames) + " frames\n";
            for (const QString& warning : result.warnings)
                transcript += "warning: " + warning.toUtf8() + "\n";
            transcript += written(motion);
            BvhFile back;
            QVERIFY(TestSupport::loadMotion(back, written(motion)));
            QCOMPARE(written(back), written(motion));
            QVERIFY(motion.frames.reservedRows() <= 64);
            QTemporaryDir dir;
            const ExportOptions options =
                ExportOptions::wholeMotion(motion, PoseConvention::ipiStudio());
            QVERIFY(JointTables::writePositions(motion, dir.filePath("p.csv"), options).ok);
            QCOMPARE(TestSupport::readLines(dir.filePath("p.csv")).size(), motion.rowCount() + 1);
            QVERIFY(C3DExport::exportMotion(motion, dir.filePath("m.c3d"), options).ok);
        }
        QCOMPARE(transcript,
                 TestSupport::section(TestSupport::dataPath("expected/read.txt"), name.toUtf8()));
    }

    // A file, its values carrying more digits than the usual decimals or not, reads back from
    // the written text as the very same doubles. (That iPi Studio files are written as they
    // always were, with the usual decimals only, expected/read.txt shows.)
    void valuesWrittenBackExactly_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("iPi Studio walk")
            << TestSupport::readFile(QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh"));
        QTest::newRow("more digits")
            << QByteArray("HIERARCHY\nROOT Hips\n{\nOFFSET 0.123456789 -1.00000001 1e-7\n"
                          "CHANNELS 4 Xposition Yposition Zposition Zrotation\n"
                          "End Site\n{\nOFFSET 0.30000000000000004 2.54 -0\n}\n}\n"
                          "MOTION\nFrames: 2\nFrame Time: 0.008333333333333333\n"
                          "0.12345 -173.27563 1e-10 12.3456789\n"
                          "-0 1234567.891 0.1 -0.0000001\n");
    }

    void valuesWrittenBackExactly()
    {
        QFETCH(QByteArray, text);
        BvhFile motion, back;
        QVERIFY(TestSupport::loadMotion(motion, text));
        QVERIFY(TestSupport::loadMotion(back, written(motion)));
        QCOMPARE(written(back), written(motion));    // the signs of zeros too
        QVERIFY(back.frameTime == motion.frameTime); // QCOMPARE would forgive a difference
        QCOMPARE(back.frames, motion.frames);
        const QList<BvhJoint*> joints = motion.root->getAllJoints();
        for (qsizetype i = 0; i < joints.size(); ++i)
            QVERIFY(back.root->getAllJoints()[i]->getExactOffset() == joints[i]->getExactOffset());
    }

    // first, last; the first row written and the number of rows written
    void frameRanges_data()
    {
        QTest::addColumn<FrameRange>("range");
        QTest::addColumn<int>("firstWritten");
        QTest::addColumn<int>("count");
        QTest::newRow("whole motion and more") << FrameRange{0, 20} << 0 << 20;
        QTest::newRow("to the last frame") << FrameRange{10, 19} << 10 << 10;
        QTest::newRow("one frame") << FrameRange{5, 5} << 5 << 1;
        QTest::newRow("past the end") << FrameRange{3, 1000} << 3 << 17;
        QTest::newRow("beyond the motion") << FrameRange{25, 30} << 0 << 0;
        QTest::newRow("reversed") << FrameRange{8, 4} << 0 << 0;
        QTest::newRow("before the start") << FrameRange{-5, 2} << 0 << 3;
    }

    void frameRanges()
    {
        QFETCH(FrameRange, range);
        QFETCH(int, firstWritten);
        QFETCH(int, count);
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(20)));
        BvhFile back;
        QVERIFY(TestSupport::loadMotion(back, written(file, range)));
        QCOMPARE(back.numFrames, count);
        QCOMPARE(back.frames, file.frames.mid(firstWritten, count));
    }

    // The reader cuts a hierarchy nested 100,000 deep at 1000 levels, without recursion.
    void deepHierarchyIsCut()
    {
        QByteArray text = "HIERARCHY\nROOT J\n{\nOFFSET 0 1 0\nCHANNELS 1 Zrotation\n";
        text += QByteArray("JOINT J\n{\nOFFSET 0 1 0\nCHANNELS 1 Zrotation\n").repeated(100000);
        const QByteArray row = QByteArray("0 ").repeated(BvhReader::maxDepth) + "\n";
        text +=
            QByteArray("}\n").repeated(100001) + "MOTION\nFrames: 2\nFrame Time: 0.5\n" + row + row;
        BvhFile file;
        const BvhReadResult result = TestSupport::readBvh(file, text);
        QVERIFY(result.ok());
        QVERIFY(result.warnings.join(' ').contains(QLatin1String("deeper than 1000 levels")));
        QCOMPARE(file.root->getAllJoints().size(), BvhReader::maxDepth);
        QCOMPARE(file.rowCount(), 2);
        file.loadFrame(0);
        PoseEvaluator pose(file.root, PoseConvention::ipiStudio());
        pose.evaluate();
        // Every offset is one unit up and no joint turns: the deepest is 1000 units up.
        QCOMPARE(pose.getPositions().back(), Vector3f(0, 1000, 0));
    }

    // A recording reads the same, row for row, on one thread or split among several in blocks
    // of any size, or from a device that often has nothing yet, and so does one whose last
    // rows were cut off mid-row.
    void recordingsReadAlikeOnAnyThreads_data()
    {
        QTest::addColumn<QByteArray>("text");
        QDir real(TestSupport::dataPath("real"));
        for (const QString& name : real.entryList({"*.bvh"}, QDir::Files, QDir::Name)) {
            const QByteArray text = TestSupport::readFile(real.filePath(name));
            QTest::newRow(qPrintable(name)) << text;
            QTest::addRow("%s cut short", qPrintable(name)) << text.left(text.size() * 9 / 10);
        }
    }

    void recordingsReadAlikeOnAnyThreads()
    {
        QFETCH(QByteArray, text);
        const auto read = [&text](BvhFile& motion, int threads, int blockBytes) {
            QBuffer device(&text);
            device.open(QIODevice::ReadOnly);
            BvhReader reader(motion);
            reader.setThreads(threads);
            reader.setBlockBytes(blockBytes);
            return reader.read(device);
        };
        BvhFile whole;
        const BvhReadResult wholeResult = read(whole, 1, int(BvhReader::defaultBlockBytes));
        QVERIFY(wholeResult.ok() && whole.rowCount() > 0);
        for (const int threads : {2, 5}) {
            for (const int blockBytes : {4096, 100000}) {
                BvhFile split;
                const BvhReadResult splitResult = read(split, threads, blockBytes);
                QCOMPARE(splitResult.warnings, wholeResult.warnings);
                QCOMPARE(split.frames, whole.frames);
                QCOMPARE(split.numFrames, whole.numFrames);
                QCOMPARE(written(split), written(whole));
            }
        }
        TricklingDevice slow(text);
        BvhFile trickled;
        QCOMPARE(BvhReader(trickled).read(slow).warnings, wholeResult.warnings);
        QCOMPARE(trickled.frames, whole.frames);
    }

    // A canceled reading (the window's Cancel) leaves nothing loaded and says so.
    void canceledReadLeavesNothing()
    {
        const std::atomic<bool> canceled{true};
        BvhFile motion;
        BvhReader reader(motion);
        reader.setCancelFlag(&canceled);
        const BvhReadResult result = reader.read(TestSupport::dataPath("real/cmu_02_01.bvh"));
        QCOMPARE(result.status, BvhReadResult::Status::Canceled);
        QVERIFY(!motion.root && motion.frames.isEmpty() && motion.numFrames == 0);
    }

    // Opening a named pipe would wait for a writer for ever; a directory is no file, nor is
    // one that is not there.
    void unreadableFilesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "pipe.bvh"
                                    << "not a regular file";
        QTest::newRow("folder") << ""
                                << "not a regular file";
        QTest::newRow("absent") << "absent.bvh"
                                << "";
    }

    void unreadableFilesAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe.bvh")).constData(), 0600) == 0);
        const BvhReadResult result = BvhReader(file).read(dir.filePath(name));
        QCOMPARE(result.status, BvhReadResult::Status::CannotOpen);
        QVERIFY2(result.errorString.contains(reason) && !result.errorString.isEmpty(),
                 qPrintable(result.errorString));
    }
};

QTEST_GUILESS_MAIN(TestBvhFile)
#include "tst_bvhfile.moc"

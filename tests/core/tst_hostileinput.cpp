#include "export/c3dexport.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <memory>

// Files made to break the readers: what each gives, the same through every path that walks
// what was read (pose, BVH, joint tables, C3D, mass segments). Cases the reader's own suite
// covers (a huge CHANNELS count, 5 MB of blanks, "only braces") are not repeated here.
class TestHostileInput : public QObject
{
    Q_OBJECT

private:
    static BvhReadResult read(BvhFile& file, const QByteArray& text)
    {
        return TestSupport::readBvh(file, text);
    }

    static QByteArray nested(int levels)
    {
        QByteArray text = "HIERARCHY\nROOT J\n{\nOFFSET 0 1 0\nCHANNELS 1 Zrotation\n";
        for (int i = 0; i < levels; ++i)
            text += "JOINT J\n{\nOFFSET 0 1 0\nCHANNELS 1 Zrotation\n";
        text += QByteArray(levels + 1, '}').replace("}", "}\n");
        return text + "MOTION\nFrames: 2\nFrame Time: 0.5\n0\n\n";
    }

    // Everything that walks a loaded motion, so that each hostile case is taken through all.
    static void writeEverything(BvhFile& file, int expectedRows)
    {
        QTemporaryDir dir;
        file.exportMask = QList<bool>(file.root->getAllJoints().size(), true);
        const WriteResult rotations =
            file.exportRotationsCsv(dir.filePath(QStringLiteral("r.csv")), 0, -1);
        const WriteResult positions =
            file.exportAbsolutePositionsCsv(dir.filePath(QStringLiteral("p.csv")), 0, -1);
        QVERIFY(rotations.ok);
        QVERIFY(positions.ok);
        QCOMPARE(TestSupport::readLines(rotations.fileName).size(), expectedRows + 1);
        QCOMPARE(TestSupport::readLines(positions.fileName).size(), expectedRows + 1);
        QVERIFY(C3DExport::exportMotion(file, dir.filePath(QStringLiteral("m.c3d")), nullptr).ok);

        // Writing is a fixed point: what was written reads back and writes the same again.
        const std::string written = BvhWriter(file).toText(0, -2);
        BvhFile reread;
        QVERIFY(read(reread, QByteArray::fromStdString(written)).ok());
        QCOMPARE(BvhWriter(reread).toText(0, -2), written);
    }

    static qint64 peakResidentKb()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
        return -1;
    }

    // Starts a new peak: the kernel forgets the high-water mark of resident memory.
    static bool resetPeakResident()
    {
        QFile refs(QStringLiteral("/proc/self/clear_refs"));
        return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
    }

    // A file of `head`, then `length` bytes of `pattern` repeated without a line break, then
    // `tail`, made up as it is read so that the input itself takes no memory.
    class LongLineDevice : public QIODevice
    {
    public:
        LongLineDevice(QByteArray head, QByteArray pattern, qint64 length, QByteArray tail)
            : head(std::move(head)), pattern(pattern.repeated(4096 / pattern.size())),
              length(length), tail(std::move(tail))
        {
        }
        bool isSequential() const override { return true; }
        qint64 bytesAvailable() const override
        {
            return head.size() + length + tail.size() - position + QIODevice::bytesAvailable();
        }

    protected:
        qint64 readData(char* data, qint64 maxSize) override
        {
            const qint64 total = head.size() + length + tail.size();
            const qint64 count = std::min(maxSize, total - position);
            for (qint64 done = 0; done < count;) {
                const qint64 at = position + done;
                const char* source;
                qint64 available;
                if (at < head.size()) {
                    source = head.constData() + at;
                    available = head.size() - at;
                } else if (at < head.size() + length) {
                    const qint64 offset = (at - head.size()) % pattern.size();
                    source = pattern.constData() + offset;
                    available = std::min(pattern.size() - offset, head.size() + length - at);
                } else {
                    source = tail.constData() + (at - head.size() - length);
                    available = total - at;
                }
                const qint64 n = std::min(available, count - done);
                std::memcpy(data + done, source, size_t(n));
                done += n;
            }
            position += count;
            return count;
        }
        qint64 writeData(const char*, qint64) override { return -1; }

    private:
        QByteArray head, pattern;
        qint64 length;
        QByteArray tail;
        qint64 position = 0;
    };

private slots:
    void deepHierarchyIsCutEverywhere()
    {
        BvhFile file;
        const BvhReadResult result = read(file, nested(100000));
        QVERIFY(result.ok());
        QVERIFY(result.warnings.join(' ').contains(QLatin1String("deeper than 1000 levels")));
        const QList<BvhJoint*> joints = file.root->getAllJoints();
        QCOMPARE(joints.size(), BvhReader::maxDepth);
        QCOMPARE(file.rowCount(), 2);
        file.setCurrentFrame(0);
        PoseEvaluator pose(file.root);
        pose.evaluate();
        // Every offset is one unit up and no joint turns: the deepest is 1000 units up.
        QCOMPARE(pose.getPositions().back(), Vector3f(0, 1000, 0));
        QCOMPARE(joints.last()->getAbsolutePosition(), Vector3f(0, 1000, 0));
        writeEverything(file, 2);
    }

    // A tree built in memory has no depth bound: every walk over it must still be a loop. (Not
    // written as BVH: its indentation alone would take 5 GB; the reader's bound keeps files to
    // 1000 levels, which the test above writes.)
    void deepTreeInMemoryIsWalkedWithoutRecursion()
    {
        const int levels = 100000;
        BvhFile file;
        auto* root = new BvhJoint;
        root->setName(QStringLiteral("J"));
        BvhJoint* leaf = root;
        for (int i = 0; i < levels; ++i) {
            auto* child = new BvhJoint;
            child->setName(QStringLiteral("J"));
            child->setOffset(0, 1, 0);
            child->addChannel(QStringLiteral("Xposition"));
            child->setParentJoint(leaf);
            leaf->addChild(child);
            leaf = child;
        }
        file.root = root;
        file.frames = {QList<double>(levels, 0.5)};
        file.setCurrentFrame(0);
        QCOMPARE(root->getAllJoints().size(), levels + 1);
        QCOMPARE(leaf->getAbsolutePosition(), Vector3f(levels * 0.5f, levels, 0));
        QCOMPARE(root->getJointByName(QStringLiteral("missing")), nullptr);
        // Deleting the motion deletes the chain (a recursive destructor would overflow here).
    }

    void hugeCounts_data()
    {
        QTest::addColumn<QByteArray>("channelsLine");
        QTest::addColumn<QByteArray>("framesLine");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("numFrames");
        QTest::addColumn<int>("rows");
        QTest::newRow("largest int frame count")
            << QByteArray("CHANNELS 1 Xrotation") << QByteArray("Frames: 2147483647") << 1
            << 2147483647 << 2;
        QTest::newRow("frame count beyond int") << QByteArray("CHANNELS 1 Xrotation")
                                                << QByteArray("Frames: 99999999999") << 1 << 0 << 0;
        QTest::newRow("negative frame count")
            << QByteArray("CHANNELS 1 Xrotation") << QByteArray("Frames: -1") << 1 << -1 << 0;
        QTest::newRow("channel count beyond int") << QByteArray("CHANNELS 99999999999 Xrotation")
                                                  << QByteArray("Frames: 2") << 0 << 2 << 2;
        QTest::newRow("negative channel count")
            << QByteArray("CHANNELS -5 Xrotation") << QByteArray("Frames: 2") << 0 << 2 << 2;
    }

    void hugeCounts()
    {
        QFETCH(QByteArray, channelsLine);
        QFETCH(QByteArray, framesLine);
        QFETCH(int, channels);
        QFETCH(int, numFrames);
        QFETCH(int, rows);
        BvhFile file;
        QVERIFY(read(file, "HIERARCHY\nROOT A\n{\n" + channelsLine + "\n}\nMOTION\n" + framesLine +
                               "\nFrame Time: 1\n7\n8\n")
                    .ok());
        QCOMPARE(file.root->getNumChannels(), channels);
        QCOMPARE(file.numFrames, numFrames);
        QCOMPARE(file.rowCount(), rows);
        QVERIFY(file.frames.capacity() <= 64);
        writeEverything(file, rows);
    }

    // A line of hundreds of megabytes costs about its own size, wherever it stands.
    void longLineCostsItsOwnSize_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<int>("rows");
        const QByteArray skeleton = "HIERARCHY\nROOT A\n{\nCHANNELS 2 Xrotation Yrotation\n}\n";
        const QByteArray motion = "MOTION\nFrames: 2\nFrame Time: 1\n";
        QTest::newRow("frame row")
            << skeleton + motion << QByteArray("1\t") << QByteArray("\n5\n") << 2;
        QTest::newRow("CHANNELS line")
            << QByteArray("HIERARCHY\nROOT A\n{\nCHANNELS 2 ") << QByteArray("Xrotation ")
            << "\n}\n" + motion + "1 2\n3 4\n"
            << 2;
        QTest::newRow("text before the hierarchy")
            << QByteArray() << QByteArray("x") << "\n" + skeleton + motion + "1 2\n3 4\n"
            << 2;
    }

    void longLineCostsItsOwnSize()
    {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, tail);
        QFETCH(int, rows);
        const qint64 length = qint64(300) << 20;
        LongLineDevice device(head, pattern, length, tail);
        device.open(QIODevice::ReadOnly);
        const bool measured = resetPeakResident();
        const qint64 before = peakResidentKb();
        BvhFile file;
        QVERIFY(BvhReader(file).read(device).ok());
        const qint64 peak = peakResidentKb() - before;
        QCOMPARE(file.root->getNumChannels(), 2);
        QCOMPARE(file.rowCount(), rows);
        QVERIFY(file.root->getChannelName(0) == QLatin1String("Xrotation"));
#if !defined(__SANITIZE_ADDRESS__)
        // The line itself must be held; anything per value or per token is not.
        if (measured)
            QVERIFY2(peak * 1024 < length + length / 4, qPrintable(QString::number(peak)));
#endif
        Q_UNUSED(measured);
        Q_UNUSED(peak);
    }

    void oddBytes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<Vector3f>("offset");
        QTest::addColumn<int>("rows");
        const char withNuls[] = "HIERARCHY\nROOT A\n{\nOFF\0SET 1 2 3\nJOINT B\0C\n{\n}\n}\n";
        QTest::newRow("NUL inside a keyword and a name")
            << QByteArray(withNuls, sizeof(withNuls) - 1)
            << QStringList{"A", QString::fromLatin1("B\0C", 3)} << Vector3f(0, 0, 0) << 1;
        QTest::newRow("invalid UTF-8 in names")
            << QByteArray("HIERARCHY\nROOT \xff\xfe\n{\nOFFSET 1 2 3\nJOINT \xc3\n{\n}\n}\n")
            << QStringList{QStringLiteral("\ufffd\ufffd"), QStringLiteral("\ufffd")}
            << Vector3f(1, 2, 3) << 1;
        // An unclosed block runs to the end of the file and takes the motion with it.
        QTest::newRow("only opening braces")
            << "HIERARCHY\nROOT A\n" + QByteArray(1000, '{').replace("{", "{\n") << QStringList{"A"}
            << Vector3f(0, 0, 0) << 0;
        QTest::newRow("only closing braces")
            << "HIERARCHY\nROOT A\n" + QByteArray(1000, '}').replace("}", "}\n") << QStringList{"A"}
            << Vector3f(0, 0, 0) << 1;
    }

    void oddBytes()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, names);
        QFETCH(Vector3f, offset);
        QFETCH(int, rows);
        BvhFile file;
        QVERIFY(read(file, text + "MOTION\nFrames: 1\nFrame Time: 1\n\n").ok());
        QCOMPARE(file.root->getAllJointNames(), names);
        QCOMPARE(file.root->getOffset(), offset);
        QCOMPARE(file.rowCount(), rows);
        writeEverything(file, rows);
    }

    // Every number the reader converts: what is no number, or does not fit, is 0.
    void numberForms_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<float>("offset");
        QTest::addColumn<double>("frameTime");
        QTest::addColumn<double>("value");
        QTest::newRow("1e400") << QByteArray("1e400") << 0.0f << 0.0 << 0.0;
        QTest::newRow("-1e400") << QByteArray("-1e400") << 0.0f << 0.0 << 0.0;
        QTest::newRow("nan") << QByteArray("nan") << 0.0f << 0.0 << 0.0;
        QTest::newRow("inf") << QByteArray("inf") << 0.0f << 0.0 << 0.0;
        QTest::newRow("hexadecimal") << QByteArray("0x1p3") << 0.0f << 0.0 << 0.0;
        // Found by the fuzzer: an offset beyond the float range became an infinity, written as
        // "inf" and read back as 0.
        QTest::newRow("beyond float, within double") << QByteArray("1e39") << 0.0f << 1e39 << 1e39;
        QTest::newRow("largest float") << QByteArray("3.4e38") << 3.4e38f << 3.4e38 << 3.4e38;
    }

    void numberForms()
    {
        QFETCH(QByteArray, number);
        QFETCH(float, offset);
        QFETCH(double, frameTime);
        QFETCH(double, value);
        BvhFile file;
        QVERIFY(read(file, "HIERARCHY\nROOT A\n{\nOFFSET " + number + " 0 " + number +
                               "\nCHANNELS 1 Xposition\n}\nMOTION\nFrames: 1\nFrame Time: " +
                               number + "\n" + number + "\n")
                    .ok());
        QCOMPARE(file.root->getOffset(), Vector3f(offset, 0, offset));
        QCOMPARE(file.frameTime, frameTime);
        QCOMPARE(file.frames, QVector<QList<double>>({{value}}));
        writeEverything(file, 1);
    }

    void negativeZeroKeepsItsSign()
    {
        BvhFile file;
        QVERIFY(read(file, "HIERARCHY\nROOT A\n{\nOFFSET -0 0 0\nCHANNELS 1 Xposition\n}\n"
                           "MOTION\nFrames: 1\nFrame Time: 1\n-0\n")
                    .ok());
        QVERIFY(std::signbit(file.root->getOffset().x()));
        QVERIFY(std::signbit(file.frames[0][0]));
        writeEverything(file, 1);
    }

    // Short rows and empty rows: the missing channels are 0 in the pose, in both tables and in
    // the C3D file; the BVH writer writes the row as it was read.
    void shortRowsReadAsZeros()
    {
        BvhFile file;
        QVERIFY(
            read(file, TestSupport::smallMotion(0).replace("Frames:\t0", "Frames: 2") + "5\t6\n\n")
                .ok());
        QCOMPARE(file.frames, QVector<QList<double>>({{5, 6}, {}}));
        file.setCurrentFrame(0);
        QCOMPARE(file.root->getPosition(), Vector3f(5, 6, 0));
        QCOMPARE(file.root->getRotation(), Vector3f(0, 0, 0));
        file.setCurrentFrame(1);
        QCOMPARE(file.root->getPosition(), Vector3f(0, 0, 0));
        writeEverything(file, 2);
    }

    // Found by the fuzzer: a second CHANNELS line was appended after the empty names of a
    // short first one, and the written file read back with the names in another order.
    void repeatedChannelsLineKeepsTheFirst()
    {
        BvhFile file;
        QVERIFY(read(file, "HIERARCHY\nROOT A\n{\nCHANNELS 3 Zrotation Xrotation\n"
                           "CHANNELS 3 Xposition Yposition Zposition\n}\n")
                    .ok());
        QCOMPARE(file.root->getNumChannels(), 3);
        QCOMPARE(file.root->getChannelName(1), QStringLiteral("Xrotation"));
        QCOMPARE(file.root->getChannelName(2), QString());
        writeEverything(file, 0);
    }

    // Found by the fuzzer: "ROOT A\r {" named the root "A\r", written as "ROOT A\r\n" and
    // read back as "A".
    void carriageReturnInsideALineSeparates()
    {
        BvhFile file;
        QVERIFY(read(file, "HIERARCHY\r\nROOT A\r {\r\n{\r\nCHANNELS 2 Xposition\rYposition\r\n}"
                           "\r\nMOTION\r\nFrames: 1\r\nFrame Time: 1\r\n1\r2\r\n")
                    .ok());
        QCOMPARE(file.root->getName(), QStringLiteral("A"));
        QCOMPARE(file.root->getChannelName(1), QStringLiteral("Yposition"));
        QCOMPARE(file.frames, QVector<QList<double>>({{1, 2}}));
        writeEverything(file, 1);
    }

    void motionBeforeHierarchyIsDropped()
    {
        BvhFile file;
        const BvhReadResult result =
            read(file, "MOTION\nFrames: 2\nFrame Time: 9\n1 2 3 4 5 6 7\n8\n"
                       "HIERARCHY\nROOT A\n{\nCHANNELS 1 Xposition\n}\n");
        QVERIFY(result.ok());
        QVERIFY(result.warnings.join(' ').contains(QLatin1String("2 frame rows")));
        QCOMPARE(file.rowCount(), 0);
        QCOMPARE(file.numFrames, 0);
        QCOMPARE(file.frameTime, 0.0);
        writeEverything(file, 0);
    }

    void notRegularFilesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("directory") << "directory";
        QTest::newRow("named pipe") << "pipe";
    }

    // Opening a named pipe would wait for a writer for ever; a directory is no file.
    void notRegularFilesAreRefused()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.bvh"));
        if (kind == QLatin1String("directory"))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x.bvh")));
        else
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);

        BvhFile file;
        const BvhReadResult result = file.readFile(path);
        QCOMPARE(result.status, BvhReadResult::Status::CannotOpen);
        QVERIFY(result.errorString.contains(QLatin1String("not a regular file")));

        BvhMathObject physics;
        physics.startJointNames = {QStringLiteral("Kept")};
        QString error;
        QVERIFY(!physics.readMassSegments(path, &error));
        QVERIFY(error.contains(QLatin1String("not a regular file")));
        QCOMPARE(physics.startJointNames, QStringList{QStringLiteral("Kept")});
    }

    void hostileMassSegmentFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        const QByteArray segment = "<Segment><StartJoint>Hips</StartJoint><EndJoint>Spine"
                                   "</EndJoint><ProximalDistance>0.5</ProximalDistance><Mass>1"
                                   "</Mass></Segment>";
        QTest::newRow("100,000 levels deep")
            << "<BvhMassProperties>" + QByteArray(100000, 'a').replace("a", "<a>") + segment +
                   QByteArray(100000, 'a').replace("a", "</a>") + "</BvhMassProperties>"
            << "deeper than 256 levels";
        QByteArray laughs = "<!DOCTYPE BvhMassProperties [\n<!ENTITY l0 \"lol\">\n";
        for (int i = 1; i < 10; ++i) {
            laughs += "<!ENTITY l" + QByteArray::number(i) + " \"" +
                      ("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
        }
        QTest::newRow("billion laughs")
            << laughs + "]>\n<BvhMassProperties>" + QByteArray(segment).replace("Hips", "&l9;") +
                   "</BvhMassProperties>"
            << "not an XML file";
        QTest::newRow("huge") << "<BvhMassProperties>" + segment.repeated(40000) +
                                     "</BvhMassProperties>"
                              << "larger than";
    }

    void hostileMassSegmentFilesAreRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = TestSupport::writeFile(dir, QStringLiteral("m.xml"), text);
        BvhMathObject physics;
        physics.startJointNames = {QStringLiteral("Kept")};
        QString error;
        QVERIFY(!physics.readMassSegments(path, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(physics.startJointNames, QStringList{QStringLiteral("Kept")});
    }
};

QTEST_GUILESS_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"

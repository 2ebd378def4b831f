#include "export/c3dexport.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <utility>

// Files made to break the readers, each taken through every path that walks what was read
// (pose, BVH, joint tables, C3D).
class TestHostileInput : public QObject
{
    Q_OBJECT

private:
    static QByteArray written(const BvhFile& file)
    {
        return QByteArray::fromStdString(BvhWriter(file).toText(FrameRange::all(file.rowCount())));
    }

    static void writeEverything(const BvhFile& file)
    {
        QTemporaryDir dir;
        const ExportOptions options = ExportOptions::wholeMotion(file);
        const WriteResult rotations =
            JointTables::writeRotations(file, dir.filePath("r.csv"), options);
        const WriteResult positions =
            JointTables::writePositions(file, dir.filePath("p.csv"), options);
        QVERIFY(rotations.ok && positions.ok);
        QCOMPARE(TestSupport::readLines(rotations.fileName).size(), file.rowCount() + 1);
        QCOMPARE(TestSupport::readLines(positions.fileName).size(), file.rowCount() + 1);
        QVERIFY(C3DExport::exportMotion(file, dir.filePath(QStringLiteral("m.c3d")), nullptr).ok);
        // Writing is a fixed point: what was written reads back and writes the same again.
        BvhFile reread;
        QVERIFY(TestSupport::readBvh(reread, written(file)).ok());
        QCOMPARE(written(reread), written(file));
    }

    // The model file at `path` is refused for `reason`, and the model read before is kept.
    static void modelIsRefused(const QString& path, const QString& reason)
    {
        const MassSegmentModel kept{{QStringLiteral("Kept"), QStringLiteral("Neck"), 0.5, 1}};
        BvhMathObject physics;
        physics.setSegments(kept);
        const MassSegmentReadResult result = physics.readMassSegments(path);
        QVERIFY(!result.ok);
        QVERIFY2(result.errorString.contains(reason), qPrintable(result.errorString));
        QCOMPARE(physics.getSegments(), kept);
    }

    // The high-water mark of resident memory in kB, which writing "5" to clear_refs resets.
    static qint64 peakResidentKb()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : "";
        const qsizetype at = text.indexOf("VmHWM:");
        return at < 0 ? -1 : text.mid(at + 6, 20).simplified().split(' ').first().toLongLong();
    }

private slots:
    void deepHierarchyIsCutEverywhere()
    {
        QByteArray text = "HIERARCHY\nROOT J\n{\nOFFSET 0 1 0\nCHANNELS 1 Zrotation\n";
        text += QByteArray("JOINT J\n{\nOFFSET 0 1 0\nCHANNELS 1 Zrotation\n").repeated(100000);
        text += QByteArray("}\n").repeated(100001) + "MOTION\nFrames: 2\nFrame Time: 0.5\n0\n\n";
        BvhFile file;
        const BvhReadResult result = TestSupport::readBvh(file, text);
        QVERIFY(result.ok());
        QVERIFY(result.warnings.join(' ').contains(QLatin1String("deeper than 1000 levels")));
        const QList<BvhJoint*> joints = file.root->getAllJoints();
        QCOMPARE(joints.size(), BvhReader::maxDepth);
        QCOMPARE(file.rowCount(), 2);
        file.loadFrame(0);
        PoseEvaluator pose(file.root);
        pose.evaluate();
        // Every offset is one unit up and no joint turns: the deepest is 1000 units up.
        QCOMPARE(pose.getPositions().back(), Vector3f(0, 1000, 0));
        writeEverything(file);
    }

    // A line of hundreds of megabytes, in a frame row or a CHANNELS line, costs about its own
    // size: anything held per value or per token would cost several times as much.
    void longLineCostsItsOwnSize()
    {
        const QByteArray motion = "MOTION\nFrames: 2\nFrame Time: 1\n";
        const qsizetype length = qsizetype(100) << 20;
        for (const bool inChannels : {false, true}) {
            QByteArray text = "HIERARCHY\nROOT A\n{\nCHANNELS 2 ";
            if (inChannels)
                text += QByteArray("Xrotation ").repeated(length / 10) + "\n}\n" + motion +
                        "1 2\n3 4\n";
            else
                text += "Xrotation Yrotation\n}\n" + motion +
                        QByteArray("1\t").repeated(length / 2) + "\n5\n";
            QBuffer device(&text);
            device.open(QIODevice::ReadOnly);
            QFile clearRefs(QStringLiteral("/proc/self/clear_refs")); // unbuffered: resets now
            const bool measured = clearRefs.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                                  clearRefs.write("5") == 1;
            const qint64 before = peakResidentKb();
            BvhFile file;
            QVERIFY(BvhReader(file).read(device).ok());
            QCOMPARE(file.root->getChannelName(0), QStringLiteral("Xrotation"));
            QCOMPARE(file.root->getNumChannels(), 2);
            QCOMPARE(file.rowCount(), 2);
#if !defined(__SANITIZE_ADDRESS__)
            const qint64 peak = peakResidentKb() - before;
            if (measured)
                QVERIFY2(peak * 1024 < length + length / 4, qPrintable(QString::number(peak)));
#endif
            Q_UNUSED(measured);
            Q_UNUSED(before);
        }
    }

    // Each of these once went wrong, most found by the fuzzer; the written file shows all that
    // was read.
    void oddFilesWriteBackAsRead_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray rootA = "HIERARCHY\nROOT A\n{\n\tOFFSET\t0.0000\t0.0000\t0.0000\n";
        const QByteArray noRows = "MOTION\nFrames:\t0\nFrame Time: 0.0000000000\n";
        QTest::newRow("NUL inside a keyword and a name, invalid UTF-8 in names")
            << QByteArrayLiteral(
                   "HIERARCHY\nROOT \xff\xfe\n{\nOFF\0SET 1 2 3\nJOINT B\0\xc3\n{\n}\n}\n"
                   "MOTION\nFrames: 1\nFrame Time: 1\n\n")
            << QByteArrayLiteral("HIERARCHY\nROOT \xef\xbf\xbd\xef\xbf\xbd\n"
                                 "{\n\tOFFSET\t0.0000\t0.0000\t0.0000\n\tJOINT B\0\xef\xbf\xbd\n"
                                 "\t{\n\t\tOFFSET\t0.0000\t0.0000\t0.0000\n\t}\n}\n"
                                 "MOTION\nFrames:\t1\nFrame Time: 1.0000000000\n\n");
        QTest::newRow("short and empty rows, negative zeros")
            << QByteArray("HIERARCHY\nROOT A\n{\nOFFSET -0 0 0\nCHANNELS 3 Xposition Yposition "
                          "Zposition\n}\nMOTION\nFrames: 2\nFrame Time: 1\n5 -0\n\n")
            << QByteArray("HIERARCHY\nROOT A\n{\n\tOFFSET\t-0.0000\t0.0000\t0.0000\n\tCHANNELS 3 "
                          "Xposition Yposition Zposition\n}\nMOTION\nFrames:\t2\nFrame Time: "
                          "1.0000000000\n\t5.0000\t-0.0000\n\n");
        // Huge and negative counts; storage is never reserved from a declared count alone.
        const auto counts = [](const QByteArray& channels, const QByteArray& frames) {
            return "HIERARCHY\nROOT A\n{\nCHANNELS " + channels +
                   " Xrotation\n}\nMOTION\nFrames: " + frames + "\nFrame Time: 1\n7\n8\n";
        };
        QTest::newRow("counts beyond int")
            << counts("99999999999", "99999999999")
            << rootA + "}\nMOTION\nFrames:\t0\nFrame Time: 1.0000000000\n";
        QTest::newRow("negative counts")
            << counts("-5", "-1") << rootA + "}\nMOTION\nFrames:\t0\nFrame Time: 1.0000000000\n";
        QTest::newRow("largest int frame count, huge channel count")
            << counts("2000000000", "2147483647")
            << rootA + "\tCHANNELS 1024 Xrotation" + QByteArray(1023, ' ') +
                   "\n}\nMOTION\nFrames:\t2\nFrame Time: 1.0000000000\n\t7.0000\n\t8.0000\n";
        // A second CHANNELS line was appended after the empty names of a short first one.
        QTest::newRow("repeated CHANNELS line")
            << QByteArray("HIERARCHY\nROOT A\n{\nCHANNELS 3 Zrotation Xrotation\n"
                          "CHANNELS 3 Xposition Yposition Zposition\n}\n")
            << rootA + "\tCHANNELS 3 Zrotation Xrotation \n}\n" + noRows;
        // "ROOT A\r {" named the root "A\r", written as "ROOT A\r\n" and read back as "A".
        QTest::newRow("carriage return inside a line")
            << QByteArray("HIERARCHY\r\nROOT A\r {\r\n{\r\nCHANNELS 2 Xposition\rYposition\r\n}"
                          "\r\nMOTION\r\nFrames: 1\r\nFrame Time: 1\r\n1\r2\r\n")
            << rootA + "\tCHANNELS 2 Xposition Yposition\n}\nMOTION\nFrames:\t1\nFrame Time: "
                       "1.0000000000\n\t1.0000\t2.0000\n";
        // What is no number, or does not fit, is 0. (An offset beyond the float range became an
        // infinity, written as "inf" and read back as 0.)
        QTest::newRow("numbers that do not fit")
            << QByteArray("HIERARCHY\nROOT A\n{\nOFFSET 1e39 nan 3.4e38\nCHANNELS 6 Xposition "
                          "Yposition Zposition Xrotation Yrotation Zrotation\n}\nMOTION\nFrames: "
                          "1\nFrame Time: 1e400\n0x1p3 1e400 inf nan 1e39 -1e400\n")
            << QByteArray("HIERARCHY\nROOT A\n{\n\tOFFSET\t0.0000\t0.0000\t"
                          "339999995214436424907732413799364296704.0000\n\tCHANNELS 6 Xposition "
                          "Yposition Zposition Xrotation Yrotation Zrotation\n}\nMOTION\nFrames:"
                          "\t1\nFrame Time: 0.0000000000\n\t0.0000\t0.0000\t0.0000\t0.000000\t"
                          "999999999999999939709166371603178586112.000000\t0.000000\n");
        QTest::newRow("motion before the hierarchy")
            << QByteArray("MOTION\nFrames: 2\nFrame Time: 9\n1 2 3 4 5 6 7\n8\n"
                          "HIERARCHY\nROOT A\n{\nCHANNELS 1 Xposition\n}\n")
            << rootA + "\tCHANNELS 1 Xposition\n}\n" + noRows;
    }

    void oddFilesWriteBackAsRead()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        BvhFile file;
        QVERIFY(TestSupport::readBvh(file, text).ok());
        QCOMPARE(written(file), expected);
        QVERIFY(file.frames.capacity() <= 64);
        writeEverything(file);
    }

    // Opening a named pipe would wait for a writer for ever; a directory is no file; XML nested
    // too deep, with entities that expand a billion times, or simply too large is refused.
    void hostileFilesAreRefused()
    {
        QTemporaryDir dir;
        const QString pipe = dir.filePath(QStringLiteral("pipe.bvh"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        for (const QString& path : {pipe, dir.path()}) {
            BvhFile file;
            const BvhReadResult result = BvhReader(file).read(path);
            QCOMPARE(result.status, BvhReadResult::Status::CannotOpen);
            QVERIFY(result.errorString.contains(QLatin1String("not a regular file")));
            modelIsRefused(path, QStringLiteral("not a regular file"));
        }
        const QByteArray segment = "<Segment><StartJoint>Hips</StartJoint><EndJoint>Spine"
                                   "</EndJoint><ProximalDistance>0.5</ProximalDistance><Mass>1"
                                   "</Mass></Segment>";
        QByteArray laughs = "<!DOCTYPE BvhMassProperties [\n<!ENTITY l0 \"lol\">\n";
        for (int i = 1; i < 10; ++i) {
            laughs += "<!ENTITY l" + QByteArray::number(i) + " \"" +
                      ("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
        }
        const QList<std::pair<QByteArray, QString>> files = {
            {"<BvhMassProperties>" + QByteArray("<a>").repeated(100000) + segment +
                 QByteArray("</a>").repeated(100000) + "</BvhMassProperties>",
             "deeper than 256 levels"},
            {laughs + "]>\n<BvhMassProperties>" + QByteArray(segment).replace("Hips", "&l9;") +
                 "</BvhMassProperties>",
             "not an XML file"},
            {"<BvhMassProperties>" + segment.repeated(40000) + "</BvhMassProperties>",
             "larger than"}};
        for (const auto& [text, reason] : files)
            modelIsRefused(TestSupport::writeFile(dir, QStringLiteral("m.xml"), text), reason);
    }
};

QTEST_GUILESS_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"

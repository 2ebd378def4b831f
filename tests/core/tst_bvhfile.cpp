#include "export/c3dexport.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <limits>
#include <sys/stat.h>
#include <utility>

// A motion in memory: rows moved into the joints and back,
// the reader's rows and repairs, the writer's layout, digits and ranges, and
// NumberFormat::general (the "%g" of the XML and CSV files); files made to break the readers
// (too deep, not regular files, XML bombs; bench_bvh measures the memory a very long line
// costs). The recordings of other producers are in tst_realrecordings. (The split of the C3D
// export's frames between two threads is seen in every sample of the long recordings there.)
class TestBvhFile : public QObject
{
    Q_OBJECT

private:
    static QByteArray written(const BvhFile& file, const FrameRange& range)
    {
        return QByteArray::fromStdString(BvhWriter(file).toText(range));
    }

    BvhFile file; // smallMotion(3): Hips DOF 0-5, Spine 6-8, End Site none, LeftLeg 9-11

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

private slots:
    void init() { QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(3))); }
    void cleanup() { file.clear(); }

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

    // NumberFormat::general has a fast path of its own, so every value is checked against the
    // C library's printf: rounding up to a power of ten, the switch to the exponent style, ties,
    // and powers of ten with their neighbours, which decide the exponent.
    void generalNumbersMatchPrintf()
    {
        using Limits = std::numeric_limits<double>;
        QList<double> values{0.0,        -0.0,           0.0333333,    1234567.0,     999999.7,
                             0.09999999, 0.0001,         0.0000999999, 0.00009999996, 0.1234565,
                             2.5,        -6.02214076e23, 1e-200,       5e-320};
        values << double(-173.27563f) << Limits::max() << Limits::infinity() << Limits::quiet_NaN();
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

    // The reader cuts a hierarchy nested 100,000 deep at 1000 levels, without recursion.
    void deepHierarchyIsCut()
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
    }

    // Opening a named pipe would wait for a writer for ever; a directory is no file, nor is
    // one that is not there; XML nested too deep, with entities that expand a billion times, or
    // simply too large is refused.
    void hostileFilesAreRefused()
    {
        QTemporaryDir dir;
        const QString pipe = dir.filePath(QStringLiteral("pipe.bvh"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        for (const QString& path : {pipe, dir.path(), dir.filePath("absent")}) {
            const QString reason = path == pipe || path == dir.path() ? "not a regular file" : "";
            const BvhReadResult result = BvhReader(file).read(path);
            QCOMPARE(result.status, BvhReadResult::Status::CannotOpen);
            QVERIFY(result.errorString.contains(reason) && !result.errorString.isEmpty());
            modelIsRefused(path, reason);
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

QTEST_GUILESS_MAIN(TestBvhFile)
#include "tst_bvhfile.moc"

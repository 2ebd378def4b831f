#include "export/c3dexport.h"
#include "model/bvhfile.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// kinovane-convert, run as a program: each output is byte for byte what the window's export
// functions write for the same motion, range, joints and model; every error has its message
// and exit code, and nothing is left half-written.
class TestConvert : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray errors;
    };

    Run convert(const QStringList& arguments)
    {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(KINOVANE_CONVERT_EXECUTABLE), arguments);
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardError()};
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray contents(const QString& name) const { return TestSupport::readFile(path(name)); }

    // The motion the program reads, read here for the reference outputs.
    void readReference(BvhFile& motion, RotationOrder order = RotationOrder::Fixed)
    {
        motion.setRotationOrder(order);
        QVERIFY(motion.readFile(input).ok());
    }

    QTemporaryDir dir;
    QString input;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(QFile::copy(TestSupport::dataPath(QStringLiteral("real/cmu_01_14.bvh")),
                            path(QStringLiteral("cmu.bvh"))));
        input = path(QStringLiteral("cmu.bvh"));
    }

    void outputsEqualTheWindowsExports_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last"); // -1: whole motion
        QTest::addColumn<QStringList>("joints");
        QTest::addColumn<int>("order");
        QTest::newRow("whole motion")
            << QStringList{} << 0 << -1 << QStringList{} << int(RotationOrder::Fixed);
        QTest::newRow("range and joints")
            << QStringList{"--range", "100:250", "--joints", "LeftFoot,Hips"} << 100 << 250
            << QStringList{"Hips", "LeftFoot"} << int(RotationOrder::Fixed);
        QTest::newRow("one frame") << QStringList{"--range", "7:7"} << 7 << 7 << QStringList{}
                                   << int(RotationOrder::Fixed);
        QTest::newRow("as declared")
            << QStringList{"--rotation-order", "declared", "--range", "0:300"} << 0 << 300
            << QStringList{} << int(RotationOrder::Declared);
    }

    // All five outputs of one call against the core's own exports.
    void outputsEqualTheWindowsExports()
    {
        QFETCH(QStringList, options);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QStringList, joints);
        QFETCH(int, order);
        const Run run = convert(
            QStringList{input, "--quiet", "--c3d", "out.c3d", "--bvh", "out.bvh", "--com-csv",
                        "com.csv", "--rotations-csv", "rot.csv", "--positions-csv", "pos.csv",
                        "--model",
                        QStringLiteral(KINOVANE_SOURCE_DIR "/samples/defaultMassSegments.xml")} +
            options);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.errors, QByteArray());

        BvhFile motion;
        readReference(motion, RotationOrder(order));
        const QStringList names = motion.root->getAllJointNames();
        motion.exportMask.clear();
        for (const QString& name : names)
            motion.exportMask.append(joints.isEmpty() || joints.contains(name));
        const int end = last < 0 ? -1 : last;
        QVERIFY(motion.writeFile(path("ref.bvh"), first, last < 0 ? -2 : last).ok);
        QVERIFY(motion.exportRotationsCsv(path("ref-rot.csv"), first, last < 0 ? -1 : last + 1).ok);
        QVERIFY(
            motion.exportAbsolutePositionsCsv(path("ref-pos.csv"), first, last < 0 ? -1 : last + 1)
                .ok);
        BvhMathObject physics;
        QVERIFY(physics.readMassSegments(
            QStringLiteral(KINOVANE_SOURCE_DIR "/samples/defaultMassSegments.xml")));
        physics.setBvhFile(&motion);
        QVERIFY(physics.exportMassCentreCsv(path("ref-com.csv"), first, end).ok);
        // The C3D export has no range: the cut motion is converted whole.
        if (last >= 0)
            motion.frames = motion.frames.mid(first, last - first + 1);
        QVERIFY(C3DExport::exportMotion(motion, path("ref.c3d"), nullptr).ok);

        QCOMPARE(contents("out.bvh"), contents("ref.bvh"));
        QCOMPARE(contents("rot.csv"), contents("ref-rot.csv"));
        QCOMPARE(contents("pos.csv"), contents("ref-pos.csv"));
        QCOMPARE(contents("com.csv"), contents("ref-com.csv"));
        QCOMPARE(contents("out.c3d"), contents("ref.c3d"));
        QVERIFY(contents("pos.csv").size() > 100);
    }

    void shippedModelWithoutOneInTheDirectory()
    {
        QVERIFY(!QFile::exists(path("defaultMassSegments.xml")));
        QCOMPARE(convert({input, "--com-csv", "shipped.csv"}).exitCode, 0);
        BvhFile motion;
        readReference(motion);
        BvhMathObject physics;
        QVERIFY(physics.readMassSegments(
            QStringLiteral(KINOVANE_SOURCE_DIR "/samples/defaultMassSegments.xml")));
        physics.setBvhFile(&motion);
        QVERIFY(physics.exportMassCentreCsv(path("shipped-ref.csv"), 0, -1).ok);
        QCOMPARE(contents("shipped.csv"), contents("shipped-ref.csv"));
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option") << QStringList{"cmu.bvh", "--frobnicate", "--c3d", "u.c3d"}
                                        << 2 << "unknown option --frobnicate";
        QTest::newRow("missing value")
            << QStringList{"cmu.bvh", "--c3d"} << 2 << "--c3d needs a value";
        QTest::newRow("no output") << QStringList{"cmu.bvh"} << 2 << "no output";
        QTest::newRow("no input") << QStringList{"--c3d", "u.c3d"} << 2 << "no input file";
        QTest::newRow("two inputs")
            << QStringList{"cmu.bvh", "b.bvh", "--c3d", "u.c3d"} << 2 << "more than one input";
        QTest::newRow("range backwards")
            << QStringList{"cmu.bvh", "--range", "9:3", "--c3d", "u.c3d"} << 2 << "--range 9:3";
        QTest::newRow("range not numbers")
            << QStringList{"cmu.bvh", "--range", "a:b", "--c3d", "u.c3d"} << 2 << "--range a:b";
        QTest::newRow("range past the end")
            << QStringList{"cmu.bvh", "--range", "0:99999", "--c3d", "u.c3d"} << 2
            << "reaches past the last frame";
        QTest::newRow("unknown joint")
            << QStringList{"cmu.bvh", "--joints", "Hips,Tail", "--positions-csv", "u.csv"} << 2
            << "unknown joint Tail";
        QTest::newRow("bad rotation order")
            << QStringList{"cmu.bvh", "--rotation-order", "zyx", "--c3d", "u.c3d"} << 2
            << "expected fixed or declared";
        QTest::newRow("unreadable input")
            << QStringList{"nothere.bvh", "--c3d", "u.c3d"} << 1 << "cannot read nothere.bvh";
        QTest::newRow("no hierarchy")
            << QStringList{"empty.bvh", "--c3d", "u.c3d"} << 1 << "cannot read empty.bvh";
        QTest::newRow("unreadable model")
            << QStringList{"cmu.bvh", "--model", "nothere.xml", "--com-csv", "u.csv"} << 1
            << "nothere.xml";
    }

    void errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFile empty(path("empty.bvh"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const Run run = convert(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(QString::fromUtf8(run.errors).contains(message), run.errors.constData());
        QVERIFY(!QFile::exists(path("u.c3d")));
        QVERIFY(!QFile::exists(path("u.csv")));
    }

    // One unwritable output fails the run (named with its reason) but the others are written,
    // and nothing is left under the unwritable name.
    void unwritableOutputDoesNotStopTheOthers()
    {
        const Run run =
            convert({input, "--c3d", "no/such/dir/x.c3d", "--rotations-csv", "written.csv"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains("cannot write no/such/dir/x.c3d"), run.errors.constData());
        QVERIFY(contents("written.csv").startsWith("Time,"));
        QVERIFY(!QDir(dir.path()).exists(QStringLiteral("no")));
    }

    void helpAndVersion()
    {
        const Run help = convert({"--help"});
        QCOMPARE(help.exitCode, 0);
        const Run version = convert({"--version"});
        QCOMPARE(version.exitCode, 0);
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"

#include "convert/inputset.h"
#include "export/c3dexport.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "physics/centreofmass.h"
#include "physics/motionsetup.h"
#include "physics/skeletonprofiles.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

// kinovane-convert, run as a program: each output is byte for byte what the window's export
// functions write for the same motion, range, joints and model; every error has its message
// and exit code, and nothing is left half-written.
class TestConvert : public QObject
{
    Q_OBJECT

private:
    // The exit code (-1 after a crash or a hang) and what was written to standard error.
    std::pair<int, QByteArray> convert(const QStringList& arguments)
    {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(KINOVANE_CONVERT_EXECUTABLE), arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return {-1, {}};
        return {process.exitCode(), process.readAllStandardError()};
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray contents(const QString& name) const { return TestSupport::readFile(path(name)); }

    QTemporaryDir dir;
    const QString model = QStringLiteral(KINOVANE_SOURCE_DIR "/samples/defaultMassSegments.xml");

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::copy(TestSupport::dataPath(QStringLiteral("real/cmu_01_14.bvh")),
                            path(QStringLiteral("cmu.bvh"))));
        QVERIFY(QFile::copy(model, path(QStringLiteral("model.xml"))));
    }

    void outputsEqualTheWindowsExports_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last"); // -1: whole motion
        QTest::addColumn<QStringList>("joints");
        // With no option the detected profile (CMU) poses, scales and weighs the motion.
        QTest::newRow("whole motion, detected profile")
            << QStringList{} << 0 << -1 << QStringList{};
        QTest::newRow("range and joints, chosen convention and unit")
            << QStringList{"--range",          "100:250", "--joints", "LeftFoot,Hips",
                           "--rotation-order", "fixed",   "--units",  "mm"}
            << 100 << 250 << QStringList{"Hips", "LeftFoot"};
    }

    void outputsEqualTheWindowsExports()
    {
        QFETCH(QStringList, options);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QStringList, joints);
        const auto [exitCode, errors] = convert(
            QStringList{"cmu.bvh", "--quiet", "--c3d", "out.c3d", "--bvh", "out.bvh", "--com-csv",
                        "out.com", "--rotations-csv", "out.rot", "--positions-csv", "out.pos"} +
            options);
        QCOMPARE(exitCode, 0);
        QCOMPARE(errors, QByteArray());

        BvhFile motion;
        QVERIFY(BvhReader(motion).read(path(QStringLiteral("cmu.bvh"))).ok());
        SetupRequest request;
        if (options.contains("fixed"))
            request.convention = PoseConvention::ipiStudio();
        if (options.contains("mm"))
            request.unit = LengthUnit::millimetresUnit();
        const MotionSetup setup =
            MotionSetup::choose(SkeletonProfiles::load({}), motion.root, request);
        QCOMPARE(setup.profile.name, QStringLiteral("cmu"));
        motion.setConvention(setup.convention);
        ExportOptions tables = ExportOptions::wholeMotion(motion);
        const bool whole = last < 0;
        tables.range = whole ? tables.range : FrameRange{first, last};
        const QStringList names = motion.root->getAllJointNames();
        for (qsizetype i = 0; i < names.size(); ++i)
            tables.jointSelection[i] = joints.isEmpty() || joints.contains(names[i]);
        QVERIFY(BvhWriter(motion).write(path("ref.bvh"), tables.range).ok);
        QVERIFY(JointTables::writeRotations(motion, path("ref.rot"), tables).ok);
        QVERIFY(JointTables::writePositions(motion, path("ref.pos"), tables).ok);
        QVERIFY(CentreOfMass::writeCsv(motion, setup.segments, path("ref.com"), tables).ok);
        // The C3D export has no range: the cut motion is converted whole.
        motion.frames = motion.frames.mid(first, whole ? -1 : last - first + 1);
        QVERIFY(C3DExport::exportMotion(motion, path("ref.c3d"), nullptr, nullptr,
                                        setup.unit.millimetres)
                    .ok);
        for (const char* kind : {"bvh", "c3d", "com", "rot", "pos"}) {
            const QByteArray output = contents(QLatin1String("out.") + kind);
            QVERIFY2(output == contents(QLatin1String("ref.") + kind) && output.size() > 100, kind);
        }
    }

    // Bad usage exits with 2, a file that cannot be read or written with 1; neither leaves an
    // output, nor anything under a name that cannot be written.
    void exitCodes()
    {
        const std::tuple<const char*, int, const char*> runs[] = {
            {"--help", 0, ""},
            {"--version", 0, ""},
            {"cmu.bvh --frobnicate --c3d u.c3d", 2, "unknown option --frobnicate"},
            {"cmu.bvh --out-dir", 2, "--out-dir needs a value"},
            {"cmu.bvh -j 0 --c3d u.c3d", 2, "-j 0: expected a number of files"},
            {"cmu.bvh", 2, "no output"},
            {"--c3d u.c3d", 2, "no input file"},
            {"cmu.bvh model.xml --c3d u.c3d", 2, "--c3d u.c3d names one file for 2 inputs"},
            {"cmu.bvh --range 9:3 --c3d u.c3d", 2, "--range 9:3"},
            {"cmu.bvh --range a:b --c3d u.c3d", 2, "--range a:b"},
            {"cmu.bvh --range -1:5 --c3d u.c3d", 2, "--range -1:5"},
            {"cmu.bvh --range 0:2339 --c3d u.c3d", 2, "past the last frame of cmu.bvh, 2338"},
            {"cmu.bvh --joints Hips,Tail --positions-csv u.csv", 2, "unknown joint Tail"},
            {"cmu.bvh --rotation-order zyx --c3d u.c3d", 2, "expected fixed or declared"},
            {"cmu.bvh --units ft --c3d u.c3d", 2, "expected cm, m, mm or in"},
            {"cmu.bvh --profile vicon --c3d u.c3d", 2, "unknown profile vicon (the profiles are"},
            {"cmu.bvh --cutoff 0 --analysis-csv u.csv", 2, "--cutoff 0: expected a frequency"},
            {"cmu.bvh --floor low --events-csv u.csv", 2, "--floor low: expected auto or"},
            {"cmu.bvh --contact-speed -1 --events-csv u.csv", 2, "--contact-speed -1: expected"},
            // A model that does not fit names every segment left out and writes no table.
            {"cmu.bvh --profile ipi --com-csv u.csv", 1,
             "Segment 3 (LShoulder to LForearm) names a joint the skeleton lacks"},
            {"nothere.bvh --c3d u.c3d", 1, "cannot read nothere.bvh"},
            {"model.xml --c3d u.c3d", 1, "cannot read model.xml"}, // no hierarchy
            {"cmu.bvh --model nothere.xml --com-csv u.csv", 1, "nothere.xml"},
            // One unwritable output fails the run, named with its reason; the others are written.
            {"cmu.bvh --c3d no/such/dir/x.c3d --rotations-csv w.csv", 1,
             "cannot write no/such/dir/x.c3d"}};
        for (const auto& [arguments, exitCode, message] : runs) {
            const auto [code, errors] =
                convert(QString::fromLatin1(arguments).split(QLatin1Char(' ')));
            QVERIFY2(code == exitCode && errors.contains(message), arguments);
            QVERIFY(!QFile::exists(path("u.c3d")) && !QFile::exists(path("u.csv")) &&
                    !QDir(dir.path()).exists(QStringLiteral("no")));
        }
        QVERIFY(contents("w.csv").startsWith("Time,"));
    }

    // The walk's analysis and events tables as expected, and its events in the C3D file's
    // EVENT group: context, label and time (minutes and seconds) of each row of the table.
    void analysisOutputs()
    {
        const QString walk = QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh");
        for (const int first : {0, 60}) {
            const QString range = QStringLiteral("%1:239").arg(first);
            const auto [code, errors] = convert({walk, "--analysis-csv", "a.csv", "--events-csv",
                                                 "e.csv", "--c3d", "w.c3d", "--range", range});
            QVERIFY2(code == 0 && errors.isEmpty(), errors.constData());
            if (first == 0) {
                QCOMPARE(contents("a.csv"), TestSupport::readFile(TestSupport::dataPath(
                                                QStringLiteral("expected/walk-analysis.csv"))));
                QCOMPARE(contents("e.csv"), TestSupport::readFile(TestSupport::dataPath(
                                                QStringLiteral("expected/walk-events.csv"))));
            }
            TestSupport::C3DReader reader;
            QCOMPARE(reader.readFile(path("w.c3d")), QString());
            const QList<QByteArray> rows = contents("e.csv").trimmed().split('\n').mid(1);
            const auto* used = reader.find("EVENT", "USED");
            const auto* contexts = reader.find("EVENT", "CONTEXTS");
            const auto* labels = reader.find("EVENT", "LABELS");
            const auto* times = reader.find("EVENT", "TIMES");
            QVERIFY(used && contexts && labels && times);
            QCOMPARE(used->word(0), int(rows.size()));
            QCOMPARE(times->dimensions, QList<int>({2, int(rows.size())}));
            for (qsizetype i = 0; i < rows.size(); ++i) {
                const QList<QByteArray> cells = rows[i].split(',');
                const auto text = [&](const TestSupport::C3DReader::Parameter* p) {
                    const int length = p->dimensions[0];
                    return p->data.mid(i * length, length).trimmed();
                };
                QCOMPARE(text(contexts), cells[2]);
                QCOMPARE(text(labels), cells[3]);
                // Times count from the C3D file's first frame, the range's.
                const double seconds = 60.0 * times->real(int(2 * i)) + times->real(int(2 * i + 1));
                QVERIFY(cells[0].toInt() >= first &&
                        std::abs(seconds - (cells[0].toInt() - first) / 60.0) < 1e-5);
            }
        }
    }

    // Folders are searched for .bvh files in any case (below them too when recursive), files
    // are taken as they are, and outputs keep the folders' layout (expected/inputset.txt).
    void dataSetInputs()
    {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("data/s01") && QDir(root.path()).mkpath("data/s02"));
        for (const char* name :
             {"data/a.bvh", "data/s01/B.BVH", "data/s01/notes.txt", "data/s02/c.bvh", "x.bvh"})
            TestSupport::writeFile(root, name, "HIERARCHY\n");
        QDir::setCurrent(root.path());
        QStringList found;
        for (const bool recursive : {false, true}) {
            const InputSet set =
                InputSet::collect({"data", "x.bvh", "data/a.bvh", "nothere"}, recursive);
            QCOMPARE(set.problems, QStringList{"nothere: no such file or folder"});
            for (const InputFile& file : set.files)
                found << QStringLiteral("%1 %2|%3")
                             .arg(recursive ? "recursive" : "flat", file.path,
                                  outputPath("{name}.c3d", file, "out"));
        }
        QDir::setCurrent(dir.path());
        QStringList expected;
        for (const QByteArray& line :
             TestSupport::readLines(TestSupport::dataPath("expected/inputset.txt"))) {
            if (!line.startsWith('#'))
                expected << QString::fromUtf8(line);
        }
        QCOMPARE(found, expected);
    }

    // A data set: every file converted on its own into the output folder's layout, the same
    // bytes one or two at a time; a file that is no motion fails alone, and an output folder
    // that cannot be made fails every file and leaves nothing.
    void dataSetConversion()
    {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("in/s01"));
        QVERIFY(QFile::copy(path("cmu.bvh"), root.filePath("in/s01/cmu.bvh")));
        QVERIFY(QFile::copy(QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh"),
                            root.filePath("in/walk.bvh")));
        TestSupport::writeFile(root, "in/bad.bvh", "no motion\n");
        TestSupport::writeFile(root, "blocked", "a file where a folder should be\n");
        const auto run = [&](const QString& outDir, const QString& jobs) {
            return convert({root.filePath("in"), "--recursive", "--out-dir", root.filePath(outDir),
                            "--c3d", "--events-csv", "-j", jobs});
        };
        for (const char* jobs : {"1", "2"}) {
            const auto [code, errors] = run(QStringLiteral("out") + jobs, jobs);
            QVERIFY2(code == 1 && errors.contains("in/bad.bvh failed: cannot read") &&
                         errors.contains("2 converted, 1 failed, 0 skipped"),
                     errors.constData());
        }
        const QStringList outputs{"s01/cmu.c3d", "s01/cmu-events.csv", "walk.c3d",
                                  "walk-events.csv"};
        for (const QString& output : outputs) {
            const QByteArray one = TestSupport::readFile(root.filePath("out1/" + output));
            QVERIFY2(!one.isEmpty() &&
                         one == TestSupport::readFile(root.filePath("out2/" + output)),
                     qPrintable(output));
        }
        QCOMPARE(TestSupport::readFile(root.filePath("out1/walk-events.csv")),
                 TestSupport::readFile(TestSupport::dataPath("expected/walk-events.csv")));
        const auto [code, errors] = run("blocked/out", "2");
        QVERIFY2(code == 1 && errors.contains("0 converted, 3 failed"), errors.constData());
    }

    // Every recording of another producer, and the walk renamed their ways, converts from a
    // folder holding no model with no option and no word on standard error.
    void everyProducerOutOfTheBox()
    {
        QTemporaryDir empty;
        QStringList inputs;
        for (const QString& name : QDir(TestSupport::dataPath("real")).entryList({"*.bvh"}))
            inputs << TestSupport::dataPath("real/" + name);
        for (const QString& kind : TestSupport::renamedWalkKinds())
            inputs << TestSupport::writeFile(empty, kind + ".bvh", TestSupport::renamedWalk(kind));
        for (const QString& input : inputs) {
            QProcess process;
            process.setWorkingDirectory(empty.path());
            process.start(QStringLiteral(KINOVANE_CONVERT_EXECUTABLE),
                          {input, "--com-csv", path("com.csv"), "--c3d", path("out.c3d"),
                           "--analysis-csv", path("a.csv"), "--events-csv", path("e.csv")});
            QVERIFY(process.waitForFinished(60000));
            QVERIFY2(process.exitCode() == 0 && process.readAllStandardError().isEmpty(),
                     qPrintable(input));
            QVERIFY(contents("com.csv").startsWith("TIME,X,Y,Z\n"));
            QVERIFY(contents("a.csv").startsWith("TIME,X,Y,Z,VX,") &&
                    contents("e.csv").startsWith("FRAME,TIME,FOOT,EVENT\n"));
            // A dance on the spot: its events come from the contacts.
            const QString events = TestSupport::dataPath(
                "expected/" + QFileInfo(input).completeBaseName() + "-events.csv");
            if (QFile::exists(events))
                QCOMPARE(contents("e.csv"), TestSupport::readFile(events));
        }
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"

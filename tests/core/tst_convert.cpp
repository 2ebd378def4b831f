#include "convert/convertoptions.h"
#include "convert/inputset.h"
#include "export/c3dexport.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "physics/centreofmass.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <Eigen/Core>

// kinovane-convert, run as a program: its options and usage text come from one table; each
// output is byte for byte what the window's export functions write for the same motion, range,
// joints and model; every error has its message and exit code, and nothing is left
// half-written.
class TestConvert : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1; // also after a crash or a hang
        QByteArray errors;
        QByteArray output;
    };

    Run convert(const QStringList& arguments, const QString& folder = {})
    {
        QProcess process;
        process.setWorkingDirectory(folder.isEmpty() ? dir.path() : folder);
        process.start(QStringLiteral(KINOVANE_CONVERT_EXECUTABLE), arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return {};
        return {process.exitCode(), process.readAllStandardError(),
                process.readAllStandardOutput()};
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray contents(const QString& name) const { return TestSupport::readFile(path(name)); }

    QTemporaryDir dir;
    const QString walk = QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh");
    QString usage; // what --help prints

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::copy(TestSupport::dataPath(QStringLiteral("real/cmu_01_14.bvh")),
                            path(QStringLiteral("cmu.bvh"))));
        QVERIFY(QFile::copy(QStringLiteral(KINOVANE_SOURCE_DIR "/samples/defaultMassSegments.xml"),
                            path(QStringLiteral("model.xml"))));
        TestSupport::writeFile(dir, QStringLiteral("old.bvh"), TestSupport::smallMotion(2));
        for (const char* name : {"bad-value-1e39", "cut-short-row"})
            QVERIFY(
                QFile::copy(TestSupport::dataPath(QStringLiteral("input/read/%1.bvh").arg(name)),
                            path(QStringLiteral("%1.bvh").arg(name))));
        const Run help = convert({QStringLiteral("--help")});
        QVERIFY(help.exitCode == 0 && help.errors.isEmpty());
        usage = QString::fromUtf8(help.output);
    }

    void outputsEqualTheWindowsExports_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<FrameRange>("range"); // empty: the whole motion
        QTest::addColumn<QStringList>("joints");
        // With no option the detected profile (CMU) poses, scales and weighs the motion.
        QTest::newRow("whole motion, detected profile")
            << QStringList{} << FrameRange{} << QStringList{};
        QTest::newRow("range and joints, chosen convention and unit")
            << QStringList{"--range",          "100:250", "--joints", "LeftFoot,Hips",
                           "--rotation-order", "fixed",   "--units",  "mm"}
            << FrameRange{100, 250} << QStringList{"Hips", "LeftFoot"};
    }

    // Outputs named after the option, and with "=" where the name lacks the output's
    // extension or names an existing BVH file.
    void outputsEqualTheWindowsExports()
    {
        QFETCH(QStringList, options);
        QFETCH(FrameRange, range);
        QFETCH(QStringList, joints);
        const Run run = convert(QStringList{"cmu.bvh", "--quiet", "--c3d", "out.c3d",
                                            "--bvh=out.bvh", "--com-csv=out.com",
                                            "--rotations-csv=out.rot", "--positions-csv=out.pos"} +
                                options);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.errors, QByteArray());

        BvhFile motion;
        QVERIFY(BvhReader(motion).read(path(QStringLiteral("cmu.bvh"))).ok());
        SetupRequest request;
        if (options.contains("fixed"))
            request.convention = PoseConvention::ipiStudio();
        if (options.contains("mm"))
            request.unit = LengthUnit::millimetresUnit();
        const MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load({}), motion, request);
        QCOMPARE(setup.profile.name, QStringLiteral("cmu"));
        ExportOptions exports = setup.exportOptions(motion);
        exports.range = range.isEmpty() ? exports.range : range;
        const QStringList names = motion.root->getAllJointNames();
        for (qsizetype i = 0; i < names.size(); ++i)
            exports.jointSelection[i] = joints.isEmpty() || joints.contains(names[i]);
        QVERIFY(BvhWriter(motion).write(path("ref.bvh"), exports.range).ok);
        QVERIFY(JointTables::writeRotations(motion, path("ref.rot"), exports).ok);
        QVERIFY(JointTables::writePositions(motion, path("ref.pos"), exports).ok);
        QVERIFY(CentreOfMass::writeCsv(motion, setup.segments, path("ref.com"), exports).ok);
        // The export's own range (tst_exports checks it against a motion cut to the range);
        // the converter reads the whole motion through its pipeline.
        QVERIFY(C3DExport::exportMotion(motion, path("ref.c3d"), exports).ok);
        for (const char* kind : {"bvh", "c3d", "com", "rot", "pos"}) {
            const QByteArray output = contents(QLatin1String("out.") + kind);
            QVERIFY2(output == contents(QLatin1String("ref.") + kind) && output.size() > 100, kind);
        }
    }

    // Each run of expected/convert-runs.txt: its exit code, a message said once and no line
    // twice on standard error, and the files it writes; no other file is left behind.
    void exitCodes_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // empty: nothing on standard error
        QTest::addColumn<QStringList>("outputs");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("expected/convert-runs.txt")))
            QTest::newRow(qPrintable(row.value(0)))
                << row.value(1) << row.value(2).toInt() << row.value(3)
                << row.value(4).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }

    void exitCodes()
    {
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(QStringList, outputs);
        QDir folder(dir.path());
        const QStringList before = folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const Run run = convert(arguments.split(QLatin1Char(' ')));
        QCOMPARE(run.exitCode, exitCode);
        const QStringList lines = QString::fromUtf8(run.errors).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(message.isEmpty()
                     ? run.errors.isEmpty()
                     : lines.filter(message).size() == 1 &&
                           QSet<QString>(lines.begin(), lines.end()).size() == lines.size(),
                 run.errors.constData());
        QStringList written = folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString& name : before)
            written.removeOne(name);
        QCOMPARE(written, outputs);
        for (const QString& output : outputs) // written whole, then out of the next run's way
            QVERIFY(QFileInfo(folder.filePath(output)).size() > 0 && folder.remove(output));
    }

    // --help lists every option of the table, with its help.
    void helpListsEveryOption_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("help");
        for (const ConvertOption& option : ConvertOptions::table()) {
            const QString shortName = option.shortName.isEmpty() ? "" : option.shortName + ", ";
            QTest::newRow(qPrintable(option.name))
                << "\n  " + shortName + option.name << option.help;
        }
    }

    void helpListsEveryOption()
    {
        QFETCH(QString, option);
        QFETCH(QString, help);
        QVERIFY(usage.contains(option + ' ') || usage.contains(option + '['));
        for (const QString& line : help.split('\n'))
            QVERIFY2(usage.contains(line), qPrintable(line));
    }

    void analysisOutputs_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<bool>("restFirst"); // a row of zeros before the walk
        QTest::newRow("whole walk") << 0 << false;
        QTest::newRow("from frame 60") << 60 << false;
        QTest::newRow("after a rest frame") << 0 << true;
    }

    // The walk's analysis and events tables as expected, and its events in the C3D file's
    // EVENT group: context, label and time (minutes and seconds) of each row of the table.
    void analysisOutputs()
    {
        QFETCH(int, first);
        QFETCH(bool, restFirst);
        QByteArray text = TestSupport::readFile(walk);
        if (restFirst)
            text.insert(text.indexOf('\n', text.indexOf("Frame Time:")) + 1,
                        QByteArray("0 ").repeated(69) + '\n');
        const QString input = TestSupport::writeFile(dir, "input.bvh", text);
        const QString range = QStringLiteral("%1:239").arg(first);
        const Run run = convert({input, "--analysis-csv", "a.csv", "--events-csv", "e.csv", "--c3d",
                                 "w.c3d", "--range", range, "--quiet"});
        QVERIFY2(run.exitCode == 0 && run.errors.isEmpty(), run.errors.constData());
        if (first == 0 && !restFirst) {
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
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QList<QByteArray> cells = rows[i].split(',');
            const int context = contexts->dimensions[0], label = labels->dimensions[0];
            QCOMPARE(contexts->data.mid(i * context, context).trimmed(), cells[2]);
            QCOMPARE(labels->data.mid(i * label, label).trimmed(), cells[3]);
            // Times count from the C3D file's first frame, the range's.
            const double seconds = 60.0 * times->real(int(2 * i)) + times->real(int(2 * i + 1));
            QVERIFY(std::abs(seconds - (cells[0].toInt() - first) / 60.0) < 1e-5);
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
        QVERIFY(QFile::copy(walk, root.filePath("in/walk.bvh")));
        TestSupport::writeFile(root, "in/bad.bvh", "no motion\n");
        TestSupport::writeFile(root, "blocked", "a file where a folder should be\n");
        const auto run = [&](const QString& outDir, const QString& jobs) {
            return convert({root.filePath("in"), "--recursive", "--out-dir", root.filePath(outDir),
                            "--c3d", "--events-csv", "-j", jobs});
        };
        for (const char* jobs : {"1", "2"}) {
            const Run result = run(QStringLiteral("out") + jobs, jobs);
            QVERIFY2(result.exitCode == 1 &&
                         result.errors.contains("in/bad.bvh failed: cannot read") &&
                         result.errors.contains("2 converted, 1 failed, 0 skipped"),
                     result.errors.constData());
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
        const Run blocked = run("blocked/out", "2");
        QVERIFY2(blocked.exitCode == 1 && blocked.errors.contains("0 converted, 3 failed"),
                 blocked.errors.constData());
    }

    // Every recording of another producer, and the walk renamed their ways, converts from a
    // folder holding no model with no option and no word on standard error.
    // A data set's summary is one table, its rows in the order of the inputs, each file's
    // own table written beside it when its name holds {name}.
    void summaryOfADataSet()
    {
        const QStringList inputs = {walk, path("cmu.bvh"), path("old.bvh")};
        const Run run = convert(QStringList(inputs) << "--summary-csv"
                                                    << "--out-dir"
                                                    << "sets");
        QVERIFY2(run.exitCode == 0, run.errors.constData());
        const QList<QByteArray> lines = TestSupport::readLines(path("sets/summary.csv"));
        QCOMPARE(lines.size(), inputs.size() + 1);
        for (qsizetype i = 0; i < inputs.size(); ++i)
            QVERIFY(lines[i + 1].startsWith(inputs[i].toUtf8() + ','));
        QVERIFY(convert({walk, "--summary-csv", "{name}-gait.csv", "--out-dir", "each"}).exitCode ==
                0);
        QCOMPARE(TestSupport::readLines(path("each/walk-gait.csv")).mid(1), lines.mid(1, 1));
    }

    // The report is a PDF of three pages, written without a display; one per file of a data
    // set; a folder that cannot be written leaves nothing behind.
    void reports()
    {
        const auto pages = [](const QByteArray& pdf) {
            return pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") +
                   pdf.count("/Type /Page/");
        };
        QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
        noDisplay.remove(QStringLiteral("DISPLAY"));
        noDisplay.remove(QStringLiteral("QT_QPA_PLATFORM"));
        QProcess process;
        process.setProcessEnvironment(noDisplay);
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(KINOVANE_CONVERT_EXECUTABLE), {walk, "--report", "walk.pdf"});
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        QVERIFY(contents("walk.pdf").startsWith("%PDF-"));
        QCOMPARE(pages(contents("walk.pdf")), 3);

        const Run set =
            convert({walk, path("cmu.bvh"), "--report", "--out-dir", "reports", "-j", "2"});
        QVERIFY2(set.exitCode == 0, set.errors.constData());
        for (const char* name : {"reports/walk-report.pdf", "reports/cmu-report.pdf"})
            QCOMPARE(pages(contents(QLatin1String(name))), 3);

        const Run failed = convert({walk, "--report", path("missing/r.pdf")});
        QCOMPARE(failed.exitCode, 1);
        QVERIFY(!QFile::exists(path("missing/r.pdf")));
    }

    // The OpenSim files as OpenSim's documentation lays them out, read strictly: the TRC's five
    // header lines and empty line, tab-separated, unique marker names with three columns each,
    // a row per frame; its heights the positions table's (up is +Y), distances kept, the walk
    // along +X. The storage file's header keys, and its columns the analysis and angle tables.
    void openSimFiles()
    {
        const Run run = convert({path("cmu.bvh"), "--range", "100:299", "--trc", path("o.trc"),
                                 "--mot", path("o.mot"), "--positions-csv", path("p.csv"),
                                 "--angles-csv", path("a.csv"), "--trc-units", "m"});
        QVERIFY2(run.exitCode == 0, run.errors.constData());
        const QList<QByteArray> trc = TestSupport::readLines(path("o.trc"));
        QCOMPARE(trc[0].split('\t'), (QList<QByteArray>{"PathFileType", "4", "(X/Y/Z)", "o.trc"}));
        QCOMPARE(trc[1], QByteArray("DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\t"
                                    "OrigDataRate\tOrigDataStartFrame\tOrigNumFrames"));
        const QList<QByteArray> header = trc[2].split('\t');
        QCOMPARE(header.size(), 8);
        const int frames = header[2].toInt(), markers = header[3].toInt();
        QCOMPARE(frames, 200);
        QCOMPARE(header[4], QByteArray("m"));
        QCOMPARE(header[6], QByteArray("101"));
        const QList<QByteArray> names = trc[3].split('\t');
        QCOMPARE(names.size(), 2 + 3 * markers);
        QSet<QByteArray> unique;
        for (int k = 0; k < markers; ++k) {
            const QByteArray name = names[2 + 3 * k];
            QVERIFY(!name.isEmpty() && !name.contains(' ') && names[3 + 3 * k].isEmpty());
            unique.insert(name);
            QCOMPARE(
                trc[4].split('\t').mid(2 + 3 * k, 3),
                (QList<QByteArray>{"X" + QByteArray::number(k + 1), "Y" + QByteArray::number(k + 1),
                                   "Z" + QByteArray::number(k + 1)}));
        }
        QCOMPARE(unique.size(), markers);
        QVERIFY(unique.contains("Head_End") && trc[5].isEmpty());
        QCOMPARE(trc.size(), 6 + frames);

        // The positions table holds the same joints in inches; CMU walks stand on +y.
        const QList<QByteArray> positions = TestSupport::readLines(path("p.csv"));
        const double metresPerUnit = 0.0564444;
        double farthest = 0;
        for (int f = 0; f < frames; f += 37) {
            const QList<QByteArray> row = trc[6 + f].split('\t');
            const QList<QByteArray> table = positions[1 + f].split(',');
            QCOMPARE(row.size(), 2 + 3 * markers);
            QCOMPARE(row[0].toInt(), f + 1);
            const auto at = [&](const QList<QByteArray>& cells, int first, int k) {
                return Eigen::Vector3d(cells[first + 3 * k].toDouble(),
                                       cells[first + 1 + 3 * k].toDouble(),
                                       cells[first + 2 + 3 * k].toDouble());
            };
            for (int k = 0; k < markers; ++k) {
                QVERIFY(std::abs(at(row, 2, k).y() - metresPerUnit * at(table, 1, k).y()) < 1e-4);
                const double apart = (at(row, 2, k) - at(row, 2, 0)).norm();
                QVERIFY(std::abs(apart - metresPerUnit *
                                             (at(table, 1, k) - at(table, 1, 0)).norm()) < 1e-4);
            }
            farthest = at(row, 2, 0).x();
        }
        QVERIFY(farthest > trc[6].split('\t')[2].toDouble()); // walked along +X

        const QList<QByteArray> mot = TestSupport::readLines(path("o.mot"));
        const qsizetype end = mot.indexOf("endheader");
        QVERIFY(end > 0 && mot.mid(1, end - 1).contains("inDegrees=yes"));
        const QList<QByteArray> columns = mot[end + 1].split('\t');
        QVERIFY(mot.mid(1, end - 1).contains("nColumns=" + QByteArray::number(columns.size())));
        QVERIFY(mot.mid(1, end - 1).contains("nRows=200"));
        QCOMPARE(mot.size(), end + 2 + 200);
        const QList<QByteArray> angles = TestSupport::readLines(path("a.csv"));
        const QList<QByteArray> angleNames = angles[0].split(',');
        for (int f = 0; f < 200; f += 41) {
            const QList<QByteArray> row = mot[end + 2 + f].split('\t');
            QCOMPARE(row.size(), columns.size());
            const QList<QByteArray> table = angles[1 + f].split(',');
            for (qsizetype c = 1; c < angleNames.size(); ++c) {
                const qsizetype at = columns.indexOf(angleNames[c].toLower());
                QVERIFY2(at > 0, angleNames[c].constData());
                QVERIFY(std::abs(row[at].toDouble() - table[c].toDouble()) <
                        1e-4 * (1 + std::abs(table[c].toDouble())));
            }
        }
    }

    // The C3D file for gait software: unique labels, the centre of mass and the extrapolated
    // centre as points equal to the analysis table's, each joint's angles as a point listed in
    // POINT:ANGLES (degrees) equal to the angle table's; without the options, as before.
    void c3dExtraPoints()
    {
        const Run run = convert({path("cmu.bvh"), "--range", "0:199", "--c3d", path("x.c3d"),
                                 "--c3d-extra", "com,angles", "--c3d-labels", "unique",
                                 "--analysis-csv", path("xa.csv"), "--angles-csv", path("xg.csv")});
        QVERIFY2(run.exitCode == 0, run.errors.constData());
        TestSupport::C3DReader reader;
        QCOMPARE(reader.readFile(path("x.c3d")), QString());
        const QStringList labels = reader.labels.mid(0, reader.pointCount);
        QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
        QVERIFY(labels.contains("Head_End") && !labels.contains("End Site"));
        const qsizetype centre = labels.indexOf("CentreOfMass"),
                        knee = labels.indexOf("LKneeAngles");
        QVERIFY(centre > 0 && labels[centre + 1] == "XCoM" && knee > centre);
        const auto* angles = reader.find("POINT", "ANGLES");
        const auto* units = reader.find("POINT", "ANGLE_UNITS");
        QVERIFY(angles && units && units->data.trimmed() == "deg");
        QVERIFY(angles->data.contains("LKneeAngles") && !angles->data.contains("XCoM"));

        const QList<QByteArray> analysis = TestSupport::readLines(path("xa.csv"));
        const QList<QByteArray> angleTable = TestSupport::readLines(path("xg.csv"));
        const qsizetype kneeColumn = angleTable[0].split(',').indexOf("LEFT_KNEE_FLEXION");
        const double mm = 56.4444; // the CMU unit
        // The analysis leaves out the rest frame 0: the file's frame f + 1 is its row f.
        QCOMPARE(reader.samples[size_t(centre)][3], -1.0f); // invalid
        for (int f = 0; f < 199; f += 33) {
            const auto& com = reader.samples[size_t((f + 1) * reader.pointCount + centre)];
            const QList<QByteArray> row = analysis[1 + f].split(',');
            QVERIFY(std::abs(com[0] + mm * row[1].toDouble()) < 0.01 &&
                    std::abs(com[1] - mm * row[3].toDouble()) < 0.01 &&
                    std::abs(com[2] - mm * row[2].toDouble()) < 0.01);
            const auto& bend = reader.samples[size_t((f + 1) * reader.pointCount + knee)];
            QVERIFY(std::abs(bend[0] - angleTable[1 + f].split(',')[kneeColumn].toDouble()) < 1e-3);
            QCOMPARE(bend[3], 0.0f); // valid
        }
        QVERIFY(convert({path("cmu.bvh"), "--c3d", path("plain.c3d")}).exitCode == 0);
        TestSupport::C3DReader plain;
        QCOMPARE(plain.readFile(path("plain.c3d")), QString());
        QVERIFY(plain.labels.contains("End Site") && !plain.find("POINT", "ANGLES"));
    }

    void everyProducerOutOfTheBox_data()
    {
        QTest::addColumn<QString>("input");
        for (const QString& name : QDir(TestSupport::dataPath("real")).entryList({"*.bvh"}))
            QTest::newRow(qPrintable(name)) << TestSupport::dataPath("real/" + name);
        for (const QString& kind : TestSupport::renamedWalkKinds())
            QTest::newRow(qPrintable("walk as " + kind)) << kind;
    }

    void everyProducerOutOfTheBox()
    {
        QFETCH(QString, input);
        QTemporaryDir empty;
        if (!input.contains('/'))
            input = TestSupport::writeFile(empty, input + ".bvh", TestSupport::renamedWalk(input));
        const Run run =
            convert({input, "--com-csv", path("com.csv"), "--c3d", path("out.c3d"),
                     "--analysis-csv", path("a.csv"), "--events-csv", path("e.csv"), "--angles-csv",
                     path("angles.csv"), "--strides-csv", path("strides.csv"), "--cycles-csv",
                     path("cycles.csv"), "--summary-csv", path("summary.csv")},
                    empty.path());
        // Nothing is said but the rest pose a recording begins with (expected/rest-frames.txt).
        QByteArray said;
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("expected/rest-frames.txt"))) {
            if (input.endsWith(row.value(1)) && row.value(2) == "-" && row.value(3) == "-" &&
                !row.value(4).isEmpty())
                said = QStringLiteral("kinovane-convert: %1: %2\n").arg(input, row[4]).toUtf8();
        }
        QVERIFY2(run.exitCode == 0 && run.errors == said, run.errors.constData());
        QVERIFY(contents("com.csv").startsWith("TIME,X,Y,Z\n") &&
                contents("e.csv").startsWith("FRAME,TIME,FOOT,EVENT\n"));
        // Every skeleton here has legs, pelvis and trunk: the angles of all of them.
        QVERIFY(contents("angles.csv").startsWith("TIME,LEFT_PELVIS_TILT,") &&
                contents("angles.csv").contains(",RIGHT_KNEE_FLEXION,") &&
                contents("strides.csv").startsWith("FOOT,STRIDE,") &&
                contents("cycles.csv").startsWith("FOOT,PERCENT,STRIDES,") &&
                TestSupport::readLines(path("summary.csv")).size() == 2);
        // A dance on the spot: its events come from the contacts.
        const QString events = TestSupport::dataPath(
            "expected/" + QFileInfo(input).completeBaseName() + "-events.csv");
        if (QFile::exists(events))
            QCOMPARE(contents("e.csv"), TestSupport::readFile(events));
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"

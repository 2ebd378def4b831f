#include "export/c3dexport.h"
#include "export/c3dfile.h"
#include "export/c3dpipeline.h"
#include "export/c3dstream.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "model/poseevaluator.h"
#include "physics/centreofmass.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

using TestSupport::C3DReader;
using TestSupport::RecordingProgress;

// The exports of a motion: the three CSV tables (the whole-body centre of mass, the joint
// rotations and the absolute joint positions) and the C3D file. Layout, ranges, rates,
// progress, cancelling and failures; the C3D writer on its own (the exact bytes of a small
// file, and files of every size read back by the test-side reader). Every cell and sample of
// real recordings is checked in tst_realrecordings.
class TestExports : public QObject
{
    Q_OBJECT

private:
    // The writers: the three tables, then the others.
    static constexpr int MassCentre = 0, Rotations = 1, Positions = 2, Bvh = 3, C3D = 4,
                         C3DWriter = 5;

    WriteResult exportTable(int table, const FrameRange& range, ProgressSink* progress = nullptr)
    {
        const ExportOptions options{range, selection, ipi, 10.0};
        if (table == MassCentre)
            return CentreOfMass::writeCsv(motion, segments, path, options, progress);
        if (table == Rotations)
            return JointTables::writeRotations(motion, path, options, progress);
        return JointTables::writePositions(motion, path, options, progress);
    }

    void load(int frames, const QByteArray& frameTime = "0.0333333")
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(frames, frameTime)));
        selection = {true, false, false, true, false}; // Hips and LeftLeg
    }

    // A motion's text holding only `count` of its rows from row `first` on, as a text editor
    // would cut it.
    static QByteArray cutText(const QByteArray& text, int first, int count)
    {
        const qsizetype motionStart = text.indexOf("MOTION\n");
        const QList<QByteArray> lines = text.mid(motionStart).split('\n'); // MOTION, Frames, ...
        return text.left(motionStart) + "MOTION\nFrames: " + QByteArray::number(count) + "\n" +
               lines[2] + "\n" + lines.mid(3 + first, count).join('\n') + "\n";
    }

    QTemporaryDir dir;
    QString path;
    BvhFile motion;
    QList<bool> selection;
    const MassSegmentModel segments = TestSupport::segmentModel("Hips>Spine 0 1"); // Hips
    const PoseConvention ipi = PoseConvention::ipiStudio();

    // A value that differs for every frame, point and axis, so that a shifted or swapped
    // sample cannot pass.
    static float sampleValue(qsizetype frame, int point, int axis)
    {
        return float(frame) * 0.25f + float(point) * 100.0f - float(axis) * 0.125f;
    }

    // Writes a file of `points` points in `frames` frames, their samples sampleValue(), and
    // reads it back; empty error string when both went well.
    static QString writeAndRead(C3DReader& reader, int points, qsizetype frames,
                                const QStringList& labels, QByteArray* bytes = nullptr)
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.c3d"));
        C3DFile file;
        for (qsizetype i = 0; i < frames * points; ++i) {
            const int p = int(i % points);
            file.addPoint(sampleValue(i / points, p, 0), sampleValue(i / points, p, 1),
                          sampleValue(i / points, p, 2));
        }
        file.setupPointGroup(points, 60, QStringLiteral("mm "), labels);
        const WriteResult result = file.writeC3D(path);
        if (bytes)
            *bytes = TestSupport::readFile(path);
        return result.ok ? reader.readFile(path) : result.errorString;
    }

private slots:
    void init()
    {
        path = dir.filePath(QStringLiteral("table.csv"));
        QFile::remove(path);
        load(12);
    }

    // Row f of the small motion holds 10 f + k in column k: Hips' position channels are
    // columns 0..2 and its rotation channels Z, X, Y columns 3..5; Spine's 6..8, LeftLeg's
    // 9..11. Joint columns follow the pre-order of the joints selected; the rows are the
    // range's, both ends included, each with its frame's time; numbers have six significant
    // digits (the frame time 0.0123456789 is written 0.0123457). Each table is its part of
    // expected/tables.txt.
    void tables_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QList<bool>>("mask");
        QTest::addColumn<FrameRange>("range");
        QTest::newRow("masscentre") << MassCentre << QList<bool>{true} << FrameRange{0, 1};
        QTest::newRow("rotations")
            << Rotations << QList<bool>{true, false, false, true} << FrameRange{0, 1};
        QTest::newRow("positions") << Positions << QList<bool>{true} << FrameRange{0, 1};
        QTest::newRow("rotations-none") << Rotations << QList<bool>{} << FrameRange{0, 1};
        QTest::newRow("rotations-past-joints")
            << Rotations << QList<bool>{false, true, false, false, false, true, true}
            << FrameRange{0, 1};
        const char* const names[] = {"masscentre", "rotations", "positions"};
        for (const FrameRange& range :
             {FrameRange{3, 6}, FrameRange{4, 4}, FrameRange{7, 2}, FrameRange{9, 11},
              FrameRange{-5, 1}, FrameRange{10, 500}, FrameRange{40, 50}}) {
            for (int table : {MassCentre, Rotations, Positions})
                QTest::addRow("%s %d to %d", names[table], range.first, range.last)
                    << table << QList<bool>{true} << range;
        }
    }

    void tables()
    {
        QFETCH(int, table);
        QFETCH(QList<bool>, mask);
        QFETCH(FrameRange, range);
        load(12, "0.0123456789");
        selection = mask;
        QVERIFY(exportTable(table, range).ok);
        QCOMPARE(TestSupport::readFile(path),
                 TestSupport::section(TestSupport::dataPath("expected/tables.txt"),
                                      QTest::currentDataTag()));
    }

    // Ten steps of 10 % (the two joint tables share one frame loop: the rotations stand for
    // both); fewer than ten frames step once per frame (frames 2..6 here). A cancel seen at
    // frame 21, before its row is written, keeps the rows before it.
    void progressAndCancel_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("frames");
        QTest::addColumn<FrameRange>("range");
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<int>("cancelAt");
        const QList<int> tens{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
        const std::tuple<const char*, int, int, FrameRange, QList<int>, int> cases[] = {
            {"rotations", Rotations, 100, {0, 99}, tens, -1},
            {"centre of mass", MassCentre, 100, {0, 99}, tens, -1},
            {"fewer than ten frames", Rotations, 12, {2, 6}, {10, 20, 30, 40}, -1},
            {"centre of mass cancelled", MassCentre, 100, {0, 99}, {10, 20, 30}, 30},
            {"rotations cancelled", Rotations, 100, {0, 99}, {10, 20, 30}, 30}};
        for (const auto& [name, table, frames, range, values, cancelAt] : cases)
            QTest::newRow(name) << table << frames << range << values << cancelAt;
    }

    void progressAndCancel()
    {
        QFETCH(int, table);
        QFETCH(int, frames);
        QFETCH(FrameRange, range);
        QFETCH(QList<int>, values);
        QFETCH(int, cancelAt);
        load(frames);
        RecordingProgress progress;
        progress.cancelAtValue = cancelAt;
        QVERIFY(exportTable(table, range, &progress).ok);
        QCOMPARE(progress.calls, QStringList({"begin | 100", "end"}));
        QCOMPARE(progress.values, values);
        QCOMPARE(TestSupport::readLines(path).size(), 1 + (cancelAt < 0 ? range.count() : 21));
    }

    // A write that fails (a folder that does not exist, an output that is a folder, nothing to
    // write, parameters beyond the 255 blocks a C3D file can have) names the file and why,
    // keeps what was there and reports no progress: for every writer of a motion.
    void failedWritesKeepTheOldFile_data()
    {
        QTest::addColumn<QString>("target"); // in the test's folder; "old" holds "old"
        QTest::addColumn<int>("writer");
        QTest::addColumn<QString>("reason");
        const char* const writers[] = {"centre of mass", "rotations", "positions", "BVH", "C3D"};
        for (int writer = MassCentre; writer <= C3D; ++writer) {
            QTest::addRow("no such folder, %s", writers[writer]) << "none/x" << writer << "";
            QTest::addRow("a folder, %s", writers[writer]) << "taken" << writer << "";
            QTest::addRow("no motion, %s", writers[writer]) << "old" << writer << "";
        }
        QTest::newRow("C3D parameters beyond 255 blocks") << "old" << C3DWriter << "255 blocks";
    }

    void failedWritesKeepTheOldFile()
    {
        QFETCH(QString, target);
        QFETCH(int, writer);
        QFETCH(QString, reason);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("taken")));
        const QString old = TestSupport::writeFile(dir, QStringLiteral("old"), "old");
        path = dir.filePath(target);
        if (path == old)
            motion.clear();
        RecordingProgress progress; // a C3D file is opened once its frames are converted
        const WriteResult result =
            writer <= Positions ? exportTable(writer, {0, 11}, &progress)
            : writer == Bvh     ? BvhWriter(motion).write(path, {0, 1})
            : writer == C3D
                ? C3DExport::exportMotion(motion, path, ExportOptions::wholeMotion(motion, ipi), {},
                                          path == old ? &progress : nullptr)
                : [&] {
                      C3DFile file; // labels for 600 points: more than 255 parameter blocks
                      file.setupPointGroup(600, 60, "mm ", QStringList(600, QString(255, 'x')));
                      return file.writeC3D(path);
                  }();
        QVERIFY2(!result.ok && result.fileName == path && !result.errorString.isEmpty() &&
                     result.errorString.contains(reason),
                 qPrintable(result.errorString));
        QCOMPARE(TestSupport::readFile(old), QByteArray("old"));
        QVERIFY(progress.calls.isEmpty());
    }

    // Values a float holds can add up past its range: such a pose fails every writer that
    // poses, naming the frame, and the old file stays. No table holds an infinity or a NaN.
    void posesBeyondTheFloatRangeAreNotWritten_data()
    {
        QTest::addColumn<int>("writer");
        QTest::newRow("centre of mass") << MassCentre;
        QTest::newRow("positions") << Positions;
        QTest::newRow("C3D") << C3D;
    }

    void posesBeyondTheFloatRangeAreNotWritten()
    {
        QFETCH(int, writer);
        path = TestSupport::writeFile(dir, QStringLiteral("old"), "old");
        // Hips' x position: with the OFFSET beyond the floats at frame 5 only (in millimetres,
        // as the C3D file holds it, the OFFSET alone is just within them).
        motion.root->setOffset(3.4e37, 0, 0);
        motion.frames.rowToChange(5)[0] = 3.4e38;
        const WriteResult result =
            writer == C3D
                ? C3DExport::exportMotion(motion, path, ExportOptions::wholeMotion(motion, ipi))
                : exportTable(writer, {0, 11});
        QVERIFY2(!result.ok && result.errorString.contains(QLatin1String("frame 5 ")),
                 qPrintable(result.errorString));
        QCOMPARE(TestSupport::readFile(path), QByteArray("old"));
    }

    // The writer buffers a megabyte at a time; a header and rows longer than that must still
    // come out whole.
    void linesLongerThanTheWriteBuffer()
    {
        constexpr int children = 120000;
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion,
                                        "HIERARCHY\nROOT Root\n{\nCHANNELS 1 Xrotation\n" +
                                            QByteArray("End Site\n{\n}\n").repeated(children) +
                                            "}\nMOTION\nFrames: 2\nFrame Time: 0.5\n1.5\n-2.5\n"));
        QVERIFY(
            JointTables::writeRotations(motion, path, ExportOptions::wholeMotion(motion, ipi)).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], "Time,Root.x,Root.y,Root.z" +
                               QByteArray(",End Site.x,End Site.y,End Site.z").repeated(children));
        QCOMPARE(lines[2], "0.5,-2.5,0,0" + QByteArray(",0,0,0").repeated(children));
    }

    // The C3D export, from the rows converted while the file was read (C3DPipeline) and after
    // reading: the same bytes, the same progress, the same motion read. Rows the pipeline did
    // not convert, or converted for another convention or unit, are not taken for those the
    // export needs. Progress counts every frame; cancel stops after the frame under way, the
    // frames converted so far still written (the frames are converted a block at a time on two
    // threads; a cancel seen in the middle of a later block still keeps exactly the frames up
    // to the one it was seen at). Each sample is the pose of its frame; the joints keep the
    // frame they hold. More frames than the 16-bit header words hold come back whole. The
    // unusable frame time of -0.5 s gives the fallback rate, in the header and POINT:RATE.
    // A file written as its samples are made, planned for one frame count, is the file of the
    // frames kept written whole: a cancel keeps fewer than were written, a reading may give
    // more than planned. A head that would change size (a plan past the 16-bit count) does
    // not fit, and the export then writes the file again.
    void c3dStreamIsTheWholeFile_data()
    {
        QTest::addColumn<int>("planned");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("fits");
        QTest::newRow("as planned") << 6 << 6 << 6 << 2 << true;
        QTest::newRow("a cancel keeps fewer") << 6 << 6 << 2 << 2 << true;
        QTest::newRow("more than planned") << 3 << 6 << 6 << 2 << true;
        QTest::newRow("planned past the 16-bit count") << 70000 << 6 << 6 << 2 << true;
        // 20 labels of 243 letters fill the head to a block's end: the long count's records
        // need a block more.
        QTest::newRow("a head a block longer") << 70000 << 6 << 6 << 20 << false;
    }

    void c3dStreamIsTheWholeFile()
    {
        QFETCH(int, planned);
        QFETCH(int, written);
        QFETCH(int, kept);
        QFETCH(int, points);
        QFETCH(bool, fits);
        QStringList labels;
        for (int p = 0; p < points; ++p)
            labels.append(QString(points > 2 ? 243 : 1, QLatin1Char('a' + p)));
        C3DFile whole;
        std::vector<C3DPoint> samples;
        for (int i = 0; i < written * points; ++i) {
            const float x = sampleValue(i / points, i % points, 0);
            samples.push_back({x, -x, 2 * x, 0});
            if (i < kept * points)
                whole.addPoint(x, -x, 2 * x);
        }
        whole.setupPointGroup(points, 60, QStringLiteral("mm "), labels);
        QVERIFY(whole.writeC3D(dir.filePath(QStringLiteral("whole.c3d"))).ok);
        const QString streamed = dir.filePath(QStringLiteral("streamed.c3d"));
        C3DStream stream(streamed, points, [&](C3DFile& head, qsizetype frames) {
            head.setupPointGroup(points, frames, 60, QStringLiteral("mm "), labels);
        });
        QVERIFY(stream.open(planned).ok);
        QVERIFY(stream.write(samples.data(), written));
        QCOMPARE(stream.fits(kept), fits);
        if (fits) {
            QVERIFY(stream.finish(kept).ok);
            QVERIFY(TestSupport::readFile(streamed) ==
                    TestSupport::readFile(dir.filePath(QStringLiteral("whole.c3d"))));
        }
    }

    void c3dExport_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("cancelAt");
        QTest::addColumn<bool>("frontRow"); // a row put in front after reading
        QTest::addColumn<PoseConvention>("convention");
        QTest::addColumn<double>("millimetres");
        const QByteArray motion = TestSupport::smallMotion(1000, "-0.5");
        const std::tuple<const char*, QByteArray, int, bool, PoseConvention, double> cases[] = {
            {"whole motion", motion, -1, false, ipi, 10},
            {"cancelled in the first block", motion, 2, false, ipi, 10},
            {"cancelled in a later block", motion, 700, false, ipi, 10},
            {"more frames than 16 bits hold", TestSupport::smallMotion(90000, "-0.5"), -1, false,
             ipi, 10},
            {"rows cut off mid-line", motion.left(motion.size() * 2 / 3), -1, false, ipi, 10},
            {"second hierarchy",
             TestSupport::smallMotion(600, "-0.5") + TestSupport::smallMotion(300, "-0.5"), -1,
             false, ipi, 10},
            {"rows before the hierarchy",
             "MOTION\nFrames: 2\nFrame Time: 0.1\n1 2 3\n4 5 6\n" + motion, -1, false, ipi, 10},
            {"rows changed after reading", TestSupport::smallMotion(20000, "-0.5"), -1, true, ipi,
             10},
            {"pipeline under another pi", motion, -1, false, {{}, {}, PoseConvention::exactPi}, 10},
            {"pipeline in another unit", motion, -1, false, ipi, 1000},
            // A hierarchy cut off before any row leaves the pipeline idle and unharmed.
            {"no rows", "HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n", -1, false, ipi, 10}};
        for (const auto& [name, contents, cancelAt, frontRow, convention, millimetres] : cases)
            QTest::newRow(name) << contents << cancelAt << frontRow << convention << millimetres;
    }

    void c3dExport()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, cancelAt);
        QFETCH(bool, frontRow);
        QFETCH(PoseConvention, convention);
        QFETCH(double, millimetres);
        const QString input = TestSupport::writeFile(dir, QStringLiteral("m.bvh"), contents);
        BvhFile motions[2];
        RecordingProgress sinks[2];
        QByteArray bytes[2];
        C3DPipeline pipeline;
        pipeline.setPosing(convention, millimetres);
        for (int piped = 0; piped < 2; ++piped) {
            const QString output = dir.filePath(QStringLiteral("out%1.c3d").arg(piped));
            pipeline.setOutput(output);
            QVERIFY(BvhReader(motions[piped], piped ? &pipeline : nullptr).read(input).ok());
            if (frontRow)
                motions[piped].frames =
                    TestSupport::frameRows(QList<QList<double>>{QList<double>(12, 0.5)} +
                                           TestSupport::rowList(motions[piped].frames));
            if (!piped) // the pipeline converted rows for joints holding what they were read with
                motions[piped].loadFrame(3);
            sinks[piped].cancelAtValue = cancelAt;
            QVERIFY(C3DExport::exportMotion(motions[piped], output,
                                            ExportOptions::wholeMotion(motions[piped], ipi), {},
                                            &sinks[piped], piped ? &pipeline : nullptr)
                        .ok);
            bytes[piped] = TestSupport::readFile(output);
        }
        const BvhFile& motion = motions[0];
        QCOMPARE(motions[1].frames, motion.frames);
        QCOMPARE(sinks[1].values, sinks[0].values);
        QVERIFY(bytes[1] == bytes[0]);
        C3DReader reader;
        QCOMPARE(reader.read(bytes[0]), QString());
        const int done = cancelAt < 0 ? motion.rowCount() : cancelAt + 1;
        QList<int> reported(done);
        std::iota(reported.begin(), reported.end(), 0);
        QCOMPARE(sinks[0].values, reported);
        QCOMPARE(sinks[0].calls,
                 QStringList({"begin | " + QString::number(motion.rowCount()), "end"}));
        QCOMPARE(reader.frameCount, qint64(done));
        QCOMPARE(reader.find("POINT", "FRAMES")->word(0), qMin(done, 65535));
        QCOMPARE(reader.frameRate, float(C3DExport::fallbackFrameRate));
        QCOMPARE(reader.find("POINT", "RATE")->real(0), float(C3DExport::fallbackFrameRate));
        if (motion.rowCount() > 3)
            QCOMPARE(motion.root->getPosition(),
                     Vector3f(motion.frames[3][0], motion.frames[3][1], motion.frames[3][2]));
        // The samples of a frame's joints, the same bits: x negated, y and z exchanged and every
        // coordinate times 10, in single precision.
        const auto sample = [](const Vector3f& p) {
            return Vector3f(-10.0f * p.x(), 10.0f * p.z(), 10.0f * p.y());
        };
        PoseEvaluator pose(motion.root, ipi);
        const int joints = int(pose.getJoints().size());
        for (int frame : {0, done - 1}) {
            pose.evaluateRow(frame >= 0 && frame < motion.rowCount() ? motion.frames[frame]
                                                                     : std::span<const double>());
            for (int i = 0; i < joints && done > 0; ++i)
                QVERIFY(TestSupport::sameBits(
                    Vector3f(reader.samples[size_t(frame * joints + i)].data()),
                    sample(pose.getPosition(i))));
        }
    }

    // The C3D file of part of a motion is, byte for byte, the file of a motion holding only
    // those rows (cut from the text), its events timed from the range's first frame; the
    // motion's rows and what its joints hold stay as they were. A range from the first
    // frame may take the rows the pipeline converted while the file was read; no other may.
    // Of 300 events the EVENT group keeps the first 255, times past a minute split into whole
    // minutes and seconds (expected/gait.txt). The ranges are those of expected/c3d-ranges.txt.
    void c3dOfARangeIsTheCutMotions_data()
    {
        QTest::addColumn<QList<int>>("range"); // first, last, then the first row in it, count
        QTest::addColumn<bool>("piped");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("expected/c3d-ranges.txt"))) {
            QList<int> numbers;
            for (const QString& word :
                 (row.value(1) + ' ' + row.value(2)).split(' ', Qt::SkipEmptyParts))
                numbers.append(word.toInt());
            QTest::newRow(qPrintable(row.value(0))) << numbers << (row.value(3) == "1");
        }
    }

    void c3dOfARangeIsTheCutMotions()
    {
        QFETCH(QList<int>, range);
        QFETCH(bool, piped);
        const int first = range.value(2), count = range.value(3);
        const QByteArray text = TestSupport::smallMotion(12, "0.04");
        C3DPipeline pipeline;
        motion.clear();
        QVERIFY(BvhReader(motion, piped ? &pipeline : nullptr)
                    .read(TestSupport::writeFile(dir, QStringLiteral("m.bvh"), text))
                    .ok());
        const FrameRows rows = motion.frames;
        QList<double> numbers; // an event's time, and its minutes and seconds
        for (const QByteArray& line :
             TestSupport::readLines(TestSupport::dataPath("expected/gait.txt"))) {
            if (line.startsWith("c3d-event-time "))
                for (const QByteArray& word : line.mid(15).split(' '))
                    numbers.append(word.toDouble());
        }
        QList<C3DEvent> events;
        for (int frame = 0; frame < count; frame += 2)
            events.append({"Left", "Foot Strike", frame * 0.04});
        events.resize(300, C3DEvent{"Right", "Foot Off", numbers.value(0)});
        ExportOptions options = ExportOptions::wholeMotion(motion, ipi);
        options.range = {range.value(0), range.value(1)};
        QVERIFY(C3DExport::exportMotion(motion, dir.filePath("range.c3d"), options, events, nullptr,
                                        piped ? &pipeline : nullptr)
                    .ok);
        QCOMPARE(motion.frames, rows);
        QCOMPARE(motion.root->getPosition(), Vector3f(0, 0, 0));
        BvhFile cut;
        QVERIFY(TestSupport::loadMotion(cut, cutText(text, first, count)));
        QCOMPARE(cut.rowCount(), count);
        QVERIFY(C3DExport::exportMotion(cut, dir.filePath("cut.c3d"),
                                        ExportOptions::wholeMotion(cut, ipi), events)
                    .ok);
        QCOMPARE(TestSupport::readFile(dir.filePath("range.c3d")),
                 TestSupport::readFile(dir.filePath("cut.c3d")));
        C3DReader reader;
        QCOMPARE(reader.readFile(dir.filePath("range.c3d")), QString());
        QCOMPARE(reader.find("EVENT", "USED")->word(0), 255);
        const auto* times = reader.find("EVENT", "TIMES");
        QCOMPARE(times->real(508), float(numbers.value(1)));
        QCOMPARE(times->real(509), float(numbers.value(2)));
    }

    // Header block; the parameter section from block 2 (its 4-byte header, then records of a
    // name, a next-entry offset, type, dimensions, data and an empty description) up to block
    // 11; then the samples, x y z and a zero residual each, unpadded.
    void smallFileBytes()
    {
        C3DFile file;
        for (const auto& [x, y, z] :
             {std::tuple(1.0f, -2.0f, 0.5f), std::tuple(0.0f, 3.0f, -1.0f),
              std::tuple(-0.0f, 1e-45f, 65536.0f), std::tuple(4.0f, 5.0f, 6.0f)})
            file.addPoint(x, y, z);
        file.setupPointGroup(2, 24, QStringLiteral("mm "), {QStringLiteral("Hip"), "K"});
        QTemporaryDir dir;
        QVERIFY(file.writeC3D(dir.filePath("small.c3d")).ok);
        const QByteArray bytes = TestSupport::readFile(dir.filePath("small.c3d"));
        QVERIFY2(bytes == TestSupport::readFile(TestSupport::dataPath("expected/small.c3d")),
                 bytes.toHex(' ').constData());
    }

    // Readers take the frame count from 16-bit words; past 65535 frames the file says 65535
    // there and keeps the true count in POINT:LONG_FRAMES and TRIAL, which 65535 frames need
    // not. Labels beyond 255 go to LABELS2, longer ones are cut to 255 characters, and keep
    // the low byte of each character.
    void roundTrip_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("expectedLabels");
        QTest::addColumn<QList<int>>("dimensions");
        QStringList many;
        for (int i = 1; i <= 300; ++i)
            many.append(QStringLiteral("P%1").arg(i));
        QTest::newRow("no labels")
            << 3 << 2 << QStringList() << QStringList{"BodyPart1", "BodyPart2", "BodyPart3"}
            << QList<int>{9, 3};
        QTest::newRow("300 points") << 300 << 2 << many << many << QList<int>{4, 255};
        QTest::newRow("label longer than 255 characters")
            << 2 << 1 << QStringList{QString(300, 'x'), "b"} << QStringList{QString(255, 'x'), "b"}
            << QList<int>{255, 2};
        QTest::newRow("character beyond Latin-1")
            << 1 << 2 << QStringList{QString(QChar(0x0141))} << QStringList{"A"} << QList<int>{1};
        QTest::newRow("no frames")
            << 2 << 0 << QStringList{"a", "b"} << QStringList{"a", "b"} << QList<int>{1, 2};
        QTest::newRow("no points") << 0 << 0 << QStringList() << QStringList() << QList<int>{0};
        // 200 labels of 250 characters do not fit one record (its next-entry offset is a
        // signed 16-bit word) nor 10 parameter blocks: they are spread over LABELS and LABELS2,
        // and the section grows, with DATA_START and the header following it.
        QStringList longLabels;
        for (int i = 0; i < 200; ++i)
            longLabels.append(QString(247, QChar('a' + i % 26)) + QString::number(100 + i));
        QTest::newRow("200 long labels") << 200 << 2 << longLabels << longLabels << QList<int>();
        for (const int frames : {65535, 65536, 131073})
            QTest::addRow("%d frames", frames)
                << 1 << frames << QStringList{"a"} << QStringList{"a"} << QList<int>{1};
    }

    void roundTrip()
    {
        QFETCH(int, points);
        QFETCH(int, frames);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, expectedLabels);
        QFETCH(QList<int>, dimensions);
        C3DReader reader;
        QCOMPARE(writeAndRead(reader, points, frames, labels), QString());
        QCOMPARE(reader.frameCount, qint64(frames));
        QCOMPARE(reader.pointCount, points);
        QCOMPARE(reader.labels, expectedLabels);
        QVERIFY(dimensions.isEmpty() || reader.find("POINT", "LABELS")->dimensions == dimensions);
        QCOMPARE(bool(reader.find("POINT", "LABELS2")), points >= 200);
        QVERIFY(points != 200 || reader.find("POINT", "DESCRIPTIONS2"));
        QCOMPARE(reader.samples.size(), size_t(frames * points));
        if (!reader.samples.empty())
            QCOMPARE(reader.samples.back()[1], sampleValue(frames - 1, points - 1, 1));
        QCOMPARE(reader.dataBlock, 2 + reader.parameterBlockCount);
        QCOMPARE(reader.find("POINT", "DATA_START")->word(0), reader.dataBlock);
        QCOMPARE(reader.parameterBlockCount > 10, points == 200);
        const int words = qMin(frames, 65535);
        QCOMPARE(reader.lastFrame, words);
        QCOMPARE(reader.find("POINT", "FRAMES")->word(0), words);
        const C3DReader::Parameter* end = reader.find("TRIAL", "ACTUAL_END_FIELD");
        const C3DReader::Parameter* longFrames = reader.find("POINT", "LONG_FRAMES");
        QCOMPARE(bool(longFrames && end && reader.find("TRIAL", "ACTUAL_START_FIELD")),
                 frames > 65535);
        if (frames > 65535) {
            QCOMPARE(longFrames->real(0), float(frames));
            QCOMPARE(reader.find("TRIAL", "ACTUAL_START_FIELD")->data,
                     QByteArray::fromHex("01000000"));
            QCOMPARE(end->dimensions, QList<int>{2});
        }
    }
};

QTEST_GUILESS_MAIN(TestExports)
#include "tst_exports.moc"

#include "export/c3dexport.h"
#include "export/c3dfile.h"
#include "export/c3dpipeline.h"
#include "model/bvhwriter.h"
#include "model/jointtables.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"
#include "physics/centreofmass.h"
#include "physics/masssegmentfile.h"
#include "physics/motionsetup.h"
#include "physics/skeletonprofiles.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
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
    static constexpr int MassCentre = 0, Rotations = 1, Positions = 2; // the tables

    WriteResult exportTable(int table, const FrameRange& range, ProgressSink* progress = nullptr)
    {
        const ExportOptions options{range, selection};
        if (table == MassCentre)
            return CentreOfMass::writeCsv(motion, segments, path, options, progress);
        if (table == Rotations)
            return JointTables::writeRotations(motion, path, options, progress);
        return JointTables::writePositions(motion, path, options, progress);
    }

    // Exports the motion as C3D and reads the file back; empty error string when readable.
    QString exportC3D(C3DReader& reader, ProgressSink* progress = nullptr)
    {
        if (!C3DExport::exportMotion(motion, dir.filePath("out.c3d"), progress).ok)
            return QStringLiteral("export failed");
        return reader.readFile(dir.filePath("out.c3d"));
    }

    // The sample of a joint at `p`: x negated, y and z exchanged and every coordinate times 10
    // in single precision, the same bits, not merely close.
    static bool isSampleOf(const std::array<float, 4>& sample, const Vector3f& p)
    {
        return TestSupport::sameBits(Vector3f(sample[0], sample[1], sample[2]),
                                     Vector3f(-10.0f * p.x(), 10.0f * p.z(), 10.0f * p.y()));
    }

    void load(int frames, const QByteArray& frameTime = "0.0333333")
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(frames, frameTime)));
        selection = {true, false, false, true, false}; // Hips and LeftLeg
    }

    QTemporaryDir dir;
    QString path;
    BvhFile motion;
    QList<bool> selection;
    const MassSegmentModel segments = TestSupport::segmentModel("Hips>Spine 0 1"); // Hips

    // A value that differs for every frame, point and axis, so that a shifted or swapped
    // sample cannot pass.
    static float sampleValue(qsizetype frame, int point, int axis)
    {
        return float(frame) * 0.25f + float(point) * 100.0f - float(axis) * 0.125f;
    }

    static WriteResult write(int points, qsizetype frames, const QStringList& labels,
                             const QString& path)
    {
        C3DFile file;
        file.reservePoints(frames * points);
        for (qsizetype i = 0; i < frames * points; ++i) {
            const qsizetype f = i / points;
            const int p = int(i % points);
            file.addPoint(sampleValue(f, p, 0), sampleValue(f, p, 1), sampleValue(f, p, 2));
        }
        file.setupPointGroup(points, 60, QStringLiteral("mm "), labels);
        return file.writeC3D(path);
    }

    // Writes and reads back; empty error string when both went well.
    static QString writeAndRead(C3DReader& reader, int points, qsizetype frames,
                                const QStringList& labels, QByteArray* bytes = nullptr)
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.c3d"));
        const WriteResult result = write(points, frames, labels, path);
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
    // 9..11. Joint columns follow the pre-order of the joints selected; numbers have six
    // significant digits (the frame time 0.0123456789 is written 0.0123457).
    void exactTables()
    {
        load(2, "0.0123456789");
        const std::tuple<const char*, int, QList<bool>> tables[] = {
            {"masscentre", MassCentre, {true}},
            {"rotations", Rotations, {true, false, false, true}},
            {"positions", Positions, {true}},
            {"rotations-none", Rotations, {}},
            {"rotations-past-joints", Rotations, {false, true, false, false, false, true, true}}};
        QByteArray all;
        for (const auto& [name, table, mask] : tables) {
            selection = mask;
            QVERIFY(exportTable(table, {0, 1}).ok);
            all += QByteArray("== ") + name + "\n" + TestSupport::readFile(path);
        }
        QCOMPARE(all, TestSupport::readFile(TestSupport::dataPath("expected/tables.txt")));
    }

    // Both ends of the range are included, in every table (the two joint tables share one
    // frame loop: the rotations stand for both); the joints keep the frame they hold.
    void frameRanges()
    {
        motion.loadFrame(11);
        const std::tuple<FrameRange, QList<int>> cases[] = {
            {{3, 6}, {3, 4, 5, 6}}, {{4, 4}, {4}},         {{7, 2}, {}},  {{9, 11}, {9, 10, 11}},
            {{-5, 1}, {0, 1}},      {{10, 500}, {10, 11}}, {{40, 50}, {}}};
        for (const auto& [range, frames] : cases) {
            QByteArray expected;
            for (int frame : frames)
                expected += NumberFormat::general(frame * 0.0333333).toLatin1() + ";";
            for (const int table : {MassCentre, Rotations, Positions}) {
                QVERIFY(exportTable(table, range).ok);
                QByteArray times;
                for (const QByteArray& line : TestSupport::readLines(path).mid(1))
                    times += line.split(',').first() + ";";
                QVERIFY2(times == expected, qPrintable(QString::number(table) + ": " + times));
            }
        }
        QCOMPARE(motion.root->getPosition(), Vector3f(110, 111, 112));
    }

    // Ten steps of 10 % (the two joint tables share one frame loop: the rotations stand for
    // both); fewer than ten frames step once per frame (frames 2..6 here). A cancel seen at
    // frame 21, before its row is written, keeps the rows before it.
    void progressAndCancel()
    {
        const QString plain = QStringLiteral("begin | 100");
        const QList<int> tens{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
        const std::tuple<int, int, FrameRange, QString, QList<int>, int> cases[] = {
            {Rotations, 100, {0, 99}, plain, tens, -1},
            {MassCentre, 100, {0, 99}, plain, tens, -1},
            {Rotations, 12, {2, 6}, plain, {10, 20, 30, 40}, -1},
            {MassCentre, 100, {0, 99}, plain, {10, 20, 30}, 30},
            {Rotations, 100, {0, 99}, plain, {10, 20, 30}, 30}};
        for (const auto& [table, frames, range, begin, values, cancelAt] : cases) {
            load(frames);
            RecordingProgress progress;
            progress.cancelAtValue = cancelAt;
            QVERIFY(exportTable(table, range, &progress).ok);
            QCOMPARE(progress.calls, QStringList({begin, "end"}));
            QCOMPARE(progress.values, values);
            QCOMPARE(TestSupport::readLines(path).size(), 1 + (cancelAt < 0 ? range.count() : 21));
        }
    }

    // A write that fails (nothing to write, a folder that does not exist, an output that is a
    // folder, parameters beyond the 255 blocks a C3D file can have) names the file, keeps what
    // was there and reports no progress: for every writer.
    void failedWritesKeepTheOldFile()
    {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken")));
        const QString old = TestSupport::writeFile(dir, QStringLiteral("old"), "old");
        RecordingProgress progress;
        const auto failed = [&](const WriteResult& result, const QString& file, const char* why) {
            return !result.ok && result.fileName == file && !result.errorString.isEmpty() &&
                   result.errorString.contains(QLatin1String(why)) &&
                   TestSupport::readFile(old) == "old" && progress.calls.isEmpty();
        };
        for (const QString& file : {dir.filePath("no such folder/x"), dir.filePath("taken"), old}) {
            if (file == old)
                motion.clear();
            path = file;
            for (const int table : {MassCentre, Rotations, Positions})
                QVERIFY2(failed(exportTable(table, {0, 11}, &progress), file, ""),
                         qPrintable(file));
            QVERIFY(failed(BvhWriter(motion).write(file, {0, 1}), file, ""));
            QVERIFY(failed(C3DExport::exportMotion(motion, file, file == old ? &progress : nullptr),
                           file, ""));
            if (file != old)
                QVERIFY(failed(MassSegmentFile::write(file, segments), file, ""));
        }
        QVERIFY(failed(write(600, 1, QStringList(600, QString(255, 'x')), old), old, "255 blocks"));
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
        QVERIFY(JointTables::writeRotations(motion, path, ExportOptions::wholeMotion(motion)).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], "Time,Root.x,Root.y,Root.z" +
                               QByteArray(",End Site.x,End Site.y,End Site.z").repeated(children));
        QCOMPARE(lines[2], "0.5,-2.5,0,0" + QByteArray(",0,0,0").repeated(children));
    }

    // The walk written in metres or millimetres is taken as such by the size of its skeleton,
    // and its C3D points are the walk's in centimetres, in millimetres either way (to the
    // digits the file was written with); the pipeline scales as the export does.
    void c3dInTheMotionsUnit()
    {
        const QString walk = QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh");
        const QString scaledWalk = dir.filePath(QStringLiteral("scaled.bvh"));
        const SkeletonProfiles profiles = SkeletonProfiles::load({});
        C3DReader reference;
        motion.clear();
        QVERIFY(BvhReader(motion).read(walk).ok());
        QVERIFY(C3DExport::exportMotion(motion, path, nullptr).ok);
        QCOMPARE(reference.readFile(path), QString());
        for (const auto& [scale, unit] : {std::pair(0.01f, "m"), std::pair(10.0f, "mm")}) {
            motion.clear();
            QVERIFY(BvhReader(motion).read(walk).ok());
            for (BvhJoint* joint : motion.root->getAllJoints()) {
                const Vector3f offset = joint->getOffset() * scale;
                joint->setOffset(offset.x(), offset.y(), offset.z());
            }
            for (QList<double>& row : motion.frames) {
                for (int k = 0; k < 3; ++k) // the root's position channels
                    row[k] *= scale;
            }
            QVERIFY(BvhWriter(motion).write(scaledWalk, FrameRange::all(motion.rowCount())).ok);
            motion.clear();
            C3DPipeline pipeline;
            pipeline.setMillimetresPerUnit(10.0 / scale);
            QVERIFY(BvhReader(motion, &pipeline).read(scaledWalk).ok());
            const MotionSetup setup = MotionSetup::choose(profiles, motion.root, {});
            QVERIFY(setup.unitJudged && setup.unit.name == QLatin1String(unit));
            const QString plain = dir.filePath(QStringLiteral("plain.c3d"));
            QVERIFY(
                C3DExport::exportMotion(motion, path, nullptr, &pipeline, setup.unit.millimetres)
                    .ok);
            QVERIFY(C3DExport::exportMotion(motion, plain, nullptr, nullptr, setup.unit.millimetres)
                        .ok);
            QCOMPARE(TestSupport::readFile(path), TestSupport::readFile(plain));
            C3DReader scaled;
            QCOMPARE(scaled.readFile(path), QString());
            QCOMPARE(scaled.samples.size(), reference.samples.size());
            float worst = 0;
            for (size_t i = 0; i < scaled.samples.size(); ++i) {
                for (int axis = 0; axis < 3; ++axis)
                    worst =
                        std::max(worst, qAbs(scaled.samples[i][axis] - reference.samples[i][axis]));
            }
            QVERIFY2(worst < 0.1f, qPrintable(QString::number(worst)));
        }
    }

    // Rounded half up; unusable frame times give the fallback rate.
    void c3dFrameRate()
    {
        const std::pair<double, int> rates[] = {
            {0.0333333, 30}, {0.008333, 120}, {1.0 / 24.5, 25}, {3.0, 0}, {1e-9, 1000000000}};
        for (const auto& [frameTime, rate] : rates)
            QCOMPARE(C3DExport::frameRate(frameTime), rate);
        using limits = std::numeric_limits<double>;
        for (const double frameTime : {0.0, -0.0, -0.04, 1e-300, limits::denorm_min(),
                                       limits::infinity(), limits::quiet_NaN()})
            QVERIFY2(C3DExport::frameRate(frameTime) == C3DExport::fallbackFrameRate,
                     qPrintable(QString::number(frameTime)));
        // The fallback goes into both the header and POINT:RATE.
        load(5, "-0.5");
        C3DReader reader;
        QCOMPARE(exportC3D(reader), QString());
        QCOMPARE(reader.frameRate, float(C3DExport::fallbackFrameRate));
        QCOMPARE(reader.find("POINT", "RATE")->real(0), float(C3DExport::fallbackFrameRate));
    }

    // Event times past a minute split into whole minutes and seconds; past 255 events the
    // EVENT group keeps the first 255 (expected/gait.txt).
    void c3dEventTimes()
    {
        QList<double> numbers;
        for (const QByteArray& line :
             TestSupport::readLines(TestSupport::dataPath("expected/gait.txt"))) {
            if (line.startsWith("c3d-event-time "))
                for (const QByteArray& word : line.mid(15).split(' '))
                    numbers.append(word.toDouble());
        }
        QCOMPARE(numbers.size(), 3);
        load(5, "0.04");
        const QList<C3DEvent> events(300, C3DEvent{"Right", "Foot Off", numbers[0]});
        QVERIFY(C3DExport::exportMotion(motion, dir.filePath("e.c3d"), nullptr, nullptr, 10, events)
                    .ok);
        C3DReader reader;
        QCOMPARE(reader.readFile(dir.filePath("e.c3d")), QString());
        QCOMPARE(reader.find("EVENT", "USED")->word(0), 255);
        const auto* times = reader.find("EVENT", "TIMES");
        QCOMPARE(times->real(508), float(numbers[1]));
        QCOMPARE(times->real(509), float(numbers[2]));
    }

    // Progress counts every frame. Cancel stops after the frame under way; the frames
    // converted so far are still written, and the joints keep the frame they hold. The frames
    // are converted a block at a time on two threads; a cancel seen in the middle of a later
    // block still keeps exactly the frames up to the one it was seen at. More frames than the
    // 16-bit header words hold come back whole.
    void c3dProgressAndCancel()
    {
        for (const auto& [frames, cancelAt] :
             {std::pair(1000, 2), std::pair(1000, 700), std::pair(90000, -1)}) {
            load(frames);
            motion.loadFrame(3);
            RecordingProgress sink;
            sink.cancelAtValue = cancelAt;
            C3DReader reader;
            QCOMPARE(exportC3D(reader, &sink), QString());
            const int done = cancelAt < 0 ? frames : cancelAt + 1;
            QList<int> reported(done);
            std::iota(reported.begin(), reported.end(), 0);
            QCOMPARE(sink.values, reported);
            QCOMPARE(sink.calls, QStringList({"begin | " + QString::number(frames), "end"}));
            QCOMPARE(motion.root->getPosition(), Vector3f(30, 31, 32));
            QCOMPARE(reader.frameCount, qint64(done));
            QCOMPARE(reader.find("POINT", "FRAMES")->word(0), qMin(done, 65535));
            motion.loadFrame(done - 1);
            PoseEvaluator pose(motion.root);
            pose.evaluate();
            for (int i = 0; i < 5; ++i)
                QVERIFY(
                    isSampleOf(reader.samples[size_t((done - 1) * 5 + i)], pose.getPosition(i)));
        }
    }

    // The rows converted while the file is read (C3DPipeline) give the same file, byte for
    // byte, as the export after reading, and the motion read is the same too; rows the
    // pipeline did not convert are not taken for those it did.
    void pipelineWritesTheSameBytes()
    {
        const QByteArray motion = TestSupport::smallMotion(1000);
        // contents, cancelAt, a row put in front after reading
        const std::tuple<QByteArray, int, bool> cases[] = {
            {motion, -1, false},
            {motion.left(motion.size() * 2 / 3), -1, false}, // rows cut off mid-line
            {TestSupport::smallMotion(600) + TestSupport::smallMotion(300), -1, false},
            {"MOTION\nFrames: 2\nFrame Time: 0.1\n1 2 3\n4 5 6\n" + TestSupport::smallMotion(400),
             -1, false},
            {motion, 700, false},
            // A hierarchy cut off before any row leaves the pipeline idle and unharmed.
            {"HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n", -1, false},
            // The rows converted are not those the motion ends up with.
            {TestSupport::smallMotion(20000), -1, true}};
        for (const auto& [contents, cancelAt, frontRow] : cases) {
            const QString input = TestSupport::writeFile(dir, QStringLiteral("m.bvh"), contents);
            BvhFile motions[2];
            RecordingProgress sinks[2];
            QByteArray bytes[2];
            C3DPipeline pipeline;
            for (int piped = 0; piped < 2; ++piped) {
                QVERIFY(BvhReader(motions[piped], piped ? &pipeline : nullptr).read(input).ok());
                if (frontRow)
                    motions[piped].frames.prepend(QList<double>(12, 0.5));
                sinks[piped].cancelAtValue = cancelAt;
                const QString output = dir.filePath(QStringLiteral("out%1.c3d").arg(piped));
                QVERIFY(C3DExport::exportMotion(motions[piped], output, &sinks[piped],
                                                piped ? &pipeline : nullptr)
                            .ok);
                bytes[piped] = TestSupport::readFile(output);
            }
            QCOMPARE(motions[1].frames, motions[0].frames);
            QCOMPARE(sinks[1].values, sinks[0].values);
            QVERIFY(bytes[0].size() > 512 && bytes[1] == bytes[0]);
            C3DReader reader;
            QCOMPARE(reader.read(bytes[0]), QString());
            QCOMPARE(reader.frameCount, qint64(sinks[0].values.size()));
        }
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

    // The reader must notice a record whose offset is off, or the tests that rely on it prove
    // nothing.
    void readerNoticesBrokenNextEntry()
    {
        C3DReader reader;
        QByteArray bytes;
        QCOMPARE(writeAndRead(reader, 2, 2, {"a", "b"}, &bytes), QString());
        const int usedRecord = reader.find("POINT", "USED")->offset;
        bytes[usedRecord + 2 + 4] = char(bytes[usedRecord + 2 + 4] + 1); // USED's next entry
        QVERIFY(!C3DReader().read(bytes).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestExports)
#include "tst_exports.moc"

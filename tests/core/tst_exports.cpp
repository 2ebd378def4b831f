#include "export/c3dexport.h"
#include "export/c3dpipeline.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/jointtables.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"
#include "physics/centreofmass.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <numeric>

using TestSupport::C3DReader;
using TestSupport::RecordingProgress;

// The exports of a motion: the three CSV tables (the whole-body centre of mass, the joint
// rotations and the absolute joint positions) and the C3D file. Layout, ranges, rates,
// progress, cancelling and failures; every cell and sample of real recordings is checked in
// tst_realrecordings.
class TestExports : public QObject
{
    Q_OBJECT

private:
    enum Table
    {
        MassCentre,
        Rotations,
        Positions
    };

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
    MassSegmentModel segments;

private slots:
    void init()
    {
        path = dir.filePath(QStringLiteral("table.csv"));
        QFile::remove(path);
        segments = TestSupport::segmentModel("Hips>Spine 0 1"); // its centre is Hips itself
        load(12);
    }

    // Row f of the small motion holds 10 f + k in column k: Hips' position channels are
    // columns 0..2 and its rotation channels Z, X, Y columns 3..5; Spine's 6..8, LeftLeg's
    // 9..11. Joint columns follow the pre-order of the joints selected.
    void exactTables()
    {
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
                QVERIFY2(times == expected, qPrintable(QStringLiteral("table %1, %2 to %3")
                                                           .arg(table)
                                                           .arg(range.first)
                                                           .arg(range.last)));
            }
        }
        QCOMPARE(motion.root->getPosition(), Vector3f(110, 111, 112));
    }

    // Ten steps of 10 %; fewer than ten frames step once per frame (frames 2..6 here). A
    // cancel seen at frame 21, before its row is written, keeps the rows before it.
    void progressAndCancel()
    {
        const QString plain = QStringLiteral("begin | 100");
        const QList<int> tens{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
        const std::tuple<int, int, FrameRange, QString, QList<int>, int> cases[] = {
            {Rotations, 100, {0, 99}, plain, tens, -1},
            {Positions,
             100,
             {0, 99},
             "begin Please be patient|Doing a lot of math. This may take a while. 100",
             tens,
             -1},
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

    // A failed export (no motion, or a file that cannot be written) names the file, keeps
    // what was there and reports no progress.
    void failureNamesTheFileAndKeepsTheOld()
    {
        const QString unwritable = dir.filePath(QStringLiteral("no such folder/table.csv"));
        for (const int table : {MassCentre, Rotations, Positions}) {
            for (const bool loaded : {true, false}) {
                init();
                if (loaded)
                    path = unwritable;
                else
                    motion.clear();
                TestSupport::writeFile(dir, QStringLiteral("table.csv"), "old");
                RecordingProgress progress;
                const WriteResult result = exportTable(table, {0, 11}, &progress);
                QVERIFY(!result.ok && !result.errorString.isEmpty());
                QCOMPARE(result.fileName, path);
                QCOMPARE(TestSupport::readFile(path), loaded ? QByteArray() : QByteArray("old"));
                QVERIFY(progress.calls.isEmpty());
            }
        }
        RecordingProgress progress; // and no motion makes no C3D file
        const WriteResult result =
            C3DExport::exportMotion(motion, dir.filePath("n.c3d"), &progress);
        QVERIFY(!result.ok && !result.errorString.isEmpty() && progress.calls.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("n.c3d")));
    }

    // The writer buffers a megabyte at a time; a header and rows longer than that must still
    // come out whole.
    void linesLongerThanTheWriteBuffer()
    {
        constexpr int children = 120000;
        motion.clear();
        auto* root = new BvhJoint;
        root->setName(QStringLiteral("Root"));
        root->addChannel(QStringLiteral("Xrotation"));
        for (int i = 0; i < children; ++i) {
            auto* child = new BvhJoint;
            child->setName(QStringLiteral("End Site"));
            child->setParentJoint(root);
            root->addChild(child);
        }
        motion.root = root;
        motion.frames = {{1.5}, {-2.5}};
        motion.frameTime = 0.5;
        QVERIFY(JointTables::writeRotations(motion, path, ExportOptions::wholeMotion(motion)).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], "Time,Root.x,Root.y,Root.z" +
                               QByteArray(",End Site.x,End Site.y,End Site.z").repeated(children));
        QCOMPARE(lines[2], "0.5,-2.5,0,0" + QByteArray(",0,0,0").repeated(children));
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
        // The fallback goes into both the header and POINT:RATE; progress counts every frame.
        load(5, "-0.5");
        RecordingProgress sink;
        C3DReader reader;
        QCOMPARE(exportC3D(reader, &sink), QString());
        QCOMPARE(sink.calls, QStringList({"begin | 5", "end"}));
        QCOMPARE(sink.values, QList<int>({0, 1, 2, 3, 4}));
        QCOMPARE(reader.frameRate, float(C3DExport::fallbackFrameRate));
        QCOMPARE(reader.find("POINT", "RATE")->real(0), float(C3DExport::fallbackFrameRate));
    }

    // Cancel stops after the frame under way; the frames converted so far are still written,
    // and the joints keep the frame they hold. The frames are converted a block at a time on
    // two threads; a cancel seen in the middle of a later block still keeps exactly the frames
    // up to the one it was seen at.
    void c3dCancelKeepsTheFramesDone()
    {
        for (const int cancelAt : {2, 700}) {
            load(1000);
            motion.loadFrame(3);
            RecordingProgress sink;
            sink.cancelAtValue = cancelAt;
            C3DReader reader;
            QCOMPARE(exportC3D(reader, &sink), QString());
            QList<int> reported(cancelAt + 1);
            std::iota(reported.begin(), reported.end(), 0);
            QCOMPARE(sink.values, reported);
            QCOMPARE(sink.calls, QStringList({"begin | 1000", "end"}));
            QCOMPARE(motion.root->getPosition(), Vector3f(30, 31, 32));
            QCOMPARE(reader.frameCount, qint64(cancelAt + 1));
            QCOMPARE(reader.find("POINT", "FRAMES")->word(0), cancelAt + 1);
            motion.loadFrame(cancelAt);
            PoseEvaluator pose(motion.root);
            pose.evaluate();
            for (int i = 0; i < 5; ++i)
                QVERIFY(isSampleOf(reader.samples[size_t(cancelAt * 5 + i)], pose.getPosition(i)));
        }
    }

    // More frames than the 16-bit header words hold come back whole.
    void c3dNinetyThousandFrames()
    {
        load(90000);
        C3DReader reader;
        QCOMPARE(exportC3D(reader), QString());
        QCOMPARE(reader.samples.size(), size_t(90000 * 5));
        // The root of the last frame: position channels (899990, 899991, 899992).
        QVERIFY(isSampleOf(reader.samples[89999 * 5], Vector3f(899990, 899991, 899992)));
    }

    // The rows converted while the file is read (C3DPipeline) give the same file, byte for
    // byte, as the export after reading, and the motion read is the same too.
    void pipelineWritesTheSameBytes_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("cancelAt");
        const QByteArray motion = TestSupport::smallMotion(1000);
        QTest::newRow("whole") << motion << -1;
        QTest::newRow("rows cut off mid-line") << motion.left(motion.size() * 2 / 3) << -1;
        QTest::newRow("second hierarchy")
            << TestSupport::smallMotion(600) + TestSupport::smallMotion(300) << -1;
        QTest::newRow("rows before the hierarchy")
            << "MOTION\nFrames: 2\nFrame Time: 0.1\n1 2 3\n4 5 6\n" + TestSupport::smallMotion(400)
            << -1;
        QTest::newRow("cancel") << motion << 700;
        // A hierarchy cut off before any row leaves the pipeline idle and unharmed.
        QTest::newRow("no rows") << QByteArray("HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n") << -1;
    }

    void pipelineWritesTheSameBytes()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, cancelAt);
        const QString input = TestSupport::writeFile(dir, QStringLiteral("m.bvh"), contents);
        BvhFile motions[2];
        BvhReadResult reads[2];
        RecordingProgress sinks[2];
        QByteArray bytes[2];
        C3DPipeline pipeline;
        for (int piped = 0; piped < 2; ++piped) {
            reads[piped] = BvhReader(motions[piped], piped ? &pipeline : nullptr).read(input);
            QVERIFY(reads[piped].ok());
            sinks[piped].cancelAtValue = cancelAt;
            const QString output = dir.filePath(QStringLiteral("out%1.c3d").arg(piped));
            QVERIFY(C3DExport::exportMotion(motions[piped], output, &sinks[piped],
                                            piped ? &pipeline : nullptr)
                        .ok);
            bytes[piped] = TestSupport::readFile(output);
        }
        QCOMPARE(reads[1].warnings, reads[0].warnings);
        QCOMPARE(motions[1].frames, motions[0].frames);
        QCOMPARE(sinks[1].values, sinks[0].values);
        QVERIFY(bytes[0].size() > 512 && bytes[1] == bytes[0]);
        C3DReader reader;
        QCOMPARE(reader.read(bytes[0]), QString());
        QCOMPARE(reader.frameCount, qint64(sinks[0].values.size()));
    }
};

QTEST_GUILESS_MAIN(TestExports)
#include "tst_exports.moc"

#include "export/c3dexport.h"
#include "export/c3dpipeline.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <numeric>

using TestSupport::C3DReader;

// The C3D export of a motion: every joint of every frame, converted from BVH axes and units,
// the labels, the rate, progress and cancellation.
class TestC3DExport : public QObject
{
    Q_OBJECT

private:
    // The sample of a joint at `p`: x negated, y and z exchanged and every coordinate times 10
    // in single precision, the same bits, not merely close.
    static bool isSampleOf(const std::array<float, 4>& sample, const Vector3f& p)
    {
        return TestSupport::sameBits(Vector3f(sample[0], sample[1], sample[2]),
                                     Vector3f(-10.0f * p.x(), 10.0f * p.z(), 10.0f * p.y()));
    }

    // Exports `motion` and reads the file back; empty error string when readable.
    static QString exportAndRead(const BvhFile& motion, C3DReader& reader,
                                 ProgressSink* progress = nullptr)
    {
        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("out.c3d"));
        if (!C3DExport::exportMotion(motion, output, progress).ok)
            return QStringLiteral("export failed");
        return reader.readFile(output);
    }

private slots:
    void samplesAreThePosesOfEveryFrame_data() { TestSupport::addRealFileRows(); }

    // Every sample of every frame is its joint's position with the row loaded, converted.
    void samplesAreThePosesOfEveryFrame()
    {
        QFETCH(QString, file);
        BvhFile motion;
        QVERIFY(BvhReader(motion).read(TestSupport::dataPath("real/" + file)).ok());
        C3DReader reader;
        QCOMPARE(exportAndRead(motion, reader), QString());
        const QList<BvhJoint*> joints = motion.root->getAllJoints();
        QCOMPARE(reader.pointCount, int(joints.size()));
        QCOMPARE(reader.frameCount, qint64(motion.rowCount()));
        QCOMPARE(reader.labels, motion.root->getAllJointNames());
        QCOMPARE(reader.find("POINT", "UNITS")->data, QByteArray("mm "));
        QCOMPARE(reader.frameRate, float(int(1.0 / motion.frameTime + 0.5)));
        size_t index = 0;
        PoseEvaluator pose(motion.root);
        for (int f = 0; f < motion.rowCount(); ++f) {
            motion.loadFrame(f);
            pose.evaluate();
            for (qsizetype i = 0; i < joints.size(); ++i) {
                if (!isSampleOf(reader.samples[index++], pose.getPosition(i)))
                    QFAIL(qPrintable(
                        QStringLiteral("frame %1, %2").arg(f).arg(joints[i]->getName())));
            }
        }
    }

    // Rounded half up; unusable frame times give the fallback rate.
    void frameRate()
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
    }

    // Progress counts every frame; an unusable frame time writes the fallback rate into both
    // the header and POINT:RATE.
    void progressAndFallbackRate()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(5, "-0.5")));
        TestSupport::RecordingProgress sink;
        C3DReader reader;
        QCOMPARE(exportAndRead(motion, reader, &sink), QString());
        QCOMPARE(sink.calls, QStringList({"begin | 5", "end"}));
        QCOMPARE(sink.values, QList<int>({0, 1, 2, 3, 4}));
        QCOMPARE(reader.frameRate, float(C3DExport::fallbackFrameRate));
        QCOMPARE(reader.find("POINT", "RATE")->real(0), float(C3DExport::fallbackFrameRate));
        QCOMPARE(reader.frameCount, qint64(5));
    }

    void cancelKeepsTheFramesDone_data()
    {
        QTest::addColumn<int>("cancelAt");
        QTest::newRow("first block") << 2;
        // The frames are converted a block at a time on two threads; a cancel seen in the
        // middle of a later block still keeps exactly the frames up to the one it was seen at.
        QTest::newRow("later block") << 700;
    }

    // Cancel stops after the frame under way; the frames converted so far are still written.
    // The joints keep the frame they hold.
    void cancelKeepsTheFramesDone()
    {
        QFETCH(int, cancelAt);
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(1000)));
        motion.loadFrame(3);
        TestSupport::RecordingProgress sink;
        sink.cancelAtValue = cancelAt;
        C3DReader reader;
        QCOMPARE(exportAndRead(motion, reader, &sink), QString());
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
        const size_t points = pose.getPositions().size();
        for (size_t i = 0; i < points; ++i)
            QVERIFY(
                isSampleOf(reader.samples[size_t(cancelAt) * points + i], pose.getPositions()[i]));
    }

    // The rows converted while the file is read (C3DPipeline) give the same file, byte for
    // byte, as the export after reading, and the motion read is the same too.
    void pipelineWritesTheSameBytes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<RotationOrder>("order");
        QTest::addColumn<int>("cancelAt");
        const auto row = [](const char* name, const QByteArray& contents, int cancelAt = -1) {
            QTest::newRow(name) << QString() << contents << RotationOrder::Fixed << cancelAt;
        };
        for (const QString& name : TestSupport::realBvhFiles())
            QTest::newRow(qPrintable(name)) << TestSupport::dataPath(QStringLiteral("real/") + name)
                                            << QByteArray() << RotationOrder::Fixed << -1;
        QTest::newRow("declared rotation order")
            << TestSupport::dataPath(QStringLiteral("real/cmu_01_14.bvh")) << QByteArray()
            << RotationOrder::Declared << -1;
        const QByteArray motion = TestSupport::smallMotion(1000);
        row("rows cut off mid-line", motion.left(motion.size() * 2 / 3));
        row("second hierarchy", TestSupport::smallMotion(600) + TestSupport::smallMotion(300));
        row("rows before the hierarchy",
            "MOTION\nFrames: 2\nFrame Time: 0.1\n1 2 3\n4 5 6\n" + TestSupport::smallMotion(400));
        row("cancel", motion, 700);
        // A hierarchy cut off before any row leaves the pipeline idle and unharmed.
        row("no rows", "HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n");
    }

    void pipelineWritesTheSameBytes()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, contents);
        QFETCH(RotationOrder, order);
        QFETCH(int, cancelAt);
        QTemporaryDir dir;
        if (path.isEmpty())
            path = TestSupport::writeFile(dir, QStringLiteral("m.bvh"), contents);
        BvhFile motions[2];
        BvhReadResult reads[2];
        TestSupport::RecordingProgress sinks[2];
        QByteArray bytes[2];
        C3DPipeline pipeline;
        for (int piped = 0; piped < 2; ++piped) {
            motions[piped].setRotationOrder(order);
            reads[piped] = BvhReader(motions[piped], piped ? &pipeline : nullptr).read(path);
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
        QCOMPARE(motions[1].numFrames, motions[0].numFrames);
        QCOMPARE(sinks[1].values, sinks[0].values);
        QVERIFY(bytes[0].size() > 512 && bytes[1] == bytes[0]);
        C3DReader reader;
        QCOMPARE(reader.read(bytes[0]), QString());
        QCOMPARE(reader.frameCount, qint64(sinks[0].values.size()));
    }

    void ninetyThousandFramesComeBackWhole()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(90000)));
        C3DReader reader;
        QCOMPARE(exportAndRead(motion, reader), QString());
        QCOMPARE(reader.frameCount, qint64(90000));
        QCOMPARE(reader.samples.size(), size_t(90000 * 5));
        // The root of the last frame: position channels (899990, 899991, 899992).
        QVERIFY(isSampleOf(reader.samples[89999 * 5], Vector3f(899990, 899991, 899992)));
    }

    void noMotionWritesNothing()
    {
        QTemporaryDir dir;
        BvhFile motion;
        TestSupport::RecordingProgress sink;
        const QString output = dir.filePath(QStringLiteral("none.c3d"));
        const WriteResult result = C3DExport::exportMotion(motion, output, &sink);
        QVERIFY(!result.ok && !result.errorString.isEmpty());
        QVERIFY(!QFile::exists(output));
        QVERIFY(sink.calls.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestC3DExport)
#include "tst_c3dexport.moc"

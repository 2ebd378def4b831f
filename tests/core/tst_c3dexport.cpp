#include "export/c3dexport.h"
#include "export/c3dpipeline.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

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

    // Exports `motion` into `dir` and reads the file back; empty error string when readable.
    static QString exportAndRead(BvhFile& motion, const QTemporaryDir& dir, C3DReader& reader,
                                 ProgressSink* progress = nullptr)
    {
        const QString output = dir.filePath(QStringLiteral("out.c3d"));
        if (!C3DExport::exportMotion(motion, output, progress).ok)
            return QStringLiteral("export failed");
        return reader.readFile(output);
    }

private slots:
    void samplesAreThePosesOfEveryFrame_data() { TestSupport::addRealFileRows(); }

    // Every sample of every frame is its joint's getAbsolutePosition(), converted.
    void samplesAreThePosesOfEveryFrame()
    {
        QFETCH(QString, file);
        BvhFile motion;
        QVERIFY(motion.readFile(TestSupport::dataPath("real/" + file)).ok());
        QTemporaryDir dir;
        C3DReader reader;
        QCOMPARE(exportAndRead(motion, dir, reader), QString());
        const QList<BvhJoint*> joints = motion.root->getAllJoints();
        QCOMPARE(reader.pointCount, int(joints.size()));
        QCOMPARE(reader.frameCount, qint64(motion.rowCount()));
        QCOMPARE(reader.labels, motion.root->getAllJointNames());
        QCOMPARE(reader.find("POINT", "UNITS")->data, QByteArray("mm "));
        QCOMPARE(reader.frameRate, float(int(1.0 / motion.frameTime + 0.5)));
        QCOMPARE(motion.currentFrame, motion.rowCount() - 1);

        size_t index = 0;
        for (int f = 0; f < motion.rowCount(); ++f) {
            motion.setCurrentFrame(f);
            for (const BvhJoint* joint : joints) {
                const Vector3f p = joint->getAbsolutePosition();
                const std::array<float, 4>& sample = reader.samples[index++];
                if (!isSampleOf(sample, p))
                    QFAIL(qPrintable(QStringLiteral("frame %1, joint %2: (%3, %4, %5) for %6")
                                         .arg(f)
                                         .arg(joint->getName())
                                         .arg(sample[0])
                                         .arg(sample[1])
                                         .arg(sample[2])
                                         .arg(TestSupport::toString(p))));
            }
        }
    }

    void frameRate_data()
    {
        QTest::addColumn<double>("frameTime");
        QTest::addColumn<int>("rate");
        QTest::newRow("0.0333333") << 0.0333333 << 30;
        QTest::newRow("0.008333") << 0.008333 << 120;
        QTest::newRow("rounds half up") << 1.0 / 24.5 << 25;
        QTest::newRow("three seconds") << 3.0 << 0;
        QTest::newRow("a nanosecond") << 1e-9 << 1000000000;
        QTest::newRow("zero") << 0.0 << C3DExport::fallbackFrameRate;
        QTest::newRow("negative zero") << -0.0 << C3DExport::fallbackFrameRate;
        QTest::newRow("negative") << -0.04 << C3DExport::fallbackFrameRate;
        QTest::newRow("rate beyond int") << 1e-300 << C3DExport::fallbackFrameRate;
        QTest::newRow("smallest denormal")
            << std::numeric_limits<double>::denorm_min() << C3DExport::fallbackFrameRate;
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity()
                                  << C3DExport::fallbackFrameRate;
        QTest::newRow("not a number")
            << std::numeric_limits<double>::quiet_NaN() << C3DExport::fallbackFrameRate;
    }

    void frameRate()
    {
        QFETCH(double, frameTime);
        QFETCH(int, rate);
        QCOMPARE(C3DExport::frameRate(frameTime), rate);
    }

    // The fallback rate reaches both the header and POINT:RATE of the file.
    void unusableFrameTimeWritesFallbackRate()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(2, "-0.5")));
        QTemporaryDir dir;
        C3DReader reader;
        QCOMPARE(exportAndRead(motion, dir, reader), QString());
        QCOMPARE(reader.frameRate, float(C3DExport::fallbackFrameRate));
        QCOMPARE(reader.find("POINT", "RATE")->real(0), float(C3DExport::fallbackFrameRate));
        QCOMPARE(reader.frameCount, qint64(2));
    }

    void progressIsReportedForEveryFrame()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(5)));
        QTemporaryDir dir;
        TestSupport::RecordingProgress sink;
        QVERIFY(C3DExport::exportMotion(motion, dir.filePath(QStringLiteral("m.c3d")), &sink).ok);
        QCOMPARE(sink.begun, 1);
        QCOMPARE(sink.maximum, 5);
        QCOMPARE(sink.values, QList<int>({0, 1, 2, 3, 4}));
        QCOMPARE(sink.ended, 1);
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
    void cancelKeepsTheFramesDone()
    {
        QFETCH(int, cancelAt);
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(1000)));
        TestSupport::RecordingProgress sink;
        sink.cancelAtValue = cancelAt;
        QTemporaryDir dir;
        C3DReader reader;
        QCOMPARE(exportAndRead(motion, dir, reader, &sink), QString());
        QList<int> reported;
        for (int frame = 0; frame <= cancelAt; ++frame)
            reported.append(frame);
        QCOMPARE(sink.values, reported);
        QCOMPARE(sink.ended, 1);
        QCOMPARE(motion.currentFrame, cancelAt);
        QCOMPARE(reader.frameCount, qint64(cancelAt + 1));
        QCOMPARE(reader.find("POINT", "FRAMES")->word(0), cancelAt + 1);
        const QList<BvhJoint*> joints = motion.root->getAllJoints();
        const size_t last = size_t(cancelAt * joints.size());
        for (qsizetype i = 0; i < joints.size(); ++i) {
            QVERIFY(isSampleOf(reader.samples[last + size_t(i)], joints[i]->getAbsolutePosition()));
        }
    }

    // The rows converted while the file is read (C3DPipeline) give the same file, byte for
    // byte, as the export after reading, and the motion read is the same too.
    void pipelineWritesTheSameBytes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<RotationOrder>("order");
        QTest::addColumn<int>("cancelAt");
        for (const QString& name : TestSupport::realBvhFiles())
            QTest::newRow(qPrintable(name)) << TestSupport::dataPath(QStringLiteral("real/") + name)
                                            << QByteArray() << RotationOrder::Fixed << -1;
        const QByteArray motion = TestSupport::smallMotion(1000);
        QTest::newRow("rows cut off mid-line")
            << QString() << motion.left(motion.size() * 2 / 3) << RotationOrder::Fixed << -1;
        QTest::newRow("second hierarchy")
            << QString() << TestSupport::smallMotion(600) + TestSupport::smallMotion(300)
            << RotationOrder::Fixed << -1;
        QTest::newRow("rows before the hierarchy")
            << QString()
            << "MOTION\nFrames: 2\nFrame Time: 0.1\n1 2 3\n4 5 6\n" + TestSupport::smallMotion(400)
            << RotationOrder::Fixed << -1;
        QTest::newRow("declared rotation order")
            << TestSupport::dataPath(QStringLiteral("real/cmu_01_14.bvh")) << QByteArray()
            << RotationOrder::Declared << -1;
        QTest::newRow("cancel") << QString() << motion << RotationOrder::Fixed << 700;
        // A hierarchy cut off before any row leaves the pipeline idle and unharmed.
        QTest::newRow("no rows") << QString()
                                 << QByteArray("HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n")
                                 << RotationOrder::Fixed << -1;
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

        BvhFile plain;
        plain.setRotationOrder(order);
        const BvhReadResult plainRead = plain.readFile(path);
        QVERIFY(plainRead.ok());
        TestSupport::RecordingProgress plainSink;
        plainSink.cancelAtValue = cancelAt;
        const QString plainOutput = dir.filePath(QStringLiteral("plain.c3d"));
        QVERIFY(C3DExport::exportMotion(plain, plainOutput, &plainSink).ok);

        BvhFile piped;
        piped.setRotationOrder(order);
        C3DPipeline pipeline;
        const BvhReadResult pipedRead = piped.readFile(path, &pipeline);
        QVERIFY(pipedRead.ok());
        QCOMPARE(pipedRead.warnings, plainRead.warnings);
        QCOMPARE(piped.frames, plain.frames);
        QCOMPARE(piped.numFrames, plain.numFrames);
        QCOMPARE(piped.root->getAllJointNames(), plain.root->getAllJointNames());
        TestSupport::RecordingProgress pipedSink;
        pipedSink.cancelAtValue = cancelAt;
        const QString pipedOutput = dir.filePath(QStringLiteral("piped.c3d"));
        QVERIFY(C3DExport::exportMotion(piped, pipedOutput, &pipedSink, &pipeline).ok);
        QCOMPARE(pipedSink.values, plainSink.values);
        QCOMPARE(piped.currentFrame, plain.currentFrame);

        const QByteArray plainBytes = TestSupport::readFile(plainOutput);
        QVERIFY(plainBytes.size() > 512);
        QVERIFY(TestSupport::readFile(pipedOutput) == plainBytes);
        C3DReader reader;
        QCOMPARE(reader.read(plainBytes), QString());
        QCOMPARE(reader.frameCount, qint64(plainSink.values.size()));
    }

    void ninetyThousandFramesComeBackWhole()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(90000)));
        QTemporaryDir dir;
        C3DReader reader;
        QCOMPARE(exportAndRead(motion, dir, reader), QString());
        QCOMPARE(reader.frameCount, qint64(90000));
        QCOMPARE(reader.samples.size(), size_t(90000 * 5));
        // The root of the last frame: position channels (899990, 899991, 899992).
        const std::array<float, 4>& root = reader.samples[size_t(89999 * 5)];
        QCOMPARE(root[0], -10.0f * 899990.0f);
        QCOMPARE(root[1], 10.0f * 899992.0f);
        QCOMPARE(root[2], 10.0f * 899991.0f);
    }

    void noMotionWritesNothing()
    {
        QTemporaryDir dir;
        BvhFile motion;
        TestSupport::RecordingProgress sink;
        const QString output = dir.filePath(QStringLiteral("none.c3d"));
        const WriteResult result = C3DExport::exportMotion(motion, output, &sink);
        QVERIFY(!result.ok);
        QVERIFY(!result.errorString.isEmpty());
        QVERIFY(!QFile::exists(output));
        QCOMPARE(sink.begun, 0);
    }
};

QTEST_GUILESS_MAIN(TestC3DExport)
#include "tst_c3dexport.moc"

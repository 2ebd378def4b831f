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

#include <bit>
#include <cmath>
#include <limits>

using TestSupport::C3DReader;

// A sink that records what the export reports and cancels once a given frame was reported.
class RecordingSink : public ProgressSink
{
public:
    explicit RecordingSink(int cancelAt = -1) : cancelAt(cancelAt) {}

    void begin(const QString&, const QString&, int newMaximum) override
    {
        maximum = newMaximum;
        ++begun;
    }
    void setValue(int value) override { values.append(value); }
    bool isCanceled() const override { return cancelAt >= 0 && values.contains(cancelAt); }
    void end() override { ++ended; }

    int cancelAt;
    int maximum = -1;
    int begun = 0;
    int ended = 0;
    QList<int> values;
};

// The C3D export of a motion: every joint of every frame, converted from BVH axes and units,
// the labels, the rate, progress and cancellation.
class TestC3DExport : public QObject
{
    Q_OBJECT

private:
    static bool sameBits(float a, float b)
    {
        return std::bit_cast<quint32>(a) == std::bit_cast<quint32>(b);
    }

    static QByteArray motionWithFrameTime(const QByteArray& frameTime)
    {
        return TestSupport::smallMotion(2, frameTime);
    }

private slots:
    void samplesAreThePosesOfEveryFrame_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("small motion") << QString();
        for (const QString& name : TestSupport::realBvhFiles())
            QTest::newRow(qPrintable(name))
                << TestSupport::dataPath(QStringLiteral("real/") + name);
    }

    // Each sample is the joint's getAbsolutePosition() with x negated, y and z exchanged and
    // every coordinate times 10 in single precision: the same bits, not merely close.
    void samplesAreThePosesOfEveryFrame()
    {
        QFETCH(QString, path);
        QTemporaryDir dir;
        if (path.isEmpty())
            path = TestSupport::writeFile(dir, QStringLiteral("small.bvh"),
                                          TestSupport::smallMotion(7));
        BvhFile motion;
        QVERIFY(motion.readFile(path).ok());
        const QString output = dir.filePath(QStringLiteral("out.c3d"));
        QVERIFY(C3DExport::exportMotion(motion, output, nullptr).ok);

        C3DReader reader;
        QCOMPARE(reader.readFile(output), QString());
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
                if (!sameBits(sample[0], -10.0f * p.x()) || !sameBits(sample[1], 10.0f * p.z()) ||
                    !sameBits(sample[2], 10.0f * p.y()))
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
        QTest::newRow("1/30") << 1.0 / 30.0 << 30;
        QTest::newRow("0.0416667") << 0.0416667 << 24;
        QTest::newRow("0.0333333") << 0.0333333 << 30;
        QTest::newRow("0.008333") << 0.008333 << 120;
        QTest::newRow("rounds half up") << 1.0 / 24.5 << 25;
        QTest::newRow("one second") << 1.0 << 1;
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

    void unusableFrameTimeWritesFallbackRate_data()
    {
        QTest::addColumn<QByteArray>("frameTime");
        QTest::newRow("zero") << QByteArray("0");
        QTest::newRow("negative") << QByteArray("-0.5");
        QTest::newRow("not a number") << QByteArray("abc");
    }

    void unusableFrameTimeWritesFallbackRate()
    {
        QFETCH(QByteArray, frameTime);
        QTemporaryDir dir;
        BvhFile motion;
        QVERIFY(motion
                    .readFile(TestSupport::writeFile(dir, QStringLiteral("m.bvh"),
                                                     motionWithFrameTime(frameTime)))
                    .ok());
        const QString output = dir.filePath(QStringLiteral("m.c3d"));
        QVERIFY(C3DExport::exportMotion(motion, output, nullptr).ok);
        C3DReader reader;
        QCOMPARE(reader.readFile(output), QString());
        QCOMPARE(reader.frameRate, float(C3DExport::fallbackFrameRate));
        QCOMPARE(reader.find("POINT", "RATE")->real(0), float(C3DExport::fallbackFrameRate));
        QCOMPARE(reader.frameCount, qint64(2));
    }

    void progressIsReportedForEveryFrame()
    {
        QTemporaryDir dir;
        BvhFile motion;
        QVERIFY(motion
                    .readFile(TestSupport::writeFile(dir, QStringLiteral("m.bvh"),
                                                     TestSupport::smallMotion(5)))
                    .ok());
        RecordingSink sink;
        QVERIFY(C3DExport::exportMotion(motion, dir.filePath(QStringLiteral("m.c3d")), &sink).ok);
        QCOMPARE(sink.begun, 1);
        QCOMPARE(sink.maximum, 5);
        QCOMPARE(sink.values, QList<int>({0, 1, 2, 3, 4}));
        QCOMPARE(sink.ended, 1);
    }

    // Cancel stops after the frame under way; the frames converted so far are still written.
    void cancelKeepsTheFramesDone()
    {
        QTemporaryDir dir;
        BvhFile motion;
        QVERIFY(motion
                    .readFile(TestSupport::writeFile(dir, QStringLiteral("m.bvh"),
                                                     TestSupport::smallMotion(10)))
                    .ok());
        RecordingSink sink(2);
        const QString output = dir.filePath(QStringLiteral("m.c3d"));
        QVERIFY(C3DExport::exportMotion(motion, output, &sink).ok);
        QCOMPARE(sink.values, QList<int>({0, 1, 2}));
        QCOMPARE(sink.ended, 1);
        C3DReader reader;
        QCOMPARE(reader.readFile(output), QString());
        QCOMPARE(reader.frameCount, qint64(3));
        QCOMPARE(reader.find("POINT", "FRAMES")->word(0), 3);
    }

    // The frames are converted a block at a time on two threads; a cancel seen in the middle
    // of a later block still keeps exactly the frames up to the one it was seen at.
    void cancelInALaterBlock()
    {
        QTemporaryDir dir;
        BvhFile motion;
        QVERIFY(motion
                    .readFile(TestSupport::writeFile(dir, QStringLiteral("m.bvh"),
                                                     TestSupport::smallMotion(1000)))
                    .ok());
        RecordingSink sink(700);
        const QString output = dir.filePath(QStringLiteral("m.c3d"));
        QVERIFY(C3DExport::exportMotion(motion, output, &sink).ok);
        QCOMPARE(sink.values.size(), 701);
        QCOMPARE(sink.values.first(), 0);
        QCOMPARE(sink.values.last(), 700);
        QCOMPARE(motion.currentFrame, 700);
        C3DReader reader;
        QCOMPARE(reader.readFile(output), QString());
        QCOMPARE(reader.frameCount, qint64(701));
        const QList<BvhJoint*> joints = motion.root->getAllJoints();
        const size_t last = size_t(700 * joints.size());
        for (qsizetype i = 0; i < joints.size(); ++i) {
            const Vector3f p = joints[i]->getAbsolutePosition();
            const std::array<float, 4>& sample = reader.samples[last + size_t(i)];
            QVERIFY(sameBits(sample[0], -10.0f * p.x()));
            QVERIFY(sameBits(sample[1], 10.0f * p.z()));
            QVERIFY(sameBits(sample[2], 10.0f * p.y()));
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
        RecordingSink plainSink(cancelAt);
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
        RecordingSink pipedSink(cancelAt);
        const QString pipedOutput = dir.filePath(QStringLiteral("piped.c3d"));
        QVERIFY(C3DExport::exportMotion(piped, pipedOutput, &pipedSink, &pipeline).ok);
        QCOMPARE(pipedSink.values, plainSink.values);
        QCOMPARE(piped.currentFrame, plain.currentFrame);

        QFile plainFile(plainOutput);
        QFile pipedFile(pipedOutput);
        QVERIFY(plainFile.open(QIODevice::ReadOnly));
        QVERIFY(pipedFile.open(QIODevice::ReadOnly));
        const QByteArray plainBytes = plainFile.readAll();
        QVERIFY(plainBytes.size() > 512);
        QVERIFY(pipedFile.readAll() == plainBytes);
    }

    // A file whose hierarchy is cut off before any row leaves the pipeline idle and unharmed.
    void pipelineWithoutRows()
    {
        QTemporaryDir dir;
        BvhFile motion;
        C3DPipeline pipeline;
        const QString path = TestSupport::writeFile(dir, QStringLiteral("cut.bvh"),
                                                    "HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n");
        QVERIFY(motion.readFile(path, &pipeline).ok());
        const QString output = dir.filePath(QStringLiteral("cut.c3d"));
        QVERIFY(C3DExport::exportMotion(motion, output, nullptr, &pipeline).ok);
        C3DReader reader;
        QCOMPARE(reader.readFile(output), QString());
        QCOMPARE(reader.frameCount, qint64(0));
    }

    void ninetyThousandFramesComeBackWhole()
    {
        QTemporaryDir dir;
        BvhFile motion;
        QVERIFY(motion
                    .readFile(TestSupport::writeFile(dir, QStringLiteral("long.bvh"),
                                                     TestSupport::smallMotion(90000)))
                    .ok());
        const QString output = dir.filePath(QStringLiteral("long.c3d"));
        QVERIFY(C3DExport::exportMotion(motion, output, nullptr).ok);
        C3DReader reader;
        QCOMPARE(reader.readFile(output), QString());
        QCOMPARE(reader.frameCount, qint64(90000));
        QCOMPARE(reader.samples.size(), size_t(90000 * 5));
        // The root of the last frame: position channels (899990, 899991, 899992).
        const std::array<float, 4>& root = reader.samples[size_t(89999 * 5)];
        QCOMPARE(root[0], -10.0f * 899990.0f);
        QCOMPARE(root[1], 10.0f * 899992.0f);
        QCOMPARE(root[2], 10.0f * 899991.0f);
    }

    void twoExportsAreIdentical()
    {
        QTemporaryDir dir;
        BvhFile motion;
        QVERIFY(motion
                    .readFile(TestSupport::writeFile(dir, QStringLiteral("m.bvh"),
                                                     TestSupport::smallMotion(20)))
                    .ok());
        const QString first = dir.filePath(QStringLiteral("1.c3d"));
        const QString second = dir.filePath(QStringLiteral("2.c3d"));
        QVERIFY(C3DExport::exportMotion(motion, first, nullptr).ok);
        QVERIFY(C3DExport::exportMotion(motion, second, nullptr).ok);
        QCOMPARE(TestSupport::readFile(second), TestSupport::readFile(first));
    }

    void noMotionWritesNothing()
    {
        QTemporaryDir dir;
        BvhFile motion;
        RecordingSink sink;
        const QString output = dir.filePath(QStringLiteral("none.c3d"));
        const WriteResult result = C3DExport::exportMotion(motion, output, &sink);
        QVERIFY(!result.ok);
        QVERIFY(!result.errorString.isEmpty());
        QVERIFY(!QFile::exists(output));
        QCOMPARE(sink.begun, 0);
    }

    void motionWithoutFramesGivesEmptyFile()
    {
        QTemporaryDir dir;
        BvhFile motion;
        QVERIFY(motion
                    .readFile(TestSupport::writeFile(dir, QStringLiteral("m.bvh"),
                                                     TestSupport::smallMotion(0)))
                    .ok());
        const QString output = dir.filePath(QStringLiteral("m.c3d"));
        QVERIFY(C3DExport::exportMotion(motion, output, nullptr).ok);
        C3DReader reader;
        QCOMPARE(reader.readFile(output), QString());
        QCOMPARE(reader.frameCount, qint64(0));
        QCOMPARE(reader.pointCount, 5);
    }
};

QTEST_GUILESS_MAIN(TestC3DExport)
#include "tst_c3dexport.moc"

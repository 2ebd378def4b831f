#include "model/bvhwriter.h"
#include "model/numberformat.h"
#include "physics/interpolation.h"
#include "support/testsupport.h"

#include <QTest>

// The rotation interpolation between two frames, on the Spine joint of the small test skeleton
// (its channels are Zrotation, Xrotation, Yrotation at row columns 6, 7 and 8), in both
// rotation orders.
class TestInterpolation : public QObject
{
    Q_OBJECT

private:
    static constexpr int frameCount = 11;

    void setSpine(int frame, const Vector3f& degrees)
    {
        motion.frames.rowToChange(frame)[6] = degrees.z();
        motion.frames.rowToChange(frame)[7] = degrees.x();
        motion.frames.rowToChange(frame)[8] = degrees.y();
    }

    Vector3f spine(int frame) const
    {
        const std::span<const double> row = motion.frames[frame];
        return Vector3f(float(row[7]), float(row[8]), float(row[6]));
    }

    BvhFile motion;

private slots:
    void init()
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(frameCount)));
        for (int f = 0; f < frameCount; ++f)
            setSpine(f, Vector3f(f, 2 * f, 3 * f)); // something to overwrite
    }

    // The cases of expected/blends.txt.
    void blend_data()
    {
        QTest::addColumn<RotationOrder>("order");
        QTest::addColumn<Vector3f>("from");
        QTest::addColumn<Vector3f>("to");
        QTest::addColumn<Vector3f>("middle");
        for (const QStringList& row :
             TestSupport::tableRows(TestSupport::dataPath("expected/blends.txt")))
            QTest::newRow(qPrintable(row.value(0)))
                << (row.value(1) == "declared" ? RotationOrder::Declared : RotationOrder::Fixed)
                << TestSupport::toVector(row.value(2)) << TestSupport::toVector(row.value(3))
                << TestSupport::toVector(row.value(4));
    }

    // The rotations after the first frame of the range up to its last (a range reaching past
    // the motion is cut to it) are rewritten, each further from the first end than the last and
    // never further from the middle than the ends. Each angle is stored as the decimal its
    // float prints as, so the motion saved and read again has the very same rows.
    void blend()
    {
        QFETCH(RotationOrder, order);
        QFETCH(Vector3f, from);
        QFETCH(Vector3f, to);
        QFETCH(Vector3f, middle);
        setSpine(0, from);
        setSpine(10, to);
        // cut to the motion's frames 0 to 10
        Interpolation::interpolateJoint(motion, *motion.root->getChild(0), {-5, 100}, order);
        const RotationAxes axes = motion.root->getChild(0)->getRotationAxes(order);
        const auto matrix = [&](const Vector3f& a) { return BvhJoint::eulerToMatrix(a, axes); };
        QVERIFY2((matrix(spine(5)) - matrix(middle)).cwiseAbs().maxCoeff() <= 1e-4f,
                 qPrintable(TestSupport::toString(spine(5))));
        const float reach = (matrix(from) - matrix(middle)).norm() + 1e-4f;
        float previous = 0;
        for (int f = 1; f <= 10; ++f) {
            const float distance = (matrix(spine(f)) - matrix(from)).norm();
            QVERIFY2(distance >= previous - 1e-4f && spine(f).cwiseAbs().maxCoeff() <= 180.0f &&
                         (matrix(spine(f)) - matrix(middle)).norm() <= reach &&
                         (from != to || TestSupport::nearlyEqual(spine(f), from, 1e-3f)),
                     qPrintable(QString::number(f) + TestSupport::toString(spine(f))));
            for (int column = 6; column <= 8; ++column) // QCOMPARE would forgive a difference
                QVERIFY(motion.frames[f][column] ==
                        NumberFormat::decimalOf(float(motion.frames[f][column])));
            previous = distance;
        }
        BvhFile saved;
        const FrameRange all = FrameRange::all(motion.rowCount());
        QVERIFY(TestSupport::loadMotion(saved,
                                        QByteArray::fromStdString(BvhWriter(motion).toText(all))));
        QCOMPARE(saved.frames, motion.frames);
    }

    // A quaternion of no length, or not finite, becomes no rotation rather than NaN angles.
    void degenerateQuaternionsBecomeNoRotation_data()
    {
        QTest::addColumn<Vector4f>("quaternion");
        QTest::newRow("zero") << Vector4f(0, 0, 0, 0);
        QTest::newRow("not a number") << Vector4f(NAN, 0, 0, 1);
        QTest::newRow("infinite") << Vector4f(INFINITY, 0, 0, 0);
    }

    void degenerateQuaternionsBecomeNoRotation()
    {
        QFETCH(Vector4f, quaternion);
        Interpolation::normalizeQuaternion(quaternion);
        QVERIFY(quaternion == Vector4f(0, 0, 0, 1));
    }

    // Empty ranges, ranges outside the motion and a joint not in the motion change nothing;
    // adjacent frames rewrite only the right one.
    void nothingToDo_data()
    {
        QTest::addColumn<FrameRange>("range");
        QTest::addColumn<bool>("stranger");
        QTest::newRow("one frame") << FrameRange{4, 4} << false;
        QTest::newRow("reversed") << FrameRange{6, 3} << false;
        QTest::newRow("past the motion") << FrameRange{20, 30} << false;
        QTest::newRow("before the motion") << FrameRange{-8, -2} << false;
        QTest::newRow("adjacent frames") << FrameRange{4, 5} << false;
        QTest::newRow("joint not in the motion") << FrameRange{0, 10} << true;
    }

    void nothingToDo()
    {
        QFETCH(FrameRange, range);
        QFETCH(bool, stranger);
        setSpine(5, Vector3f(-40, 50, 60));
        const auto before = motion.frames;
        BvhJoint other;
        other.addChannel(QStringLiteral("Zrotation"));
        const BvhJoint& joint = stranger ? other : *motion.root->getChild(0);
        Interpolation::interpolateJoint(motion, joint, range, RotationOrder::Fixed);
        QVERIFY2(TestSupport::nearlyEqual(spine(5), Vector3f(-40, 50, 60), 1e-3f),
                 qPrintable(TestSupport::toString(spine(5))));
        motion.frames.replaceRows(5, before.mid(5, 1));
        QCOMPARE(motion.frames, before);
    }

    // Only the joint's rotation channels change, and only in the rows: the joints keep the
    // values of the frame they hold.
    void positionChannelsOtherJointsAndHeldValuesAreKept()
    {
        motion.frames.rowToChange(5)[0] = 0.1; // not a float: rounding it would change it
        motion.loadFrame(5);
        const auto before = motion.frames;
        Interpolation::interpolateJoint(motion, *motion.root, {1, 9}, RotationOrder::Fixed);
        for (int f = 0; f < frameCount; ++f)
            for (int column : {0, 1, 2, 6, 7, 8, 9, 10, 11})
                QCOMPARE(motion.frames[f][column], before[f][column]);
        QVERIFY(motion.frames[5][3] != before[5][3]);
        QCOMPARE(motion.root->getRotation(), Vector3f(54, 55, 53));
    }

    // Joints in pre-order: Hips, Spine, End Site, LeftLeg, End Site; Hips is never selected.
    void selectionPicksJointsInPreOrder_data()
    {
        QTest::addColumn<QList<bool>>("selection");
        QTest::addColumn<bool>("spineChanges");
        QTest::addColumn<bool>("legChanges");
        QTest::newRow("Spine") << QList<bool>{false, true} << true << false;
        QTest::newRow("LeftLeg") << QList<bool>{false, false, false, true, false} << false << true;
        QTest::newRow("End Sites")
            << QList<bool>{false, false, true, false, true} << false << false;
        QTest::newRow("past the joints")
            << QList<bool>{false, true, false, true, false, true, true} << true << true;
        QTest::newRow("none") << QList<bool>{} << false << false;
    }

    void selectionPicksJointsInPreOrder()
    {
        QFETCH(QList<bool>, selection);
        QFETCH(bool, spineChanges);
        QFETCH(bool, legChanges);
        for (int f = 0; f < frameCount; ++f)
            motion.frames.rowToChange(f)[9] = 7 * f; // LeftLeg's Zrotation
        const auto before = motion.frames;
        TestSupport::RecordingProgress progress;
        Interpolation::interpolateJoints(motion, selection, {0, 10}, RotationOrder::Fixed,
                                         &progress);
        QCOMPARE(motion.frames[5][6] != before[5][6], spineChanges);
        QCOMPARE(motion.frames[5][9] != before[5][9], legChanges);
        QCOMPARE(motion.frames[5][3], before[5][3]);
        QCOMPARE(progress.calls,
                 QStringList({QStringLiteral("begin | %1").arg(selection.size()), "end"}));
        QCOMPARE(progress.values.size(), selection.size());
    }
};

QTEST_GUILESS_MAIN(TestInterpolation)
#include "tst_interpolation.moc"

#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QTest>

// Rotation interpolation between two frames, on the Spine joint of the small test skeleton
// (its channels are Zrotation, Xrotation, Yrotation at row columns 6, 7 and 8).
class TestInterpolation : public QObject
{
    Q_OBJECT

private:
    static constexpr int frameCount = 11;

    // Rotations are compared through their matrices, so that two spellings of one rotation
    // agree; 1e-4 covers single-precision rounding of entries of order 1.
    static bool sameRotation(const Vector3f& a, const Vector3f& b)
    {
        const Matrix3f difference = BvhJoint::eulerToMatrix(a.x(), a.y(), a.z()) -
                                    BvhJoint::eulerToMatrix(b.x(), b.y(), b.z());
        return difference.cwiseAbs().maxCoeff() <= 1e-4f;
    }

    void setSpine(int frame, const Vector3f& degrees)
    {
        motion.frames[frame][6] = degrees.z();
        motion.frames[frame][7] = degrees.x();
        motion.frames[frame][8] = degrees.y();
    }

    Vector3f spine(int frame) const
    {
        const QList<double>& row = motion.frames[frame];
        return Vector3f(float(row[7]), float(row[8]), float(row[6]));
    }

    BvhJoint* spineJoint() const { return motion.root->getChild(0); }

    BvhFile motion;
    BvhMathObject object;

private slots:
    void init()
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(frameCount)));
        for (int f = 0; f < frameCount; ++f)
            setSpine(f, Vector3f(f, 2 * f, 3 * f)); // something to overwrite
        object.setBvhFile(&motion);
    }

    void halfWay_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("whole motion") << 0 << 10;
        QTest::newRow("range outside the motion is cut") << -5 << 100;
    }

    void halfWay()
    {
        QFETCH(int, left);
        QFETCH(int, right);
        setSpine(0, Vector3f(0, 0, 90));
        setSpine(10, Vector3f(0, 0, 0));
        object.interpolateJoint(spineJoint(), left, right);
        const Vector3f middle = spine(5);
        QVERIFY2(TestSupport::nearlyEqual(middle, Vector3f(0, 0, 45), 1e-3f),
                 qPrintable(TestSupport::toString(middle)));
        // The blend moves monotonically from one end to the other.
        for (int f = 1; f <= 10; ++f)
            QVERIFY(spine(f).z() < spine(f - 1).z());
        QCOMPARE(motion.frames.size(), frameCount);
        QCOMPARE(motion.currentFrame, frameCount - 1);
    }

    void identicalEndsKeepTheirRotation_data()
    {
        QTest::addColumn<Vector3f>("rotation");
        QTest::newRow("120 degrees about z") << Vector3f(0, 0, 120);
        QTest::newRow("x and z beyond 90") << Vector3f(-150, 20, 100);
        QTest::newRow("near a half turn") << Vector3f(170, -30, -160);
    }

    // Identical end rotations must fill the range with that rotation, angles included: a
    // conversion that folds angles to +-90 would turn 120 into 60.
    void identicalEndsKeepTheirRotation()
    {
        QFETCH(Vector3f, rotation);
        setSpine(2, rotation);
        setSpine(8, rotation);
        object.interpolateJoint(spineJoint(), 2, 8);
        for (int f = 3; f <= 8; ++f) {
            QVERIFY2(
                TestSupport::nearlyEqual(spine(f), rotation, 1e-3f),
                qPrintable(
                    QStringLiteral("frame %1: %2").arg(f).arg(TestSupport::toString(spine(f)))));
        }
    }

    // 170 and -170 degrees about z are 20 degrees apart. Their quaternions, both with w >= 0,
    // point away from each other; blended unaligned they pass through no rotation at all.
    void oppositeSignEndsTakeTheShortWay()
    {
        setSpine(0, Vector3f(0, 0, 170));
        setSpine(10, Vector3f(0, 0, -170));
        object.interpolateJoint(spineJoint(), 0, 10);
        QVERIFY2(sameRotation(spine(5), Vector3f(0, 0, 180)),
                 qPrintable(TestSupport::toString(spine(5))));
        for (int f = 1; f <= 10; ++f)
            QVERIFY2(qAbs(spine(f).z()) >= 169.9f, qPrintable(TestSupport::toString(spine(f))));
    }

    // A half turn written as +180 and as -180 is one rotation whose two quaternions are almost
    // exactly opposite; their unaligned sum is nearly zero.
    void halfTurnBothWaysStaysAHalfTurn()
    {
        setSpine(0, Vector3f(0, 0, 180));
        setSpine(10, Vector3f(0, 0, -180));
        object.interpolateJoint(spineJoint(), 0, 10);
        for (int f = 1; f <= 10; ++f)
            QVERIFY2(sameRotation(spine(f), Vector3f(0, 0, 180)),
                     qPrintable(TestSupport::toString(spine(f))));
    }

    void emptyRangeChangesNothing_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("right equals left") << 4 << 4;
        QTest::newRow("right before left") << 6 << 3;
        QTest::newRow("both past the last frame") << 20 << 30;
        QTest::newRow("both before the first frame") << -8 << -2;
    }

    void emptyRangeChangesNothing()
    {
        QFETCH(int, left);
        QFETCH(int, right);
        const auto before = motion.frames;
        object.interpolateJoint(spineJoint(), left, right);
        QCOMPARE(motion.frames, before);
    }

    void adjacentFramesRewriteOnlyTheRightOne()
    {
        setSpine(4, Vector3f(10, 20, 30));
        setSpine(5, Vector3f(-40, 50, 60));
        const auto before = motion.frames;
        object.interpolateJoint(spineJoint(), 4, 5);
        for (int f = 0; f < frameCount; ++f) {
            if (f != 5)
                QCOMPARE(motion.frames[f], before[f]);
        }
        QVERIFY2(TestSupport::nearlyEqual(spine(5), Vector3f(-40, 50, 60), 1e-3f),
                 qPrintable(TestSupport::toString(spine(5))));
        QCOMPARE(motion.currentFrame, 5);
    }

    void positionChannelsAndOtherJointsAreKept()
    {
        const auto before = motion.frames;
        object.interpolateJoint(motion.root, 1, 9); // Hips: position columns 0..2 stay
        for (int f = 0; f < frameCount; ++f) {
            for (int column : {0, 1, 2, 6, 7, 8, 9, 10, 11})
                QCOMPARE(motion.frames[f][column], before[f][column]);
        }
        QVERIFY(motion.frames[5][3] != before[5][3]);
    }

    void selectionPicksJointsInPreOrder_data()
    {
        QTest::addColumn<QList<bool>>("selection");
        QTest::addColumn<bool>("spineChanges");
        QTest::addColumn<bool>("legChanges");
        // Joints in pre-order: Hips, Spine, End Site, LeftLeg, End Site.
        QTest::newRow("spine only") << QList<bool>{false, true} << true << false;
        QTest::newRow("leg only") << QList<bool>{false, false, false, true, false} << false << true;
        QTest::newRow("end sites only")
            << QList<bool>{false, false, true, false, true} << false << false;
        QTest::newRow("longer than the joints")
            << QList<bool>{false, true, false, true, false, true, true} << true << true;
        QTest::newRow("none") << QList<bool>() << false << false;
    }

    void selectionPicksJointsInPreOrder()
    {
        QFETCH(QList<bool>, selection);
        QFETCH(bool, spineChanges);
        QFETCH(bool, legChanges);
        for (int f = 0; f < frameCount; ++f) {
            motion.frames[f][9] = 7 * f; // LeftLeg's Zrotation
        }
        const auto before = motion.frames;
        TestSupport::RecordingProgress progress;
        object.interpolateJoints(selection, 0, 10, &progress);
        QCOMPARE(motion.frames[5][6] != before[5][6], spineChanges);
        QCOMPARE(motion.frames[5][9] != before[5][9], legChanges);
        QCOMPARE(motion.frames[5][3], before[5][3]); // Hips never selected
        QCOMPARE(progress.begun, 1);
        QCOMPARE(progress.ended, 1);
        QCOMPARE(progress.maximum, selection.size());
        QCOMPARE(progress.values.size(), selection.size());
        QVERIFY(progress.title.isEmpty() && progress.label.isEmpty());
    }

    void noMotionDoesNothing()
    {
        BvhMathObject empty;
        TestSupport::RecordingProgress progress;
        empty.interpolateJoints({true, true}, 0, 10, &progress);
        empty.interpolateJoint(nullptr, 0, 10);
        object.interpolateJoint(nullptr, 0, 10);
        QCOMPARE(progress.begun, 0);
    }

    void normalizeQuaternion_data()
    {
        QTest::addColumn<Vector4f>("input");
        QTest::addColumn<Vector4f>("expected");
        QTest::newRow("negative") << Vector4f(0, -3, 0, 4) << Vector4f(0, -0.6f, 0, 0.8f);
        QTest::newRow("zero becomes no rotation") << Vector4f(0, 0, 0, 0) << Vector4f(0, 0, 0, 1);
    }

    void normalizeQuaternion()
    {
        QFETCH(Vector4f, input);
        QFETCH(Vector4f, expected);
        BvhMathObject::normalizeQuaternion(input);
        QVERIFY((input - expected).cwiseAbs().maxCoeff() <= 1e-6f);
    }
};

QTEST_GUILESS_MAIN(TestInterpolation)
#include "tst_interpolation.moc"

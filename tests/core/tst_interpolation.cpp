#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "physics/interpolation.h"
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

    void interpolateSpine(int left, int right)
    {
        Interpolation::interpolateJoint(motion, *motion.root->getChild(0), {left, right});
    }

    BvhFile motion;

private slots:
    void init()
    {
        motion.clear();
        motion.setRotationOrder(RotationOrder::Fixed);
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(frameCount)));
        for (int f = 0; f < frameCount; ++f)
            setSpine(f, Vector3f(f, 2 * f, 3 * f)); // something to overwrite
    }

    void blend_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<Vector3f>("from");
        QTest::addColumn<Vector3f>("to");
        QTest::addColumn<Vector3f>("middle");
        QTest::newRow("quarter turn")
            << 0 << 10 << Vector3f(0, 0, 90) << Vector3f(0, 0, 0) << Vector3f(0, 0, 45);
        QTest::newRow("range outside the motion is cut")
            << -5 << 100 << Vector3f(0, 0, 90) << Vector3f(0, 0, 0) << Vector3f(0, 0, 45);
        // 170 and -170 degrees about z are 20 degrees apart. Their quaternions, both with
        // w >= 0, point away from each other; blended unaligned they pass through no rotation.
        QTest::newRow("opposite signs take the short way")
            << 0 << 10 << Vector3f(0, 0, 170) << Vector3f(0, 0, -170) << Vector3f(0, 0, 180);
        // A half turn written as +180 and as -180 is one rotation whose two quaternions are
        // almost exactly opposite; their unaligned sum is nearly zero.
        QTest::newRow("half turn both ways")
            << 0 << 10 << Vector3f(0, 0, 180) << Vector3f(0, 0, -180) << Vector3f(0, 0, 180);
        // The right end is rewritten too, in the range the conversion gives (450 is 90).
        QTest::newRow("right end rewritten")
            << 0 << 10 << Vector3f(0, 0, 0) << Vector3f(0, 0, 450) << Vector3f(0, 0, 45);
        // Identical ends fill the range with that rotation, angles included: a conversion that
        // folds angles to +-90 would turn 120 into 60.
        for (const Vector3f& same :
             {Vector3f(0, 0, 120), Vector3f(-150, 20, 100), Vector3f(170, -30, -160)})
            QTest::addRow("identical ends %s", qPrintable(TestSupport::toString(same)))
                << 0 << 10 << same << same << same;
    }

    // The rotations after `left` up to `right` are rewritten, each further from the first end
    // than the last and never further from the middle than the ends.
    void blend()
    {
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(Vector3f, from);
        QFETCH(Vector3f, to);
        QFETCH(Vector3f, middle);
        setSpine(0, from);
        setSpine(10, to);
        interpolateSpine(left, right);
        QVERIFY2(sameRotation(spine(5), middle), qPrintable(TestSupport::toString(spine(5))));
        const auto matrix = [](const Vector3f& a) {
            return BvhJoint::eulerToMatrix(a.x(), a.y(), a.z());
        };
        const float reach = (matrix(from) - matrix(middle)).norm() + 1e-4f;
        float previous = 0;
        for (int f = 1; f <= 10; ++f) {
            const QString where =
                QStringLiteral("frame %1: %2").arg(f).arg(TestSupport::toString(spine(f)));
            const float distance = (matrix(spine(f)) - matrix(from)).norm();
            QVERIFY2(distance >= previous - 1e-4f && spine(f).cwiseAbs().maxCoeff() <= 180.0f,
                     qPrintable(where));
            QVERIFY2((matrix(spine(f)) - matrix(middle)).norm() <= reach, qPrintable(where));
            QVERIFY2(from != to || TestSupport::nearlyEqual(spine(f), from, 1e-3f),
                     qPrintable(where));
            previous = distance;
        }
    }

    // Empty ranges change nothing; adjacent frames rewrite only the right one.
    void rangesAtTheEdges()
    {
        setSpine(4, Vector3f(10, 20, 30));
        setSpine(5, Vector3f(-40, 50, 60));
        const auto before = motion.frames;
        for (const auto& [left, right] :
             {std::pair(4, 4), std::pair(6, 3), std::pair(20, 30), std::pair(-8, -2)}) {
            interpolateSpine(left, right);
            QCOMPARE(motion.frames, before);
        }
        interpolateSpine(4, 5);
        QVERIFY2(TestSupport::nearlyEqual(spine(5), Vector3f(-40, 50, 60), 1e-3f),
                 qPrintable(TestSupport::toString(spine(5))));
        motion.frames[5] = before[5];
        QCOMPARE(motion.frames, before);
    }

    // Only the joint's rotation channels change, and only in the rows: the joints keep the
    // values of the frame they hold.
    void positionChannelsOtherJointsAndHeldValuesAreKept()
    {
        motion.frames[5][0] = 0.1; // not a float: rounding it would change it
        motion.loadFrame(5);
        const auto before = motion.frames;
        Interpolation::interpolateJoint(motion, *motion.root, {1, 9}); // Hips
        for (int f = 0; f < frameCount; ++f) {
            for (int column : {0, 1, 2, 6, 7, 8, 9, 10, 11})
                QCOMPARE(motion.frames[f][column], before[f][column]);
        }
        QVERIFY(motion.frames[5][3] != before[5][3]);
        QCOMPARE(motion.root->getRotation(), Vector3f(54, 55, 53));
    }

    // Joints in pre-order: Hips, Spine, End Site, LeftLeg, End Site.
    void selectionPicksJointsInPreOrder()
    {
        const std::tuple<QList<bool>, bool, bool> cases[] = {
            {{false, true}, true, false},
            {{false, false, false, true, false}, false, true},
            {{false, false, true, false, true}, false, false},
            {{false, true, false, true, false, true, true}, true, true},
            {{}, false, false}};
        for (const auto& [selection, spineChanges, legChanges] : cases) {
            init();
            for (int f = 0; f < frameCount; ++f)
                motion.frames[f][9] = 7 * f; // LeftLeg's Zrotation
            const auto before = motion.frames;
            TestSupport::RecordingProgress progress;
            Interpolation::interpolateJoints(motion, selection, {0, 10}, &progress);
            QCOMPARE(motion.frames[5][6] != before[5][6], spineChanges);
            QCOMPARE(motion.frames[5][9] != before[5][9], legChanges);
            QCOMPARE(motion.frames[5][3], before[5][3]); // Hips never selected
            QCOMPARE(progress.calls,
                     QStringList({QStringLiteral("begin | %1").arg(selection.size()), "end"}));
            QCOMPARE(progress.values.size(), selection.size());
        }
    }

    // Interpolating between two equal rotations of a Z X Y joint whose outer angles are beyond
    // 90 degrees keeps them as they are under Declared, instead of folding them.
    void interpolationKeepsTheFileConvention()
    {
        motion.clear();
        motion.setRotationOrder(RotationOrder::Declared);
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(5)));
        for (int frame = 0; frame < 5; ++frame) // Spine's Z, X (the middle angle), Y
            setSpine(frame, Vector3f(-20, -135, 160));
        motion.frames[2][6] = 0; // something to interpolate away
        interpolateSpine(0, 4);
        for (int frame = 1; frame < 4; ++frame)
            QVERIFY2(TestSupport::nearlyEqual(spine(frame), Vector3f(-20, -135, 160), 1e-3f),
                     qPrintable(TestSupport::toString(spine(frame))));
    }

    void noMotionOrJointDoesNothing()
    {
        BvhFile empty;
        TestSupport::RecordingProgress progress;
        Interpolation::interpolateJoints(empty, {true, true}, {0, 10}, &progress);
        QVERIFY(progress.calls.isEmpty());
        const auto before = motion.frames;
        BvhJoint stranger;
        stranger.addChannel(QStringLiteral("Zrotation"));
        Interpolation::interpolateJoint(motion, stranger, {0, 10});
        QCOMPARE(motion.frames, before);
    }

    void normalizeQuaternion()
    {
        for (const auto& [input, expected] :
             {std::pair(Vector4f(0, -3, 0, 4), Vector4f(0, -0.6f, 0, 0.8f)),
              std::pair(Vector4f(0, 0, 0, 0), Vector4f(0, 0, 0, 1))}) {
            Vector4f q = input;
            Interpolation::normalizeQuaternion(q);
            QVERIFY((q - expected).cwiseAbs().maxCoeff() <= 1e-6f);
        }
    }
};

QTEST_GUILESS_MAIN(TestInterpolation)
#include "tst_interpolation.moc"

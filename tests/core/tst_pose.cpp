#include "model/poseevaluator.h"
#include "model/rotationmath.h"
#include "physics/interpolation.h"
#include "support/testsupport.h"

#include <QTest>

#include <Eigen/Geometry>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

using namespace RotationMath;

// Pose arithmetic (single precision, pi = 3.14159): child positions, the closed-form rotation
// product and its sines and cosines, rows of any length, the two rotation conventions (Fixed:
// Rx * Ry * Rz, the default; Declared: the product in CHANNELS order) and their conversions;
// and the rotation interpolation between two frames, on the Spine joint of the small test
// skeleton (its channels are Zrotation, Xrotation, Yrotation at row columns 6, 7 and 8). The
// conventions on real recordings are in tst_realrecordings.
class TestPose : public QObject
{
    Q_OBJECT

private:
    static bool sameRotation(const Matrix3f& a, const Matrix3f& b, float tolerance)
    {
        return (a - b).cwiseAbs().maxCoeff() <= tolerance;
    }

    // The same bits, or NaN against NaN: which NaN a sum of NaNs gives depends on the operand
    // order the compiler picks.
    static bool sameFloats(const float* a, const float* b, int count)
    {
        for (int i = 0; i < count; ++i) {
            if (std::bit_cast<quint32>(a[i]) != std::bit_cast<quint32>(b[i]) &&
                !(std::isnan(a[i]) && std::isnan(b[i])))
                return false;
        }
        return true;
    }

    static Eigen::Quaterniond turn(double degrees, int axis)
    {
        return Eigen::Quaterniond(
            Eigen::AngleAxisd(degrees * 3.14159 / 180.0, Eigen::Vector3d::Unit(axis)));
    }

    // Root -> child -> tip, the root with six channels, the child with three in Y X Z order.
    const QByteArray chain = "HIERARCHY\nROOT R\n{\nCHANNELS 6 Xposition Yposition Zposition "
                             "Zrotation Xrotation Yrotation\nJOINT C\n{\nCHANNELS 3 Yrotation "
                             "Xrotation Zrotation\nEnd Site\n{\n}\n}\n}\n";

    static constexpr int frameCount = 11;

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
    void childPositions()
    {
        // With pi = 3.14159 a right angle's cosine is about 1.27e-6, not 0; the root's own
        // translation is not rotated.
        const Vector3f cases[][3] = {{{0, 90, 0}, {1, 0, 0}, {1.2654e-6f, 0, -1}},
                                     {{90, 0, 0}, {0, 1, 0}, {0, 1.2654e-6f, 1}},
                                     {{0, 0, 90}, {1, 0, 0}, {1.2654e-6f, 1, 0}}};
        for (const auto& [rotation, offset, expected] : cases) {
            BvhFile motion;
            QVERIFY(TestSupport::loadMotion(motion, chain));
            motion.root->setRotation(rotation);
            motion.root->getChild(0)->setOffset(offset.x(), offset.y(), offset.z());
            const Vector3f absolute = PoseEvaluator::positionOf(*motion.root->getChild(0));
            QVERIFY2(TestSupport::nearlyEqual(absolute, expected, 1e-7f),
                     qPrintable(TestSupport::toString(absolute)));
            motion.root->setOffset(1, 2, 3);
            motion.root->setPosition(Vector3f(10, 0, 0));
            QCOMPARE(PoseEvaluator::positionOf(*motion.root), Vector3f(11, 2, 3));
        }
    }

    // The closed-form product must give the generic product's floats: sin(-0) = -0, which the
    // generic product turns into +0 in places (-0 + 0 = +0), and 0 * NaN is NaN, which spreads
    // to elements a closed form would leave at 0.
    void fastProductMatchesGenericProduct()
    {
        const float cases[] = {
            -0.0f, -0.0f, -0.0f,     -0.0f,      0.5f,     0.25f, 0.5f,   -0.0f,      0.25f, 0.5f,
            0.25f, -0.0f, 1.570795f, -1.570795f, 3.14159f, 1e30f, -3e38f, 12345.678f, NAN,   0.5f,
            0.25f, 0.5f,  INFINITY,  -INFINITY,  -7.25f,   3.5f,  9.875f, 2.0f,       -0.0f, -6.5f};
        for (size_t i = 0; i < std::size(cases); i += 3) {
            const float x = cases[i], y = cases[i + 1], z = cases[i + 2];
            const Matrix3f expected = multiply(multiply(rotationX(x), rotationY(y)), rotationZ(z));
            QVERIFY2(sameFloats(fromRadians(x, y, z).data(), expected.data(), 9),
                     qPrintable(TestSupport::toString(Vector3f(x, y, z))));
        }
    }

    // Sines and cosines come from a fast path that must give the correctly rounded float of
    // the library's double-precision result, bit for bit: on the floats nearest to multiples
    // of pi/2 (where the argument reduction cancels most), on the only angles from 0.001 to
    // 1024 where the series' value, rounded without checking how near it lies to halfway
    // between two floats, is not the library's, and on zeros, subnormals, huge, infinite and
    // NaN angles.
    void sinesAndCosinesAreTheLibrarysRounded()
    {
        std::vector<float> angles{
            0.0f,         -0.0f,         1e-45f,         -1e-45f,         1e-30f,    1e-8f,
            1024.0f,      -1024.0f,      1e30f,          -3e38f,          INFINITY,  NAN,
            0x1.3e42p+1f, -0x1.3e42p+1f, 0x1.c847eap+8f, -0x1.c847eap+8f, 0.785398f, -2.356194f};
        angles.push_back(std::nextafter(1024.0f, 2000.0f));
        for (int k = 1; k <= 700; ++k) {
            float nearest = float(k * (M_PI / 2));
            for (int step = 0; step < 3; ++step, nearest = std::nextafter(nearest, 1e9f))
                angles.insert(angles.end(), {nearest, -nearest});
        }
        for (const float angle : angles) {
            const Matrix3f m = rotationX(angle);
            const float actual[2] = {m(1, 1), m(2, 1)};
            const float expected[2] = {float(std::cos(double(angle))),
                                       float(std::sin(double(angle)))};
            QVERIFY2(sameFloats(actual, expected, 2), qPrintable(QString::number(angle, 'g', 9)));
        }
    }

    // Missing values become 0, extra values are ignored, and a value without a channel (here
    // the child's position, set by hand) keeps what the joint held: as setFrameValues does.
    void evaluateRowOfUnusualRows()
    {
        const QList<QList<double>> rows{{1, 2, 3, 10, 20, 30, -40, 50, -60},
                                        {1, 2, 3, 10},
                                        {},
                                        {1, 2, 3, 10, 20, 30, -40, 50, -60, 7, 8},
                                        {-0.0, 0, -0.0, -0.0, -0.0, -0.0, -0.0},
                                        {1e300, 0, 0, 1e300, 0, 0, 0, 0, 0}};
        for (const QList<double>& row : rows) {
            BvhFile motion;
            QVERIFY(TestSupport::loadMotion(motion, chain));
            const QList<BvhJoint*> joints = motion.root->getAllJoints();
            joints[2]->setOffset(0, 4, 1);
            joints[1]->setOffset(1, 2, 3);
            joints[1]->setPosition(Vector3f(0.5f, -0.25f, 2));
            joints[0]->setRotation(Vector3f(11, 12, 13));
            PoseEvaluator evaluator(motion.root);
            evaluator.evaluateRow(row.constData(), row.size());
            motion.root->setFrameValues(row);
            for (qsizetype i = 0; i < joints.size(); ++i)
                QVERIFY2(TestSupport::sameBits(evaluator.getPosition(i),
                                               PoseEvaluator::positionOf(*joints[i])),
                         qPrintable(QStringLiteral("row of %1, joint %2").arg(row.size()).arg(i)));
        }
    }

    // Under the standard convention degrees become radians with the float nearest pi: half a
    // turn of Spine takes its End Site (5 above it) straight below it, where pi = 3.14159
    // would leave it 1.3e-5 aside. The root's zero position channels replace its offset.
    void standardConventionTurnsWithTheExactPi()
    {
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(1)));
        motion.root->setOffset(0, 90, 0);
        const QList<double> row{0, 0, 0, 0, 0, 0, 180, 0, 0, 0, 0, 0};
        for (const PoseConvention& convention :
             {PoseConvention::standard(), PoseConvention::ipiStudio()}) {
            motion.setConvention(convention);
            PoseEvaluator evaluator(motion.root);
            evaluator.evaluateRow(row.constData(), row.size());
            const Vector3f end = evaluator.getPosition(2);
            const bool standard = convention == PoseConvention::standard();
            QVERIFY(qAbs(end.y() - (standard ? 5.0f : 95.0f)) < 1e-5f);
            QCOMPARE(qAbs(end.x()) < 1e-6f, standard);
        }
    }

    // In a declared order the rotation axes follow the CHANNELS line; missing axes follow in
    // x y z order, and a repeated channel counts once.
    void rotationAxes()
    {
        const std::pair<QStringList, RotationAxes> cases[] = {
            {{"Zrotation", "Xrotation", "Yrotation"}, {2, 0, 1}},
            {{"Xposition", "Yposition", "Zposition", "Yrotation", "Xrotation", "Zrotation"},
             {1, 0, 2}},
            {{"Zrotation"}, {2, 0, 1}},
            {{}, {0, 1, 2}},
            {{"Yrotation", "Yrotation", "Xrotation"}, {1, 0, 2}}};
        for (const auto& [channels, axes] : cases) {
            BvhJoint joint;
            for (const QString& channel : channels)
                joint.addChannel(channel);
            joint.setConvention(PoseConvention::standard());
            QVERIFY2(joint.getRotationAxes() == axes, qPrintable(channels.join(' ')));
        }
    }

    // Back from a matrix in the fixed order, y stays within +-90 (folding larger ones into x
    // and z), x and z within (-180, 180], and the angles give the same rotation, the
    // gimbal-locked ones included. In a declared order there is no folding: angles come back
    // as they went in, and the matrix really is the product in that order.
    void eulerRoundTrip()
    {
        const float angles[] = {-359.5f, -180, -123.4f, -90, -47, 0, 33.3f, 90, 151, 180, 270};
        for (const float x : angles) {
            for (const float y : angles) {
                for (const float z : angles) {
                    const Matrix3f matrix = BvhJoint::eulerToMatrix(x, y, z);
                    const Vector3f back = BvhJoint::matrixToEuler(matrix);
                    QVERIFY2(back.allFinite() && back.x() > -180 && back.x() <= 180 &&
                                 back.z() > -180 && back.z() <= 180 && std::abs(back.y()) <= 90 &&
                                 sameRotation(BvhJoint::eulerToMatrix(back.x(), back.y(), back.z()),
                                              matrix, 1e-4f),
                             qPrintable(TestSupport::toString(Vector3f(x, y, z))));
                }
            }
        }
        for (const RotationAxes& order : std::initializer_list<RotationAxes>{
                 {0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}}) {
            Vector3f wide(150, -170, 120); // the middle angle (slot order[1]) within +-90
            wide[order[1]] = 35;
            for (const Vector3f& angles : {Vector3f(10, 20, 30), wide}) {
                const Matrix3f matrix = BvhJoint::eulerToMatrix(angles, order);
                QVERIFY2(
                    TestSupport::nearlyEqual(BvhJoint::matrixToEuler(matrix, order), angles, 2e-3f),
                    qPrintable(TestSupport::toString(angles)));
                const Eigen::Quaterniond q = turn(angles[order[0]], order[0]) *
                                             turn(angles[order[1]], order[1]) *
                                             turn(angles[order[2]], order[2]);
                QVERIFY(sameRotation(q.toRotationMatrix().cast<float>(), matrix, 1e-5f));
            }
        }
    }

    void init()
    {
        motion.clear();
        motion.setConvention(PoseConvention::ipiStudio());
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(frameCount)));
        for (int f = 0; f < frameCount; ++f)
            setSpine(f, Vector3f(f, 2 * f, 3 * f)); // something to overwrite
    }

    void blend_data()
    {
        QTest::addColumn<Vector3f>("from");
        QTest::addColumn<Vector3f>("to");
        QTest::addColumn<Vector3f>("middle");
        QTest::addColumn<bool>("declared");
        QTest::newRow("quarter turn")
            << Vector3f(0, 0, 90) << Vector3f(0, 0, 0) << Vector3f(0, 0, 45) << false;
        // 170 and -170 degrees about z are 20 degrees apart. Their quaternions, both with
        // w >= 0, point away from each other; blended unaligned they pass through no rotation.
        QTest::newRow("opposite signs take the short way")
            << Vector3f(0, 0, 170) << Vector3f(0, 0, -170) << Vector3f(0, 0, 180) << false;
        // A half turn written as +180 and as -180 is one rotation whose two quaternions are
        // almost exactly opposite; their unaligned sum is nearly zero.
        QTest::newRow("half turn both ways")
            << Vector3f(0, 0, 180) << Vector3f(0, 0, -180) << Vector3f(0, 0, 180) << false;
        // The right end is rewritten too, in the range the conversion gives (450 is 90).
        QTest::newRow("right end rewritten")
            << Vector3f(0, 0, 0) << Vector3f(0, 0, 450) << Vector3f(0, 0, 45) << false;
        // Identical ends fill the range with that rotation, angles included: a conversion that
        // folds angles to +-90 would turn 120 into 60.
        for (const Vector3f& same :
             {Vector3f(0, 0, 120), Vector3f(-150, 20, 100), Vector3f(170, -30, -160)})
            QTest::addRow("identical ends %s", qPrintable(TestSupport::toString(same)))
                << same << same << same << false;
        // Under Declared, equal ends of a Z X Y joint whose outer angles are beyond 90 degrees
        // stay as they are instead of being folded. The order chosen outlives clear().
        QTest::newRow("declared order kept") << Vector3f(-20, -135, 160) << Vector3f(-20, -135, 160)
                                             << Vector3f(-20, -135, 160) << true;
    }

    // The rotations after the first frame of the range up to its last (a range reaching past
    // the motion is cut to it) are rewritten, each further from the first end than the last and
    // never further from the middle than the ends.
    void blend()
    {
        QFETCH(Vector3f, from);
        QFETCH(Vector3f, to);
        QFETCH(Vector3f, middle);
        QFETCH(bool, declared);
        if (declared) {
            motion.setConvention({RotationOrder::Declared});
            motion.clear();
            QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(frameCount)));
        }
        setSpine(0, from);
        setSpine(10, to);
        interpolateSpine(-5, 100); // cut to the motion's frames 0 to 10
        const auto matrix = [](const Vector3f& a) {
            return BvhJoint::eulerToMatrix(a.x(), a.y(), a.z());
        };
        QVERIFY2(sameRotation(matrix(spine(5)), matrix(middle), 1e-4f),
                 qPrintable(TestSupport::toString(spine(5))));
        const float reach = (matrix(from) - matrix(middle)).norm() + 1e-4f;
        float previous = 0;
        for (int f = 1; f <= 10; ++f) {
            const float distance = (matrix(spine(f)) - matrix(from)).norm();
            QVERIFY2(distance >= previous - 1e-4f && spine(f).cwiseAbs().maxCoeff() <= 180.0f &&
                         (matrix(spine(f)) - matrix(middle)).norm() <= reach &&
                         (from != to || TestSupport::nearlyEqual(spine(f), from, 1e-3f)),
                     qPrintable(QString::number(f) + TestSupport::toString(spine(f))));
            previous = distance;
        }
    }

    // Empty ranges, a joint not in the motion and no motion change nothing; adjacent frames
    // rewrite only the right one.
    void nothingToDo()
    {
        setSpine(5, Vector3f(-40, 50, 60));
        const auto before = motion.frames;
        BvhJoint stranger;
        stranger.addChannel(QStringLiteral("Zrotation"));
        Interpolation::interpolateJoint(motion, stranger, {0, 10});
        for (const auto& [left, right] : {std::pair(4, 4), std::pair(6, 3), std::pair(20, 30),
                                          std::pair(-8, -2), std::pair(4, 5)})
            interpolateSpine(left, right);
        QVERIFY2(TestSupport::nearlyEqual(spine(5), Vector3f(-40, 50, 60), 1e-3f),
                 qPrintable(TestSupport::toString(spine(5))));
        motion.frames[5] = before[5];
        QCOMPARE(motion.frames, before);
        BvhFile empty;
        TestSupport::RecordingProgress progress;
        Interpolation::interpolateJoints(empty, {true, true}, {0, 10}, &progress);
        QVERIFY(progress.calls.isEmpty());
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

    // A zero quaternion, or a matrix that is no rotation at all, becomes no turn.
    void normalizeQuaternion()
    {
        QCOMPARE(BvhJoint::matrixToQuaternion(Matrix3f::Zero()), Vector4f(0, 0, 0, 1));
        Vector4f q(0, -3, 0, 4), zero(0, 0, 0, 0);
        Interpolation::normalizeQuaternion(q);
        Interpolation::normalizeQuaternion(zero);
        QVERIFY((q - Vector4f(0, -0.6f, 0, 0.8f)).cwiseAbs().maxCoeff() <= 1e-6f);
        QCOMPARE(zero, Vector4f(0, 0, 0, 1));
    }
};

QTEST_GUILESS_MAIN(TestPose)
#include "tst_pose.moc"

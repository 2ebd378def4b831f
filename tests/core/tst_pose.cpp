#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "model/rotationmath.h"
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
// Rx * Ry * Rz, the default; Declared: the product in CHANNELS order) and the conversions of
// the interpolation. The conventions on real recordings are in tst_realrecordings.
class TestPose : public QObject
{
    Q_OBJECT

private:
    static constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    static constexpr float infinity = std::numeric_limits<float>::infinity();

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
    struct Chain
    {
        BvhJoint* root = new BvhJoint;
        BvhJoint* child = new BvhJoint;
        BvhJoint* tip = new BvhJoint;
        Chain()
        {
            for (const char* name :
                 {"Xposition", "Yposition", "Zposition", "Zrotation", "Xrotation", "Yrotation"})
                root->addChannel(QString::fromLatin1(name));
            for (const char* name : {"Yrotation", "Xrotation", "Zrotation"})
                child->addChannel(QString::fromLatin1(name));
            for (auto [parent, joint] : {std::pair(root, child), std::pair(child, tip)}) {
                joint->setParentJoint(parent);
                parent->addChild(joint);
            }
        }
        ~Chain() { delete root; }
    };

private slots:
    void childPositions()
    {
        // With pi = 3.14159 a right angle's cosine is about 1.27e-6, not 0; the root's own
        // translation is not rotated.
        const Vector3f cases[][3] = {{{0, 90, 0}, {1, 0, 0}, {1.2654e-6f, 0, -1}},
                                     {{90, 0, 0}, {0, 1, 0}, {0, 1.2654e-6f, 1}},
                                     {{0, 0, 90}, {1, 0, 0}, {1.2654e-6f, 1, 0}}};
        for (const auto& [rotation, offset, expected] : cases) {
            Chain chain;
            chain.root->setRotation(rotation);
            chain.child->setOffset(offset.x(), offset.y(), offset.z());
            const Vector3f absolute = PoseEvaluator::positionOf(*chain.child);
            QVERIFY2(TestSupport::nearlyEqual(absolute, expected, 1e-7f),
                     qPrintable(TestSupport::toString(absolute)));
            chain.root->setOffset(1, 2, 3);
            chain.root->setPosition(Vector3f(10, 0, 0));
            QCOMPARE(PoseEvaluator::positionOf(*chain.root), Vector3f(11, 2, 3));
        }
    }

    // The closed-form product must give the generic product's floats: sin(-0) = -0, which the
    // generic product turns into +0 in places (-0 + 0 = +0), and 0 * NaN is NaN, which spreads
    // to elements a closed form would leave at 0.
    void fastProductMatchesGenericProduct()
    {
        const float cases[][3] = {{-0.0f, -0.0f, -0.0f},
                                  {-0.0f, 0.5f, 0.25f},
                                  {0.5f, -0.0f, 0.25f},
                                  {0.5f, 0.25f, -0.0f},
                                  {1.570795f, -1.570795f, 3.14159f},
                                  {1e30f, -3e38f, 12345.678f},
                                  {nan, 0.5f, 0.25f},
                                  {0.5f, infinity, -infinity},
                                  {-7.25f, 3.5f, 9.875f},
                                  {2.0f, -0.0f, -6.5f}};
        for (const auto& [x, y, z] : cases) {
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
            1024.0f,      -1024.0f,      1e30f,          -3e38f,          infinity,  nan,
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
            Chain chain;
            chain.tip->setOffset(0, 4, 1);
            chain.child->setOffset(1, 2, 3);
            chain.child->setPosition(Vector3f(0.5f, -0.25f, 2));
            chain.root->setRotation(Vector3f(11, 12, 13));
            PoseEvaluator evaluator(chain.root);
            evaluator.evaluateRow(row.constData(), row.size());
            chain.root->setFrameValues(row);
            const QList<BvhJoint*> joints = chain.root->getAllJoints();
            for (qsizetype i = 0; i < joints.size(); ++i)
                QVERIFY2(TestSupport::sameBits(evaluator.getPosition(i),
                                               PoseEvaluator::positionOf(*joints[i])),
                         qPrintable(QStringLiteral("row of %1, joint %2").arg(row.size()).arg(i)));
        }
    }

    // Back from a matrix in the fixed order, y stays within +-90 (folding larger ones into x
    // and z), x and z within (-180, 180], and the angles give the same rotation, at any angle,
    // the gimbal-locked ones included.
    void eulerRoundTrip()
    {
        const double angles[] = {-359.5, -180, -123.4, -90, -47, 0, 33.3, 90, 151, 180, 270};
        for (const double x : angles) {
            for (const double y : angles) {
                for (const double z : angles) {
                    const Matrix3f matrix = BvhJoint::eulerToMatrix(x, y, z);
                    const Vector3f back = BvhJoint::matrixToEuler(matrix);
                    QVERIFY(back.allFinite() && back.x() > -180.0f && back.x() <= 180.0f);
                    QVERIFY(back.z() > -180.0f && back.z() <= 180.0f);
                    QVERIFY(back.y() >= -90.0f && back.y() <= 90.0f);
                    QVERIFY2(sameRotation(BvhJoint::eulerToMatrix(back.x(), back.y(), back.z()),
                                          matrix, 1e-4f),
                             qPrintable(TestSupport::toString(Vector3f(x, y, z))));
                }
            }
        }
    }

    void quaternions()
    {
        // Not a rotation at all: no turn is the finite answer.
        QCOMPARE(BvhJoint::matrixToQuaternion(Matrix3f::Zero()), Vector4f(0, 0, 0, 1));
        // Angles close to 180 degrees about many axes are where a naive conversion divides by
        // a tiny w.
        for (double x = -180; x < 180; x += 22.5) {
            for (double y = -90; y <= 90; y += 15) {
                const Matrix3f matrix = BvhJoint::eulerToMatrix(x, y, 180.0 - 1e-4 * (x + 181));
                const Vector4f q = BvhJoint::matrixToQuaternion(matrix);
                QVERIFY(q.allFinite() && q.w() >= 0.0f && std::abs(q.norm() - 1.0f) < 1e-5f);
                QVERIFY(sameRotation(BvhJoint::quaternionToMatrix(q), matrix, 1e-5f));
            }
        }
        // quaternionToMatrix does not normalise.
        QCOMPARE(BvhJoint::quaternionToMatrix(Vector4f(0, 0, 0, 2)),
                 Matrix3f(Vector3f(4, 4, 4).asDiagonal()));
    }

    // Fixed is the default; the order chosen outlives clear() and reaches the joints read.
    void fixedIsTheDefaultAndTheChoiceIsKept()
    {
        BvhFile motion;
        QCOMPARE(motion.getRotationOrder(), RotationOrder::Fixed);
        motion.setRotationOrder(RotationOrder::Declared);
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(2)));
        QCOMPARE(motion.getRotationOrder(), RotationOrder::Declared);
        QCOMPARE(motion.root->getAllJoints().last()->getRotationOrder(), RotationOrder::Declared);
    }

    void rotationAxes()
    {
        const QStringList zxy{"Zrotation", "Xrotation", "Yrotation"};
        const std::tuple<QStringList, RotationOrder, RotationAxes> cases[] = {
            {zxy, RotationOrder::Fixed, {0, 1, 2}},
            {zxy, RotationOrder::Declared, {2, 0, 1}},
            {{"Xposition", "Yposition", "Zposition", "Yrotation", "Xrotation", "Zrotation"},
             RotationOrder::Declared,
             {1, 0, 2}},
            // Missing axes follow in x y z order; a repeated channel counts once.
            {{"Zrotation"}, RotationOrder::Declared, {2, 0, 1}},
            {{}, RotationOrder::Declared, {0, 1, 2}},
            {{"Yrotation", "Yrotation", "Xrotation"}, RotationOrder::Declared, {1, 0, 2}}};
        for (const auto& [channels, order, axes] : cases) {
            BvhJoint joint;
            for (const QString& channel : channels)
                joint.addChannel(channel);
            joint.setRotationOrder(order);
            QVERIFY2(joint.getRotationAxes() == axes, qPrintable(channels.join(' ')));
        }
    }

    // Full range, no folding: angles come back as they went in, and the matrix really is the
    // product in that order.
    void eulerRoundTripInEveryOrder()
    {
        const RotationAxes orders[] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                       {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
        for (const RotationAxes& order : orders) {
            // The middle angle (slot order[1]) within +-90, the outer two anywhere.
            Vector3f wide(150, -170, 120);
            wide[order[1]] = 35;
            for (const Vector3f& angles : {Vector3f(10, 20, 30), wide}) {
                const Matrix3f matrix = BvhJoint::eulerToMatrix(angles, order);
                const Vector3f back = BvhJoint::matrixToEuler(matrix, order);
                QVERIFY2(TestSupport::nearlyEqual(back, angles, 2e-3f),
                         qPrintable(TestSupport::toString(back)));
                const Eigen::Quaterniond q = turn(angles[order[0]], order[0]) *
                                             turn(angles[order[1]], order[1]) *
                                             turn(angles[order[2]], order[2]);
                QVERIFY(sameRotation(q.toRotationMatrix().cast<float>(), matrix, 1e-5f));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestPose)
#include "tst_pose.moc"

#include "model/poseevaluator.h"
#include "model/rotationmath.h"
#include "support/testsupport.h"

#include <QTest>

#include <Eigen/Geometry>
#include <bit>
#include <cmath>

using namespace RotationMath;

// Pose arithmetic (single precision): joint positions under the two pose conventions (iPi
// Studio's: Rx * Ry * Rz with pi = 3.14159; the standard one: the product in CHANNELS order
// with the exact pi), the closed-form rotation product and its sines and cosines, rows of any
// length, and the conversions between angles and matrices. The conventions on real recordings
// are in tst_realrecordings.
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

    // Root -> child -> tip, the root with six channels, the child with three in Y X Z order.
    const QByteArray chain = "HIERARCHY\nROOT R\n{\nCHANNELS 6 Xposition Yposition Zposition "
                             "Zrotation Xrotation Yrotation\nJOINT C\n{\nCHANNELS 3 Yrotation "
                             "Xrotation Zrotation\nEnd Site\n{\n}\n}\n}\n";
    const PoseConvention ipi = PoseConvention::ipiStudio();

private slots:
    // The closed-form product must give the generic product's floats: sin(-0) = -0, which the
    // generic product turns into +0 in places (-0 + 0 = +0), and 0 * NaN is NaN, which spreads
    // to elements a closed form would leave at 0.
    void fastProductMatchesGenericProduct_data()
    {
        QTest::addColumn<Vector3f>("angles"); // radians
        const float cases[] = {
            -0.0f, -0.0f, -0.0f,     -0.0f,      0.5f,     0.25f, 0.5f,   -0.0f,      0.25f, 0.5f,
            0.25f, -0.0f, 1.570795f, -1.570795f, 3.14159f, 1e30f, -3e38f, 12345.678f, NAN,   0.5f,
            0.25f, 0.5f,  INFINITY,  -INFINITY,  -7.25f,   3.5f,  9.875f, 2.0f,       -0.0f, -6.5f};
        for (size_t i = 0; i < std::size(cases); i += 3)
            QTest::addRow("%g %g %g", cases[i], cases[i + 1], cases[i + 2])
                << Vector3f(cases[i], cases[i + 1], cases[i + 2]);
    }

    void fastProductMatchesGenericProduct()
    {
        QFETCH(Vector3f, angles);
        const Matrix3f expected =
            multiply(multiply(rotationX(angles.x()), rotationY(angles.y())), rotationZ(angles.z()));
        QVERIFY(
            sameFloats(fromRadians(angles.x(), angles.y(), angles.z()).data(), expected.data(), 9));
    }

    // Sines and cosines come from a fast path that must give the correctly rounded float of
    // the library's double-precision result, bit for bit: on the floats nearest to multiples
    // of pi/2 (where the argument reduction cancels most), on the only angles from 0.001 to
    // 1024 where the series' value, rounded without checking how near it lies to halfway
    // between two floats, is not the library's, and on zeros, subnormals, huge, infinite and
    // NaN angles.
    void sinesAndCosinesAreTheLibrarysRounded_data()
    {
        QTest::addColumn<float>("angle");
        std::vector<float> angles{0.0f,           1e-45f,    1e-30f,   1e-8f, 1024.0f,
                                  1e30f,          3e38f,     INFINITY, NAN,   0x1.3e42p+1f,
                                  0x1.c847eap+8f, 0.785398f, 2.356194f};
        angles.push_back(std::nextafter(1024.0f, 2000.0f));
        for (int k = 1; k <= 700; ++k) {
            float nearest = float(k * (M_PI / 2));
            for (int step = 0; step < 3; ++step, nearest = std::nextafter(nearest, 1e9f))
                angles.push_back(nearest);
        }
        for (const float angle : angles) {
            QTest::addRow("%a", angle) << angle;
            QTest::addRow("%a", -angle) << -angle;
        }
    }

    void sinesAndCosinesAreTheLibrarysRounded()
    {
        QFETCH(float, angle);
        const Matrix3f m = rotationX(angle);
        const float actual[2] = {m(1, 1), m(2, 1)};
        const float expected[2] = {float(std::cos(double(angle))), float(std::sin(double(angle)))};
        QVERIFY(sameFloats(actual, expected, 2));
        // The poses take three angles at once, each in a lane of its own: the same values (up
        // to the sign of a zero, which the product with the other, unturned, axes changes).
        const Matrix3f turns[3] = {RotationMath::fromRadians(angle, 0, 0),
                                   RotationMath::fromRadians(0, angle, 0),
                                   RotationMath::fromRadians(0, 0, angle)};
        const float batch[3][2] = {{turns[0](1, 1), turns[0](2, 1)},
                                   {turns[1](0, 0), turns[1](0, 2)},
                                   {turns[2](0, 0), turns[2](1, 0)}};
        for (const auto& lane : batch)
            for (int k = 0; k < 2; ++k)
                QVERIFY(lane[k] == expected[k] || (std::isnan(lane[k]) && std::isnan(expected[k])));
    }

    // Missing values become 0, extra values are ignored, and a value without a channel (here
    // the child's position, set by hand) keeps what the joint held: as setFrameValues does.
    void evaluateRowOfUnusualRows_data()
    {
        QTest::addColumn<QList<double>>("row");
        QTest::newRow("whole row") << QList<double>{1, 2, 3, 10, 20, 30, -40, 50, -60};
        QTest::newRow("short row") << QList<double>{1, 2, 3, 10};
        QTest::newRow("empty row") << QList<double>{};
        QTest::newRow("long row") << QList<double>{1, 2, 3, 10, 20, 30, -40, 50, -60, 7, 8};
        QTest::newRow("negative zeros") << QList<double>{-0.0, 0, -0.0, -0.0, -0.0, -0.0, -0.0};
        QTest::newRow("huge values") << QList<double>{1e300, 0, 0, 1e300, 0, 0, 0, 0, 0};
    }

    void evaluateRowOfUnusualRows()
    {
        QFETCH(QList<double>, row);
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, chain));
        const QList<BvhJoint*> joints = motion.root->getAllJoints();
        joints[2]->setOffset(0, 4, 1);
        joints[1]->setOffset(1, 2, 3);
        joints[1]->setPosition(Vector3f(0.5f, -0.25f, 2));
        joints[0]->setRotation(Vector3f(11, 12, 13));
        PoseEvaluator evaluator(motion.root, ipi);
        const std::span<const double> values(row.constData(), size_t(row.size()));
        evaluator.evaluateRow(values);
        motion.root->setFrameValues(values);
        for (qsizetype i = 0; i < joints.size(); ++i)
            QVERIFY2(TestSupport::sameBits(evaluator.getPosition(i),
                                           PoseEvaluator::positionOf(*joints[i], ipi)),
                     qPrintable(QStringLiteral("joint %1").arg(i)));
    }

    // One motion (the small one, its root's OFFSET moved to (0, 90, 0)) posed under either
    // convention, as asked. Under the standard one, position channels replace the OFFSET and
    // the exact pi takes Spine's End Site, 5 above it, straight below it in half a turn; under
    // iPi Studio's the channels add to the OFFSET and pi = 3.14159 leaves it 1.3e-5 aside. With
    // pi = 3.14159 a right angle's cosine is about 1.3e-6, not 0, either.
    void conventions_data()
    {
        QTest::addColumn<PoseConvention>("convention");
        QTest::addColumn<QList<double>>("row");
        QTest::addColumn<int>("joint");
        QTest::addColumn<Vector3f>("expected");
        const QList<double> half{0, 0, 0, 0, 0, 0, 180, 0, 0, 0, 0, 0};
        QTest::newRow("standard, half turn")
            << PoseConvention::standard() << half << 2 << Vector3f(0, 5, 0);
        QTest::newRow("iPi Studio, half turn") << ipi << half << 2 << Vector3f(-1.3268e-5f, 95, 0);
        QTest::newRow("iPi Studio, root moved, Spine about x")
            << ipi << QList<double>{1, 2, 3, 0, 0, 0, 0, 90, 0, 0, 0, 0} << 2
            << Vector3f(1, 102, 8);
        QTest::newRow("iPi Studio, Hips about y")
            << ipi << QList<double>{0, 0, 0, 0, 0, 90, 0, 0, 0, 0, 0, 0} << 4
            << Vector3f(0, 80, -3);
    }

    void conventions()
    {
        QFETCH(PoseConvention, convention);
        QFETCH(QList<double>, row);
        QFETCH(int, joint);
        QFETCH(Vector3f, expected);
        BvhFile motion;
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(1)));
        motion.root->setOffset(0, 90, 0);
        PoseEvaluator evaluator(motion.root, convention);
        evaluator.evaluateRow({row.constData(), size_t(row.size())});
        QVERIFY2(TestSupport::nearlyEqual(evaluator.getPosition(joint), expected, 1e-5f),
                 qPrintable(TestSupport::toString(evaluator.getPosition(joint))));
        PoseConvention otherPi = convention; // all else equal, the poses differ
        otherPi.pi = convention.pi == ipi.pi ? PoseConvention::exactPi : ipi.pi;
        const PoseEvaluator other(motion.root, otherPi);
        QVERIFY(!evaluator.hasSameSetup(other) && !other.hasSameSetup(evaluator));
    }

    // In a declared order the rotation axes follow the CHANNELS line; missing axes follow in
    // x y z order, and a repeated channel counts once. The fixed order ignores the line.
    void rotationAxes_data()
    {
        QTest::addColumn<QString>("channels");
        QTest::addColumn<RotationOrder>("order");
        QTest::addColumn<QString>("axes");
        const RotationOrder declared = RotationOrder::Declared;
        QTest::newRow("Z X Y") << "Zrotation Xrotation Yrotation" << declared << "2 0 1";
        QTest::newRow("after positions")
            << "Xposition Yposition Zposition Yrotation Xrotation Zrotation" << declared << "1 0 2";
        QTest::newRow("no channel") << "" << declared << "0 1 2";
        QTest::newRow("repeated channel") << "Yrotation Yrotation Xrotation" << declared << "1 0 2";
        QTest::newRow("fixed") << "Zrotation Xrotation Yrotation" << RotationOrder::Fixed
                               << "0 1 2";
    }

    void rotationAxes()
    {
        QFETCH(QString, channels);
        QFETCH(RotationOrder, order);
        QFETCH(QString, axes);
        BvhJoint joint;
        for (const QString& channel : channels.split(' ', Qt::SkipEmptyParts))
            joint.addChannel(channel);
        const RotationAxes actual = joint.getRotationAxes(order);
        QCOMPARE(Vector3f(actual[0], actual[1], actual[2]), TestSupport::toVector(axes));
    }

    // Back from a matrix, the middle angle stays within +-90 and the outer two within
    // (-180, 180] (folding others into that range), and the angles give the same rotation, the
    // gimbal-locked ones included; angles already in that range come back as they went in.
    // The matrix really is the product in the order asked for (x y z: the fixed order's own
    // functions).
    void eulerRoundTrip_data()
    {
        QTest::addColumn<RotationAxes>("order");
        QTest::addColumn<Vector3f>("angles");
        const float angles[] = {-359.5f, -180, -123.4f, -90, -47, 0, 33.3f, 90, 151, 180, 270};
        for (const float x : angles) {
            for (const float y : angles) {
                for (const float z : angles)
                    QTest::addRow("xyz %g %g %g", x, y, z)
                        << fixedRotationAxes << Vector3f(x, y, z);
            }
        }
        for (const RotationAxes& order : std::initializer_list<RotationAxes>{
                 {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}}) {
            const char name[] = {char('x' + order[0]), char('x' + order[1]), char('x' + order[2]),
                                 0};
            Vector3f wide(150, -170, 120);
            wide[order[1]] = 35;
            QTest::addRow("%s 10 20 30", name) << order << Vector3f(10, 20, 30);
            QTest::addRow("%s wide", name) << order << wide;
        }
    }

    void eulerRoundTrip()
    {
        QFETCH(RotationAxes, order);
        QFETCH(Vector3f, angles);
        const bool fixed = order == fixedRotationAxes;
        const Matrix3f matrix = fixed ? BvhJoint::eulerToMatrix(angles.x(), angles.y(), angles.z())
                                      : BvhJoint::eulerToMatrix(angles, order);
        const Vector3f back =
            fixed ? BvhJoint::matrixToEuler(matrix) : BvhJoint::matrixToEuler(matrix, order);
        const auto outer = [&](const Vector3f& a) {
            return a[order[0]] > -180 && a[order[0]] <= 180 && a[order[2]] > -180 &&
                   a[order[2]] <= 180;
        };
        QVERIFY2(back.allFinite() && outer(back) && std::abs(back[order[1]]) <= 90 &&
                     sameRotation(BvhJoint::eulerToMatrix(back, order), matrix, 1e-4f),
                 qPrintable(TestSupport::toString(back)));
        QVERIFY(!outer(angles) || std::abs(angles[order[1]]) >= 89 ||
                TestSupport::nearlyEqual(back, angles, 2e-3f));
        const auto turn = [&](int axis) { // with pi = 3.14159, as the conversions take it
            return Eigen::Quaterniond(
                Eigen::AngleAxisd(angles[axis] * 3.14159 / 180.0, Eigen::Vector3d::Unit(axis)));
        };
        const Eigen::Quaterniond q = turn(order[0]) * turn(order[1]) * turn(order[2]);
        QVERIFY(sameRotation(q.toRotationMatrix().cast<float>(), matrix, 1e-5f));
    }
};

QTEST_GUILESS_MAIN(TestPose)
#include "tst_pose.moc"

#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "model/rotationmath.h"
#include "support/testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

// Pose evaluation (single precision, pi = 3.14159, Rx * Ry * Rz whatever the channel order) and
// the rotation conversions of the interpolation.
class TestPose : public QObject
{
    Q_OBJECT

private:
    // Rotation matrices compared element by element; float products of three rotations carry
    // errors of a few 1e-7.
    static bool sameRotation(const Matrix3f& a, const Matrix3f& b, float tolerance = 2e-5f)
    {
        return (a - b).cwiseAbs().maxCoeff() <= tolerance;
    }

    struct Chain
    {
        BvhJoint* root = new BvhJoint;
        BvhJoint* child = new BvhJoint;
        Chain()
        {
            child->setParentJoint(root);
            root->addChild(child);
        }
        ~Chain() { delete root; }
    };

private slots:
    void rootTranslationIsNotRotated()
    {
        Chain chain;
        chain.root->setOffset(1, 2, 3);
        chain.root->setPosition(Vector3f(10, 0, 0));
        chain.root->setRotation(Vector3f(30, 60, 90));
        QCOMPARE(chain.root->getAbsolutePosition(), Vector3f(11, 2, 3));
        QCOMPARE(chain.root->getGlobalPosition(), Vector3f(11, 2, 3));
    }

    void childPositions_data()
    {
        QTest::addColumn<Vector3f>("rootRotation");
        QTest::addColumn<Vector3f>("childOffset");
        QTest::addColumn<Vector3f>("expected");
        // With pi = 3.14159 a right angle's cosine is about 1.27e-6, not 0.
        QTest::newRow("y 90") << Vector3f(0, 90, 0) << Vector3f(1, 0, 0)
                              << Vector3f(1.2654e-6f, 0, -1);
        QTest::newRow("x 90") << Vector3f(90, 0, 0) << Vector3f(0, 1, 0)
                              << Vector3f(0, 1.2654e-6f, 1);
        QTest::newRow("z 90") << Vector3f(0, 0, 90) << Vector3f(1, 0, 0)
                              << Vector3f(1.2654e-6f, 1, 0);
    }

    void childPositions()
    {
        QFETCH(Vector3f, rootRotation);
        QFETCH(Vector3f, childOffset);
        QFETCH(Vector3f, expected);
        Chain chain;
        chain.root->setRotation(rootRotation);
        chain.child->setOffset(childOffset.x(), childOffset.y(), childOffset.z());
        const Vector3f absolute = chain.child->getAbsolutePosition();
        QVERIFY2(TestSupport::nearlyEqual(absolute, expected, 1e-7f),
                 qPrintable(TestSupport::toString(absolute)));
        // The cosine of the approximate right angle really is not zero.
        QVERIFY(std::abs(absolute.x() + absolute.y() + absolute.z()) > 0.5f);
    }

    void channelOrderDoesNotChangeTheMatrix()
    {
        BvhJoint zxy, xyz;
        for (const char* name : {"Zrotation", "Xrotation", "Yrotation"})
            zxy.addChannel(QString::fromLatin1(name));
        for (const char* name : {"Xrotation", "Yrotation", "Zrotation"})
            xyz.addChannel(QString::fromLatin1(name));
        zxy.setFrameValues(QList<double>{50, 30, 40}); // z, x, y
        xyz.setFrameValues(QList<double>{30, 40, 50});
        QCOMPARE(zxy.getRotation(), xyz.getRotation());
        QCOMPARE(zxy.getRotationMatrix(), xyz.getRotationMatrix());
        QVERIFY(sameRotation(xyz.getRotationMatrix(), BvhJoint::eulerToMatrix(30, 40, 50)));
    }

    void absoluteAndGlobalPositionsAgree()
    {
        for (const QString& name : TestSupport::realBvhFiles()) {
            BvhFile file;
            QVERIFY(file.readFile(TestSupport::dataPath("real/" + name)).ok());
            PoseEvaluator evaluator(file.root);
            const QList<BvhJoint*> joints = file.root->getAllJoints();
            for (int frame : {0, int(file.frames.size()) / 2, int(file.frames.size()) - 1}) {
                file.setCurrentFrame(frame);
                evaluator.evaluate();
                for (qsizetype i = 0; i < joints.size(); ++i) {
                    const Vector3f absolute = joints[i]->getAbsolutePosition();
                    // The cache must give the very same floats, not just close ones.
                    QCOMPARE(evaluator.getPosition(i), absolute);
                    const Vector3f global = joints[i]->getGlobalPosition();
                    const float scale = std::max(1.0f, absolute.cwiseAbs().maxCoeff());
                    QVERIFY2(TestSupport::nearlyEqual(absolute, global, 2e-5f * scale),
                             qPrintable(name + ": " + joints[i]->getName()));
                }
            }
        }
    }

    void fastProductMatchesGenericProduct_data()
    {
        QTest::addColumn<Vector3f>("radians");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float infinity = std::numeric_limits<float>::infinity();
        // sin(-0) = -0: the generic product turns some of those into +0 (-0 + 0 = +0), and
        // a closed form that just copied the sine would keep -0 and change the bytes written.
        QTest::newRow("negative zeros") << Vector3f(-0.0f, -0.0f, -0.0f);
        QTest::newRow("negative zero x") << Vector3f(-0.0f, 0.5f, 0.25f);
        QTest::newRow("negative zero y") << Vector3f(0.5f, -0.0f, 0.25f);
        QTest::newRow("negative zero z") << Vector3f(0.5f, 0.25f, -0.0f);
        QTest::newRow("right angles") << Vector3f(1.570795f, -1.570795f, 3.14159f);
        QTest::newRow("huge") << Vector3f(1e30f, -3e38f, 12345.678f);
        // 0 * NaN is NaN: NaN spreads to elements a closed form would leave at 0.
        QTest::newRow("not a number") << Vector3f(nan, 0.5f, 0.25f);
        QTest::newRow("infinite") << Vector3f(0.5f, infinity, -infinity);
    }

    void fastProductMatchesGenericProduct()
    {
        QFETCH(Vector3f, radians);
        using namespace RotationMath;
        const Matrix3f expected = multiply(multiply(rotationX(radians.x()), rotationY(radians.y())),
                                           rotationZ(radians.z()));
        const Matrix3f actual = fromRadians(radians.x(), radians.y(), radians.z());
        for (int i = 0; i < 9; ++i) {
            // Which NaN a sum of NaNs gives depends on the operand order the compiler picks,
            // in the generic product too; only NaN against NaN is asked for.
            const bool bothNaN = std::isnan(actual.data()[i]) && std::isnan(expected.data()[i]);
            QVERIFY2(bothNaN || std::bit_cast<quint32>(actual.data()[i]) ==
                                    std::bit_cast<quint32>(expected.data()[i]),
                     qPrintable(QStringLiteral("element %1: %2, expected %3")
                                    .arg(i)
                                    .arg(actual.data()[i])
                                    .arg(expected.data()[i])));
        }
    }

    void fastProductOnRandomAngles()
    {
        QRandomGenerator random(5);
        using namespace RotationMath;
        for (int i = 0; i < 20000; ++i) {
            float angle[3];
            for (float& a : angle)
                a = random.bounded(8) == 0 ? -0.0f : float(random.bounded(20.0) - 10.0);
            const Matrix3f expected =
                multiply(multiply(rotationX(angle[0]), rotationY(angle[1])), rotationZ(angle[2]));
            const Matrix3f actual = fromRadians(angle[0], angle[1], angle[2]);
            QVERIFY(std::memcmp(actual.data(), expected.data(), sizeof(float) * 9) == 0);
        }
    }

    // Sines and cosines come from a fast path that must give the correctly rounded float of
    // the library's double-precision result, bit for bit: on random angles of every size, on
    // the floats nearest to multiples of pi/2 (where the argument reduction cancels most),
    // on every float of two ranges around odd multiples of pi/4, and on zeros, subnormals,
    // huge, infinite and NaN angles.
    void sinesAndCosinesAreTheLibrarysRounded()
    {
        std::vector<float> angles{0.0f,
                                  -0.0f,
                                  1e-45f,
                                  -1e-45f,
                                  1e-30f,
                                  1e-8f,
                                  1024.0f,
                                  -1024.0f,
                                  std::nextafter(1024.0f, 2000.0f),
                                  1e30f,
                                  -3e38f,
                                  std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::quiet_NaN()};
        for (int k = 1; k <= 700; ++k) {
            float nearest = float(k * (M_PI / 2));
            for (int step = 0; step < 3; ++step) {
                angles.push_back(nearest);
                angles.push_back(-nearest);
                nearest = std::nextafter(nearest, 1e9f);
            }
        }
        // Every float where the reduced argument is largest and the series' error with it.
        for (const auto& [from, to] : {std::pair(0.77f, 0.80f), std::pair(-2.37f, -2.34f)}) {
            for (float angle = from; angle < to; angle = std::nextafter(angle, to))
                angles.push_back(angle);
        }
        QRandomGenerator random(11);
        for (int i = 0; i < 200000; ++i) {
            const float uniform = float(random.bounded(2200.0) - 1100.0);
            const quint32 bits = random.generate(); // any float at all, sign and exponent
            angles.push_back(i % 4 == 0 ? std::bit_cast<float>(bits) : uniform);
        }
        const auto same = [](float a, float b) {
            return std::bit_cast<quint32>(a) == std::bit_cast<quint32>(b) ||
                   (std::isnan(a) && std::isnan(b));
        };
        for (const float angle : angles) {
            const Matrix3f m = RotationMath::rotationX(angle);
            const float cosine = float(std::cos(double(angle)));
            const float sine = float(std::sin(double(angle)));
            if (!same(m(1, 1), cosine) || !same(m(2, 1), sine))
                QFAIL(qPrintable(QStringLiteral("angle %1: cos %2 sin %3, expected %4 %5")
                                     .arg(double(angle), 0, 'g', 9)
                                     .arg(double(m(1, 1)), 0, 'g', 9)
                                     .arg(double(m(2, 1)), 0, 'g', 9)
                                     .arg(double(cosine), 0, 'g', 9)
                                     .arg(double(sine), 0, 'g', 9)));
        }
    }

    // (That evaluateRow() gives getAbsolutePosition()'s very floats in every frame of the real
    // recordings is checked by the C3D export's sweep, which writes them.)
    void copyEvaluatesAlikeAndStandsAlone_data() { TestSupport::addRealFileRows(); }

    // The converter writes several outputs at once, each from a copy of the motion: a copy
    // must give the same positions in every frame (rotation convention and held values
    // included), and changing it must leave the original as it was.
    void copyEvaluatesAlikeAndStandsAlone()
    {
        QFETCH(QString, file);
        BvhFile motion;
        motion.setRotationOrder(RotationOrder::Declared);
        QVERIFY(motion.readFile(TestSupport::dataPath("real/" + file)).ok());
        motion.setCurrentFrame(motion.rowCount() / 2);
        const std::unique_ptr<BvhFile> copy = motion.copy();
        QCOMPARE(copy->root->getAllJointNames(), motion.root->getAllJointNames());
        QCOMPARE(copy->getRotationOrder(), RotationOrder::Declared);
        QCOMPARE(copy->currentFrame, motion.currentFrame);
        QVERIFY(copy->frames.constData() == motion.frames.constData()); // rows not copied

        PoseEvaluator original(motion.root);
        PoseEvaluator copied(copy->root);
        const QList<BvhJoint*> joints = original.getJoints();
        for (int frame = 0; frame < motion.rowCount();
             frame += std::max(1, motion.rowCount() / 20)) {
            const QList<double>& row = std::as_const(motion.frames)[frame];
            original.evaluateRow(row.constData(), row.size());
            copied.evaluateRow(row.constData(), row.size());
            for (qsizetype i = 0; i < joints.size(); ++i)
                QVERIFY(TestSupport::sameBits(copied.getPosition(i), original.getPosition(i)));
        }

        const Vector3f before = motion.root->getAbsolutePosition();
        copy->frames.first().fill(12.5);
        copy->setCurrentFrame(0);
        copy->root->setOffset(1000, 0, 0);
        QVERIFY(TestSupport::sameBits(motion.root->getAbsolutePosition(), before));
        QVERIFY(std::as_const(motion.frames).first() != std::as_const(copy->frames).first());
        QVERIFY(!BvhFile().copy()->root);
    }

    void evaluateRowOfUnusualRows_data()
    {
        QTest::addColumn<QList<double>>("row");
        QTest::newRow("full row") << QList<double>{1, 2, 3, 10, 20, 30, -40, 50, -60};
        QTest::newRow("short row") << QList<double>{1, 2, 3, 10};
        QTest::newRow("empty row") << QList<double>{};
        QTest::newRow("long row") << QList<double>{1, 2, 3, 10, 20, 30, -40, 50, -60, 7, 8};
        QTest::newRow("negative zeros") << QList<double>{-0.0, 0, -0.0, -0.0, -0.0, -0.0, -0.0};
        QTest::newRow("beyond float range") << QList<double>{1e300, 0, 0, 1e300, 0, 0, 0, 0, 0};
    }

    // Missing values become 0, extra values are ignored, and a value without a channel (here
    // the child's position, set by hand) keeps what the joint held: as setFrameValues does.
    void evaluateRowOfUnusualRows()
    {
        QFETCH(QList<double>, row);
        Chain chain;
        for (const char* name :
             {"Xposition", "Yposition", "Zposition", "Zrotation", "Xrotation", "Yrotation"})
            chain.root->addChannel(QString::fromLatin1(name));
        for (const char* name : {"Yrotation", "Xrotation", "Zrotation"})
            chain.child->addChannel(QString::fromLatin1(name));
        auto* tip = new BvhJoint;
        tip->setParentJoint(chain.child);
        chain.child->addChild(tip);
        tip->setOffset(0, 4, 1);
        chain.child->setOffset(1, 2, 3);
        chain.child->setPosition(Vector3f(0.5f, -0.25f, 2));
        chain.root->setRotation(Vector3f(11, 12, 13));

        PoseEvaluator evaluator(chain.root);
        evaluator.evaluateRow(row.constData(), row.size());
        chain.root->setFrameValues(row);
        const QList<BvhJoint*> joints = chain.root->getAllJoints();
        for (qsizetype i = 0; i < joints.size(); ++i)
            QVERIFY2(
                TestSupport::sameBits(evaluator.getPosition(i), joints[i]->getAbsolutePosition()),
                qPrintable(TestSupport::toString(evaluator.getPosition(i)) + " vs " +
                           TestSupport::toString(joints[i]->getAbsolutePosition())));
    }

    void eulerRoundTrip_data()
    {
        QTest::addColumn<Vector3f>("angles");
        QTest::addColumn<Vector3f>("expected");
        QTest::newRow("small") << Vector3f(30, 40, 50) << Vector3f(30, 40, 50);
        QTest::newRow("beyond 90 about y folds into x and z")
            << Vector3f(0, 120, 0) << Vector3f(180, 60, 180);
        QTest::newRow("120 about z") << Vector3f(0, 0, 120) << Vector3f(0, 0, 120);
        QTest::newRow("negative x") << Vector3f(-170, 10, 100) << Vector3f(-170, 10, 100);
    }

    void eulerRoundTrip()
    {
        QFETCH(Vector3f, angles);
        QFETCH(Vector3f, expected);
        const Matrix3f matrix = BvhJoint::eulerToMatrix(angles.x(), angles.y(), angles.z());
        const Vector3f back = BvhJoint::matrixToEuler(matrix);
        QVERIFY2(TestSupport::nearlyEqual(back, expected, 2e-3f),
                 qPrintable(TestSupport::toString(back)));
    }

    void eulerRoundTripGivesTheSameRotationEverywhere()
    {
        QRandomGenerator random(7);
        const double special[] = {-180, -90, 0, 90, 180, 270};
        for (int i = 0; i < 20000; ++i) {
            double angle[3];
            for (double& a : angle) {
                a = random.bounded(4) == 0 ? special[random.bounded(6)]
                                           : random.bounded(720.0) - 360.0;
            }
            const Matrix3f matrix = BvhJoint::eulerToMatrix(angle[0], angle[1], angle[2]);
            const Vector3f back = BvhJoint::matrixToEuler(matrix);
            QVERIFY(back.allFinite());
            QVERIFY(back.x() > -180.0f && back.x() <= 180.0f);
            QVERIFY(back.z() > -180.0f && back.z() <= 180.0f);
            QVERIFY(back.y() >= -90.0f && back.y() <= 90.0f);
            QVERIFY2(
                sameRotation(BvhJoint::eulerToMatrix(back.x(), back.y(), back.z()), matrix, 1e-4f),
                qPrintable(QStringLiteral("%1 %2 %3").arg(angle[0]).arg(angle[1]).arg(angle[2])));
        }
    }

    void quaternions_data()
    {
        QTest::addColumn<Matrix3f>("matrix");
        QTest::addColumn<Vector4f>("expected");
        QTest::newRow("identity") << Matrix3f(Matrix3f::Identity()) << Vector4f(0, 0, 0, 1);
        QTest::newRow("half turn about x")
            << Matrix3f(Vector3f(1, -1, -1).asDiagonal()) << Vector4f(1, 0, 0, 0);
        QTest::newRow("half turn about y")
            << Matrix3f(Vector3f(-1, 1, -1).asDiagonal()) << Vector4f(0, 1, 0, 0);
        QTest::newRow("half turn about z")
            << Matrix3f(Vector3f(-1, -1, 1).asDiagonal()) << Vector4f(0, 0, 1, 0);
        QTest::newRow("zero matrix") << Matrix3f(Matrix3f::Zero()) << Vector4f(0, 0, 0, 1);
    }

    void quaternions()
    {
        QFETCH(Matrix3f, matrix);
        QFETCH(Vector4f, expected);
        const Vector4f q = BvhJoint::matrixToQuaternion(matrix);
        QVERIFY((q - expected).cwiseAbs().maxCoeff() < 1e-6f);
    }

    void quaternionRoundTripNearHalfTurns()
    {
        QRandomGenerator random(11);
        for (int i = 0; i < 20000; ++i) {
            // Angles close to 180 degrees about random axes are where a naive conversion
            // divides by a tiny w.
            const double x = random.bounded(360.0) - 180.0, y = random.bounded(180.0) - 90.0;
            const double z = 180.0 - random.bounded(1e-3);
            const Matrix3f matrix = BvhJoint::eulerToMatrix(x, y, z);
            const Vector4f q = BvhJoint::matrixToQuaternion(matrix);
            QVERIFY(q.allFinite());
            QVERIFY(q.w() >= 0.0f);
            QVERIFY(std::abs(q.norm() - 1.0f) < 1e-5f);
            QVERIFY(sameRotation(BvhJoint::quaternionToMatrix(q), matrix, 1e-5f));
        }
    }

    void quaternionToMatrixDoesNotNormalise()
    {
        const Matrix3f m = BvhJoint::quaternionToMatrix(Vector4f(0, 0, 0, 2));
        QCOMPARE(m, Matrix3f(Vector3f(4, 4, 4).asDiagonal()));
    }
};

QTEST_GUILESS_MAIN(TestPose)
#include "tst_pose.moc"

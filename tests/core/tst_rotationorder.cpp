#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <Eigen/Geometry>

#include <algorithm>
#include <utility>

// The two rotation conventions: Fixed (Rx * Ry * Rz, the default, unchanged) and Declared (the
// product in CHANNELS order), checked on real recordings against an evaluation of this test's
// own, and in the conversions the interpolation uses.
class TestRotationOrder : public QObject
{
    Q_OBJECT

private:
    // Absolute positions of every joint for one frame row, computed in double precision with
    // quaternions: each joint's rotation is the product of its rotation channels' quaternions
    // in the order its CHANNELS line lists them; position channels add to the offset. Degrees
    // become radians with the program's pi = 3.14159.
    static std::vector<Eigen::Vector3d> quaternionPositions(const QList<BvhJoint*>& joints,
                                                            const QList<double>& row)
    {
        std::vector<Eigen::Quaterniond> global(size_t(joints.size()));
        std::vector<Eigen::Vector3d> positions(size_t(joints.size()));
        qsizetype column = 0;
        for (qsizetype i = 0; i < joints.size(); ++i) {
            const BvhJoint* joint = joints[i];
            Eigen::Vector3d local = joint->getOffset().cast<double>();
            Eigen::Quaterniond own = Eigen::Quaterniond::Identity();
            for (int k = 0; k < joint->getNumChannels(); ++k) {
                const double value = column < row.size() ? row[column] : 0.0;
                ++column;
                const QString name = joint->getChannelName(k);
                const int axis = name.at(0).toLatin1() - 'X';
                if (name.endsWith(QLatin1String("position")))
                    local[axis] += value;
                else
                    own = own * Eigen::Quaterniond(Eigen::AngleAxisd(value * 3.14159 / 180.0,
                                                                     Eigen::Vector3d::Unit(axis)));
            }
            const qsizetype parent = joints.indexOf(joint->getParentJoint());
            if (parent < 0) {
                positions[size_t(i)] = local;
                global[size_t(i)] = own;
            } else {
                positions[size_t(i)] = positions[size_t(parent)] + global[size_t(parent)] * local;
                global[size_t(i)] = global[size_t(parent)] * own;
            }
        }
        return positions;
    }

    static double extent(const std::vector<Eigen::Vector3d>& points)
    {
        Eigen::Vector3d low = points.front(), high = points.front();
        for (const Eigen::Vector3d& p : points) {
            low = low.cwiseMin(p);
            high = high.cwiseMax(p);
        }
        return (high - low).maxCoeff();
    }

private slots:
    // Fixed is the default; the order chosen outlives clear() and reaches the joints read.
    void fixedIsTheDefaultAndTheChoiceIsKept()
    {
        BvhFile motion;
        QCOMPARE(motion.getRotationOrder(), RotationOrder::Fixed);
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(2)));
        for (const BvhJoint* joint : motion.root->getAllJoints())
            QCOMPARE(joint->getRotationOrder(), RotationOrder::Fixed);
        motion.setRotationOrder(RotationOrder::Declared);
        motion.clear();
        QCOMPARE(motion.getRotationOrder(), RotationOrder::Declared);
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(2)));
        QCOMPARE(motion.root->getAllJoints().last()->getRotationOrder(), RotationOrder::Declared);
    }

    void realFiles_data() { TestSupport::addRealFileRows(); }

    // As declared, every joint of every frame agrees with the quaternion evaluation to 1e-4 of
    // the skeleton's size, and the pose evaluator gives the very same floats.
    void realFiles()
    {
        QFETCH(QString, file);
        BvhFile motion;
        motion.setRotationOrder(RotationOrder::Declared);
        QVERIFY(motion.readFile(TestSupport::dataPath("real/" + file)).ok());
        const QList<BvhJoint*> joints = motion.root->getAllJoints();
        for (const BvhJoint* joint : joints)
            QCOMPARE(joint->getRotationOrder(), RotationOrder::Declared);
        PoseEvaluator evaluator(motion.root);
        const double tolerance =
            1e-4 * extent(quaternionPositions(joints, std::as_const(motion.frames)[0]));
        for (int frame = 0; frame < motion.rowCount(); ++frame) {
            const QList<double>& row = std::as_const(motion.frames)[frame];
            const std::vector<Eigen::Vector3d> expected = quaternionPositions(joints, row);
            motion.setCurrentFrame(frame);
            evaluator.evaluateRow(row.constData(), row.size());
            for (qsizetype i = 0; i < joints.size(); ++i) {
                const Vector3f actual = joints[i]->getAbsolutePosition();
                const double error = (actual.cast<double>() - expected[size_t(i)]).norm();
                if (error > tolerance)
                    QFAIL(qPrintable(QStringLiteral("frame %1, joint %2 (#%3): off by %4")
                                         .arg(frame)
                                         .arg(joints[i]->getName())
                                         .arg(i)
                                         .arg(error)));
                QVERIFY(TestSupport::sameBits(evaluator.getPosition(i), actual));
            }
        }
    }

    // Switching to Declared and back restores the fixed results bit for bit; files whose
    // channels are not X Y Z really move under Declared.
    void fixedIsKeptBitForBit()
    {
        QFETCH(QString, file);
        BvhFile fixed, switched;
        QVERIFY(fixed.readFile(TestSupport::dataPath("real/" + file)).ok());
        switched.setRotationOrder(RotationOrder::Declared);
        QVERIFY(switched.readFile(TestSupport::dataPath("real/" + file)).ok());
        const QList<BvhJoint*> fixedJoints = fixed.root->getAllJoints();
        const QList<BvhJoint*> switchedJoints = switched.root->getAllJoints();
        const int frame = fixed.rowCount() / 2;
        fixed.setCurrentFrame(frame);
        switched.setCurrentFrame(frame);
        bool moved = false;
        for (qsizetype i = 0; i < fixedJoints.size(); ++i)
            moved = moved || fixedJoints[i]->getAbsolutePosition() !=
                                 switchedJoints[i]->getAbsolutePosition();
        // Two orders of the same angles give different matrices once two of them are not 0.
        bool differentMatrix = false;
        for (const BvhJoint* joint : switchedJoints) {
            const Vector3f r = joint->getRotation();
            const int turned = (r.x() != 0) + (r.y() != 0) + (r.z() != 0);
            differentMatrix = differentMatrix || (joint->getNumChildren() > 0 && turned >= 2 &&
                                                  joint->getRotationAxes() != fixedRotationAxes);
        }
        QCOMPARE(moved, differentMatrix);

        switched.setRotationOrder(RotationOrder::Fixed);
        for (qsizetype i = 0; i < fixedJoints.size(); ++i)
            QVERIFY(TestSupport::sameBits(switchedJoints[i]->getAbsolutePosition(),
                                          fixedJoints[i]->getAbsolutePosition()));
    }
    void fixedIsKeptBitForBit_data() { realFiles_data(); }

    void rotationAxes_data()
    {
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<int>("order");
        QTest::addColumn<QList<int>>("axes");
        const QStringList zxy{"Zrotation", "Xrotation", "Yrotation"};
        QTest::newRow("fixed ignores the channel order")
            << zxy << int(RotationOrder::Fixed) << QList<int>{0, 1, 2};
        QTest::newRow("declared Z X Y")
            << zxy << int(RotationOrder::Declared) << QList<int>{2, 0, 1};
        QTest::newRow("declared after positions")
            << QStringList{"Xposition", "Yposition", "Zposition",
                           "Yrotation", "Xrotation", "Zrotation"}
            << int(RotationOrder::Declared) << QList<int>{1, 0, 2};
        QTest::newRow("missing axes follow in x y z order")
            << QStringList{"Zrotation"} << int(RotationOrder::Declared) << QList<int>{2, 0, 1};
        QTest::newRow("no rotation channels")
            << QStringList{} << int(RotationOrder::Declared) << QList<int>{0, 1, 2};
        QTest::newRow("a repeated channel counts once")
            << QStringList{"Yrotation", "Yrotation", "Xrotation"} << int(RotationOrder::Declared)
            << QList<int>{1, 0, 2};
    }

    void rotationAxes()
    {
        QFETCH(QStringList, channels);
        QFETCH(int, order);
        QFETCH(QList<int>, axes);
        BvhJoint joint;
        for (const QString& channel : channels)
            joint.addChannel(channel);
        joint.setRotationOrder(RotationOrder(order));
        const RotationAxes actual = joint.getRotationAxes();
        QCOMPARE((QList<int>{actual[0], actual[1], actual[2]}), axes);
    }

    void eulerRoundTripInEveryOrder_data()
    {
        QTest::addColumn<QList<int>>("axes");
        QTest::addColumn<Vector3f>("angles");
        const QList<QList<int>> orders{{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                       {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
        for (const QList<int>& order : orders) {
            QByteArray name;
            for (int axis : order)
                name += "xyz"[axis];
            // The middle angle (slot order[1]) within +-90, the outer two anywhere.
            Vector3f wide(150, -170, 120);
            wide[order[1]] = 35;
            Vector3f small(10, 20, 30);
            QTest::newRow((name + " small").constData()) << order << small;
            QTest::newRow((name + " beyond 90").constData()) << order << wide;
        }
    }

    // Full range, no folding: angles come back as they went in.
    void eulerRoundTripInEveryOrder()
    {
        QFETCH(QList<int>, axes);
        QFETCH(Vector3f, angles);
        const RotationAxes order{axes[0], axes[1], axes[2]};
        const Matrix3f matrix = BvhJoint::eulerToMatrix(angles, order);
        const Vector3f back = BvhJoint::matrixToEuler(matrix, order);
        QVERIFY2(TestSupport::nearlyEqual(back, angles, 2e-3f),
                 qPrintable(TestSupport::toString(back)));
        // The matrix really is the product in that order.
        Eigen::Quaterniond q = Eigen::Quaterniond::Identity();
        for (int axis : axes)
            q = q * Eigen::Quaterniond(Eigen::AngleAxisd(double(angles[axis]) * 3.14159 / 180.0,
                                                         Eigen::Vector3d::Unit(axis)));
        QVERIFY((q.toRotationMatrix().cast<float>() - matrix).cwiseAbs().maxCoeff() < 1e-5f);
    }

    void fixedOrderConversionsAreTheOldOnes()
    {
        const Vector3f angles(30, -40, 50);
        QCOMPARE(BvhJoint::eulerToMatrix(angles, fixedRotationAxes),
                 BvhJoint::eulerToMatrix(30, -40, 50));
    }

    // Interpolating between two equal rotations of a Z X Y joint whose outer angles are beyond
    // 90 degrees keeps them as they are under Declared, instead of folding them.
    void interpolationKeepsTheFileConvention()
    {
        BvhFile motion;
        motion.setRotationOrder(RotationOrder::Declared);
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(5)));
        for (int frame = 0; frame < 5; ++frame) {
            QList<double>& row = motion.frames[frame];
            row[6] = 160;  // Spine Zrotation
            row[7] = -20;  // Xrotation (the middle angle)
            row[8] = -135; // Yrotation
        }
        motion.frames[2][6] = 0; // something to interpolate away
        BvhMathObject physics;
        physics.setBvhFile(&motion);
        BvhJoint* spine = motion.root->getChild(0);
        physics.interpolateJoint(spine, 0, 4);
        for (int frame = 1; frame < 4; ++frame) {
            const QList<double>& row = motion.frames[frame];
            QVERIFY2(std::abs(row[6] - 160) < 1e-3 && std::abs(row[7] + 20) < 1e-3 &&
                         std::abs(row[8] + 135) < 1e-3,
                     qPrintable(QStringLiteral("frame %1: %2 %3 %4")
                                    .arg(frame)
                                    .arg(row[6])
                                    .arg(row[7])
                                    .arg(row[8])));
        }
    }
};

QTEST_GUILESS_MAIN(TestRotationOrder)
#include "tst_rotationorder.moc"

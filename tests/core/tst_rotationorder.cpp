#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "physics/interpolation.h"
#include "support/testsupport.h"

#include <QTest>

#include <Eigen/Geometry>

// The two rotation conventions: Fixed (Rx * Ry * Rz, the default) and Declared (the product in
// CHANNELS order), checked on real recordings against an evaluation of this test's own, and in
// the conversions the interpolation uses.
class TestRotationOrder : public QObject
{
    Q_OBJECT

private:
    static Eigen::Quaterniond turn(double degrees, int axis)
    {
        return Eigen::Quaterniond(
            Eigen::AngleAxisd(degrees * 3.14159 / 180.0, Eigen::Vector3d::Unit(axis)));
    }

    // Absolute positions of every joint for one frame row, computed in double precision with
    // quaternions: each joint's rotation is the product of its rotation channels' quaternions
    // in the order its CHANNELS line lists them (Declared) or in x, y, z order (Fixed);
    // position channels add to the offset. Degrees become radians with the program's
    // pi = 3.14159.
    static std::vector<Eigen::Vector3d> expectedPositions(const QList<BvhJoint*>& joints,
                                                          const QList<double>& row, bool declared)
    {
        std::vector<Eigen::Quaterniond> global(size_t(joints.size()));
        std::vector<Eigen::Vector3d> positions(size_t(joints.size()));
        qsizetype column = 0;
        for (qsizetype i = 0; i < joints.size(); ++i) {
            const BvhJoint* joint = joints[i];
            Eigen::Vector3d local = joint->getOffset().cast<double>(), angles(0, 0, 0);
            Eigen::Quaterniond own = Eigen::Quaterniond::Identity();
            for (int k = 0; k < joint->getNumChannels(); ++k, ++column) {
                const double value = row.value(column);
                const QString name = joint->getChannelName(k);
                const int axis = name.at(0).toLatin1() - 'X';
                if (name.endsWith(QLatin1String("position")))
                    local[axis] += value;
                else if (declared)
                    own = own * turn(value, axis);
                else
                    angles[axis] = value;
            }
            if (!declared)
                own = turn(angles.x(), 0) * turn(angles.y(), 1) * turn(angles.z(), 2);
            const qsizetype parent = joints.indexOf(joint->getParentJoint());
            positions[size_t(i)] =
                parent < 0 ? local : positions[size_t(parent)] + global[size_t(parent)] * local;
            global[size_t(i)] = parent < 0 ? own : global[size_t(parent)] * own;
        }
        return positions;
    }

private slots:
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

    void realFiles_data() { TestSupport::addRealFileRows(); }

    // In both conventions every joint of every frame agrees with the quaternion evaluation to
    // 1e-4 of the skeleton's size; a copy of the motion (the converter writes several outputs
    // at once, each from a copy) gives the very same floats, and so do the joints with the
    // row loaded; switching back to Fixed restores the fixed results bit for bit.
    void realFiles()
    {
        QFETCH(QString, file);
        BvhFile fixed, declared;
        declared.setRotationOrder(RotationOrder::Declared);
        QVERIFY(BvhReader(fixed).read(TestSupport::dataPath("real/" + file)).ok());
        QVERIFY(BvhReader(declared).read(TestSupport::dataPath("real/" + file)).ok());
        const int middle = declared.rowCount() / 2;
        declared.loadFrame(middle);
        const std::unique_ptr<BvhFile> copy = declared.copy();
        QCOMPARE(copy->getRotationOrder(), RotationOrder::Declared);
        QVERIFY(copy->frames.constData() == declared.frames.constData()); // rows not copied
        const QList<BvhJoint*> joints = declared.root->getAllJoints();
        PoseEvaluator evaluator(declared.root), fixedEvaluator(fixed.root), copied(copy->root);
        double extent = 0;
        for (const Eigen::Vector3d& p :
             expectedPositions(joints, std::as_const(declared.frames)[0], true))
            extent = std::max(extent, p.cwiseAbs().maxCoeff());
        for (int frame = 0; frame < declared.rowCount(); ++frame) {
            const QList<double>& row = std::as_const(declared.frames)[frame];
            evaluator.evaluateRow(row.constData(), row.size());
            fixedEvaluator.evaluateRow(row.constData(), row.size());
            copied.evaluateRow(row.constData(), row.size());
            for (const bool isDeclared : {true, false}) {
                const std::vector<Eigen::Vector3d> expected =
                    expectedPositions(joints, row, isDeclared);
                for (qsizetype i = 0; i < joints.size(); ++i) {
                    const Vector3f actual =
                        (isDeclared ? evaluator : fixedEvaluator).getPosition(i);
                    const double error = (actual.cast<double>() - expected[size_t(i)]).norm();
                    if (error > 1e-4 * extent)
                        QFAIL(qPrintable(QStringLiteral("%1, frame %2, joint %3: off by %4")
                                             .arg(isDeclared ? "declared" : "fixed")
                                             .arg(frame)
                                             .arg(i)
                                             .arg(error)));
                }
            }
            for (qsizetype i = 0; i < joints.size(); ++i)
                QVERIFY(TestSupport::sameBits(copied.getPosition(i), evaluator.getPosition(i)));
        }
        // The joints hold the middle row, the copy's too; changing the copy leaves them be.
        const QList<double>& row = std::as_const(declared.frames)[middle];
        evaluator.evaluateRow(row.constData(), row.size());
        PoseEvaluator held(declared.root), heldCopy(copy->root);
        heldCopy.evaluate();
        copy->frames.first().fill(12.5);
        copy->loadFrame(0);
        copy->root->setOffset(1000, 0, 0);
        held.evaluate();
        for (qsizetype i = 0; i < joints.size(); ++i) {
            QVERIFY(TestSupport::sameBits(held.getPosition(i), evaluator.getPosition(i)));
            QVERIFY(TestSupport::sameBits(heldCopy.getPosition(i), evaluator.getPosition(i)));
        }
        QVERIFY(std::as_const(declared.frames).first() != std::as_const(copy->frames).first());
        QVERIFY(!BvhFile().copy()->root);
        declared.setRotationOrder(RotationOrder::Fixed);
        fixed.loadFrame(middle);
        PoseEvaluator fixedHeld(fixed.root);
        held.evaluate();
        fixedHeld.evaluate();
        for (qsizetype i = 0; i < joints.size(); ++i)
            QVERIFY(TestSupport::sameBits(held.getPosition(i), fixedHeld.getPosition(i)));
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
                QVERIFY((q.toRotationMatrix().cast<float>() - matrix).cwiseAbs().maxCoeff() <
                        1e-5f);
            }
        }
    }

    // Interpolating between two equal rotations of a Z X Y joint whose outer angles are beyond
    // 90 degrees keeps them as they are under Declared, instead of folding them.
    void interpolationKeepsTheFileConvention()
    {
        BvhFile motion;
        motion.setRotationOrder(RotationOrder::Declared);
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(5)));
        for (int frame = 0; frame < 5; ++frame) // Spine's Z, X (the middle angle), Y
            std::copy_n(std::begin({160.0, -20.0, -135.0}), 3, motion.frames[frame].begin() + 6);
        motion.frames[2][6] = 0; // something to interpolate away
        Interpolation::interpolateJoint(motion, *motion.root->getChild(0), {0, 4});
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

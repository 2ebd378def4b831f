#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "support/testsupport.h"

#include <QPointer>
#include <QTest>

// The joint model: channel slots, DOF numbering, frame loading and writing back, lookups.
class TestBvhJoint : public QObject
{
    Q_OBJECT

private slots:
    void unknownChannelReadsZeroWithDiagnostic()
    {
        BvhJoint joint;
        for (const char* name : {"Xrotation", "Yrotation", "Zrotation"})
            joint.addChannel(QString::fromLatin1(name));
        QTest::ignoreMessage(QtDebugMsg, "BvhJoint::getChannelValue() Channel not found.");
        QCOMPARE(joint.getChannelValue(7), 0.0);
        QCOMPARE(joint.getChannelName(7), QString());
        joint.setChannelValue(QStringLiteral("Wrotation"), 5.0); // ignored, no crash
        QCOMPARE(joint.getRotation(), Vector3f(0, 0, 0));
    }

    void repeatedChannelSharesOneSlot()
    {
        BvhJoint joint;
        joint.addChannel(QStringLiteral("Xposition"));
        joint.addChannel(QStringLiteral("Xposition"));
        joint.setFrameValues(QList<double>{1.5, 2.5});
        QCOMPARE(joint.getPosition().x(), 2.5f);
        QCOMPARE(joint.getChannelValue(0), 2.5);
    }

    void valuesAreRoundedToFloat()
    {
        BvhJoint joint;
        joint.addChannel(QStringLiteral("Xrotation"));
        joint.setChannelValue(QStringLiteral("Xrotation"), 0.1);
        QCOMPARE(joint.getChannelValue(0), double(0.1f));
    }

    void dofNumberingAndShortRows()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(2)));
        // Hips 0-5, Spine 6-8, End Site none, LeftLeg 9-11.
        file.frames[1] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        file.setCurrentFrame(1);
        const BvhJoint* spine = file.root->getJointByName(QStringLiteral("Spine"));
        const BvhJoint* leg = file.root->getJointByName(QStringLiteral("LeftLeg"));
        QCOMPARE(spine->getRotation(), Vector3f(7, 8, 6));
        QCOMPARE(leg->getRotation(), Vector3f(0, 0, 9)); // 10 and 11 are missing: zeros
        QCOMPARE(file.root->getPosition(), Vector3f(0, 1, 2));
        QCOMPARE(file.currentFrame, 1);
    }

    void outOfRangeFramesAreIgnored()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(2)));
        file.setCurrentFrame(1);
        const Vector3f before = file.root->getPosition();
        file.setCurrentFrame(2);
        file.setCurrentFrame(-1);
        QCOMPARE(file.currentFrame, 1);
        QCOMPARE(file.root->getPosition(), before);
        QCOMPARE(file.root->getChild(5), nullptr);
        QCOMPARE(file.root->getChild(-1), nullptr);
    }

    void updateDataWritesOnlyTheJointsSlots()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(3)));
        file.setCurrentFrame(2);
        const QList<double> before = file.frames[2];
        BvhJoint* spine = file.root->getJointByName(QStringLiteral("Spine"));
        spine->setRotation(Vector3f(1.1f, 2.2f, 3.3f));
        file.updateData(spine);
        QList<double> expected = before;
        expected[6] = double(3.3f); // Zrotation first in Spine's channel list
        expected[7] = double(1.1f);
        expected[8] = double(2.2f);
        QCOMPARE(file.frames[2], expected);
        QCOMPARE(file.frames[1], QList<double>({10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21}));

        BvhJoint stranger;
        file.updateData(&stranger);
        QCOMPARE(file.frames[2], expected);
    }

    void updateDataPadsShortRows()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(1)));
        file.frames[0] = {1, 2, 3};
        file.setCurrentFrame(0);
        BvhJoint* leg = file.root->getJointByName(QStringLiteral("LeftLeg"));
        leg->setRotation(Vector3f(4, 5, 6));
        file.updateData(leg);
        QCOMPARE(file.frames[0], QList<double>({1, 2, 3, 0, 0, 0, 0, 0, 0, 6, 4, 5}));
    }

    void findJointTellsEndSitesApart()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(1)));
        const QList<BvhJoint*> joints = file.root->getAllJoints();
        QCOMPARE(file.root->getAllJointNames(),
                 QStringList({"Hips", "Spine", "End Site", "LeftLeg", "End Site"}));
        QCOMPARE(file.root->findJoint(QStringLiteral("End Site"), QStringLiteral("LeftLeg")),
                 joints[4]);
        QCOMPARE(file.root->findJoint(QStringLiteral("End Site"), QStringLiteral("Spine")),
                 joints[2]);
        QCOMPARE(file.root->findJoint(QStringLiteral("Hips"), QString()), joints[0]);
        QCOMPARE(file.root->findJoint(QStringLiteral("Hips"), QStringLiteral("Anything")), nullptr);
        QCOMPARE(file.root->findJoint(QStringLiteral("Spine"), QStringLiteral("Wrong")), joints[1]);
        QCOMPARE(file.root->getJointByName(QStringLiteral("Nobody")), nullptr);
    }

    void clearNullsEveryGuardedPointer()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(2)));
        QPointer<BvhJoint> leaf = file.root->getAllJoints().last();
        QPointer<BvhJoint> root = file.root.data();
        file.exportMask = {true, false};
        file.clear();
        QVERIFY(leaf.isNull());
        QVERIFY(root.isNull());
        QVERIFY(file.frames.isEmpty());
        QVERIFY(file.exportMask.isEmpty());
        QCOMPARE(file.numFrames, 0);
        QCOMPARE(file.frameTime, 0.0);
        QCOMPARE(file.currentFrame, 0);
    }
};

QTEST_GUILESS_MAIN(TestBvhJoint)
#include "tst_bvhjoint.moc"

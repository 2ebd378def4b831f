#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/frameblocks.h"
#include "support/testsupport.h"

#include <QPointer>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

// The joint model: channel slots, DOF numbering, moving rows into the joints and back, lookups;
// and the split of frame loops between two threads.
class TestBvhJoint : public QObject
{
    Q_OBJECT

private:
    BvhFile file; // smallMotion(3): Hips DOF 0-5, Spine 6-8, End Site none, LeftLeg 9-11

private slots:
    void init() { QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(3))); }
    void cleanup() { file.clear(); }

    void channelSlots()
    {
        BvhJoint joint;
        for (const char* name : {"Xposition", "Xposition", "Zrotation"})
            joint.addChannel(QString::fromLatin1(name));
        // A repeated channel shares one slot; values are stored as floats.
        joint.setFrameValues(QList<double>{1.5, 0.1, 9});
        QCOMPARE(joint.getPosition().x(), 0.1f);
        QCOMPARE(joint.getChannelValue(0), double(0.1f));
        QTest::ignoreMessage(QtDebugMsg, "BvhJoint::getChannelValue() Channel not found.");
        QCOMPARE(joint.getChannelValue(7), 0.0);
        QCOMPARE(joint.getChannelName(7), QString());
        joint.setChannelValue(QStringLiteral("Wrotation"), 5.0); // no slot: ignored
        QCOMPARE(joint.getRotation(), Vector3f(0, 0, 9));
    }

    void rowsMoveIntoTheJoints()
    {
        file.frames[1] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        file.setCurrentFrame(2);
        file.setCurrentFrame(1);
        const BvhJoint* spine = file.root->getJointByName(QStringLiteral("Spine"));
        const BvhJoint* leg = file.root->getJointByName(QStringLiteral("LeftLeg"));
        QCOMPARE(file.root->getPosition(), Vector3f(0, 1, 2));
        QCOMPARE(spine->getRotation(), Vector3f(7, 8, 6));
        QCOMPARE(leg->getRotation(), Vector3f(0, 0, 9)); // 10 and 11 are missing: zeros
        // Frames outside the table change nothing.
        file.setCurrentFrame(3);
        file.setCurrentFrame(-1);
        QCOMPARE(file.currentFrame, 1);
        QCOMPARE(leg->getRotation(), Vector3f(0, 0, 9));
    }

    void updateDataWritesOnlyTheJointsSlots()
    {
        file.frames[2] = {1, 2, 3};
        file.setCurrentFrame(2);
        BvhJoint* leg = file.root->getJointByName(QStringLiteral("LeftLeg"));
        leg->setRotation(Vector3f(4, 5, 6.6f));
        file.root->setPosition(Vector3f(7, 7, 7));
        file.updateData(leg);
        const QList<double> expected = {1, 2, 3, 0, 0, 0, 0, 0, 0, double(6.6f), 4, 5};
        QCOMPARE(file.frames[2], expected);
        QCOMPARE(file.frames[1], QList<double>({10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21}));
        BvhJoint stranger;
        file.updateData(&stranger);
        QCOMPARE(file.frames[2], expected);
    }

    void findJointTellsEndSitesApart()
    {
        const QList<BvhJoint*> joints = file.root->getAllJoints();
        QCOMPARE(file.root->getAllJointNames(),
                 QStringList({"Hips", "Spine", "End Site", "LeftLeg", "End Site"}));
        QCOMPARE(file.root->findJoint(QStringLiteral("End Site"), QStringLiteral("LeftLeg")),
                 joints[4]);
        QCOMPARE(file.root->findJoint(QStringLiteral("End Site"), QStringLiteral("Spine")),
                 joints[2]);
        QCOMPARE(file.root->findJoint(QStringLiteral("Hips"), QString()), joints[0]);
        QCOMPARE(file.root->findJoint(QStringLiteral("Hips"), QStringLiteral("Anything")), nullptr);
        QCOMPARE(file.root->getJointByName(QStringLiteral("Nobody")), nullptr);
        QCOMPARE(file.root->getChild(2), nullptr);
        QCOMPARE(file.root->getChild(-1), nullptr);
    }

    void clearNullsEveryGuardedPointer()
    {
        QPointer<BvhJoint> leaf = file.root->getAllJoints().last();
        QPointer<BvhJoint> root = file.root.data();
        file.exportMask = {true, false};
        file.setCurrentFrame(2);
        file.clear();
        QVERIFY(leaf.isNull() && root.isNull());
        QVERIFY(file.frames.isEmpty() && file.exportMask.isEmpty());
        QCOMPARE(file.numFrames, 0);
        QCOMPARE(file.frameTime, 0.0);
        QCOMPARE(file.currentFrame, 0);
    }

    // Every frame of a block exactly once; the second half on another thread, and the calling
    // thread taking the smaller half of an odd count; short blocks on the calling thread alone.
    void frameBlocksCoverEveryFrameOnce()
    {
        // first, stop, split
        const int blocks[][3] = {{5, 5, 0},   {0, 1, 0},    {10, 73, 0},
                                 {10, 74, 1}, {3, 1004, 1}, {100000, 120001, 1}};
        for (const auto& [first, stop, split] : blocks) {
            std::vector<std::atomic<int>> counts(static_cast<size_t>(stop));
            std::atomic<bool> wrongThread = false; // no test macros off the test thread
            std::atomic<int> helperFrames = 0;
            std::atomic<bool> otherThread = false;
            const std::thread::id caller = std::this_thread::get_id();
            FrameBlocks::computeBlock(first, stop, [&](int from, int to, int lane) {
                if (lane == 1) {
                    helperFrames += to - from;
                    otherThread = std::this_thread::get_id() != caller;
                } else if (lane != 0 || std::this_thread::get_id() != caller) {
                    wrongThread = true;
                }
                for (int f = from; f < to; ++f)
                    ++counts[size_t(f)];
            });
            QVERIFY(!wrongThread);
            for (int f = 0; f < stop; ++f)
                QCOMPARE(counts[size_t(f)].load(), f >= first ? 1 : 0);
            QCOMPARE(otherThread.load(), bool(split));
            QCOMPARE(helperFrames.load(), split ? stop - first - (stop - first) / 2 : 0);
        }
        // At least a few hundred frames per block, and never more than about a hundred blocks.
        for (int frameCount : {0, 7, 7200, 100000, 10000000}) {
            const int size = FrameBlocks::blockSize(frameCount);
            QVERIFY(size >= 256 && (frameCount + size - 1) / size <= 100);
        }
    }
};

QTEST_GUILESS_MAIN(TestBvhJoint)
#include "tst_bvhjoint.moc"

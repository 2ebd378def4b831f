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
        QCOMPARE(joint.getChannelValue(7), 0.0);
        QCOMPARE(joint.getChannelName(7), QString());
        joint.setChannelValue(QStringLiteral("Wrotation"), 5.0); // no slot: ignored
        QCOMPARE(joint.getRotation(), Vector3f(0, 0, 9));
    }

    // A row moves into the joints in DOF order, the values it lacks as zeros; storeJointValues
    // writes one joint's values back into a row, padding a short one.
    void rowsMoveBetweenTableAndJoints()
    {
        file.frames[1] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        file.loadFrame(2);
        file.loadFrame(1);
        file.loadFrame(3); // outside the table: nothing changes
        file.loadFrame(-1);
        BvhJoint* leg = file.root->getJointByName(QStringLiteral("LeftLeg"));
        QCOMPARE(file.root->getPosition(), Vector3f(0, 1, 2));
        QCOMPARE(file.root->getJointByName(QStringLiteral("Spine"))->getRotation(),
                 Vector3f(7, 8, 6));
        QCOMPARE(leg->getRotation(), Vector3f(0, 0, 9));
        leg->setRotation(Vector3f(4, 5, 6.6f));
        file.root->setPosition(Vector3f(7, 7, 7)); // not written back
        file.storeJointValues(leg, 1);
        file.storeJointValues(leg, 3); // outside the table
        BvhJoint stranger;
        file.storeJointValues(&stranger, 1);
        QCOMPARE(file.frames[1], QList<double>({0, 1, 2, 3, 4, 5, 6, 7, 8, double(6.6f), 4, 5}));
        QCOMPARE(file.frames[2], QList<double>({20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31}));
    }

    void findJointTellsEndSitesApart()
    {
        const QList<BvhJoint*> joints = file.root->getAllJoints(); // Hips, Spine, End Site, ...
        const auto find = [&](const char* name, const char* parent) {
            return file.root->findJoint(QString::fromLatin1(name), QString::fromLatin1(parent));
        };
        QCOMPARE(find("End Site", "LeftLeg"), joints[4]);
        QCOMPARE(find("End Site", "Spine"), joints[2]);
        QCOMPARE(find("Hips", ""), joints[0]);
        QCOMPARE(find("Hips", "Anything"), nullptr);
        QCOMPARE(file.root->getJointByName(QStringLiteral("Nobody")), nullptr);
        QVERIFY(!file.root->getChild(2) && !file.root->getChild(-1));
    }

    void clearNullsEveryGuardedPointer()
    {
        QPointer<BvhJoint> leaf = file.root->getAllJoints().last();
        QPointer<BvhJoint> root = file.root.data();
        file.clear();
        QVERIFY(leaf.isNull() && root.isNull() && file.frames.isEmpty());
        QVERIFY(file.numFrames == 0 && file.frameTime == 0.0);
    }

    // Every frame of a block exactly once, a long block split with another thread.
    void frameBlocksCoverEveryFrameOnce()
    {
        // first, stop, split
        const int blocks[][3] = {{5, 5, 0},   {0, 1, 0},    {10, 73, 0},
                                 {10, 74, 1}, {3, 1004, 1}, {100000, 120001, 1}};
        for (const auto& [first, stop, split] : blocks) {
            std::vector<std::atomic<int>> counts(static_cast<size_t>(stop));
            std::atomic<bool> otherThread = false;
            const std::thread::id caller = std::this_thread::get_id();
            FrameBlocks::computeBlock(first, stop, [&](int from, int to, int) {
                if (std::this_thread::get_id() != caller)
                    otherThread = true;
                for (int f = from; f < to; ++f)
                    ++counts[size_t(f)];
            });
            for (int f = 0; f < stop; ++f)
                QCOMPARE(counts[size_t(f)].load(), f >= first ? 1 : 0);
            QCOMPARE(otherThread.load(), bool(split));
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

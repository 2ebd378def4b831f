#include "model/frameblocks.h"

#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

// Splitting frame loops between two threads: every frame of a block exactly once, the second
// half really on another thread, short blocks on the calling thread alone.
class TestFrameBlocks : public QObject
{
    Q_OBJECT

private slots:
    void everyFrameOnce_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("stop");
        QTest::addColumn<bool>("split");
        QTest::newRow("empty") << 5 << 5 << false;
        QTest::newRow("one frame") << 0 << 1 << false;
        QTest::newRow("just too short to split") << 10 << 73 << false;
        QTest::newRow("shortest split") << 10 << 74 << true;
        QTest::newRow("odd length") << 3 << 1004 << true;
        QTest::newRow("large block") << 100000 << 120001 << true;
    }

    void everyFrameOnce()
    {
        QFETCH(int, first);
        QFETCH(int, stop);
        QFETCH(bool, split);
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
        QCOMPARE(helperFrames > 0, split);
        QCOMPARE(otherThread.load(), split);
        if (split) // halves, the calling thread taking the smaller one of an odd count
            QCOMPARE(helperFrames.load(), stop - first - (stop - first) / 2);
    }

    void blockSize_data()
    {
        QTest::addColumn<int>("frameCount");
        QTest::newRow("no frames") << 0;
        QTest::newRow("a few frames") << 7;
        QTest::newRow("a minute at 120 Hz") << 7200;
        QTest::newRow("benchmark motion") << 100000;
        QTest::newRow("ten million") << 10000000;
    }

    // At least a few hundred frames per block, and never more than about a hundred blocks.
    void blockSize()
    {
        QFETCH(int, frameCount);
        const int size = FrameBlocks::blockSize(frameCount);
        QVERIFY(size >= 256);
        QVERIFY((frameCount + size - 1) / size <= 100);
    }
};

QTEST_GUILESS_MAIN(TestFrameBlocks)
#include "tst_frameblocks.moc"

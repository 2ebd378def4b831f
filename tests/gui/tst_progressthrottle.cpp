#include "app/progressthrottle.h"

#include <QTest>

// When a command-line run updates its progress dialog.
class TestProgressThrottle : public QObject
{
    Q_OBJECT

private:
    static QList<int> dueFrames(int maximum, int updates)
    {
        ProgressThrottle throttle(maximum, updates);
        QList<int> due;
        for (int frame = 0; frame < maximum; ++frame) {
            if (throttle.isDue(frame))
                due.append(frame);
        }
        return due;
    }

    static QList<int> range(int first, int last, int step)
    {
        QList<int> frames;
        for (int frame = first; frame <= last; frame += step)
            frames.append(frame);
        return frames;
    }

private slots:
    void dueFrames_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("updates");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("50 frames, C3D run: every frame after the first")
            << 50 << 100 << range(1, 49, 1);
        QTest::newRow("1000 frames, C3D run") << 1000 << 100 << range(11, 991, 10);
        QTest::newRow("1000 frames, foot run") << 1000 << 10 << range(101, 901, 100);
        QTest::newRow("exactly 100 frames") << 100 << 100 << range(2, 99, 1);
        QTest::newRow("one frame") << 1 << 100 << QList<int>();
        QTest::newRow("no frames") << 0 << 100 << QList<int>();
    }

    void dueFrames()
    {
        QFETCH(int, maximum);
        QFETCH(int, updates);
        QFETCH(QList<int>, expected);
        QCOMPARE(dueFrames(maximum, updates), expected);
    }

    void updatesStayNearTheirNumber()
    {
        QVERIFY(dueFrames(100000, 100).size() <= 100);
        QVERIFY(dueFrames(100000, 10).size() <= 10);
    }
};

QTEST_GUILESS_MAIN(TestProgressThrottle)
#include "tst_progressthrottle.moc"

#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhwriter.h"
#include "support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

// The writer's layout and digits, its frame ranges, and reading its files back.
class TestBvhWriter : public QObject
{
    Q_OBJECT

private:
    static QByteArray written(BvhFile& file, int start, int end)
    {
        return QByteArray::fromStdString(BvhWriter(file).toText(start, end));
    }

private slots:
    void exactLayout()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(
            file, "HIERARCHY\nROOT Hips\n{\nOFFSET 0 10.5 -3.25\nCHANNELS 6 Xposition Yposition "
                  "Zposition Zrotation Xrotation Yrotation\nJOINT Bare\n{\nOFFSET 1 2 3\nJOINT "
                  "Leg\n{\nOFFSET 0 -1 0\nCHANNELS 3 Zrotation Xrotation Yrotation\nEnd Site\n"
                  "{\nOFFSET 0 -2 0\n}\n}\n}\n}\nMOTION\nFrames: 1\nFrame Time: 0.0333333333\n"
                  "1.5 2 3 45.123456789 0 -1 7 8 9\n"));
        const QByteArray expected = "HIERARCHY\n"
                                    "ROOT Hips\n"
                                    "{\n"
                                    "\tOFFSET\t0.0000\t10.5000\t-3.2500\n"
                                    "\tCHANNELS 6 Xposition Yposition Zposition Zrotation "
                                    "Xrotation Yrotation\n"
                                    "\tJOINT Bare\n"
                                    "\t{\n"
                                    "\t\tOFFSET\t1.0000\t2.0000\t3.0000\n"
                                    "\t\tJOINT Leg\n"
                                    "\t\t{\n"
                                    "\t\t\tOFFSET\t0.0000\t-1.0000\t0.0000\n"
                                    "\t\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
                                    "\t\t\tEnd Site\n"
                                    "\t\t\t{\n"
                                    "\t\t\t\tOFFSET\t0.0000\t-2.0000\t0.0000\n"
                                    "\t\t\t}\n"
                                    "\t\t}\n"
                                    "\t}\n"
                                    "}\n"
                                    "MOTION\n"
                                    "Frames:\t1\n"
                                    "Frame Time: 0.0333333333\n"
                                    "\t1.5000\t2.0000\t3.0000\t45.123457\t0.000000\t-1.000000"
                                    "\t7.000000\t8.000000\t9.000000\n";
        QCOMPARE(written(file, 0, 1), expected);
        QCOMPARE(file.indentLevel, 0);
    }

    void frameRanges_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("default brackets") << 0 << 20 << QList<int>{0, 19};
        QTest::newRow("inner range") << 10 << 19 << QList<int>{10, 19};
        QTest::newRow("one frame") << 5 << 5 << QList<int>{5, 5};
        QTest::newRow("whole motion marker") << 3 << -2 << QList<int>{3, 19};
        QTest::newRow("start past the end") << 25 << 30 << QList<int>{};
        QTest::newRow("start after end") << 8 << 4 << QList<int>{};
        QTest::newRow("negative start starts at 0") << -5 << 2 << QList<int>{0, 2};
    }

    void frameRanges()
    {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QList<int>, rows);
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(20)));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.bvh"));
        QVERIFY(file.writeFile(path, start, end).ok);
        BvhFile back;
        QVERIFY(back.readFile(path).ok());
        const int count = rows.isEmpty() ? 0 : rows[1] - rows[0] + 1;
        QCOMPARE(back.numFrames, count);
        QCOMPARE(back.frames.size(), count);
        for (int i = 0; i < count; ++i)
            QCOMPARE(back.frames[i], file.frames[rows[0] + i]);
    }

    void realRecordingsReadBack()
    {
        for (const QString& name : TestSupport::realBvhFiles()) {
            BvhFile file;
            QVERIFY(file.readFile(TestSupport::dataPath("real/" + name)).ok());
            QTemporaryDir dir;
            const QString path = dir.filePath(name);
            QVERIFY(file.writeFile(path, 0, file.rowCount()).ok);
            BvhFile back;
            QVERIFY(back.readFile(path).ok());

            const QList<BvhJoint*> joints = file.root->getAllJoints();
            const QList<BvhJoint*> backJoints = back.root->getAllJoints();
            QCOMPARE(backJoints.size(), joints.size());
            for (qsizetype i = 0; i < joints.size(); ++i) {
                QCOMPARE(backJoints[i]->getName(), joints[i]->getName());
                QCOMPARE(backJoints[i]->getNumChannels(), joints[i]->getNumChannels());
                for (int k = 0; k < joints[i]->getNumChannels(); ++k)
                    QCOMPARE(backJoints[i]->getChannelName(k), joints[i]->getChannelName(k));
                const Vector3f offset = joints[i]->getOffset();
                for (int axis = 0; axis < 3; ++axis) {
                    QCOMPARE(backJoints[i]->getOffset()[axis],
                             float(std::round(double(offset[axis]) * 1e4) / 1e4));
                }
                const BvhJoint* parent = joints[i]->getParentJoint();
                QCOMPARE(backJoints[i]->getParentJoint()
                             ? backJoints[i]->getParentJoint()->getName()
                             : QString(),
                         parent ? parent->getName() : QString());
            }
            QCOMPARE(back.frames.size(), file.frames.size());
            QCOMPARE(back.frameTime, std::round(file.frameTime * 1e10) / 1e10);
            for (qsizetype f = 0; f < file.frames.size(); ++f) {
                const QList<double>& row = file.frames[f];
                QCOMPARE(back.frames[f].size(), row.size());
                for (qsizetype k = 0; k < row.size(); ++k) {
                    const double scale = k < 3 ? 1e4 : 1e6;
                    QVERIFY(std::abs(back.frames[f][k] - row[k]) <= 0.5 / scale + 1e-9);
                }
            }
            // Writing what was read back changes nothing any more.
            QCOMPARE(written(back, 0, back.rowCount()), TestSupport::readFile(path));
        }
    }

    void nothingLoadedWritesNothing()
    {
        QTemporaryDir dir;
        const QString path = TestSupport::writeFile(dir, QStringLiteral("keep.bvh"), "old");
        BvhFile empty;
        const WriteResult result = empty.writeFile(path, 0, 10);
        QVERIFY(!result.ok);
        QCOMPARE(TestSupport::readFile(path), QByteArray("old"));
    }

    void unwritableFileIsReported()
    {
        BvhFile file;
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(2)));
        const WriteResult result = file.writeFile(QStringLiteral("/nonexistent/dir/x.bvh"), 0, 2);
        QVERIFY(!result.ok);
        QVERIFY(!result.errorString.isEmpty());
        QCOMPARE(result.fileName, QStringLiteral("/nonexistent/dir/x.bvh"));
    }
};

QTEST_GUILESS_MAIN(TestBvhWriter)
#include "tst_bvhwriter.moc"

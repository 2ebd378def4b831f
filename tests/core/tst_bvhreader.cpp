#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhwriter.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

// The reader's frame rows and what it repairs, and the real recordings of other producers read
// and written back. (Its hierarchy grammar is checked through the writer's exact layout.)
class TestBvhReader : public QObject
{
    Q_OBJECT

private:
    static BvhReadResult read(BvhFile& file, const QByteArray& text)
    {
        return TestSupport::readBvh(file, text);
    }

    // Each joint's name, child count and channel names: the skeleton as the reader built it.
    static QStringList skeleton(const BvhFile& file)
    {
        QStringList joints;
        for (const BvhJoint* joint : file.root->getAllJoints()) {
            joints << joint->getName() + QLatin1Char('/') +
                          QString::number(joint->getNumChildren());
            for (int k = 0; k < joint->getNumChannels(); ++k)
                joints.last() += QLatin1Char(' ') + joint->getChannelName(k);
        }
        return joints;
    }

private slots:
    void frameRows_data()
    {
        QTest::addColumn<QByteArray>("motion");
        QTest::addColumn<QList<QList<double>>>("rows");
        QTest::addColumn<int>("numFrames");
        QTest::addColumn<double>("frameTime");
        QTest::addColumn<QString>("warning"); // empty: no warning
        QTest::newRow("tabs, blanks, trailing blanks")
            << QByteArray("Frames: 2\nFrame Time: 0.0333333\n1\t2\t3\n 4    5 6  \n")
            << QList<QList<double>>{{1, 2, 3}, {4, 5, 6}} << 2 << 0.0333333 << QString();
        QTest::newRow("number forms, values beyond the channels dropped")
            << QByteArray("Frames: 1\nFrame Time: .0083333\n+1.5 -.5 1.87e-05 4 5\n")
            << QList<QList<double>>{{1.5, -0.5, 1.87e-05}} << 1 << 0.0083333 << QString();
        QTest::newRow("rows limited to the declared count")
            << QByteArray("Frames: 3\nFrame Time: 1\n1\n2\n3\n4\n5\n")
            << QList<QList<double>>{{1}, {2}, {3}} << 3 << 1.0 << QString();
        QTest::newRow("truncated file")
            << QByteArray("Frames: 5\nFrame Time: 1\n1\n2\n3\n")
            << QList<QList<double>>{{1}, {2}, {3}} << 5 << 1.0 << "declares 5 frames but holds 3";
        QTest::newRow("empty line is an empty row")
            << QByteArray("Frames: 2\nFrame Time: 1\n\n7\n") << QList<QList<double>>{{}, {7}} << 2
            << 1.0 << QString();
        QTest::newRow("blank lines before the headers are skipped")
            << QByteArray("\n  \nFrames: 1\n\nFrame Time: 0.25\n9 8 7\n")
            << QList<QList<double>>{{9, 8, 7}} << 1 << 0.25 << QString();
        QTest::newRow("misspelt Frames line loads no rows")
            << QByteArray("Frame: 2\nFrame Time: 1\n1\n2\n") << QList<QList<double>>{} << 0 << 1.0
            << QString();
    }

    void frameRows()
    {
        QFETCH(QByteArray, motion);
        QFETCH(QList<QList<double>>, rows);
        QFETCH(int, numFrames);
        QFETCH(double, frameTime);
        QFETCH(QString, warning);
        BvhFile file;
        const BvhReadResult result = read(file, "HIERARCHY\nROOT Hips\n{\nCHANNELS 3 Xposition "
                                                "Yposition Zposition\n}\nMOTION\n" +
                                                    motion);
        QVERIFY(result.ok());
        QCOMPARE(file.frames, QVector<QList<double>>(rows.begin(), rows.end()));
        QCOMPARE(file.numFrames, numFrames);
        QCOMPARE(file.frameTime, frameTime);
        QCOMPARE(result.warnings.size(), warning.isEmpty() ? 0 : 1);
        QVERIFY(result.warnings.join(' ').contains(warning));
    }

    void missingHierarchyIsRefused()
    {
        for (const QByteArray& text : {QByteArray("HIERARCHY\nJOINT X\n{\n}\nMOTION\nFrames: 1\n"
                                                  "Frame Time: 1\n1 2\n"),
                                       QByteArray(), QByteArray("{\n}\n{\n{\n}\n")}) {
            BvhFile file;
            const BvhReadResult result = read(file, text);
            QCOMPARE(result.status, BvhReadResult::Status::NoHierarchy);
            QVERIFY(!result.errorString.isEmpty());
            QVERIFY(file.root.isNull());
        }
        BvhFile file;
        const BvhReadResult result = file.readFile(QStringLiteral("/nonexistent/walk.bvh"));
        QCOMPARE(result.status, BvhReadResult::Status::CannotOpen);
        QVERIFY(!result.errorString.isEmpty());
    }

    void truncatedHierarchyEndsAtEndOfFile()
    {
        BvhFile file;
        const BvhReadResult result =
            read(file, "HIERARCHY\nROOT A\n{\nOFFSET 1 0 0\nJOINT B\n{\nOFFSET 0 1 0\nJOINT C\n");
        QVERIFY(result.ok());
        QCOMPARE(skeleton(file), QStringList({"A/1", "B/1", "C/0"}));
        QCOMPARE(result.warnings.size(), 1);
    }

    void secondHierarchyReplacesTheFirst()
    {
        BvhFile file;
        const BvhReadResult result =
            read(file, TestSupport::smallMotion(2) + "HIERARCHY\nROOT Other\n{\nCHANNELS 1 "
                                                     "Xrotation\n}\nMOTION\nFrames: 1\nFrame "
                                                     "Time: 0.5\n42\n");
        QVERIFY(result.ok());
        QCOMPARE(skeleton(file), QStringList({"Other/0 Xrotation"}));
        QCOMPARE(file.frames, QVector<QList<double>>({{42}}));
        QCOMPARE(file.frameTime, 0.5);
    }

    void realRecordings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("joints"); // End Sites included
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("frames");
        QTest::addColumn<double>("frameTime");
        QTest::newRow("biovision") << "biovision_example.bvh" << 23 << 57 << 2 << 0.033333;
        QTest::newRow("cmu") << "cmu_01_14.bvh" << 38 << 96 << 2339 << 0.0083333;
        QTest::newRow("arena") << "arena_louise.bvh" << 23 << 57 << 2998 << 0.01;
        QTest::newRow("axis neuron") << "axisneuron_milad.bvh" << 72 << 354 << 422 << 0.008;
        QTest::newRow("rokoko") << "rokoko_jesse_dance.bvh" << 73 << 183 << 1007 << 0.01;
        QTest::newRow("fair") << "fair_dab.bvh" << 34 << 84 << 339 << 0.0333333;
    }

    // Read whole and without a warning, and written back to the printed digits: the first three
    // values of a row to 4 decimals, the others to 6.
    void realRecordings()
    {
        QFETCH(QString, name);
        QFETCH(int, joints);
        QFETCH(int, channels);
        QFETCH(int, frames);
        QFETCH(double, frameTime);
        BvhFile file;
        const BvhReadResult result = file.readFile(TestSupport::dataPath("real/" + name));
        QVERIFY(result.ok());
        QVERIFY2(result.warnings.isEmpty(), qPrintable(result.warnings.join(QLatin1Char(' '))));
        const QList<BvhJoint*> all = file.root->getAllJoints();
        QCOMPARE(all.size(), joints);
        int total = 0;
        for (const BvhJoint* joint : all)
            total += joint->getNumChannels();
        QCOMPARE(total, channels);
        QCOMPARE(file.numFrames, frames);
        QCOMPARE(file.frameTime, frameTime);

        QTemporaryDir dir;
        QVERIFY(file.writeFile(dir.filePath(name), 0, -2).ok);
        BvhFile back;
        QVERIFY(back.readFile(dir.filePath(name)).ok());
        QCOMPARE(skeleton(back), skeleton(file));
        QCOMPARE(back.frameTime, std::round(file.frameTime * 1e10) / 1e10);
        QCOMPARE(back.frames.size(), frames);
        for (qsizetype f = 0; f < frames; ++f) {
            QCOMPARE(file.frames[f].size(), channels);
            QCOMPARE(back.frames[f].size(), channels);
            for (qsizetype k = 0; k < channels; ++k) {
                const double scale = k < 3 ? 1e4 : 1e6;
                QVERIFY(std::abs(back.frames[f][k] - file.frames[f][k]) <= 0.5 / scale + 1e-9);
            }
        }
        // Writing what was read back changes nothing any more.
        QCOMPARE(QByteArray::fromStdString(BvhWriter(back).toText(0, -2)),
                 TestSupport::readFile(dir.filePath(name)));
    }
};

QTEST_GUILESS_MAIN(TestBvhReader)
#include "tst_bvhreader.moc"

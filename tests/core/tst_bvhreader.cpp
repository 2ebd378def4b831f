#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

// The reader's frame rows and what it repairs, and the real recordings of other producers read
// and written back. (Its hierarchy grammar is checked through the writer's exact layout.)
using Rows = QVector<QList<double>>;

class TestBvhReader : public QObject
{
    Q_OBJECT

private slots:
    // What the motion section reads as, and what a hierarchy cut short or given twice leaves.
    void filesReadAs_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("numFrames");
        QTest::addColumn<double>("frameTime");
        QTest::addColumn<QString>("warning"); // empty: none
        QTest::addColumn<QStringList>("joints");
        const QStringList hips{"Hips"};
        const QByteArray header =
            "HIERARCHY\nROOT Hips\n{\nCHANNELS 3 Xposition Yposition Zposition\n}\nMOTION\n";
        QTest::newRow("tabs and blanks")
            << header + "Frames: 2\nFrame Time: 0.0333333\n1\t2\t3\n 4    5 6  \n"
            << Rows{{1, 2, 3}, {4, 5, 6}} << 2 << 0.0333333 << QString() << hips;
        QTest::newRow("number forms, values beyond the channels")
            << header + "Frames: 1\nFrame Time: .0083333\n+1.5 -.5 1.87e-05 4 5\n"
            << Rows{{1.5, -0.5, 1.87e-05}} << 1 << 0.0083333 << QString() << hips;
        QTest::newRow("rows past the declared count")
            << header + "Frames: 3\nFrame Time: 1\n1\n2\n3\n4\n5\n"
            << Rows{{1}, {2}, {3}} << 3 << 1.0 << QString() << hips;
        QTest::newRow("truncated motion")
            << header + "Frames: 5\nFrame Time: 1\n1\n2\n3\n"
            << Rows{{1}, {2}, {3}} << 5 << 1.0 << "declares 5 frames but holds 3" << hips;
        QTest::newRow("empty line is an empty row")
            << header + "Frames: 2\nFrame Time: 1\n\n7\n"
            << Rows{{}, {7}} << 2 << 1.0 << QString() << hips;
        QTest::newRow("blank lines before the headers")
            << header + "\n  \nFrames: 1\n\nFrame Time: 0.25\n9 8 7\n"
            << Rows{{9, 8, 7}} << 1 << 0.25 << QString() << hips;
        QTest::newRow("misspelt Frames line") << header + "Frame: 2\nFrame Time: 1\n1\n2\n"
                                              << Rows() << 0 << 1.0 << QString() << hips;
        QTest::newRow("truncated hierarchy")
            << QByteArray("HIERARCHY\nROOT A\n{\nOFFSET 1 0 0\nJOINT B\n{\nOFFSET 0 1 0\nJOINT C\n")
            << Rows() << 0 << 0.0 << "ends with the file" << QStringList{"A", "B", "C"};
        QTest::newRow("second hierarchy")
            << TestSupport::smallMotion(2) + "HIERARCHY\nROOT Other\n{\nCHANNELS 1 Xrotation\n}\n"
                                             "MOTION\nFrames: 1\nFrame Time: 0.5\n42\n"
            << Rows{{42}} << 1 << 0.5 << "replaced the first one" << QStringList{"Other"};
    }

    void filesReadAs()
    {
        QFETCH(QByteArray, text);
        QFETCH(Rows, rows);
        QFETCH(int, numFrames);
        QFETCH(double, frameTime);
        QFETCH(QString, warning);
        QFETCH(QStringList, joints);
        BvhFile file;
        const BvhReadResult result = TestSupport::readBvh(file, text);
        QVERIFY(result.ok());
        QCOMPARE(file.frames, rows);
        QCOMPARE(file.numFrames, numFrames);
        QCOMPARE(file.frameTime, frameTime);
        QCOMPARE(result.warnings.size(), warning.isEmpty() ? 0 : 1);
        QVERIFY(result.warnings.join(' ').contains(warning));
        QCOMPARE(file.root->getAllJointNames(), joints);
    }

    void missingHierarchyIsRefused()
    {
        for (const char* text : {"HIERARCHY\nJOINT X\n{\n}\nMOTION\nFrames: 1\nFrame Time: 1\n1\n",
                                 "", "{\n}\n{\n{\n}\n"}) {
            BvhFile file;
            const BvhReadResult result = TestSupport::readBvh(file, text);
            QCOMPARE(result.status, BvhReadResult::Status::NoHierarchy);
            QVERIFY(!result.errorString.isEmpty() && file.root.isNull());
        }
        BvhFile file;
        const BvhReadResult result = BvhReader(file).read(QStringLiteral("/nonexistent/walk.bvh"));
        QCOMPARE(result.status, BvhReadResult::Status::CannotOpen);
        QVERIFY(!result.errorString.isEmpty());
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
        const BvhReadResult result = BvhReader(file).read(TestSupport::dataPath("real/" + name));
        QVERIFY(result.ok());
        QVERIFY2(result.warnings.isEmpty(), qPrintable(result.warnings.join(QLatin1Char(' '))));
        QCOMPARE(file.root->getAllJoints().size(), joints);
        QCOMPARE(file.numFrames, frames);
        QCOMPARE(file.frameTime, frameTime);

        QTemporaryDir dir;
        QVERIFY(BvhWriter(file).write(dir.filePath(name), FrameRange::all(frames)).ok);
        BvhFile back;
        QVERIFY(BvhReader(back).read(dir.filePath(name)).ok());
        QCOMPARE(back.root->getAllJointNames(), file.root->getAllJointNames());
        QCOMPARE(back.frameTime, std::round(file.frameTime * 1e10) / 1e10);
        QCOMPARE(back.frames.size(), frames);
        for (qsizetype f = 0; f < frames; ++f) {
            QCOMPARE(back.frames[f].size(), channels);
            for (qsizetype k = 0; k < channels; ++k) {
                const double error = std::abs(back.frames[f][k] - file.frames[f][k]);
                QVERIFY(error <= (k < 3 ? 0.5e-4 : 0.5e-6) + 1e-9);
            }
        }
        // Writing what was read back changes nothing any more.
        QCOMPARE(QByteArray::fromStdString(BvhWriter(back).toText(FrameRange::all(frames))),
                 TestSupport::readFile(dir.filePath(name)));
    }
};

QTEST_GUILESS_MAIN(TestBvhReader)
#include "tst_bvhreader.moc"

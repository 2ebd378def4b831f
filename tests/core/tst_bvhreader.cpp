#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/bvhreader.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

// The reader's grammar, what it repairs, and the real recordings of other producers.
class TestBvhReader : public QObject
{
    Q_OBJECT

private:
    static BvhReadResult read(BvhFile& file, const QByteArray& text)
    {
        return TestSupport::readBvh(file, text);
    }

    static QByteArray oneJoint(const QByteArray& motion)
    {
        return "HIERARCHY\nROOT Hips\n{\n\tOFFSET 1 2 3\n\tCHANNELS 3 Xposition Yposition "
               "Zposition\n}\nMOTION\n" +
               motion;
    }

private slots:
    void frameRows_data()
    {
        QTest::addColumn<QByteArray>("motion");
        QTest::addColumn<QList<QList<double>>>("rows");
        QTest::addColumn<int>("numFrames");
        QTest::addColumn<double>("frameTime");

        QTest::newRow("tab separated")
            << QByteArray("Frames: 2\nFrame Time: 0.0333333\n1\t2\t3\n"
                          "4\t5\t6\n")
            << QList<QList<double>>{{1, 2, 3}, {4, 5, 6}} << 2 << 0.0333333;
        QTest::newRow("space separated, trailing blanks")
            << QByteArray("Frames: 1\nFrame Time: 0.01\n 1    2 3  \n")
            << QList<QList<double>>{{1, 2, 3}} << 1 << 0.01;
        QTest::newRow("CRLF line ends")
            << QByteArray("Frames:\t1\r\nFrame Time:\t0.5\r\n1\t2\t3\r\n")
            << QList<QList<double>>{{1, 2, 3}} << 1 << 0.5;
        QTest::newRow("number forms")
            << QByteArray("Frames: 1\nFrame Time: .0083333\n+1.5 "
                          ".5 1.87e-05\n")
            << QList<QList<double>>{{1.5, 0.5, 1.87e-05}} << 1 << 0.0083333;
        QTest::newRow("rows limited to the declared count")
            << QByteArray("Frames: 3\nFrame Time: 1\n1\n2\n3\n4\n5\n")
            << QList<QList<double>>{{1}, {2}, {3}} << 3 << 1.0;
        QTest::newRow("truncated file") << QByteArray("Frames: 5\nFrame Time: 1\n1\n2\n3\n")
                                        << QList<QList<double>>{{1}, {2}, {3}} << 5 << 1.0;
        QTest::newRow("empty line is an empty row") << QByteArray("Frames: 2\nFrame Time: 1\n\n7\n")
                                                    << QList<QList<double>>{{}, {7}} << 2 << 1.0;
        QTest::newRow("blank lines before the headers are skipped")
            << QByteArray("\n  \nFrames: 1\n\nFrame Time: 0.25\n9 8 7\n")
            << QList<QList<double>>{{9, 8, 7}} << 1 << 0.25;
        QTest::newRow("single-word FrameTime is not recognised")
            << QByteArray("Frames: 1\nFrameTime: 0.03\n1 2 3\n") << QList<QList<double>>{{1, 2, 3}}
            << 1 << 0.0;
        QTest::newRow("misspelt Frames line loads no rows")
            << QByteArray("Frame: 2\nFrame Time: 1\n1\n2\n") << QList<QList<double>>{} << 0 << 1.0;
        QTest::newRow("values beyond the channels are dropped")
            << QByteArray("Frames: 1\nFrame Time: 1\n1 2 3 4 5\n")
            << QList<QList<double>>{{1, 2, 3}} << 1 << 1.0;
    }

    void frameRows()
    {
        QFETCH(QByteArray, motion);
        QFETCH(QList<QList<double>>, rows);
        QFETCH(int, numFrames);
        QFETCH(double, frameTime);
        BvhFile file;
        QVERIFY(read(file, oneJoint(motion)).ok());
        QCOMPARE(file.frames, QVector<QList<double>>(rows.begin(), rows.end()));
        QCOMPARE(file.numFrames, numFrames);
        QCOMPARE(file.frameTime, frameTime);
        QVERIFY(file.frames.capacity() <= 64); // never reserved from the declared count alone
    }

    void loadedDiagnosticOnlyWhenComplete()
    {
        BvhFile complete;
        QTest::ignoreMessage(QtDebugMsg, "Frames: 2");
        QTest::ignoreMessage(QtDebugMsg, "Frame Time: 0.5");
        QTest::ignoreMessage(QtDebugMsg, "Loaded 2 frames");
        read(complete, oneJoint("Frames: 2\nFrame Time: 0.5\n1\n2\n"));

        BvhFile truncated;
        QTest::ignoreMessage(QtDebugMsg, "Frames: 5");
        QTest::ignoreMessage(QtDebugMsg, "Frame Time: 0.5");
        const BvhReadResult result = read(truncated, oneJoint("Frames: 5\nFrame Time: 0.5\n1\n"));
        QCOMPARE(result.warnings.size(), 1);
        QVERIFY(result.warnings.first().contains(QLatin1String("declares 5 frames but holds 1")));
    }

    void hierarchyGrammar()
    {
        const QByteArray text = "HIERARCHY\n"
                                "\n"
                                "ROOT Hips extra words\n"
                                "{\n"
                                "  \t OFFSET  1.5\t-2   3\n"
                                "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation "
                                "Yrotation\n"
                                "\tJOINT Left Hand\n"
                                "\t{\n"
                                "\t\tOFFSET 0 1\n"
                                "\t\tCHANNELS 4 Zrotation Xrotation\n"
                                "\t\tEnd Effector\n"
                                "\t\t{\n"
                                "\t\t\tOFFSET 0 2 0\n"
                                "\t\t}\n"
                                "\t}\n"
                                "\tJOINT NoBlock\n"
                                "\tJOINT Lost\n"
                                "\tJOINT Kept\n"
                                "\t{\n"
                                "\t}\n"
                                "}\n";
        BvhFile file;
        QVERIFY(read(file, text).ok());
        const QList<BvhJoint*> joints = file.root->getAllJoints();
        QCOMPARE(file.root->getAllJointNames(),
                 QStringList({"Hips", "Left", "End Site", "NoBlock", "Kept"}));
        QCOMPARE(joints[0]->getOffset(), Vector3f(1.5f, -2, 3));
        QCOMPARE(joints[0]->getNumChannels(), 6);
        QCOMPARE(joints[1]->getOffset(), Vector3f(0, 1, 0));
        // Two names for four channels: the missing ones are empty and address no slot.
        QCOMPARE(joints[1]->getNumChannels(), 4);
        QCOMPARE(joints[1]->getChannelName(3), QString());
        QCOMPARE(joints[2]->getOffset(), Vector3f(0, 2, 0));
        QCOMPARE(joints[2]->getNumChannels(), 0);
        QCOMPARE(joints[2]->getParentJoint(), joints[1]);
        // "NoBlock" is followed by a line without "{": it stays empty and that line is lost.
        QCOMPARE(joints[3]->getNumChildren(), 0);
        QCOMPARE(joints[4]->getParentJoint(), joints[0]);
        QCOMPARE(file.root->getParentJoint(), nullptr);
    }

    void missingHierarchy_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("rows");
        QTest::newRow("no ROOT line") << QByteArray("HIERARCHY\nJOINT X\n{\n}\nMOTION\nFrames: "
                                                    "1\nFrame Time: 1\n1 2\n")
                                      << 1;
        QTest::newRow("empty file") << QByteArray() << 0;
        QTest::newRow("only braces") << QByteArray("{\n}\n{\n{\n}\n") << 0;
    }

    void missingHierarchy()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, rows);
        BvhFile file;
        const BvhReadResult result = read(file, text);
        QCOMPARE(result.status, BvhReadResult::Status::NoHierarchy);
        QVERIFY(!result.errorString.isEmpty());
        QVERIFY(file.root.isNull());
        QCOMPARE(file.frames.size(), rows);
    }

    void unopenableFile()
    {
        BvhFile file;
        const BvhReadResult result = file.readFile(QStringLiteral("/nonexistent/walk.bvh"));
        QCOMPARE(result.status, BvhReadResult::Status::CannotOpen);
        QVERIFY(!result.errorString.isEmpty());
        QVERIFY(file.root.isNull());
    }

    void truncatedHierarchyEndsAtEndOfFile()
    {
        BvhFile file;
        const BvhReadResult result =
            read(file, "HIERARCHY\nROOT A\n{\nOFFSET 1 0 0\nJOINT B\n{\nOFFSET 0 1 0\nJOINT C\n");
        QVERIFY(result.ok());
        QCOMPARE(file.root->getAllJointNames(), QStringList({"A", "B", "C"}));
        QCOMPARE(result.warnings.size(), 1);
    }

    void secondHierarchyReplacesTheFirst()
    {
        BvhFile file;
        QByteArray text = TestSupport::smallMotion(2);
        text += "HIERARCHY\nROOT Other\n{\nCHANNELS 1 Xrotation\n}\nMOTION\nFrames: 1\nFrame "
                "Time: 0.5\n42\n";
        const BvhReadResult result = read(file, text);
        QVERIFY(result.ok());
        QCOMPARE(file.root->getAllJointNames(), QStringList({"Other"}));
        QCOMPARE(file.frames, QVector<QList<double>>({{42}}));
        QCOMPARE(file.frameTime, 0.5);
    }

    void hugeChannelCountIsBounded()
    {
        BvhFile file;
        QVERIFY(read(file, "HIERARCHY\nROOT A\n{\nCHANNELS 2000000000 Xrotation\n}\n").ok());
        QCOMPARE(file.root->getNumChannels(), BvhReader::maxChannelsPerJoint);
        QCOMPARE(file.root->getChannelName(0), QStringLiteral("Xrotation"));
    }

    void realRecordingsLoadWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("joints");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("frames");
        QTest::addColumn<double>("frameTime");
        // Joint counts include End Sites.
        QTest::newRow("biovision") << "biovision_example.bvh" << 23 << 57 << 2 << 0.033333;
        QTest::newRow("cmu") << "cmu_01_14.bvh" << 38 << 96 << 2339 << 0.0083333;
        QTest::newRow("arena") << "arena_louise.bvh" << 23 << 57 << 2998 << 0.01;
        QTest::newRow("axis neuron") << "axisneuron_milad.bvh" << 72 << 354 << 422 << 0.008;
        QTest::newRow("rokoko") << "rokoko_jesse_dance.bvh" << 73 << 183 << 1007 << 0.01;
        QTest::newRow("fair") << "fair_dab.bvh" << 34 << 84 << 339 << 0.0333333;
    }

    void realRecordingsLoadWhole()
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
        QCOMPARE(file.frames.size(), frames);
        QCOMPARE(file.frameTime, frameTime);
        for (const QList<double>& row : std::as_const(file.frames))
            QCOMPARE(row.size(), channels);
        // Something moves: the rows are not all zeros.
        double sum = 0;
        for (const double value : std::as_const(file.frames.last()))
            sum += std::abs(value);
        QVERIFY(sum > 0);
    }
};

QTEST_GUILESS_MAIN(TestBvhReader)
#include "tst_bvhreader.moc"

#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/numberformat.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

// The three CSV tables: the whole-body centre of mass (BvhMathObject), the joint rotations and
// the absolute joint positions (BvhFile). Layout, ranges, progress, cancelling, failures, and
// cell values checked against the per-joint computations they must match digit for digit.
class TestCsvExports : public QObject
{
    Q_OBJECT

private:
    enum Table
    {
        MassCentre,
        Rotations,
        Positions
    };

    WriteResult exportTable(int table, int start, int end, ProgressSink* progress = nullptr)
    {
        if (table == MassCentre)
            return physics.exportMassCentreCsv(path, start, end, progress);
        if (table == Rotations)
            return motion.exportRotationsCsv(path, start, end, progress);
        return motion.exportAbsolutePositionsCsv(path, start, end, progress);
    }

    // The time cells of the written table, each followed by ';'.
    QByteArray timeColumn() const
    {
        QByteArray times;
        for (const QByteArray& line : TestSupport::readLines(path).mid(1))
            times += line.split(',').first() + ";";
        return times;
    }

    static QByteArray cells(const Vector3f& v)
    {
        return QStringLiteral(",%1,%2,%3")
            .arg(NumberFormat::general(v.x()), NumberFormat::general(v.y()),
                 NumberFormat::general(v.z()))
            .toLatin1();
    }

    void loadSmallMotion(int frames)
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(frames)));
        motion.exportMask = {true, false, false, true, false}; // Hips and LeftLeg
        physics.setBvhFile(&motion);
    }

    QTemporaryDir dir;
    QString path;
    BvhFile motion;
    BvhMathObject physics;

private slots:
    void init()
    {
        path = dir.filePath(QStringLiteral("table.csv"));
        QFile::remove(path);
        // One segment whose centre is Hips itself.
        physics.clearSegments();
        physics.startJointNames = QStringList{QStringLiteral("Hips")};
        physics.endJointNames = QStringList{QStringLiteral("Spine")};
        physics.proximalDistances = {0.0};
        physics.masses = {1.0};
        loadSmallMotion(12);
    }

    // Row f of the small motion holds 10 f + k in column k: Hips' position channels are
    // columns 0..2 and its rotation channels Z, X, Y columns 3..5; Spine's 6..8, LeftLeg's
    // 9..11. Joint columns follow the pre-order of the joints the mask selects.
    void exactFiles_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QList<bool>>("mask");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("mass centre, end frame included")
            << int(MassCentre) << QList<bool>{true}
            << QByteArray("TIME,X,Y,Z\n0,0,1,2\n0.0333333,10,11,12\n0.0666666,20,21,22\n");
        QTest::newRow("rotations") << int(Rotations) << QList<bool>{true, false, false, true}
                                   << QByteArray("Time,Hips.x,Hips.y,Hips.z,LeftLeg.x,LeftLeg.y,"
                                                 "LeftLeg.z\n0,4,5,3,10,11,9\n0.0333333,14,15,"
                                                 "13,20,21,19\n");
        QTest::newRow("positions") << int(Positions) << QList<bool>{true}
                                   << QByteArray("Time,Hips.x,Hips.y,Hips.z\n0,0,1,2\n0.0333333,"
                                                 "10,11,12\n");
        QTest::newRow("no joint selected")
            << int(Rotations) << QList<bool>() << QByteArray("Time\n0\n0.0333333\n");
        QTest::newRow("mask longer than the joints")
            << int(Rotations) << QList<bool>{false, true, false, false, false, true, true}
            << QByteArray("Time,Spine.x,Spine.y,Spine.z\n0,7,8,6\n0.0333333,17,18,16\n");
    }

    void exactFiles()
    {
        QFETCH(int, table);
        QFETCH(QList<bool>, mask);
        QFETCH(QByteArray, expected);
        motion.exportMask = mask;
        QVERIFY(exportTable(table, 0, 2).ok);
        QCOMPARE(TestSupport::readFile(path), expected);
    }

    // The centre-of-mass table includes its end frame, the joint tables do not. (The two joint
    // tables share one frame loop: the rotations stand for both.)
    void frameRanges()
    {
        const std::tuple<int, int, QList<int>, QList<int>> cases[] = {
            {3, 6, {3, 4, 5, 6}, {3, 4, 5}},
            {4, 4, {4}, {}},
            {7, 2, {}, {}},
            {9, -1, {9, 10, 11}, {9, 10, 11}},
            {-5, 1, {0, 1}, {0}},
            {10, 500, {10, 11}, {10, 11}},
            {40, 50, {}, {}}};
        for (const auto& [start, end, inclusive, exclusive] : cases) {
            for (const int table : {MassCentre, Rotations}) {
                QVERIFY(exportTable(table, start, end).ok);
                QByteArray expected;
                for (int frame : table == MassCentre ? inclusive : exclusive)
                    expected += NumberFormat::general(frame * 0.0333333).toLatin1() + ";";
                QVERIFY2(timeColumn() == expected,
                         qPrintable(
                             QStringLiteral("table %1, %2 to %3").arg(table).arg(start).arg(end)));
            }
        }
    }

    void realFiles_data() { TestSupport::addRealFileRows(); }

    // Every cell of the tables, for every joint of real skeletons, must carry exactly the
    // digits of the joint's own getAbsolutePosition() and of computeBodyCentre().
    void realFiles()
    {
        QFETCH(QString, file);
        BvhFile real;
        QVERIFY(real.readFile(TestSupport::dataPath("real/" + file)).ok());
        const QList<BvhJoint*> joints = real.root->getAllJoints();
        const QStringList names = real.root->getAllJointNames();
        real.exportMask = QList<bool>(joints.size(), true);
        BvhMathObject model;
        model.clearSegments();
        model.startJointNames = {names.first(), names[names.size() / 2], names[names.size() / 3]};
        model.endJointNames = {names[names.size() / 2], QStringLiteral("End Site"), names.last()};
        model.proximalDistances = {0.3, 1.25, -0.2};
        model.masses = {0.5, 0.3, 0.2};
        model.setBvhFile(&real);
        const QString centres = dir.filePath(QStringLiteral("centres.csv"));
        const int end = qMin(real.rowCount(), 120);
        QVERIFY(real.exportAbsolutePositionsCsv(path, 0, end).ok);
        QVERIFY(model.exportMassCentreCsv(centres, 0, end - 1).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        const QList<QByteArray> centreLines = TestSupport::readLines(centres);
        QCOMPARE(lines.size(), end + 1);
        QCOMPARE(centreLines.size(), end + 1);
        for (int frame = 0; frame < end; ++frame) {
            real.setCurrentFrame(frame);
            const QByteArray time = NumberFormat::general(frame * real.frameTime).toLatin1();
            QByteArray expected = time;
            for (const BvhJoint* joint : joints)
                expected += cells(joint->getAbsolutePosition());
            QCOMPARE(lines[frame + 1], expected);
            model.computeSegmentCentres();
            QCOMPARE(centreLines[frame + 1], time + cells(model.computeBodyCentre()));
        }
    }

    // The centre-of-mass table returns to frame 0; the joint tables stay at the last row.
    void currentFrameAfterExport()
    {
        for (const auto& [table, frame] : {std::pair(MassCentre, 0), std::pair(Rotations, 7)}) {
            motion.setCurrentFrame(11);
            QVERIFY(exportTable(table, 2, 8).ok);
            QCOMPARE(motion.currentFrame, frame);
            QCOMPARE(motion.root->getPosition().x(), float(10 * frame));
        }
    }

    // Ten steps of 10 %; fewer than ten frames step once per frame (frames 2..6 here).
    void progressSteps()
    {
        const QString plain = QStringLiteral("begin | 100");
        const QList<int> tens{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
        const std::tuple<int, int, int, QString, QList<int>> cases[] = {
            {Rotations, 100, -1, plain, tens},
            {Positions, 100, -1,
             "begin Please be patient|Doing a lot of math. This may take a while. 100", tens},
            {MassCentre, 100, -1, plain, tens},
            {Rotations, 12, 7, plain, {10, 20, 30, 40}}};
        for (const auto& [table, frames, end, begin, values] : cases) {
            loadSmallMotion(frames);
            TestSupport::RecordingProgress progress;
            QVERIFY(exportTable(table, end < 0 ? 0 : 2, end, &progress).ok);
            QCOMPARE(progress.calls, QStringList({begin, "end"}));
            QCOMPARE(progress.values, values);
        }
    }

    // A cancel seen at frame 21, before its row is written, keeps the rows before it.
    void cancelKeepsTheRowsWritten()
    {
        for (const int table : {MassCentre, Rotations}) {
            loadSmallMotion(100);
            TestSupport::RecordingProgress progress;
            progress.cancelAtValue = 30;
            QVERIFY(exportTable(table, 0, table == MassCentre ? 99 : 100, &progress).ok);
            const QList<QByteArray> lines = TestSupport::readLines(path);
            QCOMPARE(lines.size(), 22);
            QCOMPARE(lines.last().split(',').first(),
                     NumberFormat::general(20 * 0.0333333).toLatin1());
            QCOMPARE(progress.calls.last(), QStringLiteral("end"));
        }
    }

    // A failed export (no motion, or a file that cannot be written) names the file, keeps
    // what was there and reports no progress.
    void failureNamesTheFileAndKeepsTheOld()
    {
        const QString unwritable = dir.filePath(QStringLiteral("no such folder/table.csv"));
        for (const int table : {MassCentre, Rotations, Positions}) {
            for (const bool loaded : {true, false}) {
                init();
                if (loaded)
                    path = unwritable;
                else
                    motion.clear();
                TestSupport::writeFile(dir, QStringLiteral("table.csv"), "old");
                TestSupport::RecordingProgress progress;
                const WriteResult result = exportTable(table, 0, -1, &progress);
                QVERIFY(!result.ok && !result.errorString.isEmpty());
                QCOMPARE(result.fileName, path);
                QCOMPARE(TestSupport::readFile(path), loaded ? QByteArray() : QByteArray("old"));
                QVERIFY(progress.calls.isEmpty());
            }
        }
    }

    // The writer buffers a megabyte at a time; a header and rows longer than that must still
    // come out whole.
    void linesLongerThanTheWriteBuffer()
    {
        constexpr int children = 120000;
        motion.clear();
        auto* root = new BvhJoint;
        root->setName(QStringLiteral("Root"));
        root->addChannel(QStringLiteral("Xrotation"));
        for (int i = 0; i < children; ++i) {
            auto* child = new BvhJoint;
            child->setName(QStringLiteral("End Site"));
            child->setParentJoint(root);
            root->addChild(child);
        }
        motion.root = root;
        motion.frames = {{1.5}, {-2.5}};
        motion.frameTime = 0.5;
        motion.exportMask = QList<bool>(children + 1, true);
        QVERIFY(motion.exportRotationsCsv(path, 0, -1).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], "Time,Root.x,Root.y,Root.z" +
                               QByteArray(",End Site.x,End Site.y,End Site.z").repeated(children));
        QCOMPARE(lines[2], "0.5,-2.5,0,0" + QByteArray(",0,0,0").repeated(children));
    }
};

QTEST_GUILESS_MAIN(TestCsvExports)
#include "tst_csvexports.moc"

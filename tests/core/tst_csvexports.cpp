#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/jointtables.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"
#include "physics/bvhmathobject.h"
#include "physics/centreofmass.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QTest>

// The three CSV tables: the whole-body centre of mass (CentreOfMass), the joint rotations and
// the absolute joint positions (JointTables). Layout, ranges, progress, cancelling, failures,
// and cell values checked against the pose of each frame loaded into the joints.
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

    WriteResult exportTable(int table, const FrameRange& range, ProgressSink* progress = nullptr)
    {
        const ExportOptions options{range, selection};
        if (table == MassCentre)
            return CentreOfMass::writeCsv(motion, segments, path, options, progress);
        if (table == Rotations)
            return JointTables::writeRotations(motion, path, options, progress);
        return JointTables::writePositions(motion, path, options, progress);
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
        selection = {true, false, false, true, false}; // Hips and LeftLeg
    }

    QTemporaryDir dir;
    QString path;
    BvhFile motion;
    QList<bool> selection;
    MassSegmentModel segments;

private slots:
    void init()
    {
        path = dir.filePath(QStringLiteral("table.csv"));
        QFile::remove(path);
        segments = TestSupport::segmentModel("Hips>Spine 0 1"); // its centre is Hips itself
        loadSmallMotion(12);
    }

    // Row f of the small motion holds 10 f + k in column k: Hips' position channels are
    // columns 0..2 and its rotation channels Z, X, Y columns 3..5; Spine's 6..8, LeftLeg's
    // 9..11. Joint columns follow the pre-order of the joints selected.
    void exactFiles_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QList<bool>>("mask");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("mass centre") << int(MassCentre) << QList<bool>{true}
                                     << QByteArray("TIME,X,Y,Z\n0,0,1,2\n0.0333333,10,11,12\n");
        QTest::newRow("rotations") << int(Rotations) << QList<bool>{true, false, false, true}
                                   << QByteArray("Time,Hips.x,Hips.y,Hips.z,LeftLeg.x,LeftLeg.y,"
                                                 "LeftLeg.z\n0,4,5,3,10,11,9\n0.0333333,14,15,"
                                                 "13,20,21,19\n");
        QTest::newRow("positions") << int(Positions) << QList<bool>{true}
                                   << QByteArray("Time,Hips.x,Hips.y,Hips.z\n0,0,1,2\n0.0333333,"
                                                 "10,11,12\n");
        QTest::newRow("no joint selected")
            << int(Rotations) << QList<bool>() << QByteArray("Time\n0\n0.0333333\n");
        QTest::newRow("selection longer than the joints")
            << int(Rotations) << QList<bool>{false, true, false, false, false, true, true}
            << QByteArray("Time,Spine.x,Spine.y,Spine.z\n0,7,8,6\n0.0333333,17,18,16\n");
    }

    void exactFiles()
    {
        QFETCH(int, table);
        QFETCH(QList<bool>, mask);
        QFETCH(QByteArray, expected);
        selection = mask;
        QVERIFY(exportTable(table, {0, 1}).ok);
        QCOMPARE(TestSupport::readFile(path), expected);
    }

    // Both ends of the range are included, in every table. (The two joint tables share one
    // frame loop: the rotations stand for both.)
    void frameRanges()
    {
        const std::tuple<FrameRange, QList<int>> cases[] = {
            {{3, 6}, {3, 4, 5, 6}}, {{4, 4}, {4}},         {{7, 2}, {}},  {{9, 11}, {9, 10, 11}},
            {{-5, 1}, {0, 1}},      {{10, 500}, {10, 11}}, {{40, 50}, {}}};
        for (const auto& [range, frames] : cases) {
            QByteArray expected;
            for (int frame : frames)
                expected += NumberFormat::general(frame * 0.0333333).toLatin1() + ";";
            for (const int table : {MassCentre, Rotations}) {
                QVERIFY(exportTable(table, range).ok);
                QVERIFY2(timeColumn() == expected, qPrintable(QStringLiteral("table %1, %2 to %3")
                                                                  .arg(table)
                                                                  .arg(range.first)
                                                                  .arg(range.last)));
            }
        }
    }

    void realFiles_data() { TestSupport::addRealFileRows(); }

    // Every cell of the tables, for every joint of real skeletons, must carry exactly the
    // digits of the pose of that frame loaded into the joints, and of its centre of mass.
    void realFiles()
    {
        QFETCH(QString, file);
        BvhFile real;
        QVERIFY(BvhReader(real).read(TestSupport::dataPath("real/" + file)).ok());
        const QStringList names = real.root->getAllJointNames();
        BvhMathObject model;
        model.setSegments({{names.first(), names[names.size() / 2], 0.3, 0.5},
                           {names[names.size() / 2], QStringLiteral("End Site"), 1.25, 0.3},
                           {names[names.size() / 3], names.last(), -0.2, 0.2}});
        model.setBvhFile(&real);
        QCOMPARE(model.getBinding().bound.size(), size_t(3));
        ExportOptions options = ExportOptions::wholeMotion(real);
        options.range.last = qMin(real.rowCount(), 120) - 1;
        const QString centres = dir.filePath(QStringLiteral("centres.csv"));
        QVERIFY(JointTables::writePositions(real, path, options).ok);
        QVERIFY(CentreOfMass::writeCsv(real, model.getSegments(), centres, options).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        const QList<QByteArray> centreLines = TestSupport::readLines(centres);
        QCOMPARE(lines.size(), options.range.count() + 1);
        QCOMPARE(centreLines.size(), options.range.count() + 1);
        PoseEvaluator pose(real.root);
        for (int frame = 0; frame <= options.range.last; ++frame) {
            real.loadFrame(frame);
            pose.evaluate();
            const QByteArray time = NumberFormat::general(frame * real.frameTime).toLatin1();
            QByteArray expected = time;
            for (const Vector3f& position : pose.getPositions())
                expected += cells(position);
            QCOMPARE(lines[frame + 1], expected);
            QCOMPARE(centreLines[frame + 1],
                     time + cells(model.computeCentres(pose.getPositions()).body));
        }
    }

    // The tables read the rows: the joints keep the frame they hold.
    void jointsKeepTheirFrame()
    {
        motion.loadFrame(11);
        for (const int table : {MassCentre, Rotations, Positions}) {
            QVERIFY(exportTable(table, {2, 8}).ok);
            QCOMPARE(motion.root->getPosition(), Vector3f(110, 111, 112));
        }
    }

    // Ten steps of 10 %; fewer than ten frames step once per frame (frames 2..6 here).
    void progressSteps()
    {
        const QString plain = QStringLiteral("begin | 100");
        const QList<int> tens{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
        const std::tuple<int, int, FrameRange, QString, QList<int>> cases[] = {
            {Rotations, 100, {0, 99}, plain, tens},
            {Positions,
             100,
             {0, 99},
             "begin Please be patient|Doing a lot of math. This may take a while. 100",
             tens},
            {MassCentre, 100, {0, 99}, plain, tens},
            {Rotations, 12, {2, 6}, plain, {10, 20, 30, 40}}};
        for (const auto& [table, frames, range, begin, values] : cases) {
            loadSmallMotion(frames);
            TestSupport::RecordingProgress progress;
            QVERIFY(exportTable(table, range, &progress).ok);
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
            QVERIFY(exportTable(table, {0, 99}, &progress).ok);
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
                const WriteResult result = exportTable(table, {0, 11}, &progress);
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
        QVERIFY(JointTables::writeRotations(motion, path, ExportOptions::wholeMotion(motion)).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], "Time,Root.x,Root.y,Root.z" +
                               QByteArray(",End Site.x,End Site.y,End Site.z").repeated(children));
        QCOMPARE(lines[2], "0.5,-2.5,0,0" + QByteArray(",0,0,0").repeated(children));
    }
};

QTEST_GUILESS_MAIN(TestCsvExports)
#include "tst_csvexports.moc"

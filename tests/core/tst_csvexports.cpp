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
    enum class Table
    {
        MassCentre,
        Rotations,
        Positions
    };

    WriteResult exportTable(Table table, int start, int end, ProgressSink* progress = nullptr)
    {
        switch (table) {
        case Table::MassCentre:
            return physics.exportMassCentreCsv(path, start, end, progress);
        case Table::Rotations:
            return motion.exportRotationsCsv(path, start, end, progress);
        case Table::Positions:
            return motion.exportAbsolutePositionsCsv(path, start, end, progress);
        }
        return {};
    }

    // The time cells of a written table.
    QList<QByteArray> timeColumn() const
    {
        QList<QByteArray> times;
        const QList<QByteArray> lines = TestSupport::readLines(path);
        for (qsizetype i = 1; i < lines.size(); ++i)
            times.append(lines[i].split(',').first());
        return times;
    }

    static QByteArray times(const QList<int>& frames, double frameTime)
    {
        QByteArray text;
        for (int frame : frames)
            text += NumberFormat::general(frame * frameTime).toLatin1() + ";";
        return text;
    }

    static QByteArray cells(const Vector3f& v)
    {
        return ("," + NumberFormat::general(v.x()) + "," + NumberFormat::general(v.y()) + "," +
                NumberFormat::general(v.z()))
            .toLatin1();
    }

    void loadSmallMotion(int frames, const QByteArray& frameTime = "0.0333333")
    {
        motion.clear();
        QVERIFY(TestSupport::loadMotion(motion, TestSupport::smallMotion(frames, frameTime)));
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
        physics.clearSegments();
        physics.startJointNames = QStringList{QStringLiteral("Hips")};
        physics.endJointNames = QStringList{QStringLiteral("Spine")};
        physics.proximalDistances = {0.5};
        physics.masses = {1.0};
        loadSmallMotion(12);
    }

    void headers_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QList<bool>>("mask");
        QTest::addColumn<QByteArray>("header");
        const QList<bool> hipsOnly{true};
        const QList<bool> legAndHips{true, false, false, true, false};
        QTest::newRow("mass centre")
            << int(Table::MassCentre) << hipsOnly << QByteArray("TIME,X,Y,Z");
        QTest::newRow("positions in pre-order")
            << int(Table::Positions) << legAndHips
            << QByteArray("Time,Hips.x,Hips.y,Hips.z,LeftLeg.x,LeftLeg.y,LeftLeg.z");
        QTest::newRow("no joint selected")
            << int(Table::Rotations) << QList<bool>() << QByteArray("Time");
        QTest::newRow("mask longer than the joints")
            << int(Table::Rotations) << QList<bool>{false, true, false, false, false, true, true}
            << QByteArray("Time,Spine.x,Spine.y,Spine.z");
    }

    void headers()
    {
        QFETCH(int, table);
        QFETCH(QList<bool>, mask);
        QFETCH(QByteArray, header);
        motion.exportMask = mask;
        QVERIFY(exportTable(Table(table), 0, -1).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        QCOMPARE(lines.size(), 13);
        QCOMPARE(lines.first(), header);
        const int columns = int(header.count(',')) + 1;
        for (const QByteArray& line : lines)
            QCOMPARE(line.count(',') + 1, columns);
    }

    void frameRanges_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QList<int>>("frames");
        // The centre-of-mass table includes its end frame, the joint tables do not. (The two
        // joint tables share one frame loop: the rotations stand for both.)
        for (const Table table : {Table::MassCentre, Table::Rotations}) {
            const bool inclusive = table == Table::MassCentre;
            const char* name = inclusive ? "mass centre" : "rotations";
            const auto row = [&](const char* what) {
                return &QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(name, what)));
            };
            *row("inner range") << int(table) << 3 << 6
                                << (inclusive ? QList<int>{3, 4, 5, 6} : QList<int>{3, 4, 5});
            *row("start equals end")
                << int(table) << 4 << 4 << (inclusive ? QList<int>{4} : QList<int>());
            *row("start after end") << int(table) << 7 << 2 << QList<int>();
            *row("end -1 runs to the last frame") << int(table) << 9 << -1 << QList<int>{9, 10, 11};
            *row("negative start")
                << int(table) << -5 << 1 << (inclusive ? QList<int>{0, 1} : QList<int>{0});
            *row("end past the last row") << int(table) << 10 << 500 << QList<int>{10, 11};
            *row("start past the last row") << int(table) << 40 << 50 << QList<int>();
        }
    }

    void frameRanges()
    {
        QFETCH(int, table);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QList<int>, frames);
        QVERIFY(exportTable(Table(table), start, end).ok);
        QByteArray written;
        for (const QByteArray& time : timeColumn())
            written += time + ";";
        QCOMPARE(written, times(frames, 0.0333333));
    }

    void rotationCellsAreTheStoredAngles()
    {
        // Row f of the small motion holds 10 f + k in column k; Hips' rotation channels are
        // Zrotation, Xrotation, Yrotation in columns 3..5 and LeftLeg's in 9..11.
        QVERIFY(motion.exportRotationsCsv(path, 0, 2).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1], QByteArray("0,4,5,3,10,11,9"));
        QCOMPARE(lines[2], QByteArray("0.0333333,14,15,13,20,21,19"));
        const QByteArray text = TestSupport::readFile(path);
        QVERIFY(text.endsWith('\n'));
        QVERIFY(!text.contains('\r'));
    }

    void positionsMatchGetAbsolutePosition_data() { TestSupport::addRealFileRows(); }

    // Every cell of the table, for every joint of real skeletons, must carry exactly the digits
    // of the joint's own getAbsolutePosition().
    void positionsMatchGetAbsolutePosition()
    {
        QFETCH(QString, file);
        BvhFile real;
        QVERIFY(real.readFile(TestSupport::dataPath("real/" + file)).ok());
        const QList<BvhJoint*> joints = real.root->getAllJoints();
        real.exportMask = QList<bool>(joints.size(), true);
        const int end = qMin(real.rowCount(), 120);
        QVERIFY(real.exportAbsolutePositionsCsv(path, 0, end).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        QCOMPARE(lines.size(), end + 1);
        for (int frame = 0; frame < end; ++frame) {
            real.setCurrentFrame(frame);
            QByteArray expected = NumberFormat::general(frame * real.frameTime).toLatin1();
            for (const BvhJoint* joint : joints)
                expected += cells(joint->getAbsolutePosition());
            QCOMPARE(lines[frame + 1], expected);
        }
    }

    void massCentreMatchesComputeBodyCentre_data() { positionsMatchGetAbsolutePosition_data(); }

    void massCentreMatchesComputeBodyCentre()
    {
        QFETCH(QString, file);
        BvhFile real;
        QVERIFY(real.readFile(TestSupport::dataPath("real/" + file)).ok());
        const QStringList names = real.root->getAllJointNames();
        BvhMathObject model;
        model.clearSegments();
        model.startJointNames = {names.first(), names[names.size() / 2], names[names.size() / 3]};
        model.endJointNames = {names[names.size() / 2], QStringLiteral("End Site"), names.last()};
        model.proximalDistances = {0.3, 1.25, -0.2};
        model.masses = {0.5, 0.3, 0.2};
        model.setBvhFile(&real);
        const int last = qMin(real.rowCount() - 1, 150);
        QVERIFY(model.exportMassCentreCsv(path, 0, last).ok);
        const QList<QByteArray> lines = TestSupport::readLines(path);
        QCOMPARE(lines.size(), last + 2);
        for (int frame = 0; frame <= last; ++frame) {
            real.setCurrentFrame(frame);
            model.computeSegmentCentres();
            const QByteArray expected = NumberFormat::general(frame * real.frameTime).toLatin1() +
                                        cells(model.computeBodyCentre());
            QCOMPARE(lines[frame + 1], expected);
        }
    }

    void currentFrameAfterExport_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("frame");
        QTest::newRow("mass centre returns to frame 0") << int(Table::MassCentre) << 0;
        QTest::newRow("joint tables stay at the last row") << int(Table::Rotations) << 7;
    }

    void currentFrameAfterExport()
    {
        QFETCH(int, table);
        QFETCH(int, frame);
        motion.setCurrentFrame(11);
        QVERIFY(exportTable(Table(table), 2, 8).ok);
        QCOMPARE(motion.currentFrame, frame);
        QCOMPARE(motion.root->getPosition().x(), float(10 * frame));
    }

    void progressSteps_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QList<int>>("values");
        const QList<int> tens{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
        QTest::newRow("rotations")
            << int(Table::Rotations) << 100 << -1 << QString() << QString() << tens;
        QTest::newRow("positions") << int(Table::Positions) << 100 << -1 << "Please be patient"
                                   << "Doing a lot of math. This may take a while." << tens;
        // Fewer than ten frames step once per frame (frames 2..6 here).
        QTest::newRow("short range") << int(Table::Rotations) << 12 << 7 << QString() << QString()
                                     << QList<int>{10, 20, 30, 40};
    }

    void progressSteps()
    {
        QFETCH(int, table);
        QFETCH(int, frames);
        QFETCH(int, end);
        QFETCH(QString, title);
        QFETCH(QString, label);
        QFETCH(QList<int>, values);
        loadSmallMotion(frames);
        TestSupport::RecordingProgress progress;
        QVERIFY(exportTable(Table(table), end < 0 ? 0 : 2, end, &progress).ok);
        QCOMPARE(progress.title, title);
        QCOMPARE(progress.label, label);
        QCOMPARE(progress.maximum, 100);
        QCOMPARE(progress.values, values);
        QCOMPARE(progress.begun, 1);
        QCOMPARE(progress.ended, 1);
    }

    void cancelKeepsTheRowsWritten_data()
    {
        QTest::addColumn<int>("table");
        QTest::newRow("mass centre") << int(Table::MassCentre);
        QTest::newRow("joint tables") << int(Table::Rotations);
    }

    void cancelKeepsTheRowsWritten()
    {
        QFETCH(int, table);
        loadSmallMotion(100);
        TestSupport::RecordingProgress progress;
        progress.cancelAtValue = 30; // reached at frame 21, before its row is written
        const int end = Table(table) == Table::MassCentre ? 99 : 100; // all 100 frames
        QVERIFY(exportTable(Table(table), 0, end, &progress).ok);
        const QList<QByteArray> times = timeColumn();
        QCOMPARE(times.size(), 21);
        QCOMPARE(times.last(), NumberFormat::general(20 * 0.0333333).toLatin1());
        QCOMPARE(progress.ended, 1);
    }

    void failureNamesTheFile_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<bool>("loaded");
        for (const bool loaded : {true, false}) {
            const char* state = loaded ? "unwritable file" : "no motion";
            QTest::addRow("mass centre, %s", state) << int(Table::MassCentre) << loaded;
            QTest::addRow("rotations, %s", state) << int(Table::Rotations) << loaded;
        }
        QTest::newRow("positions, no motion") << int(Table::Positions) << false;
    }

    void failureNamesTheFile()
    {
        QFETCH(int, table);
        QFETCH(bool, loaded);
        if (loaded)
            path = dir.filePath(QStringLiteral("no such folder/table.csv"));
        else
            motion.clear();
        TestSupport::RecordingProgress progress;
        const WriteResult result = exportTable(Table(table), 0, -1, &progress);
        QVERIFY(!result.ok);
        QCOMPARE(result.fileName, path);
        QVERIFY(!result.errorString.isEmpty());
        QVERIFY(!QFile::exists(path));
        QCOMPARE(progress.begun, 0);
    }

    void failedExportKeepsTheOldFile()
    {
        QVERIFY(motion.exportRotationsCsv(path, 0, 3).ok);
        const QByteArray before = TestSupport::readFile(path);
        motion.clear();
        QVERIFY(!motion.exportRotationsCsv(path, 0, 3).ok);
        QCOMPARE(TestSupport::readFile(path), before);
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

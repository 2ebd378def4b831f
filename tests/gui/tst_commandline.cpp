#include "app/commandlinerun.h"
#include "app/progressthrottle.h"
#include "export/c3dexport.h"
#include "model/bvhreader.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>

// The program started with arguments, as a user or a script starts it: which run an argument
// selects, what lands in the directory, what is left alone, and the exit code.
class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1;
        QString errors;
    };

    // Hips with two legs, ending in `left` (LFoot unless named otherwise) and RFoot. Nothing
    // turns; row f puts the root at (0.1 f, 0.2, 0).
    static QByteArray footMotion(int frames, const QByteArray& frameTime,
                                 const QByteArray& left = "LFoot")
    {
        QByteArray text = "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\nCHANNELS 6 Xposition "
                          "Yposition Zposition Zrotation Xrotation Yrotation\n";
        for (const auto& [foot, side] : {std::pair{left, "2"}, {QByteArray("RFoot"), "-3"}})
            text += "JOINT Up" + foot + "\n{\nOFFSET " + side +
                    " -1 0\nCHANNELS 3 Zrotation Xrotation Yrotation\nJOINT " + foot +
                    "\n{\nOFFSET 0 -4 0.5\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
                    "End Site\n{\nOFFSET 0 0 1\n}\n}\n}\n";
        text += "}\nMOTION\nFrames: " + QByteArray::number(frames) + "\nFrame Time: " + frameTime;
        for (int f = 0; f < frames; ++f)
            text += "\n" + QByteArray::number(f * 0.1) + " 0.2 0" + QByteArray(" 0").repeated(15);
        return text + "\n";
    }

    // Without a display the one-argument run goes offscreen.
    static Run runProgram(const QTemporaryDir& dir, const QString& argument, bool display = true)
    {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        if (!display) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                environment.remove(QString::fromLatin1(name));
            process.setProcessEnvironment(environment);
        }
        process.start(QStringLiteral(KINOVANE_EXECUTABLE), {argument});
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return {-1, QStringLiteral("did not finish")};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
                QString::fromUtf8(process.readAllStandardError())};
    }

    static QStringList entries(const QTemporaryDir& dir)
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }

    // a.bvh, B.BVH, c.txt and a directory named d.bvh.
    static void fillMixedDirectory(const QTemporaryDir& dir)
    {
        TestSupport::writeFile(dir, QStringLiteral("a.bvh"), footMotion(4, "0.0333333"));
        TestSupport::writeFile(dir, QStringLiteral("B.BVH"), TestSupport::smallMotion(3));
        TestSupport::writeFile(dir, QStringLiteral("c.txt"), "not a motion, all feet\n");
        QDir(dir.path()).mkdir(QStringLiteral("d.bvh"));
    }

private slots:
    // The run writes what the export procedure writes, byte for byte, for every *.bvh in any
    // case, and leaves everything else alone.
    void allConvertsEveryBvhFile()
    {
        QTemporaryDir dir;
        fillMixedDirectory(dir);
        const Run run = runProgram(dir, QStringLiteral("all"), false);
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        QCOMPARE(entries(dir), QStringList({"B.BVH", "B.c3d", "a.bvh", "a.c3d", "c.txt", "d.bvh"}));
        QCOMPARE(TestSupport::readFile(dir.filePath(QStringLiteral("c.txt"))),
                 QByteArray("not a motion, all feet\n"));
        QVERIFY2(run.errors.contains(QStringLiteral("skipped d.bvh")), qPrintable(run.errors));
        for (const QString name : {"a.bvh", "B.BVH"}) {
            BvhFile motion;
            QVERIFY(BvhReader(motion).read(dir.filePath(name)).ok());
            const QString reference = dir.filePath(QStringLiteral("reference"));
            QVERIFY(C3DExport::exportMotion(motion, reference, nullptr).ok);
            QCOMPARE(TestSupport::readFile(dir.filePath(name.chopped(3) + "c3d")),
                     TestSupport::readFile(reference));
        }
    }

    // The argument is searched for "all", then "feet", case-sensitively.
    void argumentSelectsTheRun()
    {
        using Kind = CommandLineRun::Kind;
        for (const auto& [argument, kind] : {std::pair{"all", Kind::ConvertToC3D},
                                             {"ALL", Kind::None},
                                             {"feet", Kind::FootTables},
                                             {"feetall", Kind::ConvertToC3D},
                                             {"ball.bvh", Kind::ConvertToC3D},
                                             {"/tmp/walk.bvh", Kind::None},
                                             {"", Kind::None}})
            QCOMPARE(CommandLineRun::kindOf(QString::fromLatin1(argument)), kind);
        QTemporaryDir dir;
        fillMixedDirectory(dir);
        const QStringList before = entries(dir);
        QCOMPARE(runProgram(dir, QStringLiteral("ALL")).exitCode, 0);
        QCOMPARE(entries(dir), before);
    }

    // Time (summed frame by frame), then each foot in centimetres with x negated and y, z
    // swapped, every number as printf "%.15g" writes it, lines ending in "\n".
    void footTable()
    {
        QTemporaryDir dir;
        TestSupport::writeFile(dir, QStringLiteral("walk.bvh"), footMotion(3, "0.5"));
        QCOMPARE(runProgram(dir, QStringLiteral("feet"), false).exitCode, 0);
        QCOMPARE(TestSupport::readFile(dir.filePath(QStringLiteral("walk.csv"))),
                 TestSupport::readFile(TestSupport::dataPath("expected/gui_feet_walk.csv")));
    }

    // Files that cannot be read, or have no foot joints, are skipped by name and the run goes
    // on; a named pipe (whose opening would wait for a writer) does not stop it.
    void footRunSkipsWhatItCannotUse()
    {
        QTemporaryDir dir;
        TestSupport::writeFile(dir, QStringLiteral("a.bvh"), footMotion(2, "0.1"));
        TestSupport::writeFile(dir, QStringLiteral("b.bvh"), footMotion(2, "0.1", "LeftFoot"));
        TestSupport::writeFile(dir, QStringLiteral("c.bvh"), footMotion(2, "0.1"));
        QDir(dir.path()).mkdir(QStringLiteral("d.bvh"));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("p.bvh"))), 0600), 0);
        const Run run = runProgram(dir, QStringLiteral("feet"));
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        QCOMPARE(entries(dir).filter(QStringLiteral(".csv")), QStringList({"a.csv", "c.csv"}));
        QVERIFY2(run.errors.contains(QStringLiteral("skipped b.bvh: it has no joint named LFoot")),
                 qPrintable(run.errors));
        QVERIFY2(run.errors.contains(QStringLiteral("skipped d.bvh")), qPrintable(run.errors));
    }

    void unwritableOutputGivesExitCode1_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("extension");
        QTest::newRow("C3D run") << "all"
                                 << "c3d";
        QTest::newRow("foot run") << "feet"
                                  << "csv";
    }

    // The run reports the output it could not write, goes on with the next file and ends
    // with exit code 1.
    void unwritableOutputGivesExitCode1()
    {
        QFETCH(QString, argument);
        QFETCH(QString, extension);
        QTemporaryDir dir;
        TestSupport::writeFile(dir, QStringLiteral("a.bvh"), footMotion(2, "0.1"));
        TestSupport::writeFile(dir, QStringLiteral("c.bvh"), footMotion(2, "0.1"));
        QVERIFY(QDir(dir.path()).mkdir("a." + extension));
        const Run run = runProgram(dir, argument);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains("cannot write a." + extension + ": "), qPrintable(run.errors));
        QVERIFY(QFile::exists(dir.filePath("c." + extension)));
    }

    // With two arguments there is no batch run to end the program: the window comes up and
    // stays.
    void twoArgumentsRunThenShowTheWindow()
    {
        QTemporaryDir dir;
        fillMixedDirectory(dir);
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(KINOVANE_EXECUTABLE), {"all", "more"});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("B.c3d"))), 60000);
        QVERIFY(!process.waitForFinished(1500));
        process.kill();
        process.waitForFinished();
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("a.c3d"))));
    }

    // Cancel in the progress dialog of the first file: that file keeps the frames done so
    // far, the later files get nothing.
    void cancelEndsTheRunAfterTheFileUnderWay()
    {
        QTemporaryDir dir;
        for (const char* name : {"a.bvh", "b.bvh", "c.bvh"})
            TestSupport::writeFile(dir, QString::fromLatin1(name), footMotion(50, "0.01"));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QTimer::singleShot(0, qApp, [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QProgressDialog*>(widget);
                    dialog && dialog->isVisible())
                    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
            }
        });
        const int exitCode = CommandLineRun().run(QStringLiteral("all"));
        QDir::setCurrent(previous);
        QCOMPARE(exitCode, 0);
        TestSupport::C3DReader reader;
        QCOMPARE(reader.readFile(dir.filePath(QStringLiteral("a.c3d"))), QString());
        // The click is seen at the first progress update, before frame 1; frame 1 is finished.
        QCOMPARE(reader.frameCount, qint64(2));
        QCOMPARE(entries(dir).filter(QStringLiteral(".c3d")), QStringList{"a.c3d"});
    }

    // The progress dialog is updated about `updates` times: frame f is due once it passes the
    // next mark, which then moves on by maximum / updates; with fewer frames than updates
    // every frame after the first is due.
    void progressUpdates()
    {
        const auto dueFrom = [](int maximum, int updates, int first, int step) {
            ProgressThrottle throttle(maximum, updates);
            for (int frame = 0, next = first; frame < maximum; ++frame) {
                if (throttle.isDue(frame) != (frame == next))
                    return false;
                next += frame == next ? step : 0;
            }
            return true;
        };
        QVERIFY(dueFrom(50, 100, 1, 1));
        QVERIFY(dueFrom(100, 100, 2, 1));
        QVERIFY(dueFrom(1000, 100, 11, 10));
        QVERIFY(dueFrom(1000, 10, 101, 100));
        QVERIFY(dueFrom(10, 0, 1, 1));
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"

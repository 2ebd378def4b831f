#include "app/commandlinerun.h"
#include "export/c3dexport.h"
#include "model/bvhreader.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"
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
    static QStringList entries(const QTemporaryDir& dir)
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }

private slots:
    // Runs over one directory: a.bvh and walk.bvh hold two legs ending in LFoot and RFoot
    // (nothing turns, row f puts the root at (0.1 f, 0.2, 0)), still.bvh the same legs standing
    // at (0, 0.2, 0) for 101 frames of 0.1 s, B.BVH has no feet. Every *.bvh in any case is
    // converted, skipping by name what is no regular file (a directory) or has no foot joints;
    // a named pipe (whose opening would wait for a writer) does not stop the run. An output
    // that cannot be written (a.c3d and a.csv are directories) is reported, the run goes on
    // with the next file and ends with exit code 1. Without a display the run goes offscreen.
    // "all" and then "feet" are searched for case-sensitively: "ALL" runs nothing. A C3D file
    // is what the export procedure writes, byte for byte; the foot table holds the time
    // (summed frame by frame), then each foot in centimetres with x negated and y, z swapped,
    // every number as printf "%.15g" writes it.
    void batchRuns()
    {
        QTemporaryDir dir;
        const QByteArray feet = TestSupport::readFile(TestSupport::dataPath("gui_feet_walk.bvh"));
        TestSupport::writeFile(dir, "a.bvh", feet);
        TestSupport::writeFile(dir, "B.BVH", TestSupport::smallMotion(3));
        TestSupport::writeFile(dir, "c.txt", "not a motion, all feet\n");
        TestSupport::writeFile(dir, "walk.bvh", feet);
        QVERIFY(
            QFile::copy(TestSupport::dataPath("gui_feet_still.bvh"), dir.filePath("still.bvh")));
        for (const char* directory : {"a.c3d", "a.csv", "d.bvh"})
            QVERIFY(QDir(dir.path()).mkdir(directory));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("p.bvh")), 0600), 0);
        // The argument, whether a display is there and the files written.
        const std::tuple<QString, bool, QStringList> runs[] = {
            {"all", false, {"B.c3d", "still.c3d", "walk.c3d"}},
            {"feet", true, {"still.csv", "walk.csv"}},
            {"ALL", true, {}}};
        QString errors;
        // Each run in turn, in the directory the runs before it left.
        for (const auto& [argument, display, written] : runs) {
            QStringList expected = entries(dir) + written;
            expected.sort();
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                environment.remove(display ? QString() : name);
            QProcess process;
            process.setProcessEnvironment(environment);
            process.setWorkingDirectory(dir.path());
            process.start(KINOVANE_EXECUTABLE, {argument});
            QVERIFY2(process.waitForFinished(120000), qPrintable(argument));
            errors += process.readAllStandardError();
            QVERIFY2(process.exitCode() == (written.isEmpty() ? 0 : 1), qPrintable(argument));
            QVERIFY2(entries(dir) == expected, qPrintable(argument));
        }
        QCOMPARE(TestSupport::readFile(dir.filePath("walk.csv")),
                 TestSupport::readFile(TestSupport::dataPath("expected/gui_feet_walk.csv")));
        // 100 additions of 0.1 s give 9.99999999999998 s, where 100 * 0.1 gives 10.
        QCOMPARE(TestSupport::readLines(dir.filePath("still.csv")).last(),
                 "9.99999999999998,-20,5,-48.0000019073486,30,5,-48.0000019073486");
        for (const char* report :
             {"cannot write a.c3d: ", "cannot write a.csv: ", "skipped d.bvh",
              "skipped B.BVH: the iPi Studio profile finds no left ankle in it"})
            QVERIFY2(errors.contains(report), qPrintable(errors));
        BvhFile motion;
        QVERIFY(BvhReader(motion).read(dir.filePath("walk.bvh")).ok());
        const MotionSetup setup = MotionSetup::choose(SkeletonProfiles::load({}), motion, {});
        QVERIFY(
            C3DExport::exportMotion(motion, dir.filePath("reference"), setup.exportOptions(motion))
                .ok);
        QCOMPARE(TestSupport::readFile(dir.filePath("walk.c3d")),
                 TestSupport::readFile(dir.filePath("reference")));

        // With two arguments there is no batch run to end the program: the run is done first,
        // then the window comes up and stays.
        QVERIFY(QFile::remove(dir.filePath("walk.c3d")));
        QProcess window;
        window.setWorkingDirectory(dir.path());
        window.start(KINOVANE_EXECUTABLE, {"all", "more"});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("walk.c3d")), 60000);
        QVERIFY(!window.waitForFinished(1500)); // the process is killed as `window` goes
    }

    // Where no window can be shown the program says so and ends; a platform without OpenGL
    // shows the window with a notice for the 3D view, and keeps running.
    void withoutDisplayOrOpenGl_data()
    {
        QTest::addColumn<QString>("platform"); // empty: no display and no platform
        QTest::addColumn<bool>("windowShown");
        QTest::newRow("no display") << QString() << false;
        QTest::newRow("offscreen") << "offscreen" << true;
        QTest::newRow("minimal") << "minimal" << true;
    }
    void withoutDisplayOrOpenGl()
    {
        QFETCH(QString, platform);
        QFETCH(bool, windowShown);
        // The platform is chosen with the display still there, as a user would.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(platform.isEmpty() ? name : "QT_QPA_PLATFORM");
        if (!platform.isEmpty())
            environment.insert("QT_QPA_PLATFORM", platform);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(KINOVANE_EXECUTABLE, {TestSupport::dataPath("gui_feet_walk.bvh")});
        QCOMPARE(!process.waitForFinished(windowShown ? 4000 : 60000), windowShown);
        // No OpenGL widget is made where it cannot draw.
        const QByteArray errors = process.readAllStandardError();
        QVERIFY2(!errors.contains("QOpenGLWidget"), errors.constData());
        if (windowShown)
            return; // killed as `process` goes
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(errors.contains("kinovane-convert"));
    }

    // One argument naming a file opens it in the window, whatever the name holds, and converts
    // nothing; --help and --version print and end; a .bvh name that is no file is an error; a
    // batch run names each file it writes, saying so when it replaces one, in the order of the
    // files (a.bvh, the longest, is done last).
    void oneArgument()
    {
        QTemporaryDir dir;
        const QByteArray feet = TestSupport::readFile(TestSupport::dataPath("gui_feet_walk.bvh"));
        TestSupport::writeFile(dir, "a.bvh", TestSupport::branchedMotion(60, 20000));
        TestSupport::writeFile(dir, "ball.bvh", feet);
        TestSupport::writeFile(dir, "walk.bvh", feet);
        const auto start = [&](QProcess& process, const QString& argument) {
            process.setWorkingDirectory(dir.path());
            process.start(KINOVANE_EXECUTABLE, {argument});
        };
        QProcess window;
        start(window, "ball.bvh");
        QVERIFY(!window.waitForFinished(3000)); // the window is up
        QCOMPARE(entries(dir), QStringList({"a.bvh", "ball.bvh", "walk.bvh"}));
        window.kill();
        window.waitForFinished();
        // Each run in turn: the second "all" finds the first one's outputs.
        const std::tuple<const char*, int, const char*> runs[] = {
            {"--help", 0, "Usage: kinovane [FILE.bvh]"},
            {"--version", 0, "kinovane "},
            {"nothere.bvh", 1, "nothere.bvh: no such file"},
            {"all", 0, "a.c3d\nball.c3d\nwalk.c3d\n"},
            {"all", 0, "walk.c3d (replacing the existing file)\n"}};
        for (const auto& [argument, exitCode, output] : runs) {
            QProcess process;
            start(process, argument);
            QVERIFY(process.waitForFinished(60000));
            const QByteArray said =
                process.readAllStandardOutput() + process.readAllStandardError();
            QVERIFY2(process.exitCode() == exitCode && said.contains(output), said.constData());
        }
    }

    void argumentSelectsTheRun_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<CommandLineRun::Kind>("kind");
        using Kind = CommandLineRun::Kind;
        QTest::newRow("feet and all") << QStringLiteral("feetall") << Kind::ConvertToC3D;
        QTest::newRow("a .bvh name that is no file")
            << QStringLiteral("ball.bvh") << Kind::ConvertToC3D;
        QTest::newRow("a .bvh path that is no file")
            << QStringLiteral("no folder/walk.bvh") << Kind::None;
        QTest::newRow("empty") << QString() << Kind::None;
    }

    // The argument is searched for "all", then "feet" ("all" and "feet" alone run in
    // batchRuns). The test runs in a folder of its own, where no file has these names.
    void argumentSelectsTheRun()
    {
        QFETCH(QString, argument);
        QFETCH(CommandLineRun::Kind, kind);
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const CommandLineRun::Kind found = CommandLineRun::kindOf(argument);
        QDir::setCurrent(previous);
        QCOMPARE(found, kind);
    }

    // Cancel in the run's progress dialog, one file at a time: the file under way keeps the
    // frames done so far, the later files get nothing, and the run still succeeds.
    void cancelEndsTheRunAfterTheFilesUnderWay()
    {
        QTemporaryDir dir;
        constexpr int frames = 20000;
        TestSupport::writeFile(dir, "a.bvh", TestSupport::branchedMotion(60, frames));
        for (const char* name : {"b.bvh", "c.bvh"})
            TestSupport::writeFile(dir, QString::fromLatin1(name), TestSupport::smallMotion(50));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        // Seen at the first look at the dialog, once the run has been under way for a moment.
        QTimer::singleShot(0, qApp, [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QProgressDialog*>(widget);
                    dialog && dialog->isVisible())
                    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
            }
        });
        const int exitCode = CommandLineRun(1).run(QStringLiteral("all"));
        QDir::setCurrent(previous);
        QCOMPARE(exitCode, 0);
        TestSupport::C3DReader reader;
        QCOMPARE(reader.readFile(dir.filePath(QStringLiteral("a.c3d"))), QString());
        QVERIFY(reader.frameCount < frames);
        QCOMPARE(entries(dir).filter(QStringLiteral(".c3d")), QStringList{"a.c3d"});
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"

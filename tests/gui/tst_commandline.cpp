#include "app/commandlinerun.h"
#include "app/dudezu.h"
#include "export/c3dexport.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/numberformat.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

#include <sys/stat.h>

using TestSupport::C3DReader;

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

    enum class Display
    {
        Inherited,
        None
    };

    // Hips with two legs ending in LFoot and RFoot; `withFeet` false names them otherwise.
    static QByteArray footMotion(int frames, const QByteArray& frameTime, bool withFeet = true)
    {
        const QByteArray left = withFeet ? "LFoot" : "LeftFoot";
        QByteArray text = "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n"
                          "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation "
                          "Yrotation\n";
        for (const QByteArray& foot : {left, QByteArray("RFoot")}) {
            text += "\tJOINT Up" + foot +
                    "\n\t{\n\t\tOFFSET 2 -1 0\n"
                    "\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
                    "\t\tJOINT " +
                    foot +
                    "\n\t\t{\n\t\t\tOFFSET 0 -4 0.5\n"
                    "\t\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
                    "\t\t\tEnd Site\n\t\t\t{\n\t\t\t\tOFFSET 0 0 1\n\t\t\t}\n\t\t}\n\t}\n";
        }
        text += "}\nMOTION\nFrames: " + QByteArray::number(frames) + "\nFrame Time: " + frameTime +
                "\n";
        for (int f = 0; f < frames; ++f) {
            QByteArrayList values;
            for (int k = 0; k < 18; ++k)
                values.append(QByteArray::number(f * 1.5 + k * 7.25 - 20.0));
            text += values.join(' ') + '\n';
        }
        return text;
    }

    static Run runProgram(const QTemporaryDir& dir, const QStringList& arguments,
                          Display display = Display::Inherited)
    {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        if (display == Display::None) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                environment.remove(QString::fromLatin1(name));
            process.setProcessEnvironment(environment);
        }
        process.start(QStringLiteral(KINOVANE_EXECUTABLE), arguments);
        Run run;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            run.errors = QStringLiteral("did not finish");
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.errors = QString::fromUtf8(process.readAllStandardError());
        return run;
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
    void allConvertsEveryBvhFile()
    {
        QTemporaryDir dir;
        fillMixedDirectory(dir);
        // Without a display the run goes offscreen.
        const Run run = runProgram(dir, {QStringLiteral("all")}, Display::None);
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        QCOMPARE(entries(dir), QStringList({"B.BVH", "B.c3d", "a.bvh", "a.c3d", "c.txt", "d.bvh"}));
        QCOMPARE(TestSupport::readFile(dir.filePath(QStringLiteral("c.txt"))),
                 QByteArray("not a motion, all feet\n"));
        QVERIFY2(run.errors.contains(QStringLiteral("skipped d.bvh")), qPrintable(run.errors));

        // The run writes what the export procedure writes, byte for byte.
        for (const QString& name : {QStringLiteral("a"), QStringLiteral("B")}) {
            const QString input =
                dir.filePath(name + (name == QLatin1String("a") ? ".bvh" : ".BVH"));
            BvhFile motion;
            QVERIFY(motion.readFile(input).ok());
            const QString reference = dir.filePath(name + QStringLiteral(".reference"));
            QVERIFY(C3DExport::exportMotion(motion, reference, nullptr).ok);
            QCOMPARE(TestSupport::readFile(dir.filePath(name + QStringLiteral(".c3d"))),
                     TestSupport::readFile(reference));
            C3DReader reader;
            QCOMPARE(reader.readFile(dir.filePath(name + QStringLiteral(".c3d"))), QString());
            QCOMPARE(reader.frameCount, qint64(motion.rowCount()));
        }
    }

    void argumentSelectsTheRun_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("written");
        const QStringList c3d{"B.c3d", "a.c3d"};
        QTest::newRow("ALL") << QStringList{"ALL"} << QStringList();
        QTest::newRow("feet") << QStringList{"feet"} << QStringList{"a.csv"};
        QTest::newRow("all and feet") << QStringList{"feetall"} << c3d;
        QTest::newRow("path without all or feet") << QStringList{"/tmp/walk.bvh"} << QStringList();
        QTest::newRow("path containing all") << QStringList{"ball.bvh"} << c3d;
        QTest::newRow("empty argument") << QStringList{""} << QStringList();
    }

    void argumentSelectsTheRun()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, written);
        QTemporaryDir dir;
        fillMixedDirectory(dir);
        const QStringList before = entries(dir);
        const Run run = runProgram(dir, arguments);
        QCOMPARE(run.exitCode, 0);
        QStringList expected = before + written;
        expected.sort();
        QStringList after = entries(dir);
        after.sort();
        QCOMPARE(after, expected);
    }

    // The foot table: a header line, then time and both feet per frame, with times summed
    // frame by frame.
    void footTable()
    {
        QTemporaryDir dir;
        const QString input =
            TestSupport::writeFile(dir, QStringLiteral("walk.bvh"), footMotion(3, "0.5"));
        const Run run = runProgram(dir, {QStringLiteral("feet")}, Display::None);
        QCOMPARE(run.exitCode, 0);
        const QList<QByteArray> lines =
            TestSupport::readFile(dir.filePath(QStringLiteral("walk.csv"))).split('\n');
        QCOMPARE(lines.size(), 5); // three rows and the empty rest after the last "\n"
        QCOMPARE(lines[0], QByteArray("Time,LFoot.x,LFoot.y,LFoot.z,RFoot.x,RFoot.y,RFoot.z"));
        QCOMPARE(lines[4], QByteArray());

        BvhFile motion;
        QVERIFY(motion.readFile(input).ok());
        const BvhJoint* left = motion.root->getJointByName(QStringLiteral("LFoot"));
        const BvhJoint* right = motion.root->getJointByName(QStringLiteral("RFoot"));
        const QList<QByteArray> times{"0", "0.5", "1"};
        for (int f = 0; f < 3; ++f) {
            const QList<QByteArray> fields = lines[f + 1].split(',');
            QCOMPARE(fields.size(), 7);
            QCOMPARE(fields[0], times[f]);
            motion.setCurrentFrame(f);
            const Vector3f l = left->getGlobalPosition();
            const Vector3f r = right->getGlobalPosition();
            const double expected[6] = {-10.0 * l.x(), 10.0 * l.z(), 10.0 * l.y(),
                                        -10.0 * r.x(), 10.0 * r.z(), 10.0 * r.y()};
            for (int k = 0; k < 6; ++k) {
                bool ok = false;
                const double value = NumberFormat::toDouble(fields[k + 1].toStdString(), &ok);
                QVERIFY(ok);
                // 15 significant digits: equal up to the last of them.
                QVERIFY2(std::abs(value - expected[k]) <= 1e-14 * std::abs(expected[k]) + 1e-300,
                         fields[k + 1].constData());
                QVERIFY(fields[k + 1].size() <= 22);
            }
        }
    }

    // A file without foot joints used to end the whole run; now it is skipped by name.
    void footRunSkipsFileWithoutFeet()
    {
        QTemporaryDir dir;
        TestSupport::writeFile(dir, QStringLiteral("a.bvh"), footMotion(2, "0.1"));
        TestSupport::writeFile(dir, QStringLiteral("b.bvh"), footMotion(2, "0.1", false));
        TestSupport::writeFile(dir, QStringLiteral("c.bvh"), footMotion(2, "0.1"));
        QDir(dir.path()).mkdir(QStringLiteral("d.bvh"));
        const Run run = runProgram(dir, {QStringLiteral("feet")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("a.csv"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("b.csv"))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("c.csv"))));
        QVERIFY2(run.errors.contains(QStringLiteral("skipped b.bvh: it has no joint named LFoot")),
                 qPrintable(run.errors));
        QVERIFY2(run.errors.contains(QStringLiteral("skipped d.bvh")), qPrintable(run.errors));
    }

    // Opening a named pipe waits for a writer: a pipe named *.bvh must not stop the run.
    void namedPipeIsSkipped_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("output");
        QTest::newRow("C3D run") << "all"
                                 << "a.c3d";
    }

    // (Both runs walk the directory and read each file through one function: the C3D run
    // stands for both.)
    void namedPipeIsSkipped()
    {
        QFETCH(QString, argument);
        QFETCH(QString, output);
        QTemporaryDir dir;
        TestSupport::writeFile(dir, QStringLiteral("a.bvh"), footMotion(2, "0.1"));
        QCOMPARE(
            ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("p.bvh"))).constData(), 0600),
            0);
        const Run run = runProgram(dir, {argument});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(dir.filePath(output)));
        // The directory listing leaves pipes out; the reader would refuse one anyway.
        QVERIFY2(!run.errors.contains(QStringLiteral("did not finish")), qPrintable(run.errors));
    }

    void unwritableOutputGivesExitCode1_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<QString>("other");
        QTest::newRow("C3D run") << "all"
                                 << "a.c3d"
                                 << "c.c3d";
        QTest::newRow("foot run") << "feet"
                                  << "a.csv"
                                  << "c.csv";
    }

    // The run reports the output it could not write, goes on with the next file and ends
    // with exit code 1.
    void unwritableOutputGivesExitCode1()
    {
        QFETCH(QString, argument);
        QFETCH(QString, blocked);
        QFETCH(QString, other);
        QTemporaryDir dir;
        TestSupport::writeFile(dir, QStringLiteral("a.bvh"), footMotion(2, "0.1"));
        TestSupport::writeFile(dir, QStringLiteral("c.bvh"), footMotion(2, "0.1"));
        QVERIFY(QDir(dir.path()).mkdir(blocked));
        const Run run = runProgram(dir, {argument});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains(QStringLiteral("cannot write ") + blocked + ": "),
                 qPrintable(run.errors));
        QVERIFY(QFileInfo(dir.filePath(blocked)).isDir());
        QVERIFY(QFile::exists(dir.filePath(other)));
    }

    // With two arguments the run is made and then the window is shown and stays up.
    void twoArgumentsRunThenShowTheWindow()
    {
        QTemporaryDir dir;
        fillMixedDirectory(dir);
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(KINOVANE_EXECUTABLE),
                      {QStringLiteral("all"), QStringLiteral("more")});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("B.c3d"))), 60000);
        QVERIFY(!process.waitForFinished(1500)); // the event loop runs
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
        DudEzu window;
        QTimer::singleShot(0, &window, [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QProgressDialog*>(widget);
                    dialog && dialog->isVisible())
                    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
            }
        });
        const int exitCode = CommandLineRun(window).run(QStringLiteral("all"));
        QDir::setCurrent(previous);
        QCOMPARE(exitCode, 0);
        QVERIFY(window.convertCancelled);
        C3DReader reader;
        QCOMPARE(reader.readFile(dir.filePath(QStringLiteral("a.c3d"))), QString());
        // The click is seen at the first progress update, before frame 1; frame 1 is finished.
        QCOMPARE(reader.frameCount, qint64(2));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("b.c3d"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("c.c3d"))));
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"

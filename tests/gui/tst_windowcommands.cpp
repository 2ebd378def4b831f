#include "app/dudezu.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"
#include "tools/checkablelistdialog.h"
#include "tools/jointinfowidget.h"
#include "tools/masssegmentwidget.h"
#include "tools/userdialogs.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

// The Export and Edit commands of the main window, their dialogs answered by the test.
class TestWindowCommands : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString motionPath;
    QStringList saveAnswers;
    QStringList proposedNames;
    QStringList warnings;
    QStringList informations;

    // Runs `answer` on the joint selection dialog as soon as it is up (its exec() runs a
    // nested event loop, in which this timer fires).
    static void answerSelection(const std::function<void(CheckableListDialog&)>& answer)
    {
        QTimer::singleShot(0, qApp, [answer] {
            auto* dialog = qobject_cast<CheckableListDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            answer(*dialog);
        });
    }

    static QList<QByteArrayList> csvRows(const QString& path)
    {
        QList<QByteArrayList> rows;
        for (const QByteArray& line : TestSupport::readFile(path).split('\n')) {
            if (!line.isEmpty())
                rows << line.split(',');
        }
        return rows;
    }

    void openWindow(DudEzu& window)
    {
        QVERIFY(window.loadFile(motionPath));
        window.ui.leftBracketLineEdit->setText(QStringLiteral("20"));
        window.ui.rightBracketLineEdit->setText(QStringLiteral("60"));
        window.ui.frameLineEdit->setText(QStringLiteral("7"));
        window.ui.gotoButton->click();
    }

private slots:
    void initTestCase()
    {
        motionPath = TestSupport::writeFile(dir, QStringLiteral("walk.bvh"),
                                            TestSupport::smallMotion(100, "0.04"));
    }

    void init()
    {
        saveAnswers.clear();
        proposedNames.clear();
        warnings.clear();
        informations.clear();
        UserDialogs::Handler handler;
        handler.saveFileName = [this](const QString&, const QString& proposed, const QString&) {
            proposedNames << proposed;
            return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
        };
        handler.warning = [this](const QString&, const QString& text) { warnings << text; };
        handler.information = [this](const QString& title, const QString& text) {
            informations << title + QLatin1Char('/') + text;
        };
        UserDialogs::install(handler);
    }

    void cleanup() { UserDialogs::install({}); }

    void rotationTableForAChosenRangeAndJoints()
    {
        DudEzu window;
        openWindow(window);
        const QString path = dir.filePath(QStringLiteral("rotations.csv"));
        saveAnswers << path;
        answerSelection([](CheckableListDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Joints to Export"));
            QCOMPARE(dialog.checkStates(), QList<bool>(5, true)); // everything to start with
            QCOMPARE(dialog.checkableList->fromSpinBox->value(), 20);
            QCOMPARE(dialog.checkableList->toSpinBox->value(), 60);
            dialog.checkableList->fromSpinBox->setValue(30);
            dialog.checkableList->toSpinBox->setValue(40);
            dialog.setNoneChecked();
            dialog.checkableList->listWidget->item(1)->setCheckState(Qt::Checked); // Spine
            dialog.checkableList->okButton->click();
        });
        window.saveRotJointsCSV();
        const QList<QByteArrayList> rows = csvRows(path);
        QCOMPARE(rows.size(), 11); // header and frames 30..39
        QCOMPARE(rows[0], QByteArrayList({"Time", "Spine.x", "Spine.y", "Spine.z"}));
        // Frame 30 of the small motion: Spine's Zrotation, Xrotation, Yrotation are 306..308.
        QCOMPARE(rows[1], QByteArrayList({"1.2", "307", "308", "306"}));
        QCOMPARE(window.bvhFile.exportMask, QList<bool>({false, true, false, false, false}));
        // The window still shows, and the motion still holds, the frame it showed.
        QCOMPARE(window.currentFrame, 7);
        QCOMPARE(window.bvhFile.currentFrame, 7);
    }

    void cancellingKeepsTheExportMask()
    {
        DudEzu window;
        openWindow(window);
        window.bvhFile.exportMask = {true, false, true, false, true};
        answerSelection([](CheckableListDialog& dialog) {
            dialog.setNoneChecked();
            dialog.checkableList->cancelButton->click();
        });
        window.saveAbsPosJointsCSV();
        answerSelection([](CheckableListDialog& dialog) {
            dialog.setNoneChecked();
            dialog.checkableList->okButton->click();
        });
        window.saveAbsPosJointsCSV(); // OK, then the file dialog is cancelled
        QCOMPARE(window.bvhFile.exportMask, QList<bool>({true, false, true, false, true}));
        QCOMPARE(proposedNames.size(), 1);
    }

    void absolutePositionsOutsideTheMotionAreCut()
    {
        DudEzu window;
        openWindow(window);
        const QString path = dir.filePath(QStringLiteral("positions.csv"));
        saveAnswers << path;
        answerSelection([](CheckableListDialog& dialog) {
            dialog.checkableList->fromSpinBox->setValue(95);
            dialog.checkableList->toSpinBox->setValue(99999);
            dialog.checkableList->okButton->click();
        });
        window.saveAbsPosJointsCSV();
        const QList<QByteArrayList> rows = csvRows(path);
        QCOMPARE(rows.size(), 6); // frames 95..99
        QCOMPARE(rows[0].size(), 1 + 5 * 3);
        QCOMPARE(window.bvhFile.currentFrame, 7);
    }

    void massCentreTableAndItsMessages()
    {
        DudEzu window;
        openWindow(window);
        const QString path = dir.filePath(QStringLiteral("com.csv"));
        saveAnswers << path << QStringLiteral("/nonexistent/dir/com.csv");
        window.saveMassCenterCSV();
        QCOMPARE(csvRows(path).size(), 1 + 41); // frames 20..60, both included
        QCOMPARE(informations, QStringList({"Process Complete/File Export Completed"}));
        window.saveMassCenterCSV();
        QCOMPARE(informations.size(), 1); // no completion for a failed write
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings[0].contains(QLatin1String("/nonexistent/dir/com.csv")));
        QCOMPARE(window.bvhFile.currentFrame, 7);
    }

    void c3dProposesTheMotionsNameAndReadsBack()
    {
        DudEzu window;
        openWindow(window);
        const QString path = dir.filePath(QStringLiteral("walk.c3d"));
        saveAnswers << path;
        window.saveC3D();
        QCOMPARE(proposedNames, QStringList({path}));
        TestSupport::C3DReader reader;
        QCOMPARE(reader.readFile(path), QString());
        QCOMPARE(reader.frameCount, 100);
        QCOMPARE(reader.pointCount, 5);
        QCOMPARE(reader.frameRate, 25.0f);
        QCOMPARE(reader.labels, QStringList({"Hips", "Spine", "End Site", "LeftLeg", "End Site"}));
        QCOMPARE(window.bvhFile.currentFrame, 7);
    }

    void interpolationStartsUncheckedAndShowsItsResult()
    {
        DudEzu window;
        openWindow(window);
        window.ui.frameLineEdit->setText(QStringLiteral("25"));
        window.ui.gotoButton->click();
        window.jointInfoWidget->setJoint(
            window.bvhFile.root->getJointByName(QStringLiteral("Spine")));
        answerSelection([](CheckableListDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Joints for Interpolation"));
            QCOMPARE(dialog.checkStates(), QList<bool>(5, false));
            dialog.checkableList->listWidget->item(1)->setCheckState(Qt::Checked);
            dialog.checkableList->okButton->click();
        });
        const QList<double> before = window.bvhFile.frames[25];
        window.editInterpolateJointRotations();
        QVERIFY(window.bvhFile.frames[25] != before);
        QCOMPARE(window.bvhFile.frames[25].mid(0, 6), before.mid(0, 6)); // Hips untouched
        QVERIFY(window.isWindowModified());
        // The editor shows the interpolated rotation of the frame on screen at once.
        QCOMPARE(window.bvhFile.currentFrame, 25);
        QVERIFY(qAbs(window.jointInfoWidget->xRotSpinBox->value() -
                     window.bvhFile.frames[25].at(7)) < 0.006); // the box shows two decimals
    }

    void massSegmentEditorIsMadeOnce()
    {
        DudEzu window;
        QPointer<MassSegmentWidget> first;
        QTimer::singleShot(0, qApp, [&] {
            first = qobject_cast<MassSegmentWidget*>(QApplication::activeModalWidget());
            QVERIFY(first);
            first->closeButton->click();
        });
        window.editMassSegments();
        QTimer::singleShot(0, qApp, [&] {
            QCOMPARE(qobject_cast<MassSegmentWidget*>(QApplication::activeModalWidget()),
                     first.data());
            first->closeButton->click();
        });
        window.editMassSegments();
        QVERIFY(!first.isNull());
        QCOMPARE(window.massSegmentWidget.data(), first.data());
    }
};

QTEST_MAIN(TestWindowCommands)
#include "tst_windowcommands.moc"

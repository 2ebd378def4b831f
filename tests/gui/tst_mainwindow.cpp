#include "app/dudezu.h"
#include "model/bvhjoint.h"
#include "support/testsupport.h"
#include "tools/jointinfowidget.h"
#include "tools/jointlistwidget.h"
#include "tools/jointtreewidget.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

// The main window driven as a user would: open, play, step, scrub, brackets, select, edit,
// save, with the file dialogs and message boxes answered by the test.
class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString motionPath;
    QStringList openAnswers;
    QStringList saveAnswers;
    QStringList warnings;
    QList<UserDialogs::SaveChoice> saveChoices;
    int saveQuestions = 0;

    void answerDialogs()
    {
        UserDialogs::Handler handler;
        handler.openFileName = [this](const QString&, const QString&, const QString&) {
            return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
        };
        handler.saveFileName = [this](const QString&, const QString&, const QString&) {
            return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
        };
        handler.warning = [this](const QString&, const QString& text) { warnings << text; };
        handler.information = [](const QString&, const QString&) {};
        handler.askToSave = [this](const QString&, const QString&) {
            ++saveQuestions;
            return saveChoices.isEmpty() ? UserDialogs::SaveChoice::Cancel
                                         : saveChoices.takeFirst();
        };
        UserDialogs::install(handler);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        motionPath = TestSupport::writeFile(dir, QStringLiteral("walk.bvh"),
                                            TestSupport::smallMotion(100, "0.04"));
    }

    void init()
    {
        openAnswers.clear();
        saveAnswers.clear();
        warnings.clear();
        saveChoices.clear();
        saveQuestions = 0;
        answerDialogs();
    }

    void cleanup() { UserDialogs::install({}); }

    void openSetsTitleTimelineAndTimer()
    {
        DudEzu window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Kinovane[*]"));
        openAnswers << motionPath;
        window.openBVH();
        QCOMPARE(window.windowTitle(), QStringLiteral("Kinovane - walk.bvh[*]"));
        QCOMPARE(window.ui.slider->maximum(), 100);
        QCOMPARE(window.ui.subSlider->maximum(), 100);
        QCOMPARE(window.ui.leftBracketLineEdit->text(), QStringLiteral("0"));
        QCOMPARE(window.ui.rightBracketLineEdit->text(), QStringLiteral("100"));
        QCOMPARE(window.timer.interval(), 40);
        QCOMPARE(window.currentFrame, 0);
        QCOMPARE(window.fileBaseName, dir.filePath(QStringLiteral("walk.")));
        QCOMPARE(window.jointTreeWidget->bvhTreeView->model()->rowCount(), 1);
    }

    void stepsGotoAndSliders()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.ui.rightButton->click();
        QCOMPARE(window.currentFrame, 1);
        QCOMPARE(window.ui.frameLineEdit->text(), QStringLiteral("1"));
        QCOMPARE(window.bvhFile.currentFrame, 1);
        window.ui.leftButton->click();
        window.ui.leftButton->click(); // stays at 0
        QCOMPARE(window.currentFrame, 0);

        window.ui.frameLineEdit->setText(QStringLiteral("10"));
        window.ui.gotoButton->click();
        QCOMPARE(window.currentFrame, 10);
        QCOMPARE(window.ui.slider->value(), 10);
        QCOMPARE(window.ui.subSlider->value(), 10);
        QCOMPARE(window.ui.timeLineEdit->text(), QStringLiteral("00:00:00.400"));

        for (const char* wrong : {"500", "-3", "100"}) {
            window.ui.frameLineEdit->setText(QString::fromLatin1(wrong));
            window.ui.gotoButton->click();
            QCOMPARE(window.currentFrame, 10);
            QCOMPARE(window.bvhFile.currentFrame, 10);
            QCOMPARE(window.ui.frameLineEdit->text(), QString::fromLatin1(wrong));
        }

        window.ui.slider->setValue(42);
        window.ui.slider->sliderMoved(42);
        QCOMPARE(window.currentFrame, 42);
        QCOMPARE(window.ui.subSlider->value(), 42);
        window.ui.slider->setValue(100); // the slider's end is one past the last row
        window.ui.slider->sliderMoved(100);
        QCOMPARE(window.currentFrame, 99);

        window.currentFrame = 98;
        window.gotoNextFrame();
        window.gotoNextFrame();
        QCOMPARE(window.currentFrame, 99); // the last row: no wrap, no step past it
    }

    void truncatedFileStopsAtTheLastRowRead()
    {
        QByteArray text = TestSupport::smallMotion(5);
        text.replace("Frames:\t5", "Frames:\t50");
        DudEzu window;
        QVERIFY(window.loadFile(TestSupport::writeFile(dir, QStringLiteral("cut.bvh"), text)));
        for (int i = 0; i < 10; ++i)
            window.gotoNextFrame();
        QCOMPARE(window.currentFrame, 4);
        QCOMPARE(window.bvhFile.currentFrame, 4);
    }

    void bracketsAndKeys()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.ui.frameLineEdit->setText(QStringLiteral("20"));
        window.ui.gotoButton->click();
        window.setFocus();
        QTest::keyClick(&window, Qt::Key_BracketLeft);
        window.ui.frameLineEdit->setText(QStringLiteral("60"));
        window.ui.gotoButton->click();
        QTest::keyClick(&window, Qt::Key_BracketRight);
        QCOMPARE(window.ui.leftBracketLineEdit->text(), QStringLiteral("20"));
        QCOMPARE(window.ui.rightBracketLineEdit->text(), QStringLiteral("60"));
        QCOMPARE(window.ui.subSlider->minimum(), 20);
        QCOMPARE(window.ui.subSlider->maximum(), 60);

        window.ui.frameLineEdit->setText(QStringLiteral("70"));
        window.setLeftBracket();
        QCOMPARE(window.ui.subSlider->minimum(), 70);
        QCOMPARE(window.ui.subSlider->maximum(), 70);

        // Save writes the bracketed frames.
        window.ui.leftBracketLineEdit->setText(QStringLiteral("20"));
        window.ui.rightBracketLineEdit->setText(QStringLiteral("60"));
        const QString clip = dir.filePath(QStringLiteral("clip.bvh"));
        saveAnswers << clip;
        QVERIFY(window.saveBVH());
        BvhFile back;
        QVERIFY(back.readFile(clip).ok());
        QCOMPARE(back.rowCount(), 41);
        QCOMPARE(back.frames.first().at(0), window.bvhFile.frames[20].at(0));
    }

    void timeDisplay_data()
    {
        QTest::addColumn<QByteArray>("frameTime");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("text");
        QTest::newRow("frame 1525 at 0.04") << QByteArray("0.04") << "1525"
                                            << "00:01:01.000";
        QTest::newRow("negative") << QByteArray("0.5") << "-3"
                                  << "-00:00:01.500";
        QTest::newRow("rounds up to a second") << QByteArray("0.0333333") << "30"
                                               << "00:00:01.000";
        QTest::newRow("frame 29") << QByteArray("0.0333333") << "29"
                                  << "00:00:00.967";
        QTest::newRow("a hundred hours") << QByteArray("1") << "360000"
                                         << "100:00:00.000";
        QTest::newRow("not a number") << QByteArray("0.5") << "abc"
                                      << "00:00:00.000";
    }

    void timeDisplay()
    {
        QFETCH(QByteArray, frameTime);
        QFETCH(QString, frame);
        QFETCH(QString, text);
        DudEzu window;
        QVERIFY(window.loadFile(TestSupport::writeFile(dir, QStringLiteral("t.bvh"),
                                                       TestSupport::smallMotion(2, frameTime))));
        window.ui.frameLineEdit->setText(frame); // every keystroke updates the display
        QCOMPARE(window.ui.timeLineEdit->text(), text);
        QCOMPARE(window.currentFrame, 0);
    }

    void playbackFollowsTheClock()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.startTimer();
        QVERIFY(window.timer.isActive());
        QCOMPARE(window.timer.timerType(), Qt::PreciseTimer);
        QTRY_VERIFY_WITH_TIMEOUT(window.currentFrame >= 3, 5000);
        window.pauseTimer();
        QVERIFY(!window.timer.isActive());
        const int stopped = window.currentFrame;
        QTest::qWait(100);
        QCOMPARE(window.currentFrame, stopped);

        // Opening another motion while playing keeps playing it, from its first frame.
        window.startTimer();
        QVERIFY(window.loadFile(motionPath));
        QVERIFY(window.timer.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(window.currentFrame >= 2, 5000);
        window.closeBVH();
        QVERIFY(!window.timer.isActive());

        DudEzu empty;
        empty.startTimer();
        QVERIFY(!empty.timer.isActive()); // nothing to play
    }

    void treeClickShowsThenHighlights()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        QList<QString> order;
        connect(window.jointTreeWidget, &JointTreeWidget::jointClicked, &window,
                [&] { order << (window.jointInfoWidget->getJoint() ? "editor" : "none"); });
        QTreeView* tree = window.jointTreeWidget->bvhTreeView;
        const QModelIndex spine = tree->model()->index(0, 0, tree->model()->index(0, 0));
        tree->clicked(spine);
        QCOMPARE(window.jointInfoWidget->jointNameLabel->text(), QStringLiteral("Spine"));
        // The editor was connected first, so it already showed the joint when later
        // receivers ran.
        QCOMPARE(order, QList<QString>({"editor"}));
    }

    void editReachesTheFrameTableAndMarksModified()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.ui.frameLineEdit->setText(QStringLiteral("5"));
        window.ui.gotoButton->click();
        window.jointInfoWidget->setJoint(window.bvhFile.root);
        QVERIFY(!window.isWindowModified());
        window.jointInfoWidget->xRotSpinBox->setValue(33);
        QVERIFY(window.isWindowModified());
        // Hips: Zrotation Xrotation Yrotation at DOF 3, 4, 5.
        QCOMPARE(window.bvhFile.frames[5].at(4), 33.0);
        QCOMPARE(window.bvhFile.frames[4].at(4), 44.0);
    }

    void unsavedChangesAreAskedFor()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.jointInfoWidget->setJoint(window.bvhFile.root);
        window.jointInfoWidget->yRotSpinBox->setValue(12);

        // Cancel keeps everything.
        saveChoices << UserDialogs::SaveChoice::Cancel;
        window.closeBVH();
        QCOMPARE(saveQuestions, 1);
        QVERIFY(window.bvhFile.isLoaded());

        // Open asks first for the file, then whether to save; a cancelled open keeps it all.
        openAnswers << QString();
        window.openBVH();
        QCOMPARE(saveQuestions, 1);
        QVERIFY(window.bvhFile.isLoaded());
        QCOMPARE(window.jointTreeWidget->bvhTreeView->model()->rowCount(), 1);
        QCOMPARE(window.windowTitle(), QStringLiteral("Kinovane - walk.bvh[*]"));

        // Save writes the file and then closes.
        const QString saved = dir.filePath(QStringLiteral("saved.bvh"));
        saveChoices << UserDialogs::SaveChoice::Save;
        saveAnswers << saved;
        window.closeBVH();
        QVERIFY(!window.bvhFile.isLoaded());
        BvhFile back;
        QVERIFY(back.readFile(saved).ok());
        QCOMPARE(back.frames[0].at(5), 12.0);
        QCOMPARE(window.windowTitle(), QStringLiteral("Kinovane[*]"));
    }

    void unreadableFileWarnsAndKeepsTheMotion()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        const QString junk =
            TestSupport::writeFile(dir, QStringLiteral("junk.bvh"), "no hierarchy here\n");
        openAnswers << junk << dir.filePath(QStringLiteral("missing.bvh"));
        window.openBVH();
        window.openBVH();
        QCOMPARE(warnings.size(), 2);
        QVERIFY(warnings[0].contains(QLatin1String("junk.bvh")));
        QVERIFY(warnings[1].contains(QLatin1String("missing.bvh")));
        QVERIFY(window.bvhFile.isLoaded());
        QCOMPARE(window.bvhFile.rowCount(), 100);
    }

    void dockToggles()
    {
        DudEzu window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.jointListDock->isVisible());
        window.windowJointIndex();
        QVERIFY(window.jointListDock->isVisible());
        QVERIFY(window.jointListDock->isFloating());
        window.windowJointIndex();
        QVERIFY(!window.jointListDock->isVisible());
        QVERIFY(window.jointTreeDock->isVisible());
        window.windowJointHierarchy();
        QVERIFY(!window.jointTreeDock->isVisible());
    }

    // Two exclusive Edit menu choices; the choice applies to the open motion at once and to
    // motions opened later, and going back to Fixed gives the old positions bit for bit.
    void rotationOrderChoices()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.ui.rightButton->click();
        QVERIFY(window.ui.actionRotationOrderFixed->isChecked());
        BvhJoint* tip = window.bvhFile.root->getAllJoints()[2]; // Spine's End Site
        const Vector3f fixed = tip->getAbsolutePosition();

        window.ui.actionRotationOrderDeclared->trigger();
        QVERIFY(window.ui.actionRotationOrderDeclared->isChecked());
        QVERIFY(!window.ui.actionRotationOrderFixed->isChecked());
        QCOMPARE(window.bvhFile.getRotationOrder(), RotationOrder::Declared);
        QVERIFY(tip->getAbsolutePosition() != fixed);

        QVERIFY(window.loadFile(motionPath));
        QCOMPARE(window.bvhFile.root->getAllJoints()[2]->getRotationOrder(),
                 RotationOrder::Declared);
        window.ui.rightButton->click();

        window.ui.actionRotationOrderFixed->trigger();
        QVERIFY(!window.ui.actionRotationOrderDeclared->isChecked());
        QCOMPARE(window.bvhFile.root->getAllJoints()[2]->getAbsolutePosition(), fixed);
    }

    void centreOfMassSwitches()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.ui.bodyMassCheckBox->setChecked(false);
        QVERIFY(!window.ui.bvhView->bodyMassDisplayed);
        window.ui.bodyMassCheckBox->setChecked(true);
        QVERIFY(window.ui.bvhView->bodyMassDisplayed);
        window.ui.segmentMassCheckBox->setChecked(false);
        QVERIFY(!window.ui.bvhView->segmentMassDisplayed);
    }

    void commandsWithoutAMotionDoNothing()
    {
        DudEzu window;
        for (auto command :
             {&DudEzu::saveRotJointsCSV, &DudEzu::saveAbsPosJointsCSV, &DudEzu::saveMassCenterCSV,
              &DudEzu::saveC3D, &DudEzu::editInterpolateJointRotations, &DudEzu::gotoNextFrame,
              &DudEzu::gotoPrevFrame, &DudEzu::gotoFrame, &DudEzu::updateFromSlider,
              &DudEzu::closeBVH})
            (window.*command)();
        QVERIFY(!window.saveBVH());
        QVERIFY(warnings.isEmpty());
        QCOMPARE(window.currentFrame, 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

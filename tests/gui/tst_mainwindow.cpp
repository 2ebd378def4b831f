#include "app/dudezu.h"
#include "app/timedisplay.h"
#include "model/bvhreader.h"
#include "model/poseevaluator.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"
#include "tools/checkablelistdialog.h"
#include "tools/jointinfowidget.h"
#include "tools/jointlistwidget.h"
#include "tools/jointtreewidget.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

// The main window driven as a user drives it, through its buttons, keys and menu actions,
// with the file dialogs, message boxes and joint selection dialogs answered by the test.
class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString motionPath; // 100 frames of 0.04 s; row f holds f * 10 + k in column k
    struct
    {
        QStringList open, save, proposed, warnings, informations;
        QList<UserDialogs::SaveChoice> choices;
        int questions = 0;
    } dialogs;

    static QString next(QStringList& answers)
    {
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    // Runs `answer` on the joint selection dialog once its exec() loop runs.
    static void answerSelection(const std::function<void(CheckableListWidget&)>& answer)
    {
        QTimer::singleShot(0, qApp, [answer] {
            auto* dialog = qobject_cast<CheckableListDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            answer(*dialog->checkableList);
        });
    }

    static void goTo(DudEzu& window, int frame)
    {
        window.ui.frameLineEdit->setText(QString::number(frame));
        window.ui.gotoButton->click();
    }

    // walk.bvh open, frames 20 to 60 bracketed by the [ and ] keys, frame 7 shown.
    void openWindow(DudEzu& window)
    {
        QVERIFY(window.loadFile(motionPath));
        goTo(window, 20);
        QTest::keyClick(&window, Qt::Key_BracketLeft);
        goTo(window, 60);
        QTest::keyClick(&window, Qt::Key_BracketRight);
        goTo(window, 7);
    }

private slots:
    void initTestCase()
    {
        motionPath = TestSupport::writeFile(dir, QStringLiteral("walk.bvh"),
                                            TestSupport::smallMotion(100, "0.04"));
    }

    void init()
    {
        dialogs = {};
        UserDialogs::Handler handler;
        handler.openFileName = [this](auto&&...) { return next(dialogs.open); };
        handler.saveFileName = [this](const QString&, const QString& proposed, const QString&) {
            dialogs.proposed << proposed;
            return next(dialogs.save);
        };
        handler.warning = [this](const QString&, const QString& text) { dialogs.warnings << text; };
        handler.information = [this](const QString& title, const QString& text) {
            dialogs.informations << title + QLatin1Char('/') + text;
        };
        handler.askToSave = [this](auto&&...) {
            ++dialogs.questions;
            return dialogs.choices.isEmpty() ? UserDialogs::SaveChoice::Cancel
                                             : dialogs.choices.takeFirst();
        };
        UserDialogs::install(handler);
    }

    void cleanup() { UserDialogs::install({}); }

    void openShowsTheMotionOrSaysWhyNot()
    {
        DudEzu window;
        dialogs.open << motionPath << TestSupport::writeFile(dir, "junk.bvh", "no hierarchy\n")
                     << dir.filePath(QStringLiteral("missing.bvh"));
        window.ui.actionOpenBVH->trigger();
        QCOMPARE(window.windowTitle(), QStringLiteral("Kinovane - walk.bvh[*]"));
        QCOMPARE(window.ui.slider->maximum(), 99);
        QCOMPARE(window.getMarkedRange(), FrameRange::all(100));
        QCOMPARE(window.timer.interval(), 40);
        QCOMPARE(window.jointTreeWidget->bvhTreeView->model()->rowCount(), 1);
        QCOMPARE(window.jointListWidget->listView->model()->rowCount(), 5);

        window.ui.actionOpenBVH->trigger();
        window.ui.actionOpenBVH->trigger();
        QCOMPARE(dialogs.warnings.size(), 2);
        QVERIFY(dialogs.warnings[0].contains(QLatin1String("junk.bvh")));
        QVERIFY(dialogs.warnings[1].contains(QLatin1String("missing.bvh")));
        QCOMPARE(window.bvhFile.rowCount(), 100);
    }

    void stepsGotoAndSliders()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.ui.rightButton->click();
        QCOMPARE(window.getCurrentFrame(), 1);
        QCOMPARE(window.ui.frameLineEdit->text(), QStringLiteral("1"));
        window.ui.leftButton->click();
        window.ui.leftButton->click();
        QCOMPARE(window.getCurrentFrame(), 0);

        goTo(window, 10);
        QCOMPARE(window.ui.subSlider->value(), 10);
        QCOMPARE(window.ui.timeLineEdit->text(), QStringLiteral("00:00:00.400"));
        for (const char* wrong : {"500", "-3", "100"}) {
            window.ui.frameLineEdit->setText(QString::fromLatin1(wrong));
            window.ui.gotoButton->click();
            QCOMPARE(window.getCurrentFrame(), 10);
        }

        window.ui.slider->setValue(42);
        emit window.ui.slider->sliderMoved(42);
        QCOMPARE(window.getCurrentFrame(), 42);
        QCOMPARE(window.ui.subSlider->value(), 42);
        window.ui.slider->setValue(100); // the slider's end is one past the last row
        emit window.ui.slider->sliderMoved(100);
        QCOMPARE(window.getCurrentFrame(), 99);
        window.ui.rightButton->click(); // no wrap, no step past the last row
        QCOMPARE(window.getCurrentFrame(), 99);
    }

    // Rounded to the millisecond, hours unbounded.
    void timeText()
    {
        for (const auto& [frameTime, frame, text] : {std::tuple{0.04, 1525, "00:01:01.000"},
                                                     {0.5, -3, "-00:00:01.500"},
                                                     {0.0333333, 30, "00:00:01.000"},
                                                     {0.0333333, 29, "00:00:00.967"},
                                                     {1.0, 360000, "100:00:00.000"}})
            QCOMPARE(TimeDisplay::timeText(frameTime, frame), QString::fromLatin1(text));
    }

    // A file that declares more frames than it holds plays only the rows read.
    void truncatedFileStopsAtTheLastRowRead()
    {
        QByteArray text = TestSupport::smallMotion(5);
        text.replace("Frames:\t5", "Frames:\t50");
        DudEzu window;
        QVERIFY(window.loadFile(TestSupport::writeFile(dir, QStringLiteral("cut.bvh"), text)));
        for (int i = 0; i < 10; ++i)
            window.ui.rightButton->click();
        QCOMPARE(window.getCurrentFrame(), 4);
    }

    void playbackFollowsTheClock()
    {
        DudEzu window;
        window.ui.startButton->click();
        QVERIFY(!window.timer.isActive()); // nothing to play
        QVERIFY(window.loadFile(motionPath));
        window.ui.startButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.getCurrentFrame() >= 3, 5000);
        window.ui.pauseButton->click();
        const int stopped = window.getCurrentFrame();
        QTest::qWait(100);
        QCOMPARE(window.getCurrentFrame(), stopped);

        // Opening another motion while playing plays it from its first frame.
        window.ui.startButton->click();
        QVERIFY(window.loadFile(motionPath));
        QVERIFY(window.timer.isActive() && window.getCurrentFrame() < 2);
        QTRY_VERIFY_WITH_TIMEOUT(window.getCurrentFrame() >= 2, 5000);
        window.ui.actionCloseBVH->trigger();
        QVERIFY(!window.timer.isActive());
    }

    // Brackets set by keys bound the sub-slider, and Save writes the bracketed frames.
    void bracketsAndSave()
    {
        DudEzu window;
        openWindow(window);
        QCOMPARE(window.ui.leftBracketLineEdit->text(), QStringLiteral("20"));
        QCOMPARE(window.ui.rightBracketLineEdit->text(), QStringLiteral("60"));
        QCOMPARE(window.ui.subSlider->minimum(), 20);
        QCOMPARE(window.ui.subSlider->maximum(), 60);

        dialogs.save << dir.filePath(QStringLiteral("clip.bvh"));
        window.ui.actionSaveBVH->trigger();
        BvhFile back;
        QVERIFY(BvhReader(back).read(dir.filePath(QStringLiteral("clip.bvh"))).ok());
        QCOMPARE(back.rowCount(), 41);
        QCOMPARE(back.frames.first().at(0), 200.0);
        QCOMPARE(back.frames.last().at(0), 600.0);
    }

    // A tree click shows the joint in the editor and highlights it; an edit reaches the frame
    // table on the frame shown and marks the window modified.
    void selectAndEditAJoint()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        goTo(window, 5);
        QTreeView* tree = window.jointTreeWidget->bvhTreeView;
        emit tree->clicked(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        QCOMPARE(window.jointInfoWidget->jointNameLabel->text(), QStringLiteral("Spine"));
        QCOMPARE(window.ui.bvhView->getHighlightedJoint()->getName(), QStringLiteral("Spine"));
        QVERIFY(!window.isWindowModified());
        window.jointInfoWidget->xRotSpinBox->setValue(33); // Spine's X rotation: column 7
        QVERIFY(window.isWindowModified());
        QCOMPARE(window.bvhFile.frames[5].at(7), 33.0);
        QCOMPARE(window.bvhFile.frames[4].at(7), 47.0);
    }

    void unsavedChangesAreAskedFor()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.jointInfoWidget->setJoint(window.bvhFile.root);
        window.jointInfoWidget->yRotSpinBox->setValue(12);
        dialogs.choices << UserDialogs::SaveChoice::Cancel;
        window.ui.actionCloseBVH->trigger();
        QCOMPARE(dialogs.questions, 1);
        QVERIFY(window.bvhFile.isLoaded());
        window.ui.actionOpenBVH->trigger(); // no file chosen: nothing asked, nothing closed
        QCOMPARE(dialogs.questions, 1);
        QCOMPARE(window.windowTitle(), QStringLiteral("Kinovane - walk.bvh[*]"));

        dialogs.choices << UserDialogs::SaveChoice::Save;
        dialogs.save << dir.filePath(QStringLiteral("saved.bvh"));
        window.ui.actionCloseBVH->trigger();
        QVERIFY(!window.bvhFile.isLoaded());
        QCOMPARE(window.windowTitle(), QStringLiteral("Kinovane[*]"));
        BvhFile back;
        QVERIFY(BvhReader(back).read(dir.filePath(QStringLiteral("saved.bvh"))).ok());
        QCOMPARE(back.frames[0].at(5), 12.0);
    }

    // Going back to Fixed gives the old positions bit for bit; the choice holds for motions
    // opened later.
    void rotationOrderChoices()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        window.ui.rightButton->click();
        const auto tip = [&] {
            return PoseEvaluator::positionOf(*window.bvhFile.root->getAllJoints()[2]);
        };
        const Vector3f fixed = tip();
        window.ui.actionRotationOrderDeclared->trigger();
        QVERIFY(!window.ui.actionRotationOrderFixed->isChecked());
        QVERIFY(tip() != fixed);
        QVERIFY(window.loadFile(motionPath));
        QCOMPARE(window.bvhFile.getRotationOrder(), RotationOrder::Declared);
        window.ui.rightButton->click();
        window.ui.actionRotationOrderFixed->trigger();
        QVERIFY(!window.ui.actionRotationOrderDeclared->isChecked());
        QCOMPARE(tip(), fixed);
    }

    void markerSwitches()
    {
        DudEzu window;
        window.ui.bodyMassCheckBox->setChecked(false);
        window.ui.segmentMassCheckBox->setChecked(false);
        QVERIFY(!window.ui.bvhView->bodyMassDisplayed && !window.ui.bvhView->segmentMassDisplayed);
        window.ui.bodyMassCheckBox->setChecked(true);
        QVERIFY(window.ui.bvhView->bodyMassDisplayed);
    }

    void commandsWithoutAMotionDoNothing()
    {
        DudEzu window;
        for (QAction* action : window.findChildren<QAction*>()) {
            if (action != window.ui.actionExit && action != window.ui.actionAbout &&
                action != window.ui.actionEditMassSegments)
                action->trigger();
        }
        for (auto command : {&DudEzu::gotoNextFrame, &DudEzu::gotoPrevFrame, &DudEzu::gotoFrame,
                             &DudEzu::updateFromSlider})
            (window.*command)();
        QVERIFY(dialogs.warnings.isEmpty() && dialogs.proposed.isEmpty());
        QCOMPARE(window.getCurrentFrame(), 0);
    }

    // Each export writes the frames and joints chosen, leaves the frame on screen alone (the
    // window's and the one the joints hold for the view) and reports a failed write. The joint
    // tables start from every joint and the brackets, and hold the frames chosen, both ends
    // included.
    void exports()
    {
        DudEzu window;
        openWindow(window);
        const auto showsFrame7 = [&] {
            return window.getCurrentFrame() == 7 && window.bvhFile.root->getPosition().x() == 70;
        };
        dialogs.save << dir.filePath(QStringLiteral("rotations.csv"));
        answerSelection([](CheckableListWidget& list) {
            QCOMPARE(list.checkStates(), QList<bool>(5, true));
            QCOMPARE(list.fromSpinBox->value(), 20);
            QCOMPARE(list.toSpinBox->value(), 60);
            list.fromSpinBox->setValue(30);
            list.toSpinBox->setValue(33);
            list.noneButton->click();
            list.listWidget->item(1)->setCheckState(Qt::Checked); // Spine
            list.okButton->click();
        });
        window.ui.actionExportJointRotations->trigger();
        QCOMPARE(TestSupport::readFile(dir.filePath(QStringLiteral("rotations.csv"))),
                 QByteArray("Time,Spine.x,Spine.y,Spine.z\n1.2,307,308,306\n"
                            "1.24,317,318,316\n1.28,327,328,326\n1.32,337,338,336\n"));
        QVERIFY(showsFrame7());

        dialogs.save << dir.filePath(QStringLiteral("positions.csv"));
        answerSelection([](CheckableListWidget& list) {
            list.toSpinBox->setValue(99999); // cut at the motion's end
            list.okButton->click();
        });
        window.ui.actionExportAbsJointPositions->trigger();
        const QList<QByteArray> lines = TestSupport::readLines(dir.filePath("positions.csv"));
        QCOMPARE(lines.size(), 1 + 80);
        QCOMPARE(lines.last().count(','), 5 * 3);
        QVERIFY(showsFrame7());

        dialogs.save << dir.filePath(QStringLiteral("com.csv"));
        window.ui.actionExportMassCenter->trigger();
        QCOMPARE(TestSupport::readLines(dir.filePath("com.csv")).size(), 1 + 41); // 20 to 60
        QCOMPARE(dialogs.informations, QStringList({"Process Complete/File Export Completed"}));
        QVERIFY(showsFrame7());

        const QString c3d = dir.filePath(QStringLiteral("walk.c3d"));
        dialogs.save << c3d;
        window.ui.actionExportC3D->trigger();
        QCOMPARE(dialogs.proposed.last(), c3d);
        TestSupport::C3DReader reader;
        QCOMPARE(reader.readFile(c3d), QString());
        QCOMPARE(reader.frameCount, 100); // the whole motion, whatever is bracketed
        QVERIFY(showsFrame7());

        // Cancelled in the joint selection, a table asks for no file name.
        answerSelection([](CheckableListWidget& list) { list.cancelButton->click(); });
        window.ui.actionExportJointRotations->trigger();
        answerSelection([](CheckableListWidget& list) {
            list.noneButton->click();
            list.okButton->click();
        });
        window.ui.actionExportJointRotations->trigger(); // no file chosen
        QCOMPARE(dialogs.proposed.size(), 5);

        for (const auto& [action, selection] :
             {std::pair{window.ui.actionExportJointRotations, true},
              {window.ui.actionExportAbsJointPositions, true},
              {window.ui.actionExportMassCenter, false},
              {window.ui.actionExportC3D, false}}) {
            dialogs.save << QStringLiteral("/nonexistent/dir/out");
            if (selection)
                answerSelection([](CheckableListWidget& list) { list.okButton->click(); });
            action->trigger();
        }
        QCOMPARE(dialogs.warnings.filter(QStringLiteral("/nonexistent/dir/out")).size(), 4);
        QCOMPARE(dialogs.informations.size(), 1);
    }

    // The selection starts with no joint and the brackets; Spine turns anew in the frames strictly
    // between them and keeps its turn in the others, and the editor shows the new rotation at once.
    void interpolation()
    {
        DudEzu window;
        openWindow(window);
        goTo(window, 25);
        window.jointInfoWidget->setJoint(window.bvhFile.root->getJointByName("Spine"));
        answerSelection([](CheckableListWidget& list) {
            QCOMPARE(list.checkStates(), QList<bool>(5, false));
            list.listWidget->item(1)->setCheckState(Qt::Checked);
            list.okButton->click();
        });
        const QVector<QList<double>> before = window.bvhFile.frames;
        window.ui.actionInterpolateJointRotations->trigger();
        const auto spineTurn = [](const QList<double>& row) { // columns 6, 7, 8: z, x, y
            return BvhJoint::eulerToMatrix(row[7], row[8], row[6]);
        };
        for (int frame : {19, 20, 21, 25, 59, 60, 61})
            QCOMPARE(
                spineTurn(window.bvhFile.frames[frame]).isApprox(spineTurn(before[frame]), 1e-4f),
                frame <= 20 || frame >= 60);
        QVERIFY(window.isWindowModified());
        QCOMPARE(window.getCurrentFrame(), 25);
        QVERIFY(qAbs(window.jointInfoWidget->xRotSpinBox->value() -
                     window.bvhFile.frames[25].at(7)) < 0.006); // the box shows two decimals
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

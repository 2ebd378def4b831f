#include "app/analysispanel.h"
#include "app/dudezu.h"
#include "app/timedisplay.h"
#include "model/bvhreader.h"
#include "model/poseevaluator.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"
#include "tools/analysisplots.h"
#include "tools/checkablelistdialog.h"
#include "tools/jointinfowidget.h"
#include "tools/jointlistwidget.h"
#include "tools/jointtreewidget.h"
#include "tools/masssegmentwidget.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

using Selection = std::function<void(CheckableListWidget&)>;

// The main window driven as a user drives it, through its buttons, keys and menu actions,
// with the file dialogs, message boxes and joint selection dialogs answered by the test; the
// mass-segment editor on its own.
class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString motionPath; // 100 frames of 0.04 s; row f holds f * 10 + k in column k
    struct
    {
        QStringList files, proposed, warnings; // files answer the file dialogs in turn
        QList<UserDialogs::SaveChoice> choices;
        int informations = 0, questions = 0;
        QString lastInformation;
    } dialogs;

    QString nextFile() { return dialogs.files.isEmpty() ? QString() : dialogs.files.takeFirst(); }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // Triggers `action` with `file` as the answer to a file dialog (none: the dialog is
    // cancelled) and `select` run on the joint selection dialog once its exec() loop runs.
    void trigger(QAction* action, const QString& file = {}, const Selection& select = {})
    {
        dialogs.files = file.isEmpty() ? QStringList() : QStringList{file};
        if (select) {
            QTimer::singleShot(0, qApp, [select] {
                auto* dialog = qobject_cast<CheckableListDialog*>(qApp->activeModalWidget());
                QVERIFY(dialog);
                select(*dialog->checkableList);
            });
        }
        action->trigger();
    }

    static void goTo(DudEzu& window, int frame)
    {
        window.ui.frameLineEdit->setText(QString::number(frame));
        window.ui.gotoButton->click();
    }

private slots:
    void initTestCase()
    {
        motionPath = TestSupport::writeFile(dir, "walk.bvh", TestSupport::smallMotion(100, "0.04"));
    }

    void init()
    {
        dialogs = {};
        UserDialogs::Handler handler;
        handler.saveFileName = [this](const QString&, const QString& proposed, const QString&) {
            dialogs.proposed << proposed;
            return nextFile();
        };
        handler.openFileName = [this](auto&&...) { return nextFile(); };
        handler.warning = [this](const QString&, const QString& text) { dialogs.warnings << text; };
        handler.information = [this](const QString&, const QString& text) {
            ++dialogs.informations;
            dialogs.lastInformation = text;
        };
        // The n-th question gets the n-th choice, Cancel if there is none.
        handler.askToSave = [this](auto&&...) {
            ++dialogs.questions;
            return dialogs.choices.value(dialogs.questions - 1, UserDialogs::SaveChoice::Cancel);
        };
        UserDialogs::install(handler);
    }

    void cleanup() { UserDialogs::install({}); }

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

    // A file that cannot be opened leaves the motion shown as it was and says why. The buttons,
    // the frame field and the sliders move within the motion's rows (the slider's end is one
    // past the last row). A row of the tree shows its own joint in the editor (of the two End
    // Sites, the one clicked) and highlights it; showing a joint is no edit, nor is an edit
    // before any joint is shown. An edit writes only the component changed, shows the values
    // that follow from it, reaches the frame table on the frame shown and marks the window
    // modified; closing it then asks to save, and Cancel keeps it open. A file that declares
    // more frames than it holds plays only the rows read; the DOF list shows each joint's
    // columns. The rotation convention chosen in the menu is the motion's, and holds for
    // motions opened later.
    void openMoveEditAndSave()
    {
        DudEzu window;
        auto& ui = window.ui;
        for (const QString& file :
             {motionPath, TestSupport::writeFile(dir, "junk.bvh", "no\n"), path("missing.bvh")})
            trigger(ui.actionOpenBVH, file);
        QVERIFY(dialogs.warnings.size() == 2 && dialogs.warnings[0].contains("junk.bvh") &&
                dialogs.warnings[1].contains("missing.bvh"));
        QCOMPARE(window.bvhFile.rowCount(), 100);
        QCOMPARE(window.getMarkedRange(), FrameRange::all(100));
        QCOMPARE(std::pair(ui.slider->maximum(), window.timer.interval()), std::pair(99, 40));

        ui.rightButton->click();
        QCOMPARE(ui.frameLineEdit->text(), QStringLiteral("1"));
        ui.leftButton->click();
        ui.leftButton->click();
        QCOMPARE(window.getCurrentFrame(), 0);
        goTo(window, 10);
        QCOMPARE(ui.subSlider->value(), 10);
        QCOMPARE(ui.timeLineEdit->text(), QStringLiteral("00:00:00.400"));
        for (const char* wrong : {"500", "-3", "100"}) {
            ui.frameLineEdit->setText(QString::fromLatin1(wrong));
            ui.gotoButton->click();
            QCOMPARE(window.getCurrentFrame(), 10);
        }
        ui.slider->setValue(42);
        emit ui.slider->sliderMoved(42);
        QCOMPARE(std::pair(window.getCurrentFrame(), ui.subSlider->value()), std::pair(42, 42));
        ui.slider->setValue(100);
        emit ui.slider->sliderMoved(100);
        ui.rightButton->click();
        QCOMPARE(window.getCurrentFrame(), 99);

        goTo(window, 5);
        JointInfoWidget& editor = *window.jointInfoWidget;
        editor.xRotSpinBox->setValue(12); // no joint shown yet
        QTreeView* tree = window.jointTreeWidget->bvhTreeView;
        const QAbstractItemModel* rows = tree->model();
        const QModelIndex hips = rows->index(0, 0), spine = rows->index(0, 0, hips);
        emit tree->clicked(rows->index(0, 0, rows->index(1, 0, hips))); // LeftLeg's End Site
        const BvhJoint* endSite = window.bvhFile.root->getAllJoints()[4];
        QVERIFY(editor.getJoint() == endSite && ui.bvhView->getHighlightedJoint() == endSite);
        emit tree->clicked(hips);
        QVERIFY(!window.isWindowModified());
        QVERIFY(editor.posGroupBox->isEnabled());
        QCOMPARE(editor.yPosSpinBox->value(), 51.0);
        editor.yOffsetSpinBox->setValue(7.5);
        QCOMPARE(window.bvhFile.root->getOffset(), Vector3f(0, 7.5f, 0));
        QCOMPARE(editor.yPosAbsSpinBox->value(), 58.5);
        // Values show as precise as they are and unclamped; Enter on a box not edited stores
        // nothing, and editing z leaves x as it is.
        window.bvhFile.root->setPosition(Vector3f(50.123456f, 908, 52));
        editor.updateJointInfo();
        QCOMPARE(editor.yPosSpinBox->text(), QStringLiteral("908.0000"));
        QSignalSpy edits(&editor, &JointInfoWidget::jointUpdated);
        QTest::keyClick(editor.xPosSpinBox, Qt::Key_Return);
        QCOMPARE(edits.count(), 0);
        editor.zPosSpinBox->setValue(4);
        QCOMPARE(window.bvhFile.root->getPosition(), Vector3f(50.123456f, 908, 4));
        emit tree->clicked(spine);
        QCOMPARE(editor.jointParentLabel->text(), QStringLiteral("Hips"));
        QVERIFY(!editor.posGroupBox->isEnabled() && editor.rotGroupBox->isEnabled());
        editor.xRotSpinBox->setValue(33); // Spine's X rotation: column 7
        QVERIFY(window.isWindowModified());
        QCOMPARE(window.bvhFile.frames[5].mid(1, 7), QList<double>({908, 4, 53, 54, 55, 56, 33}));

        trigger(ui.actionCloseBVH); // the question is cancelled
        trigger(ui.actionOpenBVH);  // no file chosen: nothing asked, nothing closed
        QCOMPARE(dialogs.questions, 1);
        QVERIFY(window.bvhFile.isLoaded());
        dialogs.choices = {UserDialogs::SaveChoice::Cancel, UserDialogs::SaveChoice::Save};
        trigger(ui.actionCloseBVH, path("saved.bvh"));
        QVERIFY(!window.bvhFile.isLoaded());
        QCOMPARE(rows->rowCount(), 0);
        BvhFile back;
        QVERIFY(BvhReader(back).read(path("saved.bvh")).ok());
        QCOMPARE(back.frames[5].at(7), 33.0);

        QByteArray text = TestSupport::smallMotion(5);
        QVERIFY(window.loadFile(
            TestSupport::writeFile(dir, "cut.bvh", text.replace("Frames:\t5", "Frames:\t50"))));
        for (int i = 0; i < 10; ++i)
            ui.rightButton->click();
        QCOMPARE(window.getCurrentFrame(), 4);
        const QAbstractItemModel* list = window.jointListWidget->listView->model();
        QStringList lines;
        for (int row = 0; row < list->rowCount(); ++row)
            lines << list->index(row, 0).data().toString();
        QCOMPARE(lines, QStringList({"(0-5) Hips", "(6-8) Spine", "(none) End Site (Spine)",
                                     "(9-11) LeftLeg", "(none) End Site (LeftLeg)"}));

        // The convention chosen holds for the open motion; the next one opened gets its
        // profile's.
        ui.actionRotationOrderDeclared->trigger();
        QVERIFY(!ui.actionRotationOrderFixed->isChecked());
        QCOMPARE(window.bvhFile.getConvention(), PoseConvention::standard());
        QVERIFY(window.loadFile(motionPath));
        QCOMPARE(window.bvhFile.getConvention(), PoseConvention::ipiStudio());
        QVERIFY(ui.actionRotationOrderFixed->isChecked());
    }

    // Without a motion the marker switches still reach the view, and the commands ask nothing
    // and play nothing. Opening another motion while playing plays it from its first frame, not
    // from the frame the old one was playing.
    void withoutAMotionAndPlaying()
    {
        DudEzu window;
        window.ui.bodyMassCheckBox->setChecked(false);
        window.ui.segmentMassCheckBox->setChecked(false);
        QVERIFY(!window.ui.bvhView->bodyMassDisplayed && !window.ui.bvhView->segmentMassDisplayed);
        window.ui.bodyMassCheckBox->setChecked(true);
        QVERIFY(window.ui.bvhView->bodyMassDisplayed);
        for (QAction* action : window.findChildren<QAction*>()) {
            if (action != window.ui.actionExit && action != window.ui.actionAbout &&
                action != window.ui.actionEditMassSegments && action->text() != "Settings...")
                action->trigger();
        }
        for (auto command : {&DudEzu::gotoNextFrame, &DudEzu::gotoPrevFrame, &DudEzu::gotoFrame,
                             &DudEzu::updateFromSlider})
            (window.*command)();
        QVERIFY(dialogs.warnings.isEmpty() && dialogs.proposed.isEmpty());
        QCOMPARE(window.getCurrentFrame(), 0);
        window.ui.startButton->click();
        QVERIFY(!window.timer.isActive());
        QVERIFY(window.loadFile(motionPath));
        window.ui.startButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.getCurrentFrame() >= 3, 5000);
        window.ui.pauseButton->click();
        const int stopped = window.getCurrentFrame();
        QTest::qWait(100);
        QCOMPARE(window.getCurrentFrame(), stopped);
        goTo(window, 60);
        window.ui.startButton->click();
        QVERIFY(window.loadFile(motionPath));
        QVERIFY(window.timer.isActive() && window.getCurrentFrame() < 2);
        QTRY_VERIFY_WITH_TIMEOUT(window.getCurrentFrame() >= 2, 5000);
        QVERIFY(window.getCurrentFrame() < 50); // not going on from frame 60
        window.ui.actionCloseBVH->trigger();
        QVERIFY(!window.timer.isActive());
    }

    // Frames 20 to 60 marked by the [ and ] keys, frame 7 shown. The marks bound the sub-slider
    // and Save writes the marked frames. Each export writes the frames and joints chosen and
    // reports a failed write; none moves the frame on screen (the window's, nor the one the
    // joints hold for the view). The joint tables start from every joint and the marks, and
    // hold the frames chosen, both ends included; C3D takes the whole motion. Interpolation
    // starts with no joint and the marks; Spine turns anew in the frames strictly between them
    // and keeps its turn in the others, and the editor shows the new rotation at once.
    void commandsOnTheMarkedRange()
    {
        DudEzu window;
        auto& ui = window.ui;
        QVERIFY(window.loadFile(motionPath));
        goTo(window, 20);
        QTest::keyClick(&window, Qt::Key_BracketLeft);
        goTo(window, 60);
        QTest::keyClick(&window, Qt::Key_BracketRight);
        goTo(window, 7);
        QCOMPARE(ui.leftBracketLineEdit->text() + "," + ui.rightBracketLineEdit->text(), "20,60");
        QCOMPARE(std::pair(ui.subSlider->minimum(), ui.subSlider->maximum()), std::pair(20, 60));
        trigger(ui.actionSaveBVH, path("clip.bvh"));
        BvhFile back;
        QVERIFY(BvhReader(back).read(path("clip.bvh")).ok());
        QCOMPARE(back.rowCount(), 41);
        QCOMPARE(std::pair(back.frames[0][0], back.frames[40][0]), std::pair(200.0, 600.0));

        trigger(ui.actionExportJointRotations, path("rotations.csv"), [](auto& list) {
            QCOMPARE(list.checkStates(), QList<bool>(5, true));
            QCOMPARE(std::pair(list.fromSpinBox->value(), list.toSpinBox->value()),
                     std::pair(20, 60));
            list.fromSpinBox->setValue(30);
            list.toSpinBox->setValue(33);
            list.noneButton->click();
            list.listWidget->item(1)->setCheckState(Qt::Checked); // Spine
            list.okButton->click();
        });
        QCOMPARE(TestSupport::readFile(path("rotations.csv")),
                 TestSupport::readFile(TestSupport::dataPath("expected/gui_rotations.csv")));
        trigger(ui.actionExportAbsJointPositions, path("positions.csv"), [](auto& list) {
            list.noneButton->click();
            list.allButton->click();
            list.toSpinBox->setValue(99999); // cut at the motion's end
            list.okButton->click();
        });
        const QList<QByteArray> lines = TestSupport::readLines(path("positions.csv"));
        QCOMPARE(lines.size(), 1 + 80); // frame 20 first: Hips at (200, 201, 202)
        QVERIFY(lines[1].startsWith("0.8,200,201,202,") && lines[1].count(',') == 5 * 3);
        // The profile's model does not fit this skeleton: an error, said before any file name
        // is asked for, not a table.
        trigger(ui.actionExportMassCenter);
        QVERIFY(dialogs.warnings.size() == 1 && dialogs.warnings.last().contains("does not fit"));
        window.mathObject.setSegments(
            TestSupport::segmentModel("Hips>Spine 0.5 0.75;Spine>End Site 0.5 0.25;"));
        trigger(ui.actionExportMassCenter, path("com.csv"));
        QCOMPARE(TestSupport::readLines(path("com.csv")).size(), 1 + 41); // 20 to 60
        QCOMPARE(dialogs.informations, 1);
        trigger(ui.actionExportC3D, path("walk.c3d"));
        QCOMPARE(dialogs.proposed.last(), path("walk.c3d"));
        TestSupport::C3DReader reader;
        QCOMPARE(reader.readFile(path("walk.c3d")), QString());
        QCOMPARE(reader.frameCount, 100);
        QCOMPARE(window.getCurrentFrame(), 7);
        QCOMPARE(window.bvhFile.root->getPosition().x(), 70.0f);

        // Cancelled in the joint selection, a table asks for no file name.
        trigger(ui.actionExportJointRotations, {}, [](auto& list) { list.cancelButton->click(); });
        QCOMPARE(dialogs.proposed.size(), 5);
        trigger(ui.actionExportJointRotations, "/nonexistent/dir/out",
                [](auto& list) { list.okButton->click(); });
        trigger(ui.actionExportMassCenter, "/nonexistent/dir/out");
        trigger(ui.actionExportC3D, "/nonexistent/dir/out");
        QCOMPARE(dialogs.warnings.filter("/nonexistent/dir/out").size(), 3);
        QCOMPARE(dialogs.informations, 1);
        // Each save proposes the motion's name and what it holds; a name chosen without the
        // extension gets it, and the status bar says what was written. A reversed range is
        // refused before any file name is asked for.
        QCOMPARE(dialogs.proposed.first(), path("walk-edited.bvh"));
        QCOMPARE(dialogs.proposed.filter("walk-rotations.csv").size(), 2);
        trigger(ui.actionExportC3D, path("noextension"));
        QVERIFY(QFile::exists(path("noextension.c3d")));
        QCOMPARE(window.statusBar()->currentMessage(),
                 "Wrote " + QDir::toNativeSeparators(path("noextension.c3d")) +
                     ": frames 0 to 99, 5 joints");
        const qsizetype asked = dialogs.proposed.size();
        trigger(ui.actionExportAbsJointPositions, path("reversed.csv"), [](auto& list) {
            list.fromSpinBox->setValue(40);
            list.toSpinBox->setValue(30);
            list.okButton->click();
        });
        QVERIFY(dialogs.proposed.size() == asked && dialogs.warnings.last().contains("40 to 30"));

        goTo(window, 25);
        window.jointInfoWidget->setJoint(window.bvhFile.root->getJointByName("Spine"));
        const QVector<QList<double>>& frames = window.bvhFile.frames;
        const QVector<QList<double>> before = frames;
        trigger(ui.actionInterpolateJointRotations, {}, [](auto& list) {
            QCOMPARE(list.checkStates(), QList<bool>(5, false));
            list.listWidget->item(1)->setCheckState(Qt::Checked);
            list.okButton->click();
        });
        const auto spineTurn = [](const QList<double>& row) { // columns 6, 7, 8: z, x, y
            return BvhJoint::eulerToMatrix(row[7], row[8], row[6]);
        };
        for (int f : {19, 20, 21, 25, 59, 60, 61})
            QCOMPARE(spineTurn(frames[f]).isApprox(spineTurn(before[f]), 1e-4f),
                     f <= 20 || f >= 60);
        QVERIFY(window.isWindowModified());
        QCOMPARE(window.getCurrentFrame(), 25);
        QCOMPARE(float(window.jointInfoWidget->xRotSpinBox->value()), float(frames[25][7]));
    }

    // The table shows numbers to 7 significant digits. A name cell offers the motion's joints
    // but its End Sites, a number cell nothing. Close discards the table's edits, Save and Close
    // applies them: text that is no number becomes 0, an added row a segment of empty names.
    // Save XML writes the model (not the table), Open XML replaces it and shows it, and a
    // failed write is reported. Delete removes the current row.
    void massSegmentEditor()
    {
        BvhFile file; // Hips > [Spine > End Site, LeftLeg > End Site]
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(3)));
        BvhMathObject physics;
        const MassSegmentModel model =
            TestSupport::segmentModel("Hips>Spine 0.5 0.75;Spine>End Site 0.0123456789 0.25;");
        physics.setSegments(model);
        MassSegmentWidget editor;
        QTableWidget* table = editor.tableWidget;
        editor.mathObject = &physics;
        editor.refreshTable();
        emit table->cellClicked(0, 0); // no motion open: no list
        QVERIFY(!editor.listView->model());
        physics.setBvhFile(&file);
        // A segment the open motion cannot carry is a red row.
        physics.setSegments(TestSupport::segmentModel("Hips>Spine 0.5 0.75;Spine>Tail 0.5 0.25;"));
        editor.refreshTable();
        QVERIFY(table->item(0, 0)->background().style() == Qt::NoBrush &&
                table->item(1, 3)->background().color() == QColor(255, 190, 190));
        // The joints are offered at once, the sum of the fractions is shown (red when it is
        // not 1), and a number cell refuses text that is no number.
        QCOMPARE(editor.listView->model()->rowCount(), 3);
        table->item(1, 3)->setText(QStringLiteral("0.2"));
        QVERIFY(editor.totalLabel->text().contains("0.95") &&
                !editor.totalLabel->styleSheet().isEmpty());
        auto* field = qobject_cast<QLineEdit*>(
            table->itemDelegateForColumn(3)->createEditor(table, {}, table->model()->index(0, 3)));
        int at = 0;
        QString typed = QStringLiteral("abc");
        QCOMPARE(field->validator()->validate(typed, at), QValidator::Invalid);
        delete field;
        physics.setSegments(model);
        editor.refreshTable();
        QVERIFY(editor.totalLabel->styleSheet().isEmpty());
        table->setCurrentCell(1, 1);
        emit table->cellClicked(1, 1);
        QAbstractItemModel* names = editor.listView->model();
        emit editor.listView->clicked(names->index(2, 0)); // LeftLeg
        table->setCurrentCell(1, 2);
        emit table->cellClicked(1, 2);
        editor.processListClick(names->index(0, 0)); // no name for a number cell
        table->item(0, 3)->setText(QStringLiteral("0.5"));
        editor.closeButton->click();
        QCOMPARE(physics.getSegments(), model);

        dialogs.files = {path("model.xml"), path("model.xml"), "/nonexistent/dir/model.xml"};
        editor.saveButton->click();
        table->item(1, 3)->setText(QStringLiteral("heavy"));
        editor.addButton->click();
        editor.saveCloseButton->click();
        QCOMPARE(physics.getSegments(),
                 MassSegmentModel(
                     {{"Hips", "Spine", 0.5, 0.5}, {"Spine", "LeftLeg", 0.0123457, 0.0}, {}}));
        editor.openButton->click();
        QCOMPARE(physics.getSegments()[1].mass, 0.25);
        QCOMPARE(table->item(0, 3)->text(), QStringLiteral("0.75"));
        editor.saveButton->click();
        QVERIFY(dialogs.warnings.size() == 1 && dialogs.warnings[0].contains("/nonexistent/dir"));
        table->setCurrentCell(0, 0);
        editor.deleteButton->click();
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Spine"));
    }

    // An opened recording gets its detected profile, named in the status bar and Properties.
    // Another profile chosen in the menu poses and weighs it anew, and its model not fitting
    // is said; Detect goes back. The unit menu overrides the profile's unit.
    void skeletonProfiles()
    {
        DudEzu window;
        QVERIFY(window.loadFile(TestSupport::dataPath("real/rokoko_jesse_dance.bvh")));
        const auto status = [&] { return window.statusBar()->currentMessage(); };
        QVERIFY2(status().contains("Rokoko profile (detected)"), qPrintable(status()));
        QCOMPARE(window.bvhFile.getConvention(), PoseConvention::standard());
        QVERIFY(window.mathObject.getBinding().isComplete());
        window.ui.actionProperties->trigger();
        QVERIFY(dialogs.lastInformation.contains("Skeleton profile: Rokoko (detected)") &&
                dialogs.lastInformation.contains("The model fits the skeleton."));

        const auto choose = [&](const QString& name) {
            for (QAction* action : window.ui.menuProfile->actions()) {
                if (!action->isSeparator() && action->data().toString() == name)
                    return action->trigger();
            }
            QFAIL("no such profile in the menu");
        };
        // The hips' rest height is in OFFSET and their place in the channels: the iPi
        // convention adds the two.
        const auto hipsHeight = [&] { return PoseEvaluator::positionOf(*window.bvhFile.root).y(); };
        const float rokokoHeight = hipsHeight();
        choose(QStringLiteral("ipi"));
        QCOMPARE(hipsHeight(), rokokoHeight + window.bvhFile.root->getOffset().y());
        QCOMPARE(window.getSetup().profile.name, QStringLiteral("ipi"));
        QCOMPARE(window.bvhFile.getConvention(), PoseConvention::ipiStudio());
        QVERIFY(status().contains("does not fit") && status().contains("LThigh"));
        QVERIFY(window.ui.actionRotationOrderFixed->isChecked());
        choose(QString());
        QCOMPARE(window.getSetup().profile.name, QStringLiteral("rokoko"));
        QCOMPARE(hipsHeight(), rokokoHeight);

        window.ui.menuUnit->actions().at(3)->trigger(); // metres
        QCOMPARE(window.getSetup().unit, LengthUnit::metres());
        QVERIFY(window.ui.menuUnit->actions().at(3)->isChecked());
    }

    // One current frame, whichever control moves it: a click on the slider's groove and a
    // wheel turn over it show the frame the handle goes to. Right and Left step a frame (with
    // Shift ten), Home and End go to the marked range's ends, Space plays and pauses. Goto
    // beyond the motion or without a number is refused in place. Playback runs within [ ],
    // round and round with Loop on, to ] and no further with it off.
    void timelineControls()
    {
        DudEzu window;
        auto& ui = window.ui;
        window.resize(1000, 700);
        window.show();
        window.activateWindow(); // the keys are the window's while it is active
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.loadFile(motionPath)); // 100 frames
        // At 800 x 600 every control of the playback bar shows whole within the window.
        window.resize(800, 600);
        QTRY_COMPARE(window.size(), QSize(800, 600));
        for (QWidget* control : std::initializer_list<QWidget*>{
                 ui.startButton, ui.pauseButton, ui.loopCheckBox, ui.frameLineEdit, ui.gotoButton,
                 ui.leftButton, ui.rightButton, ui.timeLineEdit, ui.rightBracketButton}) {
            const QRect placed(control->mapTo(&window, QPoint()), control->size());
            QVERIFY2(window.rect().contains(placed) &&
                         control->width() >= control->minimumSizeHint().width(),
                     qPrintable(control->objectName()));
        }
        QTest::mouseClick(ui.slider, Qt::LeftButton, {},
                          QPoint(ui.slider->width() - 3, ui.slider->height() / 2));
        QVERIFY(window.getCurrentFrame() > 0 && window.getCurrentFrame() == ui.slider->value());
        const int clicked = window.getCurrentFrame();
        QWheelEvent wheel(QPointF(20, 10), ui.slider->mapToGlobal(QPointF(20, 10)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(ui.slider, &wheel);
        QVERIFY(window.getCurrentFrame() != clicked &&
                window.getCurrentFrame() == ui.slider->value() &&
                ui.subSlider->value() == window.getCurrentFrame());

        window.goToFrame(50);
        const std::pair<QKeyCombination, int> steps[] = {{Qt::Key_Right, 51},
                                                         {Qt::SHIFT | Qt::Key_Right, 61},
                                                         {Qt::Key_Left, 60},
                                                         {Qt::SHIFT | Qt::Key_Left, 50}};
        for (const auto& [key, frame] : steps) {
            QTest::keyClick(&window, key.key(), key.keyboardModifiers());
            QCOMPARE(window.getCurrentFrame(), frame);
        }
        goTo(window, 20);
        QTest::keyClick(&window, Qt::Key_BracketLeft);
        goTo(window, 40);
        QTest::keyClick(&window, Qt::Key_BracketRight);
        QTest::keyClick(&window, Qt::Key_Home);
        QCOMPARE(window.getCurrentFrame(), 20);
        QTest::keyClick(&window, Qt::Key_End);
        QCOMPARE(window.getCurrentFrame(), 40);

        for (const char* text : {"1000", "abc", "-1"}) {
            ui.frameLineEdit->setText(QString::fromLatin1(text));
            ui.gotoButton->click();
            QVERIFY2(window.getCurrentFrame() == 40 &&
                         ui.frameLineEdit->property("invalid").toBool(),
                     text);
        }
        goTo(window, 30);
        QVERIFY(window.getCurrentFrame() == 30 && !ui.frameLineEdit->property("invalid").toBool());

        // 0.04 s a frame: the 21 frames of the range take 0.84 s a round.
        int lowest = 1000, highest = -1, previous = window.getCurrentFrame();
        bool wrapped = false;
        connect(&window.timer, &QTimer::timeout, this, [&] {
            const int frame = window.getCurrentFrame();
            lowest = std::min(lowest, frame);
            highest = std::max(highest, frame);
            wrapped = wrapped || frame < previous;
            previous = frame;
        });
        QTest::keyClick(&window, Qt::Key_Space);
        QVERIFY(window.timer.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(wrapped, 5000);
        QTest::keyClick(&window, Qt::Key_Space);
        QVERIFY(!window.timer.isActive());
        QVERIFY2(lowest >= 20 && highest <= 40,
                 qPrintable(QStringLiteral("%1..%2").arg(lowest).arg(highest)));
        ui.loopCheckBox->setChecked(false);
        goTo(window, 36);
        ui.startButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window.timer.isActive(), 5000);
        QCOMPARE(window.getCurrentFrame(), 40);
    }

    // The sample walk: the floor overlays follow the frame and switch off; a click in a plot
    // goes to the frame under it; the window's analysis and events tables are the converter's,
    // and the plots and the view export as images.
    void analysisPlotsAndOverlays()
    {
        DudEzu window;
        window.resize(1200, 800);
        window.show();
        QVERIFY(window.loadFile(QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh")));
        AnalysisPanel* panel = window.getAnalysisPanel();
        const SkeletonScene& scene = window.ui.bvhView->getScene();
        const auto shown = [](const std::vector<SceneNode>& nodes) {
            return std::count_if(nodes.begin(), nodes.end(),
                                 [](const SceneNode& node) { return node.isVisible(); });
        };
        goTo(window, 100);
        QCOMPARE(shown(scene.getOverlaySphereNodes()), 2);    // centre and extrapolated centre
        QVERIFY(shown(scene.getOverlayCylinderNodes()) > 20); // trail and base of support
        for (QAction* overlay : panel->getOverlayActions())
            overlay->setChecked(false);
        QCOMPARE(shown(scene.getOverlaySphereNodes()) + shown(scene.getOverlayCylinderNodes()), 0);

        panel->getDock()->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel->getPlots()));
        QChartView* plot = panel->getPlots()->getViews()[1];
        const QPoint at = plot->mapFromScene(plot->chart()->mapToPosition(QPointF(2.0, 100)));
        QTest::mouseClick(plot->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(window.getCurrentFrame(), 120);

        const auto exportAction = [&](const QString& text) {
            for (QAction* action : window.ui.menuExport->actions()) {
                if (action->text() == text)
                    return action;
            }
            return static_cast<QAction*>(nullptr);
        };
        trigger(exportAction("Analysis CSV..."), path("a.csv"));
        trigger(exportAction("Events CSV..."), path("e.csv"));
        QCOMPARE(dialogs.proposed.mid(0, 2).join(','),
                 QString(KINOVANE_SOURCE_DIR "/samples/walk-analysis.csv," KINOVANE_SOURCE_DIR
                                             "/samples/walk-events.csv"));
        for (const char* name : {"analysis", "events"})
            QCOMPARE(TestSupport::readFile(path(name[0] == 'a' ? "a.csv" : "e.csv")),
                     TestSupport::readFile(TestSupport::dataPath(
                         QStringLiteral("expected/walk-%1.csv").arg(QLatin1String(name)))));
        trigger(exportAction("Plots Image..."), path("p.svg"));
        QVERIFY(TestSupport::readFile(path("p.svg")).contains("<svg"));
        trigger(exportAction("View Image..."), path("v.png"));
        QCOMPARE(QImage(path("v.png")).size(), window.ui.bvhView->grabFramebuffer().size());
        trigger(exportAction("Plots Image..."), path("no/such/p.png"));
        QCOMPARE(dialogs.warnings.size(), 1);

        // A new cut-off from the settings dialog analyses the motion anew.
        QTimer::singleShot(0, qApp, [] {
            auto* box = qApp->activeModalWidget()->findChild<QDoubleSpinBox*>();
            box->setValue(3);
            qobject_cast<QDialog*>(qApp->activeModalWidget())->accept();
        });
        panel->editSettings();
        QCOMPARE(panel->getSettings().cutoffHz, 3.0);
        QCOMPARE(panel->getAnalysis()->cutoffHz, 3.0);
        // An edit of the frame shown is analysed once the edits pause.
        const double before = panel->getAnalysis()->rawCentre[120].x();
        BvhJoint* root = window.bvhFile.root;
        root->setPosition(root->getPosition() + Vector3f(50, 0, 0));
        emit window.jointInfoWidget->jointUpdated(root);
        QTRY_VERIFY(std::abs(panel->getAnalysis()->rawCentre[120].x() - before - 50) < 1e-3);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

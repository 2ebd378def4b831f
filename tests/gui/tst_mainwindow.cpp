#include "app/analysispanel.h"
#include "app/dudezu.h"
#include "app/filecommands.h"
#include "app/playbackcontrols.h"
#include "app/setupmenus.h"
#include "app/timedisplay.h"
#include "app/tooldocks.h"
#include "convert/conversion.h"
#include "model/bvhreader.h"
#include "model/numberformat.h"
#include "physics/masssegmentfile.h"
#include "skeleton/skeletonprofilefile.h"
#include "support/c3dreader.h"
#include "support/testsupport.h"
#include "tools/aboutwidget.h"
#include "tools/analysisplots.h"
#include "tools/balanceplots.h"
#include "tools/checkablelistdialog.h"
#include "tools/gaitplots.h"
#include "tools/jointinfowidget.h"
#include "tools/jointlistwidget.h"
#include "tools/jointtreewidget.h"
#include "tools/masssegmentwidget.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QSvgRenderer>
#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

#include <functional>

using Selection = std::function<void(CheckableListDialog&)>;

// The main window driven as a user drives it, through its buttons, keys, boxes and menu
// actions, with the file dialogs, message boxes and joint selection dialogs answered by the
// test; the mass-segment editor on its own.
class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString motionPath; // 100 frames of 0.04 s; row f holds f * 10 + k in column k
    const QString walkPath = QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh");
    struct
    {
        QStringList files, proposed, warnings; // files answer the file dialogs in turn
        QList<UserDialogs::SaveChoice> choices;
        int informations = 0, questions = 0;
        QString lastInformation;
        QList<bool> confirmations; // the answers to yes-or-no questions, in turn (then no)
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
                select(*dialog);
            });
        }
        action->trigger();
    }

    static void goTo(DudEzu& window, int frame)
    {
        window.getForm().frameLineEdit->setText(QString::number(frame));
        window.getForm().gotoButton->click();
    }

    static void mark(DudEzu& window, int first, int last)
    {
        goTo(window, first);
        window.getForm().leftBracketButton->click();
        goTo(window, last);
        window.getForm().rightBracketButton->click();
    }

    // Types `text` into a box and presses Enter, as a user edits a value.
    static void type(QAbstractSpinBox* box, const QString& text)
    {
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }

    // The entry of File > Export, or else of any menu, with this text.
    static QAction* exportAction(DudEzu& window, const QString& text)
    {
        for (QAction* action :
             window.getForm().menuExport->actions() + window.findChildren<QAction*>()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

    // What the plots say of themselves: each plot's title, its axes' titles and its legend's
    // entries with the shape each is drawn with (for points, also the points' shape).
    static QString describePlots(const AnalysisPlots& plots)
    {
        const auto key = [](const QMetaObject& owner, int value) {
            const QMetaEnum names = owner.enumerator(owner.indexOfEnumerator("MarkerShape"));
            return QString::fromLatin1(names.valueToKey(value)).remove("MarkerShape");
        };
        QString text;
        for (const QChartView* view : plots.getViews()) {
            QStringList axes, legend;
            for (const QAbstractAxis* axis : view->chart()->axes())
                axes << axis->titleText();
            const QLegend* shown = view->chart()->legend();
            for (QLegendMarker* marker : shown->markers()) {
                if (!marker->isVisible())
                    continue;
                const auto* points = qobject_cast<QScatterSeries*>(marker->series());
                QLegend::MarkerShape shape = marker->shape();
                if (shape == QLegend::MarkerShapeDefault)
                    shape = shown->markerShape();
                QString drawn = key(QLegend::staticMetaObject, shape);
                if (shape == QLegend::MarkerShapeFromSeries)
                    drawn = points ? key(QScatterSeries::staticMetaObject, points->markerShape())
                                   : QStringLiteral("Line");
                if (points)
                    drawn +=
                        ", points " + key(QScatterSeries::staticMetaObject, points->markerShape());
                legend << marker->label() + ": " + drawn;
            }
            text += view->chart()->title() + "\n  axes: " + axes.join(", ") +
                    "\n  legend: " + legend.join("; ") + "\n";
        }
        return text;
    }

    // Pixels of column x, from top to bottom, darker than the grid: the cursor's, where a
    // cursor is drawn. Either neighbour counts, for an antialiased line between two columns.
    static int darkPixels(const QImage& image, int x, int top, int bottom)
    {
        int dark = 0;
        for (int y = top; y <= bottom; ++y) {
            const int gray = std::min({qGray(image.pixel(x - 1, y)), qGray(image.pixel(x, y)),
                                       qGray(image.pixel(x + 1, y))});
            dark += gray < 160 ? 1 : 0;
        }
        return dark;
    }

    // Chooses a joint in the hierarchy tree: the Hips (0), or a child of them.
    static void chooseJoint(DudEzu& window, int child = -1)
    {
        QTreeView* tree = window.getToolDocks().jointTree()->bvhTreeView;
        const QModelIndex hips = tree->model()->index(0, 0);
        emit tree->clicked(child < 0 ? hips : tree->model()->index(child, 0, hips));
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
        handler.confirm = [this](const QString&, const QString& text) {
            dialogs.warnings << text;
            return dialogs.confirmations.isEmpty() ? false : dialogs.confirmations.takeFirst();
        };
        UserDialogs::install(handler);
    }

    void cleanup() { UserDialogs::install({}); }

    void timeText_data()
    {
        QTest::addColumn<double>("frameTime");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QString>("text");
        QTest::newRow("over a minute") << 0.04 << 1525 << "00:01:01.000";
        QTest::newRow("negative") << 0.5 << -3 << "-00:00:01.500";
        QTest::newRow("rounded up to a second") << 0.0333333 << 30 << "00:00:01.000";
        QTest::newRow("rounded to the millisecond") << 0.0333333 << 29 << "00:00:00.967";
        QTest::newRow("hours unbounded") << 1.0 << 360000 << "100:00:00.000";
    }

    void timeText()
    {
        QFETCH(double, frameTime);
        QFETCH(int, frame);
        QFETCH(QString, text);
        QCOMPARE(TimeDisplay::timeText(frameTime, frame), text);
    }

    // A file that cannot be opened leaves the motion shown as it was and says why. The buttons,
    // the frame field and the sliders move within the motion's rows. A file that declares more
    // frames than it holds plays only the rows read; the DOF list shows each joint's columns.
    // The convention chosen in the menu is the open motion's; the next one gets its profile's.
    void openAndMove()
    {
        DudEzu window;
        const DudEzuForm& ui = window.getForm();
        for (const QString& file :
             {motionPath, TestSupport::writeFile(dir, "junk.bvh", "no\n"), path("missing.bvh")})
            trigger(ui.actionOpenBVH, file);
        QVERIFY(dialogs.warnings.size() == 2 && dialogs.warnings[0].contains("junk.bvh") &&
                dialogs.warnings[1].contains("missing.bvh"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Kinovane - walk.bvh[*]"));
        QCOMPARE(window.getDocument().getMarkedRange(), FrameRange::all(100));
        // Read on a thread of its own, the joints belong to the window's thread.
        for (const BvhJoint* joint : window.getDocument().getMotion().root->getAllJoints())
            QVERIFY(joint->thread() == QThread::currentThread());
        QCOMPARE(std::pair(ui.slider->maximum(), window.getPlayback().getTimer().interval()),
                 std::pair(99, 40));
        ui.rightButton->click();
        QCOMPARE(ui.frameLineEdit->text(), QStringLiteral("1"));
        ui.leftButton->click();
        ui.leftButton->click();
        QCOMPARE(window.getDocument().getCurrentFrame(), 0);
        goTo(window, 10);
        QCOMPARE(std::pair(ui.subSlider->value(), ui.timeLineEdit->text()),
                 std::pair(10, QStringLiteral("00:00:00.400")));
        ui.slider->setValue(42);
        QCOMPARE(std::pair(window.getDocument().getCurrentFrame(), ui.subSlider->value()),
                 std::pair(42, 42));
        ui.slider->setValue(100);
        ui.rightButton->click();
        QCOMPARE(window.getDocument().getCurrentFrame(), 99);

        QByteArray text = TestSupport::smallMotion(5);
        QVERIFY(window.loadFile(
            TestSupport::writeFile(dir, "cut.bvh", text.replace("Frames:\t5", "Frames:\t50"))));
        for (int i = 0; i < 10; ++i)
            ui.rightButton->click();
        QCOMPARE(window.getDocument().getCurrentFrame(), 4);
        const QAbstractItemModel* list = window.getToolDocks().jointList()->listView->model();
        QStringList lines;
        for (int row = 0; row < list->rowCount(); ++row)
            lines << list->index(row, 0).data().toString();
        QCOMPARE(lines, QStringList({"(0-5) Hips", "(6-8) Spine", "(none) End Site (Spine)",
                                     "(9-11) LeftLeg", "(none) End Site (LeftLeg)"}));
        // No profile fits this skeleton: it is posed under the standard convention until
        // another is chosen, and opening a file chooses anew.
        QCOMPARE(window.getDocument().getSetup().convention, PoseConvention::standard());
        ui.actionRotationOrderFixed->trigger();
        QVERIFY(!ui.actionRotationOrderDeclared->isChecked());
        QCOMPARE(window.getDocument().getSetup().convention.rotationOrder, RotationOrder::Fixed);
        QVERIFY(window.loadFile(motionPath));
        QCOMPARE(window.getDocument().getSetup().convention, PoseConvention::standard());
        QVERIFY(ui.actionRotationOrderDeclared->isChecked());

        // The window goes on handling events while a motion is read (here a timer's), and the
        // motion is open when loadFile returns.
        const QString longer =
            TestSupport::writeFile(dir, "longer.bvh", TestSupport::smallMotion(20000));
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(0);
        QVERIFY(window.loadFile(longer));
        const int ticksWhileOpening = ticks;
        ticker.stop();
        QVERIFY(ticksWhileOpening > 0);
        QCOMPARE(window.getDocument().getMarkedRange(), FrameRange::all(20000));
    }

    // A row of the tree shows its own joint in the editor (of the two End Sites, the one
    // clicked) and highlights it; showing a joint is no edit. A value typed goes into the frame
    // shown as the very number typed (1234.5678 is no float), shows as typed, and is saved with
    // its digits; an offset too. Only the component changed changes, and a box the joint has
    // no channel for takes no value. Enter on a box not edited stores nothing.
    void typedValuesAreKeptAsTyped()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        JointInfoWidget& editor = *window.getToolDocks().jointInfo();
        QTreeView* tree = window.getToolDocks().jointTree()->bvhTreeView;
        const QAbstractItemModel* rows = tree->model();
        emit tree->clicked(rows->index(0, 0, rows->index(1, 0, rows->index(0, 0))));
        const BvhJoint* endSite = window.getDocument().getMotion().root->getAllJoints()[4];
        QVERIFY(editor.getJoint() == endSite &&
                window.getForm().bvhView->getHighlightedJoint() == endSite);
        goTo(window, 5);
        chooseJoint(window);
        QVERIFY(!window.isWindowModified());
        QCOMPARE(editor.yPosSpinBox->value(), 51.0);
        QSignalSpy edits(&editor, &JointInfoWidget::jointUpdated);
        QTest::keyClick(editor.xPosSpinBox, Qt::Key_Return);
        QCOMPARE(edits.count(), 0);

        type(editor.zPosSpinBox, "1234.5678");
        type(editor.yOffsetSpinBox, "7.123456789");
        chooseJoint(window, 0); // Spine: rotations only
        QVERIFY(!editor.xPosSpinBox->isEnabled() && editor.xRotSpinBox->isEnabled());
        type(editor.xRotSpinBox, "-37.123456"); // column 7
        QVERIFY(window.isWindowModified());
        QCOMPARE(TestSupport::rowList(window.getDocument().getMotion().frames)[5].mid(0, 8),
                 QList<double>({50, 51, 1234.5678, 53, 54, 55, 56, -37.123456}));
        chooseJoint(window);
        QCOMPARE(editor.zPosSpinBox->text(), QStringLiteral("1234.5678"));
        QCOMPARE(editor.yOffsetSpinBox->text(), QStringLiteral("7.123456789"));
        // The position channels replace the OFFSET (the standard convention), so the typed
        // offset does not move the joint.
        QCOMPARE(editor.yPosAbsSpinBox->value(), 51.0);

        trigger(window.getForm().actionSaveBVH, path("typed.bvh"));
        const QByteArray saved = TestSupport::readFile(path("typed.bvh"));
        QVERIFY(saved.contains("OFFSET\t0.0000\t7.123456789\t0.0000") &&
                saved.contains("\t1234.5678\t") && saved.contains("\t-37.123456\t"));
        BvhFile back;
        QVERIFY(BvhReader(back).read(path("typed.bvh")).ok());
        QCOMPARE(back.frames, window.getDocument().getMotion().frames);
        QVERIFY(!window.isWindowModified());
    }

    // Every edit can be undone and redone (Ctrl+Z, Ctrl+Shift+Z); steps of one box fold into
    // one edit, and undoing back to the saved motion clears the unsaved mark. A box takes the
    // mouse wheel only when it has the focus: scrolling over the tool window changes nothing.
    void undoRedoAndTheWheel()
    {
        DudEzu window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.loadFile(motionPath));
        goTo(window, 5);
        chooseJoint(window);
        QAbstractSpinBox* box = window.getToolDocks().jointInfo()->xPosSpinBox;
        const auto wheel = [&] {
            QWheelEvent event(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(),
                              QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QCoreApplication::sendEvent(box, &event);
        };
        window.getForm().frameLineEdit->setFocus();
        wheel();
        QCOMPARE(window.getDocument().getMotion().frames[5][0], 50.0);
        QVERIFY(!window.isWindowModified());
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        QTest::keyClick(box, Qt::Key_Return); // nothing typed: nothing stored, no edit
        QVERIFY(window.getDocument().getUndoStack().count() == 0 && !window.isWindowModified());
        wheel();
        wheel();
        QCOMPARE(window.getDocument().getMotion().frames[5][0], 52.0);

        QUndoStack& stack = window.getDocument().getUndoStack();
        QCOMPARE(stack.count(), 1); // two steps, one edit
        QAction* undo = window.getForm().menuEdit->actions().at(0);
        QAction* redo = window.getForm().menuEdit->actions().at(1);
        QCOMPARE(std::pair(undo->shortcut(), redo->shortcut()),
                 std::pair(QKeySequence(QKeySequence::Undo),
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
        goTo(window, 60);
        undo->trigger();
        QCOMPARE(window.getDocument().getMotion().frames[5][0], 50.0);
        QCOMPARE(window.getDocument().getCurrentFrame(), 5); // shown where it was made
        QVERIFY(!window.isWindowModified());
        QCOMPARE(window.getToolDocks().jointInfo()->xPosSpinBox->value(), 50.0);
        redo->trigger();
        QCOMPARE(window.getDocument().getMotion().frames[5][0], 52.0);
        QVERIFY(window.isWindowModified());

        // An interpolation is one edit.
        const FrameRows before = window.getDocument().getMotion().frames;
        mark(window, 20, 60);
        trigger(window.getForm().actionInterpolateJointRotations, {},
                [](CheckableListDialog& dialog) {
                    dialog.checkableList->listWidget->item(1)->setCheckState(Qt::Checked);
                    dialog.checkableList->okButton->click();
                });
        QVERIFY(window.getDocument().getMotion().frames.mid(40, 1) != before.mid(40, 1));
        undo->trigger();
        QCOMPARE(window.getDocument().getMotion().frames, before);
        undo->trigger();
        QVERIFY(!window.isWindowModified());
    }

    // Saving a part of the motion writes a clip: the status bar says so and the motion stays
    // unsaved, so that closing still asks about the edits the clip left out. Saved whole, the
    // mark goes. Closing with unsaved edits asks once; quitting too.
    void clipsLeaveTheMotionUnsaved()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        goTo(window, 10);
        chooseJoint(window, 0);
        type(window.getToolDocks().jointInfo()->zRotSpinBox, "12.5");
        mark(window, 39, 85);
        trigger(window.getForm().actionSaveBVH, path("clip.bvh"));
        BvhFile clip;
        QVERIFY(BvhReader(clip).read(path("clip.bvh")).ok());
        QCOMPARE(clip.rowCount(), 47);
        QCOMPARE(dialogs.proposed.last(), path("walk-clip.bvh"));
        QVERIFY(window.isWindowModified());
        QVERIFY(window.statusBar()->currentMessage().contains("a clip"));
        trigger(window.getForm().actionCloseBVH);
        QCOMPARE(dialogs.questions, 1); // cancelled: still open
        QVERIFY(window.getDocument().isOpen());
        dialogs.choices = {UserDialogs::SaveChoice::Cancel, UserDialogs::SaveChoice::Save};
        trigger(window.getForm().actionCloseBVH,
                path("whole.bvh")); // saves every frame, then closes
        QVERIFY(!window.getDocument().isOpen());
        QVERIFY(BvhReader(clip).read(path("whole.bvh")).ok());
        QCOMPARE(clip.rowCount(), 100);

        QVERIFY(window.loadFile(motionPath));
        chooseJoint(window);
        type(window.getToolDocks().jointInfo()->zOffsetSpinBox, "3");
        dialogs = {};
        dialogs.choices = {UserDialogs::SaveChoice::Discard};
        window.show();
        window.getForm().actionExit->trigger();
        QCOMPARE(dialogs.questions, 1);
        QVERIFY(!window.isVisible());
    }

    // Without a motion the commands on one are disabled and the fields empty, also after a
    // motion was closed (its frame, range, title and plots go with it); the marker switches
    // still reach the view. Opening another motion while playing plays it from its first frame.
    void withoutAMotionAndPlaying()
    {
        DudEzu window;
        const DudEzuForm& ui = window.getForm();
        const auto nothingShown = [&] {
            return ui.frameLineEdit->text().isEmpty() && ui.leftBracketLineEdit->text().isEmpty() &&
                   ui.rightBracketLineEdit->text().isEmpty() && ui.timeLineEdit->text().isEmpty() &&
                   !ui.actionSaveBVH->isEnabled() && !ui.actionProperties->isEnabled() &&
                   !ui.menuExport->menuAction()->isEnabled() &&
                   !ui.actionInterpolateJointRotations->isEnabled() &&
                   window.windowTitle() == QStringLiteral("Kinovane[*]");
        };
        QVERIFY(nothingShown());
        ui.bodyMassCheckBox->setChecked(false);
        ui.segmentMassCheckBox->setChecked(false);
        QVERIFY(!ui.bvhView->bodyMassDisplayed && !ui.bvhView->segmentMassDisplayed);
        window.getSetupMenus().showProperties();
        window.getFileCommands().saveBVH();
        QVERIFY(dialogs.informations == 0 && dialogs.proposed.isEmpty());
        ui.startButton->click();
        QVERIFY(!window.getPlayback().isPlaying());

        QVERIFY(window.loadFile(walkPath));
        window.getAnalysisPanel()->getDock()->show();
        QVERIFY(!window.getAnalysisPanel()->getPlots()->getViews()[0]->chart()->series().isEmpty());
        ui.startButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.getDocument().getCurrentFrame() >= 3, 5000);
        ui.pauseButton->click();
        const int stopped = window.getDocument().getCurrentFrame();
        QTest::qWait(100);
        QCOMPARE(window.getDocument().getCurrentFrame(), stopped);
        goTo(window, 60);
        ui.startButton->click();
        QVERIFY(window.loadFile(motionPath));
        QVERIFY(window.getPlayback().isPlaying() && window.getDocument().getCurrentFrame() < 2);
        QTRY_VERIFY_WITH_TIMEOUT(window.getDocument().getCurrentFrame() >= 2, 5000);
        QVERIFY(window.getDocument().getCurrentFrame() < 50); // not going on from frame 60
        mark(window, 10, 20);
        ui.actionCloseBVH->trigger();
        QVERIFY(!window.getPlayback().isPlaying());
        QVERIFY(nothingShown());
        QVERIFY(window.getAnalysisPanel()->getPlots()->getViews()[0]->chart()->series().isEmpty());
    }

    // A range is never reversed: ] before [ and [ after ] move the other mark along. The joint
    // and interpolation dialogs refuse a reversed range (they stay open and say why).
    void rangesAreNeverReversed()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath));
        goTo(window, 34);
        window.getForm().rightBracketButton->click();
        goTo(window, 79);
        window.getForm().leftBracketButton->click();
        QCOMPARE(window.getForm().leftBracketLineEdit->text() + "," +
                     window.getForm().rightBracketLineEdit->text(),
                 "79,79");
        QCOMPARE(window.getDocument().getMarkedRange(), (FrameRange{79, 79}));
        for (QAction* command : {window.getForm().actionExportAbsJointPositions,
                                 window.getForm().actionInterpolateJointRotations}) {
            bool refused = false, mended = false;
            trigger(command, path("reversed.csv"), [&](CheckableListDialog& dialog) {
                dialog.checkableList->fromSpinBox->setValue(150);
                dialog.checkableList->toSpinBox->setValue(20);
                dialog.checkableList->listWidget->item(1)->setCheckState(Qt::Checked);
                dialog.checkableList->okButton->click();
                refused = dialog.isVisible() && dialog.rangeProblem->isVisible();
                dialog.checkableList->fromSpinBox->setValue(10); // in order: the refusal goes
                mended = !dialog.rangeProblem->isVisible();
                dialog.checkableList->cancelButton->click();
            });
            QVERIFY(refused && mended);
        }
        QVERIFY(dialogs.proposed.isEmpty() && !QFile::exists(path("reversed.csv")));
        QVERIFY(!window.isWindowModified());
    }

    // Frames 20 to 60 marked, frame 7 shown. Each export writes the frames and joints chosen
    // and reports a failed write; none moves the frame on screen. The joint tables start from
    // every joint and the marks; C3D takes the whole motion. Interpolation starts with no joint
    // and the marks; Spine turns anew in the frames strictly between them and keeps its turn in
    // the others, and the editor shows the new rotation at once.
    void commandsOnTheMarkedRange()
    {
        DudEzu window;
        const DudEzuForm& ui = window.getForm();
        QVERIFY(window.loadFile(motionPath));
        mark(window, 20, 60);
        goTo(window, 7);
        QCOMPARE(std::pair(ui.subSlider->minimum(), ui.subSlider->maximum()), std::pair(20, 60));
        trigger(ui.actionExportJointRotations, path("rotations.csv"), [](CheckableListDialog& d) {
            CheckableListWidget& list = *d.checkableList;
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
        trigger(ui.actionExportAbsJointPositions, path("positions.csv"), [](auto& d) {
            d.checkableList->toSpinBox->setValue(99999); // cut at the motion's end
            d.checkableList->okButton->click();
        });
        const QList<QByteArray> lines = TestSupport::readLines(path("positions.csv"));
        QCOMPARE(lines.size(), 1 + 80); // frame 20 first: Hips at (200, 201, 202)
        QVERIFY(lines[1].startsWith("0.8,200,201,202,") && lines[1].count(',') == 5 * 3);
        // The markers for OpenSim take the joints and frames chosen the same way: here the
        // marked 20 to 60, and Spine's End Site named after it.
        trigger(exportAction(window, "OpenSim Markers (TRC)..."), path("markers.trc"),
                [](auto& d) { d.checkableList->okButton->click(); });
        const QList<QByteArray> markers = TestSupport::readLines(path("markers.trc"));
        QCOMPARE(markers.size(), 6 + 41);
        QVERIFY(markers[2].split('\t')[2] == "41" && markers[3].contains("\tSpine_End\t"));
        // The profile's model does not fit this skeleton: an error, said before any file name
        // is asked for, not a table.
        trigger(ui.actionExportMassCenter);
        QVERIFY(dialogs.warnings.size() == 1 && dialogs.warnings.last().contains("does not fit"));
        window.getDocument().setModel(
            TestSupport::segmentModel("Hips>Spine 0.5 0.75;Spine>End Site 0.5 0.25;"));
        trigger(ui.actionExportMassCenter, path("com.csv"));
        QCOMPARE(TestSupport::readLines(path("com.csv")).size(), 1 + 41); // 20 to 60
        QCOMPARE(dialogs.informations, 1);
        trigger(ui.actionExportC3D, path("noextension"));
        QCOMPARE(dialogs.proposed.last(), path("walk.c3d"));
        TestSupport::C3DReader reader;
        QCOMPARE(reader.readFile(path("noextension.c3d")), QString());
        QCOMPARE(reader.frameCount, 100);
        QCOMPARE(window.statusBar()->currentMessage(),
                 "Wrote " + QDir::toNativeSeparators(path("noextension.c3d")) +
                     ": frames 0 to 99, 5 joints");
        QCOMPARE(window.getDocument().getCurrentFrame(), 7);
        trigger(ui.actionExportJointRotations, {},
                [](auto& d) { d.checkableList->cancelButton->click(); });
        QCOMPARE(dialogs.proposed.size(), 5); // cancelled: no file name asked for
        trigger(ui.actionExportJointRotations, "/nonexistent/dir/out",
                [](auto& d) { d.checkableList->okButton->click(); });
        trigger(ui.actionExportMassCenter, "/nonexistent/dir/out");
        trigger(ui.actionExportC3D, "/nonexistent/dir/out");
        QCOMPARE(dialogs.warnings.filter("/nonexistent/dir/out").size(), 3);
        QCOMPARE(dialogs.proposed.filter("walk-rotations.csv").size(), 2);

        goTo(window, 25);
        window.getDocument().setSelectedJoint(1); // Spine
        const FrameRows before = window.getDocument().getMotion().frames;
        trigger(ui.actionInterpolateJointRotations, {}, [](auto& d) {
            // Joints with channels only: the End Sites have nothing to interpolate.
            QCOMPARE(d.checkableList->listWidget->item(2)->text(), QStringLiteral("LeftLeg"));
            QCOMPARE(d.checkStates(), QList<bool>(3, false));
            d.checkableList->listWidget->item(1)->setCheckState(Qt::Checked);
            d.checkableList->okButton->click();
        });
        const RotationAxes spineAxes =
            window.getDocument().getMotion().root->getJointByName("Spine")->getRotationAxes(
                window.getDocument().getSetup().convention.rotationOrder);
        const auto spineTurn = [&](std::span<const double> row) { // columns 6, 7, 8: z, x, y
            return BvhJoint::eulerToMatrix(Vector3f(row[7], row[8], row[6]), spineAxes);
        };
        const FrameRows& frames = window.getDocument().getMotion().frames;
        for (int f : {19, 20, 21, 25, 59, 60, 61})
            QVERIFY2(spineTurn(frames[f]).isApprox(spineTurn(before[f]), 1e-4f) ==
                         (f <= 20 || f >= 60),
                     qPrintable(QString::number(f)));
        QVERIFY(window.isWindowModified());
        QCOMPARE(window.getDocument().getCurrentFrame(), 25);
        QCOMPARE(window.getToolDocks().jointInfo()->xRotSpinBox->value(), frames[25][7]);
    }

    // The table is a working copy of the document's model. A row whose joints the open motion
    // lacks is red while it lacks them, whatever the table holds; Open XML fills the table
    // without touching the model, Close discards the table, Save and Close makes it the model
    // (an edit that can be undone) and the status bar names it. Save XML writes the table; a
    // failed write is reported. Name cells are offered the motion's joints but its End Sites,
    // number cells take numbers only.
    void massSegmentEditor()
    {
        DudEzu window;
        QVERIFY(window.loadFile(motionPath)); // Hips > [Spine > End Site, LeftLeg > End Site]
        const MassSegmentModel model =
            TestSupport::segmentModel("Hips>Spine 0.5 0.75;Spine>Tail 0.0123456789 0.25;");
        QVERIFY(MassSegmentFile::write(path("model.xml"), model).ok);
        window.getDocument().setModel(model);
        window.getDocument().getUndoStack().clear();
        MassSegmentWidget editor;
        editor.document = &window.getDocument();
        editor.refreshTable();
        QTableWidget* table = editor.tableWidget;
        const auto red = [&](int row) {
            return table->item(row, 3)->background().color() == QColor(255, 190, 190);
        };
        QVERIFY(!red(0) && red(1));
        table->item(1, 1)->setText(QStringLiteral("LeftLeg"));
        QVERIFY(!red(1));
        table->item(1, 1)->setText(QStringLiteral("Tail"));
        QVERIFY(red(1));
        QCOMPARE(editor.listView->model()->rowCount(), 3);
        QVERIFY(editor.totalLabel->text().contains("1") &&
                editor.totalLabel->styleSheet().isEmpty());
        table->item(1, 3)->setText(QStringLiteral("0.5")); // fractions summing to 1.25: red
        QVERIFY(editor.totalLabel->text().contains("1.25") &&
                !editor.totalLabel->styleSheet().isEmpty());
        table->item(1, 3)->setText(QStringLiteral("0.25"));
        auto* field = qobject_cast<QLineEdit*>(
            table->itemDelegateForColumn(3)->createEditor(table, {}, table->model()->index(0, 3)));
        int at = 0;
        QString typed = QStringLiteral("abc");
        QCOMPARE(field->validator()->validate(typed, at), QValidator::Invalid);
        delete field;

        const MassSegmentModel other =
            TestSupport::segmentModel("Hips>Spine 0.5 0.5;Hips>LeftLeg 0.5 0.5;");
        QVERIFY(MassSegmentFile::write(path("other.xml"), other).ok);
        dialogs.files = {path("other.xml")};
        editor.openButton->click();
        QCOMPARE(editor.tableModel(), other);
        QCOMPARE(window.getDocument().getSetup().segments, model); // not yet
        editor.closeButton->click();
        QCOMPARE(window.getDocument().getSetup().segments, model);
        editor.refreshTable();
        dialogs.files = {path("other.xml")};
        editor.openButton->click();
        table->item(0, 2)->setText(QStringLiteral("0.25"));
        QVERIFY(editor.tableModel()[0].proximalDistance == 0.25 &&
                editor.tableModel()[0].mass == other[0].mass);
        dialogs.files = {path("table.xml"), "/nonexistent/dir/model.xml"};
        editor.saveButton->click();
        QCOMPARE(MassSegmentFile::read(path("table.xml")).segments, editor.tableModel());
        editor.saveButton->click();
        QVERIFY(dialogs.warnings.size() == 1 && dialogs.warnings[0].contains("/nonexistent/dir"));
        editor.saveCloseButton->click();
        QCOMPARE(window.getDocument().getSetup().segments, editor.tableModel());
        QVERIFY(window.getDocument().getSetup().binding.isComplete());
        QVERIFY2(window.statusBar()->currentMessage().contains("your own model") &&
                     !window.statusBar()->currentMessage().contains("does not fit"),
                 qPrintable(window.statusBar()->currentMessage()));
        QVERIFY(!window.isWindowModified()); // the motion is as it was
        window.getDocument().getUndoStack().undo();
        QCOMPARE(window.getDocument().getSetup().segments, model);
        QVERIFY(window.statusBar()->currentMessage().contains("does not fit"));
        table->setCurrentCell(0, 0);
        editor.deleteButton->click();
        QCOMPARE(table->rowCount(), 1);

        // Rows are judged as they are typed; Ctrl+Z undoes the table's edits; a model that
        // does not fit is kept only when the user says so.
        editor.show();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        table->setCurrentCell(0, 1);
        table->editItem(table->item(0, 1));
        auto* cell = table->findChild<QLineEdit*>();
        QVERIFY(cell);
        QTest::keyClicks(cell, "X");
        QVERIFY(red(0));
        table->closePersistentEditor(table->item(0, 1));
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!red(0) && table->rowCount() == 1);
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(table->rowCount(), 2); // the deleted row is back
        table->item(0, 0)->setText(QStringLiteral("Tail"));
        const MassSegmentModel kept = window.getDocument().getSetup().segments;
        editor.saveCloseButton->click();
        QVERIFY(editor.isVisible() && dialogs.warnings.last().contains("does not fit"));
        QCOMPARE(window.getDocument().getSetup().segments, kept);
        dialogs.confirmations = {true};
        editor.saveCloseButton->click();
        QVERIFY(!editor.isVisible() &&
                window.getDocument().getSetup().segments[0].startJoint == "Tail");
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
        QCOMPARE(window.getDocument().getSetup().convention, PoseConvention::standard());
        QVERIFY(window.getDocument().getSetup().binding.isComplete());
        window.getForm().actionProperties->trigger();
        QVERIFY(dialogs.lastInformation.contains("Skeleton profile: Rokoko (detected)") &&
                dialogs.lastInformation.contains("The model fits the skeleton."));
        const auto choose = [&](const QString& name) {
            for (QAction* action : window.getForm().menuProfile->actions()) {
                if (!action->isSeparator() && action->data().toString() == name)
                    return action->trigger();
            }
            QFAIL("no such profile in the menu");
        };
        // The hips' rest height is in OFFSET and their place in the channels: the iPi
        // convention adds the two.
        const auto hipsHeight = [&] { return window.getDocument().posedJoints(0)[0].y(); };
        const float rokokoHeight = hipsHeight();
        choose(QStringLiteral("ipi"));
        QCOMPARE(hipsHeight(),
                 rokokoHeight + window.getDocument().getMotion().root->getOffset().y());
        QCOMPARE(window.getDocument().getSetup().profile.name, QStringLiteral("ipi"));
        QVERIFY(status().contains("does not fit") && status().contains("LThigh"));
        QVERIFY(window.getForm().actionRotationOrderFixed->isChecked());
        choose(QString());
        QCOMPARE(window.getDocument().getSetup().profile.name, QStringLiteral("rokoko"));
        QCOMPARE(hipsHeight(), rokokoHeight);
        window.getForm().menuUnit->actions().at(3)->trigger(); // metres
        QCOMPARE(window.getDocument().getSetup().unit, LengthUnit::metres());
        QVERIFY(window.getForm().menuUnit->actions().at(3)->isChecked());
    }

    // A skeleton no profile names is recognised by its shape: the status bar says so,
    // Properties lists each landmark's joint, and its profile can be saved. A file cut short
    // keeps its complete rows and says which line was not; a value no pose can use refuses
    // the file, naming its line, and the open motion stays.
    void skeletonsByShapeAndDamagedFiles()
    {
        DudEzu window;
        const QString scrambled = TestSupport::writeFile(
            dir, "scrambled.bvh", TestSupport::scrambledNames(TestSupport::readFile(walkPath)));
        QVERIFY(window.loadFile(scrambled));
        const auto status = [&] { return window.statusBar()->currentMessage(); };
        QVERIFY2(status().contains("Humanoid profile (recognised by shape)") &&
                     !status().contains("does not fit"),
                 qPrintable(status()));
        window.getForm().actionProperties->trigger();
        const QString pelvis = window.getDocument().getMotion().root->getName();
        QVERIFY2(dialogs.lastInformation.contains("(recognised by shape)") &&
                     dialogs.lastInformation.contains("Landmarks: pelvis " + pelvis + ", ") &&
                     !dialogs.lastInformation.contains("(none)"),
                 qPrintable(dialogs.lastInformation));
        QAction* save = window.getForm().menuProfile->actions().constLast();
        trigger(save, path("saved.profile.xml"));
        QVERIFY(SkeletonProfileFile::read(path("saved.profile.xml")).profile.landmarks.size() ==
                17);

        QVERIFY(window.loadFile(TestSupport::dataPath("input/read/cut-short-row.bvh")));
        QVERIFY2(status().startsWith("cut-short-row.bvh: 2 frames, 3 joints. Line 21 holds 5 of "
                                     "the 9 values") &&
                     !status().contains(".."),
                 qPrintable(status()));
        QCOMPARE(window.getDocument().rowCount(), 2);
        QVERIFY(dialogs.warnings.last().contains("not as it was written:\nLine 21 holds 5 of"));

        QVERIFY(!window.loadFile(TestSupport::dataPath("input/read/bad-value-1e39.bvh")));
        QVERIFY(dialogs.warnings.last().contains("Line 10 holds \"1e39\""));
        QVERIFY(window.getDocument().getFileName().endsWith("cut-short-row.bvh"));
        QCOMPARE(window.getDocument().rowCount(), 2);
    }

    // The document's undo from the keyboard wherever the focus is: in a spin box once its
    // value is entered, while typing the box's own. [ and ] mark the range from the joint
    // tree. Save As gives the title the new name; after Close nothing takes input.
    void focusUndoMarksAndClose()
    {
        DudEzu window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.loadFile(motionPath));
        goTo(window, 10);
        window.getDocument().setSelectedJoint(1); // Spine: rotations in columns 6, 7, 8
        QDoubleSpinBox* box = window.getToolDocks().jointInfo()->zRotSpinBox;
        const double before = box->value();
        box->setFocus();
        type(box, "7.5");
        QVERIFY(window.isWindowModified() && box->hasFocus());
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box->value(), before);
        QVERIFY(!window.isWindowModified());
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(box->value(), 7.5);
        QTest::keyClicks(box, "9"); // typing: the box undoes its own typing
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window.getDocument().getUndoStack().index(), 1);

        QTreeView* tree = window.getToolDocks().jointTree()->bvhTreeView;
        tree->setFocus();
        goTo(window, 12);
        QTest::keyClick(tree, Qt::Key_BracketLeft);
        goTo(window, 30);
        QTest::keyClick(tree, Qt::Key_BracketRight);
        QCOMPARE(window.getDocument().getMarkedRange(), (FrameRange{12, 30}));
        window.getDocument().setMarkedRange(FrameRange::all(100));

        trigger(window.getForm().actionSaveBVH, path("walk-full.bvh"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Kinovane - walk-full.bvh[*]"));
        trigger(window.getForm().actionCloseBVH);
        const DudEzuForm& ui = window.getForm();
        for (QWidget* control : std::initializer_list<QWidget*>{
                 ui.startButton, ui.gotoButton, ui.slider, ui.frameLineEdit, ui.leftBracketButton,
                 window.getToolDocks().jointInfo()->xOffsetSpinBox})
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    }

    // What About advises is the entry the Edit menu has.
    void aboutNamesTheMenuEntry()
    {
        DudEzu window;
        AboutWidget about;
        QVERIFY(about.descriptionBrowser->toPlainText().simplified().contains(
            window.getForm().actionRotationOrderDeclared->text().remove('&')));
    }

    void keys_data()
    {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<int>("frame"); // from frame 50, frames 20 to 40 marked
        QTest::newRow("Right") << QKeyCombination(Qt::Key_Right) << 51;
        QTest::newRow("Shift+Right") << QKeyCombination(Qt::SHIFT | Qt::Key_Right) << 60;
        QTest::newRow("Left") << QKeyCombination(Qt::Key_Left) << 49;
        QTest::newRow("Shift+Left") << QKeyCombination(Qt::SHIFT | Qt::Key_Left) << 40;
        QTest::newRow("Home") << QKeyCombination(Qt::Key_Home) << 20;
        QTest::newRow("End") << QKeyCombination(Qt::Key_End) << 40;
    }

    // Right and Left step a frame (with Shift ten), Home and End go to the marked range's ends.
    void keys()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(int, frame);
        DudEzu window;
        window.show();
        window.activateWindow(); // the keys are the window's while it is active
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.loadFile(motionPath));
        mark(window, 20, 40);
        window.getPlayback().goToFrame(50);
        QTest::keyClick(&window, key.key(), key.keyboardModifiers());
        QCOMPARE(window.getDocument().getCurrentFrame(), frame);
    }

    // At 800 x 600 the playback bar shows whole. A click on the slider's groove and a wheel turn
    // over it show the frame the handle goes to. Goto beyond the motion or without a number is
    // refused in place. Playback runs within [ ], round and round with Loop on, to ] and no
    // further with it off; Space plays and pauses.
    void timelineControls()
    {
        DudEzu window;
        const DudEzuForm& ui = window.getForm();
        window.resize(1000, 700);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.loadFile(motionPath)); // 100 frames
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
        QVERIFY(window.getDocument().getCurrentFrame() > 0 &&
                window.getDocument().getCurrentFrame() == ui.slider->value());
        const int clicked = window.getDocument().getCurrentFrame();
        QWheelEvent wheel(QPointF(20, 10), ui.slider->mapToGlobal(QPointF(20, 10)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(ui.slider, &wheel);
        QVERIFY(window.getDocument().getCurrentFrame() != clicked &&
                window.getDocument().getCurrentFrame() == ui.slider->value() &&
                ui.subSlider->value() == window.getDocument().getCurrentFrame());

        mark(window, 20, 40);
        for (const char* text : {"1000", "abc", "-1"}) {
            ui.frameLineEdit->setText(QString::fromLatin1(text));
            ui.gotoButton->click();
            QVERIFY2(window.getDocument().getCurrentFrame() == 40 &&
                         ui.frameLineEdit->property("invalid").toBool(),
                     text);
        }
        goTo(window, 30);
        QVERIFY(window.getDocument().getCurrentFrame() == 30 &&
                !ui.frameLineEdit->property("invalid").toBool());
        // 0.04 s a frame: the 21 frames of the range take 0.84 s a round.
        int lowest = 1000, highest = -1, previous = window.getDocument().getCurrentFrame();
        bool wrapped = false;
        connect(&window.getPlayback().getTimer(), &QTimer::timeout, this, [&] {
            const int frame = window.getDocument().getCurrentFrame();
            lowest = std::min(lowest, frame);
            highest = std::max(highest, frame);
            wrapped = wrapped || frame < previous;
            previous = frame;
        });
        QTest::keyClick(&window, Qt::Key_Space);
        QVERIFY(window.getPlayback().isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(wrapped, 5000);
        QTest::keyClick(&window, Qt::Key_Space);
        QVERIFY(!window.getPlayback().isPlaying());
        QVERIFY2(lowest >= 20 && highest <= 40,
                 qPrintable(QStringLiteral("%1..%2").arg(lowest).arg(highest)));
        ui.loopCheckBox->setChecked(false);
        goTo(window, 36);
        ui.startButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window.getPlayback().isPlaying(), 5000);
        QCOMPARE(window.getDocument().getCurrentFrame(), 40);
    }

    // The Plots dock open in a large window and in the smallest one made for, whose size a
    // window manager forces whatever the layout asks: the 3D view, the playback row, the
    // timeline, the dock and the status bar are stacked without overlap, and the plots keep
    // their height (the dock scrolls) and every tick label whole. The legend draws each entry
    // as the plot does, and every axis names its unit, the motion's for lengths.
    void plotsDockInTheWindow_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("unit");
        QTest::newRow("1600 x 1000, centimetres") << QSize(1600, 1000) << "cm";
        QTest::newRow("800 x 600, metres") << QSize(800, 600) << "m";
    }

    void plotsDockInTheWindow()
    {
        QFETCH(QSize, size);
        QFETCH(QString, unit);
        DudEzu window;
        window.setMinimumSize(1, 1);
        window.resize(size);
        window.show();
        QVERIFY(window.loadFile(walkPath));
        window.getSetupMenus().setLengthUnit(LengthUnit::fromName(unit));
        AnalysisPanel* panel = window.getAnalysisPanel();
        panel->getDock()->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel->getPlots()));
        QCOMPARE(window.size(), size);
        const auto placed = [&](std::initializer_list<QWidget*> widgets) {
            QRect united;
            for (QWidget* widget : widgets)
                united |= QRect(widget->mapTo(&window, QPoint()), widget->size());
            return united;
        };
        const DudEzuForm& ui = window.getForm();
        const QRect rows[] = {placed({ui.bvhView}),
                              placed({ui.startButton, ui.gotoButton, ui.timeLineEdit}),
                              placed({ui.leftBracketButton, ui.slider, ui.rightBracketButton}),
                              placed({ui.subSlider}),
                              placed({panel->getDock()}),
                              placed({window.statusBar()})};
        for (size_t row = 1; row < std::size(rows); ++row)
            QVERIFY2(rows[row].top() > rows[row - 1].bottom(),
                     qPrintable(QStringLiteral("row %1 overlaps the one above").arg(row)));
        for (const QChartView* view : panel->getPlots()->getViews()) {
            for (const QGraphicsItem* item : view->scene()->items()) {
                if (const auto* label = dynamic_cast<const QGraphicsTextItem*>(item))
                    QVERIFY2(!label->toPlainText().endsWith("..."),
                             qPrintable(label->toPlainText()));
            }
            QVERIFY(view->height() >= AnalysisPlots::minimumPlotHeight);
            // At least two labelled ticks on the value axis, or it has no scale.
            const auto* axis = static_cast<QValueAxis*>(view->chart()->axes(Qt::Vertical)[0]);
            const double step = axis->tickInterval();
            QVERIFY2(std::floor(axis->max() / step) - std::ceil(axis->min() / step) >= 1,
                     qPrintable(view->chart()->title()));
        }
        QCOMPARE(describePlots(*panel->getPlots()).toUtf8(),
                 TestSupport::section(TestSupport::dataPath("expected/plots.txt"), unit.toUtf8()));
        // The values too are in metres.
        const QChart* speed = panel->getPlots()->getViews()[1]->chart();
        QCOMPARE(static_cast<const QLineSeries*>(speed->series()[0])->at(10).y(),
                 panel->getAnalysis()->velocity[10].norm() *
                     LengthUnit::fromName(unit)->millimetres / 1000.0);
        // The Gait view reflows its plots rather than crushing them.
        panel->getDock()->findChild<QTabWidget*>()->setCurrentIndex(1);
        const GaitPlots* gait = panel->getGaitPlots();
        QTRY_VERIFY(gait->isVisible() && !gait->getViews().isEmpty());
        QCOMPARE(gait->shownColumns(), size.width() < 1000 ? 1 : GaitPlots::columns);
        for (const QChartView* view : gait->getViews())
            QVERIFY(view->width() >= GaitPlots::minimumPlotWidth);
        // The side docks keep their share of a wider window.
        const QDockWidget* tree = window.getToolDocks().jointTreeDock();
        const int narrow = tree->width();
        window.resize(size.width() * 3 / 2, size.height());
        QTRY_VERIFY2(tree->width() >= narrow * 4 / 3, qPrintable(QString::number(tree->width())));
    }

    // The sample walk: the plots, the overlays and the exports show one analysis, of the marked
    // range, which the plots name; the walk's tables are the converter's. The overlays follow
    // the frame and switch off; a click in a plot goes to the frame under it; plots and view
    // export as images. A new cut-off, an edit, or new marks are analysed anew.
    // The Gait view: the spatiotemporal table and a plot for every curve over the cycle, left
    // and right apart, each axis with its unit; and the report, from the window.
    void gaitViewAndReport()
    {
        DudEzu window;
        window.resize(1600, 1000);
        window.show();
        QVERIFY(window.loadFile(TestSupport::dataPath("real/cmu_02_01.bvh")));
        AnalysisPanel* panel = window.getAnalysisPanel();
        panel->getDock()->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel->getPlots()));
        const QList<QStringList> expected =
            TestSupport::tableRows(TestSupport::dataPath("expected/gait-view.txt"));
        // The rest frame the recording begins with is left out, and said.
        const QString rest =
            TestSupport::tableRows(TestSupport::dataPath("expected/rest-frames.txt"))[0][4];
        QVERIFY2(window.statusBar()->currentMessage().endsWith(" Analysis: " + rest + "."),
                 qPrintable(window.statusBar()->currentMessage()));
        exportAction(window, "Keep Rest Frames")->setChecked(true);
        QCOMPARE(panel->currentAnalysis()->range.first, 0);
        exportAction(window, "Keep Rest Frames")->setChecked(false); // the table below has 1
        GaitPlots* gait = panel->getGaitPlots();
        QCOMPARE(QString::number(gait->getViews().size()), expected[0][1]);
        QTableWidget* table = gait->getTable();
        for (const QStringList& row : expected.mid(1)) {
            int found = -1;
            for (int r = 0; r < table->rowCount(); ++r) {
                if (table->verticalHeaderItem(r)->text() == row[0])
                    found = r;
            }
            QVERIFY2(found >= 0, qPrintable(row[0]));
            for (int column = 0; column < 3; ++column)
                QCOMPARE(table->item(found, column)->text(), row[column + 1]);
        }
        for (QChartView* view : gait->getViews()) {
            const QList<QAbstractAxis*> x = view->chart()->axes(Qt::Horizontal);
            const QList<QAbstractAxis*> y = view->chart()->axes(Qt::Vertical);
            QCOMPARE(x[0]->titleText(), expected[0][2]);
            QVERIFY(y[0]->titleText().endsWith(QLatin1Char(')')));
            QSet<QRgb> colours;
            for (QAbstractSeries* series : view->chart()->series()) {
                if (auto* line = qobject_cast<QLineSeries*>(series);
                    line && line->name() != "Toe off")
                    colours.insert(line->pen().color().rgb());
            }
            QCOMPARE(colours.size(), 2); // left and right
        }
        trigger(exportAction(window, "Report..."), path("report.pdf"));
        QVERIFY(TestSupport::readFile(path("report.pdf")).startsWith("%PDF-"));
        QVERIFY(window.statusBar()->currentMessage().startsWith("Wrote"));
        // Against a reference of its own strides: a grey band behind every curve, a GPS of 0,
        // and the Movement Analysis Profile a fourth page of the report.
        QVERIFY(GaitReference::build({GaitReference::walkOf(
                                         *panel->getAnalysis(),
                                         Strides::of(*panel->getAnalysis(), LengthUnit::inches()))},
                                     true)
                    .write(path("reference.csv"))
                    .ok);
        panel->loadReference(path("reference.csv"));
        QVERIFY2(panel->getScores() && panel->getScores()->overall < 1e-3,
                 qPrintable(window.statusBar()->currentMessage()));
        for (QChartView* view : gait->getViews()) {
            const QList<QAbstractSeries*> series = view->chart()->series();
            QVERIFY(series.size() > 0 && series[0]->name() == "Reference");
        }
        trigger(exportAction(window, "Report..."), path("report.pdf"));
        QCOMPARE(TestSupport::readFile(path("report.pdf")).count("/Type /Page\n"), 4);
        const qsizetype warned = dialogs.warnings.size();
        panel->loadReference(path("nothing.csv")); // refused: the reference in use stays
        QVERIFY(panel->getReference() && dialogs.warnings.size() == warned + 1);
        // The C3D file for gait software: its extra points and unique labels chosen in the menu.
        for (const char* option :
             {"C3D: Centre of Mass Points", "C3D: Joint Angle Points", "C3D: Unique Labels"})
            exportAction(window, option)->setChecked(true);
        trigger(window.getForm().actionExportC3D, path("gait.c3d"));
        TestSupport::C3DReader reader;
        QCOMPARE(reader.readFile(path("gait.c3d")), QString());
        QVERIFY(reader.labels.contains("CentreOfMass") && reader.labels.contains("LKneeAngles") &&
                reader.labels.contains("Head_End") && reader.find("POINT", "ANGLES") &&
                reader.find("EVENT", "LABELS"));
        // The converter writes the same file for the same choices.
        ConvertOptions options;
        QVERIFY(
            options
                .parse({TestSupport::dataPath("real/cmu_02_01.bvh"), "--c3d", path("converted.c3d"),
                        "--quiet", "--c3d-extra", "com,angles,events", "--c3d-labels", "unique"})
                .isEmpty());
        QVERIFY(runConversion(options) == ConvertExit::Done);
        QCOMPARE(TestSupport::readFile(path("converted.c3d")),
                 TestSupport::readFile(path("gait.c3d")));
        // A standing trial: its sway in the Balance view, its balance in the report.
        QVERIFY(window.loadFile(TestSupport::dataPath("standing/standing.bvh")));
        panel->currentAnalysis();
        QVERIFY(panel->getSway() && !panel->getScores());
        QCOMPARE(panel->getBalancePlots()->getTable()->rowCount(), int(Sway::measureCount));
        QVERIFY(window.statusBar()->currentMessage().contains("Standing: sway over 20.0 s"));
        trigger(exportAction(window, "Report..."), path("report.pdf"));
        QVERIFY(window.statusBar()->currentMessage().startsWith("Wrote"));
    }

    void plotsOverlaysAndExportsAgree()
    {
        DudEzu window;
        window.resize(1200, 800);
        window.show();
        QVERIFY(window.loadFile(walkPath));
        AnalysisPanel* panel = window.getAnalysisPanel();
        panel->getDock()->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel->getPlots()));
        trigger(exportAction(window, "Analysis CSV..."), path("a.csv"));
        trigger(exportAction(window, "Events CSV..."), path("e.csv"));
        QCOMPARE(dialogs.proposed.join(','),
                 walkPath.chopped(4) + "-analysis.csv," + walkPath.chopped(4) + "-events.csv");
        for (const char* name : {"analysis", "events"})
            QCOMPARE(TestSupport::readFile(path(name[0] == 'a' ? "a.csv" : "e.csv")),
                     TestSupport::readFile(TestSupport::dataPath(
                         QStringLiteral("expected/walk-%1.csv").arg(QLatin1String(name)))));

        mark(window, 39, 185);
        trigger(exportAction(window, "Analysis CSV..."), path("range.csv"));
        const MotionAnalysis* shown = panel->getAnalysis();
        QCOMPARE(shown->range, (FrameRange{39, 185}));
        QVERIFY(panel->getPlots()->getViews()[0]->chart()->title().contains("frames 39 to 185"));
        const QList<QByteArray> first = TestSupport::readLines(path("range.csv"))[1].split(',');
        QCOMPARE(QString::fromLatin1(first[5]), NumberFormat::general(shown->velocity[0].y()));

        const SkeletonScene& scene = window.getForm().bvhView->getScene();
        const auto visible = [](const std::vector<SceneNode>& nodes) {
            return std::count_if(nodes.begin(), nodes.end(),
                                 [](const SceneNode& node) { return node.isVisible(); });
        };
        goTo(window, 100);
        QCOMPARE(visible(scene.getOverlaySphereNodes()), 2);    // centre and extrapolated centre
        QVERIFY(visible(scene.getOverlayCylinderNodes()) > 20); // trail and base of support
        goTo(window, 200);                                      // outside the frames analysed
        QCOMPARE(visible(scene.getOverlaySphereNodes()), 0);
        goTo(window, 100);
        for (QAction* overlay : panel->getOverlayActions())
            overlay->setChecked(false);
        QCOMPARE(visible(scene.getOverlaySphereNodes()) + visible(scene.getOverlayCylinderNodes()),
                 0);
        QChartView* plot = panel->getPlots()->getViews()[1];
        const QPoint at = plot->mapFromScene(plot->chart()->mapToPosition(QPointF(2.0, 100)));
        QTest::mouseClick(plot->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(window.getDocument().getCurrentFrame(), 120);
        // The drawing (SVG) shows what the picture (PNG) does: the cursor down each plot.
        trigger(exportAction(window, "Plots Image..."), path("p.svg"));
        trigger(exportAction(window, "Plots Image..."), path("p.png"));
        const QImage picture(path("p.png"));
        QImage drawing(picture.size(), QImage::Format_RGB32);
        drawing.fill(Qt::white);
        QPainter painter(&drawing);
        QSvgRenderer(path("p.svg")).render(&painter, drawing.rect());
        painter.end();
        for (const QChartView* view : panel->getPlots()->getViews()) {
            const QRectF area = view->chart()->plotArea();
            const QPoint origin = view->geometry().topLeft();
            const QPoint top = origin + view->mapFromScene(area.topLeft()),
                         bottom = origin + view->mapFromScene(area.bottomRight());
            const int x =
                origin.x() +
                view->mapFromScene(view->chart()->mapToPosition(
                                       {120 * window.getDocument().getMotion().frameTime, 0}))
                    .x();
            // Inside the plot area: the drawing's line ends are antialiased.
            QCOMPARE(darkPixels(picture, x, top.y() + 1, bottom.y() - 1), bottom.y() - top.y() - 1);
            QCOMPARE(darkPixels(drawing, x, top.y() + 1, bottom.y() - 1), bottom.y() - top.y() - 1);
        }
        // With the dock closed, the plots are laid out for the picture, down to its foot.
        panel->getDock()->hide();
        trigger(exportAction(window, "Plots Image..."), path("closed.png"));
        const QImage closed(path("closed.png"));
        const QImage foot = closed.copy(0, closed.height() * 9 / 10, closed.width(), 20);
        QImage blank(foot.size(), foot.format());
        blank.fill(Qt::white);
        QVERIFY(!closed.isNull() && foot != blank);
        panel->getDock()->show();
        trigger(exportAction(window, "View Image..."), path("v.png"));
        QCOMPARE(QImage(path("v.png")).size(), window.getForm().bvhView->grabFramebuffer().size());
        trigger(exportAction(window, "Plots Image..."), path("no/such/p.png"));
        QCOMPARE(dialogs.warnings.size(), 1);

        QTimer::singleShot(0, qApp, [] {
            auto* box = qApp->activeModalWidget()->findChild<QDoubleSpinBox*>();
            box->setValue(3);
            qobject_cast<QDialog*>(qApp->activeModalWidget())->accept();
        });
        panel->editSettings();
        QCOMPARE(panel->getAnalysis()->cutoffHz, 3.0);
        const double before = panel->getAnalysis()->rawCentre[120 - 39].x();
        chooseJoint(window);
        type(window.getToolDocks().jointInfo()->xPosSpinBox,
             QString::number(window.getDocument().getMotion().frames[120][0] + 50, 'g', 17));
        QTRY_VERIFY(std::abs(panel->getAnalysis()->rawCentre[120 - 39].x() - before - 50) < 1e-3);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

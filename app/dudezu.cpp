#include "dudezu.h"

#include "app/analysispanel.h"
#include "app/exportcommands.h"
#include "app/filecommands.h"
#include "app/playbackcontrols.h"
#include "app/progressdialogsink.h"
#include "app/setupmenus.h"
#include "app/tooldocks.h"
#include "physics/interpolation.h"
#include "tools/aboutwidget.h"
#include "tools/checkablelistdialog.h"
#include "tools/jointnames.h"
#include "tools/undoactions.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>

DudEzu::DudEzu(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), document(SkeletonProfiles::load())
{
    ui.setupUi(this, BvhView::missingOpenGl());
    setAcceptDrops(true);
    playback = new PlaybackControls(document, ui, *this);
    toolDocks = new ToolDocks(document, *this);
    exportCommands = new ExportCommands(document, this);
    analysisPanel = new AnalysisPanel(document, ui.bvhView, *this);
    // After the analysis: what the setup now is is the last word of a change.
    setupMenus = new SetupMenus(document, ui, this);
    fileCommands = new FileCommands(document, *setupMenus, *analysisPanel, *this);
    fillFileMenu();
    fillEditMenu();
    fillViewControls();
    fillAnalysisMenus();
    fillHelpMenu();
    connect(playback, &PlaybackControls::statusMessage, this, &DudEzu::showStatus);
    connect(setupMenus, &SetupMenus::statusMessage, this, &DudEzu::showStatus);
    connect(fileCommands, &FileCommands::statusMessage, this, &DudEzu::showStatus);
    connect(exportCommands, &ExportCommands::statusMessage, this, &DudEzu::showStatus);
    connect(analysisPanel, &AnalysisPanel::statusMessage, this, &DudEzu::showStatus);
    connect(&document, &MotionDocument::motionReplaced, this, &DudEzu::showMotion);
    connect(&document, &MotionDocument::fileNameChanged, this, &DudEzu::showTitle);
    showMotion();
    // Never larger than the screen: everything must show at 800 x 600.
    if (const QScreen* shown = screen())
        resize(size().boundedTo(shown->availableSize()));
    if (!document.getProfiles().getWarnings().isEmpty())
        showStatus(document.getProfiles().getWarnings().join(QLatin1Char(' ')));
}

DudEzu::~DudEzu()
{
    // The tool windows and the view show the document: they go before it does.
    delete toolDocks;
    delete ui.bvhView;
}

void DudEzu::fillFileMenu()
{
    connect(ui.actionOpenBVH, &QAction::triggered, fileCommands, &FileCommands::openBVH);
    connect(ui.actionSaveBVH, &QAction::triggered, fileCommands, &FileCommands::saveBVH);
    connect(ui.actionCloseBVH, &QAction::triggered, this, [this] {
        if (fileCommands->closeBVH())
            playback->pause();
    });
    connect(ui.actionExit, &QAction::triggered, this, &DudEzu::exit);
    connect(ui.actionExportMassCenter, &QAction::triggered, exportCommands,
            &ExportCommands::saveMassCenterCSV);
    connect(ui.actionExportJointRotations, &QAction::triggered, exportCommands,
            &ExportCommands::saveRotJointsCSV);
    connect(ui.actionExportAbsJointPositions, &QAction::triggered, exportCommands,
            &ExportCommands::saveAbsPosJointsCSV);
    connect(ui.actionExportC3D, &QAction::triggered, exportCommands, &ExportCommands::saveC3D);
    ui.menuExport->addAction(tr("OpenSim Markers (TRC)..."), exportCommands,
                             &ExportCommands::saveTrc);
    ui.menuExport->addActions({exportCommands->c3dEvents, exportCommands->c3dCentres,
                               exportCommands->c3dAngles, exportCommands->c3dUniqueLabels});
    ui.actionOpenBVH->setShortcut(QKeySequence::Open);
    ui.actionSaveBVH->setShortcut(QKeySequence::Save);
    ui.actionCloseBVH->setShortcut(QKeySequence::Close);
    ui.actionExit->setShortcut(QKeySequence::Quit);
    motionCommands = {ui.actionSaveBVH,
                      ui.actionCloseBVH,
                      ui.actionExportJointRotations,
                      ui.actionExportAbsJointPositions,
                      ui.actionExportMassCenter,
                      ui.actionExportC3D,
                      ui.actionInterpolateJointRotations,
                      ui.actionProperties,
                      ui.menuExport->menuAction()};
}

void DudEzu::fillEditMenu()
{
    // The document's undo, wherever the focus is; a field being typed in undoes its own typing
    // first (ValueSpinBox).
    QUndoStack& edits = document.getUndoStack();
    const auto [undo, redo] = UndoActions::create(edits, this);
    QAction* first = ui.menuEdit->actions().value(0);
    ui.menuEdit->insertAction(first, undo);
    ui.menuEdit->insertAction(first, redo);
    ui.menuEdit->insertSeparator(first);
    // The unsaved mark is the motion's: edits of the model alone are not saved in BVH files.
    connect(&edits, &QUndoStack::indexChanged, this, &DudEzu::showTitle);
    connect(&edits, &QUndoStack::cleanChanged, this, &DudEzu::showTitle);
    connect(ui.actionEditMassSegments, &QAction::triggered, toolDocks,
            &ToolDocks::editMassSegments);
    connect(ui.actionInterpolateJointRotations, &QAction::triggered, this,
            &DudEzu::interpolateJointRotations);
}

void DudEzu::fillViewControls()
{
    connect(ui.actionJointHierarchy, &QAction::triggered, toolDocks, &ToolDocks::toggleJointTree);
    connect(ui.actionJointInfo, &QAction::triggered, toolDocks, &ToolDocks::toggleJointInfo);
    connect(ui.actionJointDOFIndex, &QAction::triggered, toolDocks, &ToolDocks::toggleJointList);
    BvhView* view = ui.bvhView;
    if (!view) {
        for (QWidget* control :
             {static_cast<QWidget*>(ui.cameraButton), static_cast<QWidget*>(ui.segmentMassCheckBox),
              static_cast<QWidget*>(ui.bodyMassCheckBox)})
            control->setEnabled(false);
        return;
    }
    view->setDocument(&document);
    connect(ui.segmentMassCheckBox, &QCheckBox::toggled, view, [view](bool shown) {
        view->segmentMassDisplayed = shown;
        view->updateSkeletons();
    });
    connect(ui.bodyMassCheckBox, &QCheckBox::toggled, view, [view](bool shown) {
        view->bodyMassDisplayed = shown;
        view->updateSkeletons();
    });
    // The keys work wherever the focus is in the window.
    const auto withKey = [this](QAction* action, const QKeySequence& key) {
        action->setShortcut(key);
        addAction(action);
    };
    withKey(cameraMenu.addAction(tr("Fit skeleton"), view, &BvhView::fitSkeleton),
            QKeySequence(Qt::Key_F));
    withKey(cameraMenu.addAction(tr("Fit current frame"), view, &BvhView::fitCurrentFrame),
            QKeySequence(Qt::SHIFT | Qt::Key_F));
    QAction* follow = cameraMenu.addAction(tr("Follow root"), view, &BvhView::setFollowingRoot);
    follow->setCheckable(true);
    connect(view, &BvhView::followingRootChanged, follow, &QAction::setChecked);
    cameraMenu.addSeparator();
    cameraMenu.addAction(tr("Reset camera"), view, &BvhView::resetCamera);
    cameraMenu.addAction(tr("Center camera on selection"), view,
                         &BvhView::centerCameraOnSelectedJoint);
    cameraMenu.addAction(tr("Center camera on root"), view, &BvhView::centerCameraOnRoot);
    cameraMenu.addAction(tr("Center camera on hip ground"), view,
                         &BvhView::centerCameraOnRootGround);
    ui.cameraButton->setMenu(&cameraMenu);
    ui.cameraButton->setPopupMode(QToolButton::InstantPopup);
}

void DudEzu::fillAnalysisMenus()
{
    auto* analysisMenu = new QMenu(tr("Analysis"), this);
    analysisMenu->setObjectName(QStringLiteral("menuAnalysis"));
    menuBar()->insertMenu(ui.menuWindow->menuAction(), analysisMenu);
    analysisPanel->fillMenu(analysisMenu);
    analysisPanel->fillExportMenu(ui.menuExport);
}

void DudEzu::fillHelpMenu()
{
    connect(ui.actionAbout, &QAction::triggered, this, [] { (new AboutWidget)->show(); });
    connect(ui.actionControls, &QAction::triggered, this, [] {
        UserDialogs::information(
            tr("Controls"),
            tr("In the 3D view:\n"
               "  Left drag: orbit about the centre (0.4 degrees a pixel)\n"
               "  Right drag: move the scene with the cursor\n"
               "  Wheel: zoom toward the cursor\n"
               "  Double click or Home: back to the fitted view\n"
               "  F: fit the skeleton over the motion; Shift+F: fit the frame shown\n"
               "Playback and timeline:\n"
               "  Space: play or pause\n"
               "  Left / Right: one frame back / on; with Shift: ten frames\n"
               "  Home / End: first / last frame of the marked range\n"
               "  [ / ]: mark the frame shown as the range's first / last\n"
               "  Sliders: drag, click or turn the wheel\n"
               "Ctrl+Z / Ctrl+Shift+Z: undo / redo the last change"));
    });
}

void DudEzu::showStatus(const QString& text)
{
    statusBar()->showMessage(text);
}

// The open motion

void DudEzu::showMotion()
{
    showTitle();
    for (QAction* command : std::as_const(motionCommands))
        command->setEnabled(document.isOpen());
}

void DudEzu::showTitle()
{
    const QString name = QFileInfo(document.getFileName()).fileName();
    setWindowTitle(name.isEmpty() ? tr("Kinovane[*]") : tr("Kinovane - %1[*]").arg(name));
    setWindowModified(document.hasUnsavedEdits());
}

void DudEzu::exit()
{
    // The window asks about unsaved edits as it closes, once; then the other windows (about
    // boxes, a floating dock) close with it, and the program ends with the last one.
    if (close())
        QApplication::closeAllWindows();
}

void DudEzu::closeEvent(QCloseEvent* event)
{
    if (fileCommands->maybeSave())
        event->accept();
    else
        event->ignore();
}

static QString droppedBvhFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1)
        return QString();
    const QString path = mime->urls().first().toLocalFile();
    return path.endsWith(QLatin1String(".bvh"), Qt::CaseInsensitive) ? path : QString();
}

void DudEzu::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedBvhFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void DudEzu::dropEvent(QDropEvent* event)
{
    const QString path = droppedBvhFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    if (fileCommands->maybeSave())
        fileCommands->loadFile(path);
}

// Edit commands

void DudEzu::interpolateJointRotations()
{
    if (!document.isOpen())
        return;
    const BvhFile& motion = document.getMotion();
    CheckableListDialog dialog;
    dialog.setWindowTitle(tr("Select Joints for Interpolation"));
    // End Sites have no channels: nothing of theirs to interpolate.
    const QList<BvhJoint*> joints = motion.root->getAllJoints();
    QList<qsizetype> listed;
    QStringList names;
    const QStringList shown = JointNames::shownNames(motion.root);
    for (qsizetype i = 0; i < joints.size(); ++i) {
        if (joints[i]->getNumChannels() > 0) {
            listed.append(i);
            names.append(shown.value(i));
        }
    }
    dialog.setItems(names);
    dialog.setNoneChecked();
    dialog.showRange(document.getMarkedRange());
    if (dialog.exec() != QDialog::Accepted)
        return;
    QList<bool> selection(joints.size(), false);
    const QList<bool> checked = dialog.checkStates();
    for (qsizetype k = 0; k < listed.size() && k < checked.size(); ++k)
        selection[listed[k]] = checked[k];
    const FrameRange range = dialog.getRange().clampedTo(motion.rowCount());
    if (!selection.contains(true) || range.isEmpty())
        return;
    // Worked out on a copy of the rows it replaces, then applied as one undoable edit.
    ProgressDialogSink progress(ProgressDialogSink::Cancel::Ignored);
    document.replaceRows(
        range.first,
        Interpolation::interpolatedRows(motion, selection, range,
                                        document.getSetup().convention.rotationOrder, &progress),
        tr("Interpolate Joint Rotations"));
}

bool DudEzu::loadFile(const QString& fileName)
{
    return fileCommands->loadFile(fileName);
}

#include "dudezu.h"

#include "app/analysispanel.h"
#include "app/backgroundread.h"
#include "app/exportcommands.h"
#include "app/progressdialogsink.h"
#include "app/timedisplay.h"
#include "model/bvhwriter.h"
#include "model/numberformat.h"
#include "physics/interpolation.h"
#include "skeleton/skeletonprofilefile.h"
#include "tools/aboutwidget.h"
#include "tools/checkablelistdialog.h"
#include "tools/jointinfowidget.h"
#include "tools/jointlistwidget.h"
#include "tools/jointnames.h"
#include "tools/jointtreewidget.h"
#include "tools/masssegmentwidget.h"
#include "document/motionedits.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>

#include <algorithm>

DudEzu::DudEzu(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), document(SkeletonProfiles::load()), bvhFile(document.getMotion())
{
    ui.setupUi(this);
    setAcceptDrops(true);
    fillCameraMenu();
    fillSetupMenus();
    fillEditMenu();
    connectPlayback();
    addPlaybackKeys();
    connectMenus();
    createToolWindows();
    analysisPanel = new AnalysisPanel(document, *ui.bvhView, *this);
    auto* analysisMenu = new QMenu(tr("Analysis"), this);
    analysisMenu->setObjectName(QStringLiteral("menuAnalysis"));
    menuBar()->insertMenu(ui.menuWindow->menuAction(), analysisMenu);
    analysisPanel->fillMenu(analysisMenu);
    ui.menuExport->addAction(tr("OpenSim Markers (TRC)..."), exportCommands,
                             &ExportCommands::saveTrc);
    ui.menuExport->addActions({exportCommands->c3dEvents, exportCommands->c3dCentres,
                               exportCommands->c3dAngles, exportCommands->c3dUniqueLabels});
    analysisPanel->fillExportMenu(ui.menuExport);
    connectDocument();
    ui.bvhView->setDocument(&document);
    showMotion();
    // Never larger than the screen: everything must show at 800 x 600.
    if (const QScreen* shown = screen())
        resize(size().boundedTo(shown->availableSize()));
    if (!document.getProfiles().getWarnings().isEmpty())
        statusBar()->showMessage(document.getProfiles().getWarnings().join(QLatin1Char(' ')));
}

DudEzu::~DudEzu()
{
    // The tool windows show the document: they go before it does.
    delete massSegmentWidget.data();
    delete jointTreeWidget.data();
    delete jointListWidget.data();
    delete jointInfoWidget.data();
    delete jointTreeDock.data();
    delete jointInfoDock.data();
    delete jointListDock.data();
    undoStack.clear();
}

void DudEzu::fillCameraMenu()
{
    BvhView* view = ui.bvhView;
    // The keys work wherever the focus is in the window.
    const auto withKey = [this](QAction* action, const QKeySequence& key) {
        action->setShortcut(key);
        addAction(action);
    };
    withKey(cameraMenu.addAction(tr("Fit skeleton"), view, &BvhView::fitSkeleton),
            QKeySequence(Qt::Key_F));
    withKey(cameraMenu.addAction(tr("Fit current frame"), view, &BvhView::fitCurrentFrame),
            QKeySequence(Qt::SHIFT | Qt::Key_F));
    followAction = cameraMenu.addAction(tr("Follow root"), view, &BvhView::setFollowingRoot);
    followAction->setCheckable(true);
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

void DudEzu::fillSetupMenus()
{
    auto* profileGroup = new QActionGroup(this);
    const auto addProfile = [&](const QString& name, const QString& text) {
        QAction* choice = ui.menuProfile->addAction(text, this, [this, name] { setProfile(name); });
        choice->setCheckable(true);
        choice->setData(name);
        profileGroup->addAction(choice);
        profileActions.append(choice);
    };
    addProfile(QString(), tr("Detect"));
    ui.menuProfile->addSeparator();
    for (const SkeletonProfile& profile : document.getProfiles().getProfiles())
        addProfile(profile.name, profile.title);
    ui.menuProfile->addSeparator();
    saveProfileAction =
        ui.menuProfile->addAction(tr("Save Profile..."), this, &DudEzu::saveProfile);

    auto* unitGroup = new QActionGroup(this);
    const auto addUnit = [&](const std::optional<LengthUnit>& unit, const QString& text) {
        QAction* choice = ui.menuUnit->addAction(text, this, [this, unit] { setLengthUnit(unit); });
        choice->setCheckable(true);
        choice->setData(unit ? unit->name : QString());
        unitGroup->addAction(choice);
        unitActions.append(choice);
    };
    addUnit(std::nullopt, tr("The Profile's"));
    ui.menuUnit->addSeparator();
    addUnit(LengthUnit::centimetres(), tr("Centimetres"));
    addUnit(LengthUnit::metres(), tr("Metres"));
    addUnit(LengthUnit::millimetresUnit(), tr("Millimetres"));
    addUnit(LengthUnit::inches(), tr("Inches"));
}

void DudEzu::fillEditMenu()
{
    QAction* undo = undoStack.createUndoAction(this, tr("Undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = undoStack.createRedoAction(this, tr("Redo"));
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    QAction* first = ui.menuEdit->actions().value(0);
    ui.menuEdit->insertAction(first, undo);
    ui.menuEdit->insertAction(first, redo);
    ui.menuEdit->insertSeparator(first);
    // The unsaved mark is the motion's: edits of the model alone are not saved in BVH files.
    connect(&undoStack, &QUndoStack::indexChanged, this, &DudEzu::showTitle);
    connect(&undoStack, &QUndoStack::cleanChanged, this, &DudEzu::showTitle);
}

void DudEzu::addPlaybackKeys()
{
    // Window-wide keys; a text field being edited keeps the ones it uses for itself.
    const auto key = [this](const QKeySequence& sequence, auto slot) {
        auto* action = new QAction(this);
        action->setShortcut(sequence);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
    };
    key(Qt::Key_Space, [this] { togglePlayback(); });
    key(Qt::Key_Left, [this] { stepFrames(-1); });
    key(Qt::Key_Right, [this] { stepFrames(1); });
    key(Qt::SHIFT | Qt::Key_Left, [this] { stepFrames(-10); });
    key(Qt::SHIFT | Qt::Key_Right, [this] { stepFrames(10); });
    key(Qt::Key_Home, [this] { goToFrame(document.getMarkedRange().first); });
    key(Qt::Key_End, [this] { goToFrame(document.getMarkedRange().last); });
}

void DudEzu::connectPlayback()
{
    connect(ui.startButton, &QPushButton::clicked, this, &DudEzu::startTimer);
    connect(ui.pauseButton, &QPushButton::clicked, this, &DudEzu::pauseTimer);
    connect(ui.leftButton, &QToolButton::clicked, this, &DudEzu::gotoPrevFrame);
    connect(ui.rightButton, &QToolButton::clicked, this, &DudEzu::gotoNextFrame);
    connect(ui.gotoButton, &QPushButton::clicked, this, &DudEzu::gotoFrame);
    // Every way a slider moves (drag, click on the groove, wheel, keys) shows its frame; the
    // window sets their values with signals blocked.
    connect(ui.slider, &QSlider::valueChanged, this, &DudEzu::goToFrame);
    connect(ui.subSlider, &QSlider::valueChanged, this, &DudEzu::goToFrame);
    connect(ui.leftBracketButton, &QPushButton::clicked, this, &DudEzu::setLeftBracket);
    connect(ui.rightBracketButton, &QPushButton::clicked, this, &DudEzu::setRightBracket);
    connect(ui.frameLineEdit, &QLineEdit::returnPressed, this, &DudEzu::gotoFrame);
    connect(ui.segmentMassCheckBox, &QCheckBox::toggled, this, &DudEzu::toggleSegmentMassDisplayed);
    connect(ui.bodyMassCheckBox, &QCheckBox::toggled, this, &DudEzu::toggleBodyMassDisplayed);
    // Each tick shows the frame the time elapsed since Play calls for (PlaybackClock).
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &DudEzu::playbackTick);
}

void DudEzu::connectMenus()
{
    connect(ui.actionOpenBVH, &QAction::triggered, this, &DudEzu::openBVH);
    connect(ui.actionSaveBVH, &QAction::triggered, this, &DudEzu::saveBVH);
    connect(ui.actionCloseBVH, &QAction::triggered, this, &DudEzu::closeBVH);
    connect(ui.actionExportMassCenter, &QAction::triggered, this, &DudEzu::saveMassCenterCSV);
    connect(ui.actionExportJointRotations, &QAction::triggered, this, &DudEzu::saveRotJointsCSV);
    connect(ui.actionExportAbsJointPositions, &QAction::triggered, this,
            &DudEzu::saveAbsPosJointsCSV);
    connect(ui.actionExportC3D, &QAction::triggered, this, &DudEzu::saveC3D);
    connect(ui.actionExit, &QAction::triggered, this, &DudEzu::exit);
    connect(ui.actionEditMassSegments, &QAction::triggered, this, &DudEzu::editMassSegments);
    connect(ui.actionInterpolateJointRotations, &QAction::triggered, this,
            &DudEzu::editInterpolateJointRotations);
    connect(ui.actionRotationOrderFixed, &QAction::triggered, this,
            [this] { setConvention(PoseConvention::ipiStudio()); });
    connect(ui.actionRotationOrderDeclared, &QAction::triggered, this,
            [this] { setConvention(PoseConvention::standard()); });
    connect(ui.actionProperties, &QAction::triggered, this, &DudEzu::showProperties);
    connect(ui.actionJointHierarchy, &QAction::triggered, this, &DudEzu::windowJointHierarchy);
    connect(ui.actionJointInfo, &QAction::triggered, this, &DudEzu::windowJointInfo);
    connect(ui.actionJointDOFIndex, &QAction::triggered, this, &DudEzu::windowJointIndex);
    connect(ui.actionAbout, &QAction::triggered, this, &DudEzu::helpAbout);
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
               "  Sliders: drag, click or turn the wheel"));
    });
    ui.actionOpenBVH->setShortcut(QKeySequence::Open);
    ui.actionSaveBVH->setShortcut(QKeySequence::Save);
    ui.actionCloseBVH->setShortcut(QKeySequence::Close);
    ui.actionExit->setShortcut(QKeySequence::Quit);
    exportCommands = new ExportCommands(document, this);
    connect(exportCommands, &ExportCommands::statusMessage, statusBar(),
            [this](const QString& text) { statusBar()->showMessage(text); });
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

void DudEzu::createToolWindows()
{
    const auto dock = [this](QWidget* toolWindow, Qt::DockWidgetArea area) {
        auto* result = new QDockWidget;
        // Scrolled rather than clipped, and no minimum size forced on the window: it must
        // fit 800 x 600.
        auto* scroller = new QScrollArea;
        scroller->setWidget(toolWindow);
        scroller->setWidgetResizable(true);
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setMinimumSize(100, 100);
        result->setWidget(scroller);
        result->setWindowTitle(toolWindow->windowTitle());
        addDockWidget(area, result);
        return result;
    };
    jointTreeWidget = new JointTreeWidget;
    jointTreeDock = dock(jointTreeWidget, Qt::LeftDockWidgetArea);
    jointInfoWidget = new JointInfoWidget;
    jointInfoDock = dock(jointInfoWidget, Qt::RightDockWidgetArea);
    jointListWidget = new JointListWidget;
    jointListDock = dock(jointListWidget, Qt::RightDockWidgetArea);
    jointListDock->setFloating(true);
    jointListDock->hide();
    // A click in the tree shows the joint in the editor and highlights it in the view.
    connect(jointTreeWidget, &JointTreeWidget::jointClicked, jointInfoWidget,
            &JointInfoWidget::setJoint);
    connect(jointTreeWidget, &JointTreeWidget::jointClicked, ui.bvhView,
            &BvhView::setHighlightedJoint);
    jointInfoWidget->setDocument(&document, &undoStack);
}

void DudEzu::connectDocument()
{
    connect(&document, &MotionDocument::motionReplaced, this, &DudEzu::showMotion);
    connect(&document, &MotionDocument::currentFrameChanged, this, &DudEzu::showFrame);
    connect(&document, &MotionDocument::markedRangeChanged, this, &DudEzu::showMarkedRange);
    connect(&document, &MotionDocument::setupChanged, this, &DudEzu::showSetup);
    connect(&document, &MotionDocument::modelChanged, this, &DudEzu::showSetup);
    connect(analysisPanel, &AnalysisPanel::statusMessage, statusBar(),
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(ui.bvhView, &BvhView::followingRootChanged, followAction, &QAction::setChecked);
}

// The open motion

void DudEzu::showMotion()
{
    const bool open = document.isOpen();
    jointTreeWidget->clearModel();
    jointListWidget->clearModel();
    if (open) {
        jointTreeWidget->rootJoint = document.getMotion().root;
        jointTreeWidget->refreshModel();
        jointListWidget->rootJoint = document.getMotion().root;
        jointListWidget->refresh();
    }
    // Edits of another motion cannot be undone on this one.
    undoStack.clear();
    ui.slider->setRange(0, std::max(document.lastFrame(), 0));
    timer.setInterval(PlaybackClock::intervalFor(document.getMotion().frameTime));
    timer.setSingleShot(false);
    if (!open)
        pauseTimer();
    else if (timer.isActive()) // playing goes on, with the new motion from its first frame
        clock.start(document.getCurrentFrame(), document.getMotion().frameTime);
    showTitle();
    showFrame();
    showMarkedRange();
    showSetup();
    enableCommands();
    followAction->setChecked(ui.bvhView->isFollowingRoot());
}

void DudEzu::showTitle()
{
    const QString name = QFileInfo(document.getFileName()).fileName();
    setWindowTitle(name.isEmpty() ? tr("Kinovane[*]") : tr("Kinovane - %1[*]").arg(name));
    setWindowModified(hasUnsavedMotionEdits(undoStack));
}

void DudEzu::enableCommands()
{
    for (QAction* command : std::as_const(motionCommands))
        command->setEnabled(document.isOpen());
    for (QAction* choice : std::as_const(profileActions))
        choice->setEnabled(document.isOpen());
    for (QAction* choice : std::as_const(unitActions))
        choice->setEnabled(document.isOpen());
    if (saveProfileAction)
        saveProfileAction->setEnabled(document.isOpen());
    ui.actionRotationOrderFixed->setEnabled(document.isOpen());
    ui.actionRotationOrderDeclared->setEnabled(document.isOpen());
}

bool DudEzu::loadFile(const QString& fileName)
{
    BvhFile loaded;
    const BvhReadResult result = BackgroundRead::read(loaded, fileName, this);
    if (result.ok())
        document.open(loaded, fileName);
    if (result.status == BvhReadResult::Status::Canceled) {
        // What was open stays open.
        statusBar()->showMessage(
            tr("Opening %1 was canceled.").arg(QFileInfo(fileName).fileName()));
        return false;
    }
    if (!result.ok()) {
        UserDialogs::warning(
            tr("Kinovane"),
            tr("Cannot open %1:\n%2").arg(QDir::toNativeSeparators(fileName), result.errorString));
        return false;
    }
    // Each part is a sentence of its own; the reader's warnings end in their full stop.
    const int rows = document.rowCount();
    QStringList status{tr("%1: %2, %3 joints.")
                           .arg(QFileInfo(fileName).fileName(),
                                rows == 1 ? tr("1 frame") : tr("%1 frames").arg(rows))
                           .arg(document.getMotion().root->getAllJoints().size())};
    status += result.warnings;
    status += setupText();
    if (const QString notes = analysisPanel->notes(); !notes.isEmpty())
        status += notes;
    statusBar()->showMessage(status.join(QLatin1Char(' ')));
    return true;
}

QString DudEzu::setupText() const
{
    const MotionSetup& setup = document.getSetup();
    QString text = setup.summary() + QLatin1Char('.');
    const QStringList problems = setup.binding.problems(setup.segments);
    if (document.isOpen() && !problems.isEmpty())
        text += tr(" The mass-segment model does not fit this skeleton, so no body centre of mass "
                   "is shown: %1")
                    .arg(problems.join(QLatin1Char(' ')));
    return text;
}

void DudEzu::showSetup()
{
    const MotionSetup& setup = document.getSetup();
    const SetupRequest& request = document.getSetupRequest();
    for (QAction* choice : std::as_const(profileActions))
        choice->setChecked(choice->data().toString() == request.profileName);
    if (!profileActions.isEmpty())
        profileActions.first()->setText(setup.detected() && document.isOpen()
                                            ? tr("Detect (%1)").arg(setup.profile.title)
                                            : tr("Detect"));
    const QString unitName = request.unit ? request.unit->name : QString();
    for (QAction* choice : std::as_const(unitActions))
        choice->setChecked(choice->data().toString() == unitName);
    if (!unitActions.isEmpty())
        unitActions.first()->setText(tr("The Profile's (%1)").arg(setup.profile.unit.name));
    ui.actionRotationOrderFixed->setChecked(setup.convention.rotationOrder == RotationOrder::Fixed);
    ui.actionRotationOrderDeclared->setChecked(setup.convention.rotationOrder ==
                                               RotationOrder::Declared);
    if (document.isOpen())
        statusBar()->showMessage(setupText());
}

void DudEzu::setSetupRequest(const SetupRequest& request)
{
    if (document.isOpen())
        document.setSetupRequest(request);
}

void DudEzu::setProfile(const QString& name)
{
    SetupRequest request = document.getSetupRequest();
    request.profileName = name;
    // The profile brings its own convention and unit.
    request.convention.reset();
    request.unit.reset();
    setSetupRequest(request);
}

void DudEzu::setConvention(const PoseConvention& convention)
{
    SetupRequest request = document.getSetupRequest();
    request.convention = convention;
    setSetupRequest(request);
}

void DudEzu::setLengthUnit(const std::optional<LengthUnit>& unit)
{
    SetupRequest request = document.getSetupRequest();
    request.unit = unit;
    setSetupRequest(request);
}

void DudEzu::saveProfile()
{
    if (!document.isOpen())
        return;
    const QString fileName = UserDialogs::getSaveFileName(
        tr("Save Profile"),
        document.suggestedName(QStringLiteral("skeleton"), QStringLiteral("profile.xml")),
        tr("Skeleton profiles (*.profile.xml)"));
    if (fileName.isEmpty())
        return;
    const WriteResult result = SkeletonProfileFile::write(
        fileName, document.getSetup().profileToSave(SkeletonProfileFile::profileNameOf(fileName),
                                                    document.getMotion().root));
    if (!result.ok) {
        UserDialogs::writeFailure(result);
        return;
    }
    statusBar()->showMessage(
        tr("Wrote the profile %1. Copied to %2, it is detected for skeletons like this one.")
            .arg(QDir::toNativeSeparators(fileName),
                 QDir::toNativeSeparators(SkeletonProfiles::installedFolders().value(1))));
}

void DudEzu::showProperties()
{
    if (!document.isOpen())
        return;
    QStringList lines;
    lines << tr("File: %1").arg(QDir::toNativeSeparators(document.getFileName()))
          << tr("Frames: %1, frame time %2 s")
                 .arg(document.rowCount())
                 .arg(NumberFormat::general(document.getMotion().frameTime))
          << tr("Joints: %1").arg(document.getMotion().root->getAllJoints().size());
    lines += document.getSetup().describe(document.getMotion().root);
    UserDialogs::information(tr("Properties"), lines.join(QLatin1Char('\n')));
}

// File commands

bool DudEzu::maybeSave()
{
    if (!document.isOpen() || !hasUnsavedMotionEdits(undoStack))
        return true;
    switch (UserDialogs::askToSave(tr("Kinovane"), tr("The motion has been modified.\n"
                                                      "Do you want to save your changes?"))) {
    case UserDialogs::SaveChoice::Save:
        // The question is about the whole motion: a clip would leave edits unsaved.
        return saveRange(FrameRange::all(document.rowCount()));
    case UserDialogs::SaveChoice::Discard:
        return true;
    case UserDialogs::SaveChoice::Cancel:
        break;
    }
    return false;
}

void DudEzu::openBVH()
{
    const QString fileName =
        UserDialogs::getOpenFileName(tr("File Open"), QString(), QStringLiteral("*.bvh"));
    if (fileName.isEmpty() || !maybeSave())
        return;
    loadFile(fileName);
}

bool DudEzu::saveBVH()
{
    if (!document.isOpen())
        return false;
    return saveRange(document.getMarkedRange());
}

bool DudEzu::saveRange(const FrameRange& range)
{
    const bool whole = range == FrameRange::all(document.rowCount());
    const QString fileName = UserDialogs::getSaveFileName(
        whole ? tr("File Save") : tr("Save Clip"),
        document.suggestedName(whole ? QStringLiteral("edited") : QStringLiteral("clip"),
                               QStringLiteral("bvh")),
        QStringLiteral("*.bvh"));
    if (fileName.isEmpty())
        return false;
    const WriteResult result = BvhWriter(document.getMotion()).write(fileName, range);
    if (!result.ok) {
        UserDialogs::writeFailure(result);
        return false;
    }
    QString text = ExportCommands::writtenText(fileName, range,
                                               document.getMotion().root->getAllJoints().size());
    if (whole) {
        undoStack.setClean();
    } else {
        text += tr(": a clip. The motion's other frames are in no file, so it stays unsaved.");
        if (hasUnsavedMotionEdits(undoStack))
            text += tr(" Save all frames (mark them with Home, [, End, ]) to keep every edit.");
    }
    statusBar()->showMessage(text);
    return true;
}

void DudEzu::closeBVH()
{
    if (!maybeSave())
        return;
    pauseTimer();
    document.close();
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
    if (maybeSave())
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
    if (maybeSave())
        loadFile(path);
}

void DudEzu::windowJointHierarchy()
{
    jointTreeDock->setVisible(!jointTreeDock->isVisible());
}

void DudEzu::windowJointInfo()
{
    jointInfoDock->setVisible(!jointInfoDock->isVisible());
}

void DudEzu::windowJointIndex()
{
    jointListDock->setVisible(!jointListDock->isVisible());
}

// Playback and timeline

void DudEzu::startTimer()
{
    if (!document.isOpen())
        return;
    // Playback runs within the marked range: from outside it, it starts at its first frame.
    const FrameRange& range = document.getMarkedRange();
    const int frame = document.getCurrentFrame();
    if (!range.isEmpty() && (frame < range.first || frame >= range.last))
        document.setCurrentFrame(range.first);
    clock.start(document.getCurrentFrame(), document.getMotion().frameTime);
    timer.start();
}

void DudEzu::pauseTimer()
{
    timer.stop();
    clock.stop();
}

void DudEzu::playbackTick()
{
    if (!document.isOpen())
        return pauseTimer();
    FrameRange range = document.getMarkedRange();
    if (range.isEmpty())
        return pauseTimer();
    int frame = std::max(clock.currentFrame(), 0);
    if (frame > range.last) {
        if (ui.loopCheckBox->isChecked()) {
            // Round again from the first frame, as many rounds as the time elapsed calls for.
            frame = range.first + (frame - range.first) % range.count();
            clock.start(frame, document.getMotion().frameTime);
        } else {
            frame = range.last;
            pauseTimer();
        }
    }
    document.setCurrentFrame(frame);
}

void DudEzu::showFrame()
{
    ui.frameLineEdit->setProperty("invalid", false);
    ui.frameLineEdit->setStyleSheet(QString());
    ui.frameLineEdit->setText(document.isOpen() ? QString::number(document.getCurrentFrame())
                                                : QString());
    updateTime();
    updateSlider();
}

void DudEzu::gotoNextFrame()
{
    stepFrames(1);
}

void DudEzu::gotoPrevFrame()
{
    stepFrames(-1);
}

// The name the program's Goto button has always had: the frame typed in the frame field.
void DudEzu::gotoFrame()
{
    if (!document.isOpen())
        return;
    bool number = false;
    const int frame = ui.frameLineEdit->text().trimmed().toInt(&number);
    if (!number || frame < 0 || frame > document.lastFrame()) {
        // Not a frame of the motion: refused where it was typed, the frame shown stays.
        ui.frameLineEdit->setProperty("invalid", true);
        ui.frameLineEdit->setStyleSheet(QStringLiteral("QLineEdit { background: #ffc0c0; }"));
        statusBar()->showMessage(tr("\"%1\" is not a frame of this motion: frames run from 0 to %2")
                                     .arg(ui.frameLineEdit->text())
                                     .arg(document.lastFrame()));
        return;
    }
    goToFrame(frame);
}

void DudEzu::updateFromSlider()
{
    goToFrame(ui.slider->value());
}

void DudEzu::goToFrame(int frame)
{
    if (!document.isOpen())
        return;
    const int before = document.getCurrentFrame();
    document.setCurrentFrame(frame);
    if (document.getCurrentFrame() == before)
        showFrame(); // a slider moved to the frame shown, or a refused text: put them in step
    if (timer.isActive())
        clock.start(document.getCurrentFrame(), document.getMotion().frameTime);
}

void DudEzu::stepFrames(int frames)
{
    goToFrame(document.getCurrentFrame() + frames);
}

void DudEzu::togglePlayback()
{
    if (timer.isActive())
        pauseTimer();
    else
        startTimer();
}

void DudEzu::updateSlider()
{
    const QSignalBlocker blockSlider(ui.slider);
    const QSignalBlocker blockSubSlider(ui.subSlider);
    ui.slider->setValue(document.getCurrentFrame());
    ui.subSlider->setValue(document.getCurrentFrame());
}

void DudEzu::setLeftBracket()
{
    document.markFirst(document.getCurrentFrame());
}

void DudEzu::setRightBracket()
{
    document.markLast(document.getCurrentFrame());
}

void DudEzu::showMarkedRange()
{
    const FrameRange& range = document.getMarkedRange();
    const bool shown = document.isOpen() && !range.isEmpty();
    ui.leftBracketLineEdit->setText(shown ? QString::number(range.first) : QString());
    ui.rightBracketLineEdit->setText(shown ? QString::number(range.last) : QString());
    const QSignalBlocker blockSubSlider(ui.subSlider);
    ui.subSlider->setRange(shown ? range.first : 0, shown ? range.last : 0);
    ui.subSlider->setValue(document.getCurrentFrame());
}

void DudEzu::updateTime()
{
    ui.timeLineEdit->setText(
        document.isOpen()
            ? TimeDisplay::timeText(document.getMotion().frameTime, document.getCurrentFrame())
            : QString());
}

void DudEzu::toggleSegmentMassDisplayed(bool isDisp)
{
    ui.bvhView->segmentMassDisplayed = isDisp;
    ui.bvhView->updateSkeletons();
}

void DudEzu::toggleBodyMassDisplayed(bool isDisp)
{
    ui.bvhView->bodyMassDisplayed = isDisp;
    ui.bvhView->updateSkeletons();
}

void DudEzu::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_BracketLeft)
        ui.leftBracketButton->click();
    else if (event->key() == Qt::Key_BracketRight)
        ui.rightBracketButton->click();
}

// Export, edit and help commands

void DudEzu::saveMassCenterCSV()
{
    exportCommands->saveMassCenterCSV();
}

void DudEzu::saveRotJointsCSV()
{
    exportCommands->saveRotJointsCSV();
}

void DudEzu::saveAbsPosJointsCSV()
{
    exportCommands->saveAbsPosJointsCSV();
}

void DudEzu::saveC3D()
{
    exportCommands->saveC3D();
}

void DudEzu::editMassSegments()
{
    if (!massSegmentWidget)
        massSegmentWidget = new MassSegmentWidget;
    massSegmentWidget->document = &document;
    massSegmentWidget->undoStack = &undoStack;
    massSegmentWidget->refreshTable();
    massSegmentWidget->exec();
}

void DudEzu::editInterpolateJointRotations()
{
    if (!document.isOpen())
        return;
    const BvhFile& motion = document.getMotion();
    CheckableListDialog dialog;
    dialog.setWindowTitle(tr("Select Joints for Interpolation"));
    dialog.setItems(JointNames::shownNames(motion.root));
    dialog.setNoneChecked();
    dialog.showRange(document.getMarkedRange());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<bool> selection = dialog.checkStates();
    const FrameRange range = dialog.getRange().clampedTo(motion.rowCount());
    if (!selection.contains(true) || range.isEmpty())
        return;
    // Worked out on a copy of the rows it replaces, then applied as one undoable edit.
    ProgressDialogSink progress(ProgressDialogSink::Cancel::Ignored);
    const FrameRows after = Interpolation::interpolatedRows(
        motion, selection, range, document.getSetup().convention.rotationOrder, &progress);
    const FrameRows before = motion.frames.mid(range.first, range.count());
    if (after != before)
        undoStack.push(
            new RowsEdit(document, range.first, before, after, tr("Interpolate Joint Rotations")));
}

void DudEzu::helpAbout()
{
    (new AboutWidget)->show();
}

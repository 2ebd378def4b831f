#include "dudezu.h"

#include "app/progressdialogsink.h"
#include "app/timedisplay.h"
#include "export/c3dexport.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "model/exportoptions.h"
#include "model/jointtables.h"
#include "model/numberformat.h"
#include "physics/centreofmass.h"
#include "physics/interpolation.h"
#include "tools/aboutwidget.h"
#include "tools/checkablelistdialog.h"
#include "tools/jointinfowidget.h"
#include "tools/jointnames.h"
#include "tools/jointlistwidget.h"
#include "tools/jointtreewidget.h"
#include "tools/masssegmentwidget.h"
#include "app/analysispanel.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDir>
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
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>

#include <algorithm>

DudEzu::DudEzu(QWidget* parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    ui.setupUi(this);
    setWindowTitle(tr("Kinovane[*]"));
    setAcceptDrops(true);
    profiles = SkeletonProfiles::load();
    fillCameraMenu();
    fillSetupMenus();
    connectPlayback();
    addPlaybackKeys();
    connectMenus();
    createToolWindows();
    connectToolWindows();
    analysisPanel = new AnalysisPanel(*this);
    auto* analysisMenu = new QMenu(tr("Analysis"), this);
    analysisMenu->setObjectName(QStringLiteral("menuAnalysis"));
    menuBar()->insertMenu(ui.menuWindow->menuAction(), analysisMenu);
    analysisPanel->fillMenu(analysisMenu);
    analysisPanel->fillExportMenu(ui.menuExport);
    applySetup();
    // Never larger than the screen: everything must show at 800 x 600.
    if (const QScreen* shown = screen())
        resize(size().boundedTo(shown->availableSize()));
    if (!profiles.getWarnings().isEmpty())
        statusBar()->showMessage(profiles.getWarnings().join(QLatin1Char(' ')));
}

DudEzu::~DudEzu()
{
    delete massSegmentWidget.data();
    delete jointTreeWidget.data();
    delete jointListWidget.data();
    delete jointInfoWidget.data();
    delete jointTreeDock.data();
    delete jointInfoDock.data();
    delete jointListDock.data();
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
    for (const SkeletonProfile& profile : profiles.getProfiles())
        addProfile(profile.name, profile.title);

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
    key(Qt::Key_Home, [this] { goToFrame(markedRange.clampedTo(bvhFile.rowCount()).first); });
    key(Qt::Key_End, [this] { goToFrame(markedRange.clampedTo(bvhFile.rowCount()).last); });
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
}

void DudEzu::connectToolWindows()
{
    // A click in the tree first shows the joint in the editor, then highlights it in the view;
    // an edit first redraws the view, then stores the values into the current frame.
    connect(jointTreeWidget, &JointTreeWidget::jointClicked, jointInfoWidget,
            &JointInfoWidget::setJoint);
    connect(jointInfoWidget, &JointInfoWidget::jointUpdated, ui.bvhView, &BvhView::updateSkeletons);
    connect(jointTreeWidget, &JointTreeWidget::jointClicked, ui.bvhView,
            &BvhView::setHighlightedJoint);
    connect(jointInfoWidget, &JointInfoWidget::jointUpdated, this,
            [this](BvhJoint* joint) { bvhFile.storeJointValues(joint, currentFrame); });
    connect(jointInfoWidget, &JointInfoWidget::jointUpdated, this, [this] {
        setWindowModified(true);
        analysisPanel->motionEdited();
    });
}

// File commands

bool DudEzu::maybeSave()
{
    if (!isWindowModified() || !bvhFile.isLoaded())
        return true;
    switch (UserDialogs::askToSave(tr("Kinovane"), tr("The motion has been modified.\n"
                                                      "Do you want to save your changes?"))) {
    case UserDialogs::SaveChoice::Save:
        return saveBVH();
    case UserDialogs::SaveChoice::Discard:
        return true;
    case UserDialogs::SaveChoice::Cancel:
        break;
    }
    return false;
}

void DudEzu::closeMotion()
{
    jointTreeWidget->clearModel();
    jointListWidget->clearModel();
    jointInfoWidget->clearJointInfo();
    bvhFile.clear();
    mathObject.setBvhFile(nullptr);
    setWindowModified(false);
    if (analysisPanel)
        analysisPanel->motionChanged();
}

void DudEzu::openBVH()
{
    const QString fileName =
        UserDialogs::getOpenFileName(tr("File Open"), QString(), QStringLiteral("*.bvh"));
    if (fileName.isEmpty() || !maybeSave())
        return;
    loadFile(fileName);
}

bool DudEzu::loadFile(const QString& fileName)
{
    BvhFile loaded;
    const BvhReadResult result = BvhReader(loaded).read(fileName);
    if (!result.ok()) {
        UserDialogs::warning(
            tr("Kinovane"),
            tr("Cannot open %1:\n%2").arg(QDir::toNativeSeparators(fileName), result.errorString));
        return false;
    }
    closeMotion();
    bvhFile.swap(loaded);

    fileBaseName = fileName.chopped(3);
    const QString shownName = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    setWindowTitle(tr("Kinovane - %1[*]").arg(shownName));
    setWindowModified(false);

    jointTreeWidget->rootJoint = bvhFile.root;
    jointTreeWidget->refreshModel();
    jointListWidget->rootJoint = bvhFile.root;
    jointListWidget->refresh();

    bvhFile.loadFrame(0);
    mathObject.setBvhFile(&bvhFile);
    ui.bvhView->setMathObject(&mathObject);
    // Each file gets the profile its skeleton calls for, whatever was chosen for the last one.
    setupRequest = SetupRequest();
    applySetup();

    const int rows = bvhFile.rowCount();
    ui.slider->setRange(0, std::max(lastRow(), 0));
    markedRange = FrameRange::all(rows);
    showMarkedRange();
    timer.setInterval(PlaybackClock::intervalFor(bvhFile.frameTime));
    timer.setSingleShot(false);
    currentFrame = 0;
    showFrame();
    if (timer.isActive()) // playing goes on, with the new motion from its first frame
        clock.start(currentFrame, bvhFile.frameTime);

    QString status = tr("%1: %2 frames, %3 joints")
                         .arg(shownName)
                         .arg(rows)
                         .arg(bvhFile.root->getAllJoints().size());
    if (!result.warnings.isEmpty())
        status += QStringLiteral(". ") + result.warnings.join(QLatin1Char(' '));
    statusBar()->showMessage(status + QStringLiteral(". ") + setupText());
    return true;
}

QString DudEzu::setupText() const
{
    QString text = setup.summary() + QLatin1Char('.');
    const QStringList problems = mathObject.getBinding().problems(mathObject.getSegments());
    if (bvhFile.isLoaded() && !problems.isEmpty())
        text += tr(" The mass-segment model does not fit this skeleton, so no body centre of mass "
                   "is shown: %1")
                    .arg(problems.join(QLatin1Char(' ')));
    return text;
}

void DudEzu::applySetup()
{
    setup = MotionSetup::choose(profiles, bvhFile.root, setupRequest);
    bvhFile.setConvention(setup.convention);
    // A model the user opened or edited stays as long as it fits the motion.
    const bool keepUserModel =
        mathObject.hasUserModel() && bvhFile.root &&
        SegmentBinding::bind(mathObject.getSegments(), bvhFile.root->getAllJoints()).isComplete();
    if (!keepUserModel)
        mathObject.setProfileModel(setup.segments);

    for (QAction* choice : std::as_const(profileActions))
        choice->setChecked(choice->data().toString() == setupRequest.profileName);
    if (!profileActions.isEmpty())
        profileActions.first()->setText(setup.detected && bvhFile.isLoaded()
                                            ? tr("Detect (%1)").arg(setup.profile.title)
                                            : tr("Detect"));
    const QString unitName = setupRequest.unit ? setupRequest.unit->name : QString();
    for (QAction* choice : std::as_const(unitActions))
        choice->setChecked(choice->data().toString() == unitName);
    if (!unitActions.isEmpty())
        unitActions.first()->setText(tr("The Profile's (%1)").arg(setup.profile.unit.name));
    ui.actionRotationOrderFixed->setChecked(setup.convention.rotationOrder == RotationOrder::Fixed);
    ui.actionRotationOrderDeclared->setChecked(setup.convention.rotationOrder ==
                                               RotationOrder::Declared);
    // Another convention or unit may move and resize the figure: framed anew.
    ui.bvhView->setUpAxis(setup.upAxisOf(bvhFile));
    ui.bvhView->fitSkeleton();
    followAction->setChecked(ui.bvhView->isFollowingRoot());
    if (jointInfoWidget)
        jointInfoWidget->updateJointInfo();
    analysisPanel->motionChanged();
}

void DudEzu::setProfile(const QString& name)
{
    setupRequest.profileName = name;
    // The profile brings its own convention and unit.
    setupRequest.convention.reset();
    setupRequest.unit.reset();
    applySetup();
    statusBar()->showMessage(setupText());
}

void DudEzu::setConvention(const PoseConvention& convention)
{
    setupRequest.convention = convention;
    applySetup();
    statusBar()->showMessage(setupText());
}

void DudEzu::setLengthUnit(const std::optional<LengthUnit>& unit)
{
    setupRequest.unit = unit;
    applySetup();
    statusBar()->showMessage(setupText());
}

void DudEzu::showProperties()
{
    const auto onOff = [](bool value) { return value ? tr("yes") : tr("no"); };
    const PoseConvention& convention = setup.convention;
    QStringList lines;
    if (bvhFile.isLoaded()) {
        lines << tr("File: %1").arg(QDir::toNativeSeparators(fileBaseName + QStringLiteral("bvh")))
              << tr("Frames: %1, frame time %2 s")
                     .arg(bvhFile.rowCount())
                     .arg(NumberFormat::general(bvhFile.frameTime))
              << tr("Joints: %1").arg(bvhFile.root->getAllJoints().size());
    }
    lines << tr("Skeleton profile: %1 (%2)")
                 .arg(setup.profile.title, setup.detected ? tr("detected") : tr("chosen"))
          << tr("Rotations: %1")
                 .arg(convention.rotationOrder == RotationOrder::Fixed
                          ? tr("fixed X·Y·Z product")
                          : tr("in the order the CHANNELS lines declare"))
          << tr("Position channels: %1")
                 .arg(convention.positionChannels == PositionChannels::AddToOffset
                          ? tr("added to OFFSET")
                          : tr("replace OFFSET"))
          << tr("Pi for degrees to radians: %1").arg(NumberFormat::general(convention.pi, 9))
          << tr("Length unit: %1 (%2 mm)")
                 .arg(setup.unit.name, NumberFormat::general(setup.unit.millimetres));
    if (bvhFile.isLoaded())
        lines << tr("Rest-pose stature: %1 %2, unit judged by it: %3")
                     .arg(NumberFormat::general(setup.stature, 4), setup.unit.name,
                          onOff(setup.unitJudged));
    lines << tr("Mass-segment model: %1")
                 .arg(mathObject.hasUserModel()   ? tr("opened or edited by you")
                      : setup.modelFile.isEmpty() ? tr("the profile's")
                                                  : QDir::toNativeSeparators(setup.modelFile));
    const QStringList problems = mathObject.getBinding().problems(mathObject.getSegments());
    if (bvhFile.isLoaded())
        lines << (problems.isEmpty() ? tr("The model fits the skeleton.")
                                     : tr("The model does not fit the skeleton: %1")
                                           .arg(problems.join(QLatin1Char(' '))));
    UserDialogs::information(tr("Properties"), lines.join(QLatin1Char('\n')));
}

bool DudEzu::saveBVH()
{
    if (!bvhFile.isLoaded() || !rangeIsUsable(markedRange))
        return false;
    const QString fileName = UserDialogs::getSaveFileName(
        tr("File Save"), suggestedName(QStringLiteral("edited"), QStringLiteral("bvh")),
        QStringLiteral("*.bvh"));
    if (fileName.isEmpty())
        return false;
    const WriteResult result = BvhWriter(bvhFile).write(fileName, markedRange);
    if (!result.ok) {
        showWriteFailure(result);
        return false;
    }
    setWindowModified(false);
    reportWritten(fileName, markedRange, bvhFile.root->getAllJoints().size());
    return true;
}

void DudEzu::closeBVH()
{
    if (!maybeSave())
        return;
    pauseTimer();
    closeMotion();
    setWindowTitle(tr("Kinovane[*]"));
    ui.bvhView->updateSkeletons();
}

void DudEzu::exit()
{
    if (maybeSave())
        QCoreApplication::quit();
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
    if (!bvhFile.isLoaded())
        return;
    // Playback runs within the marked range: from outside it, it starts at its first frame.
    const FrameRange range = markedRange.clampedTo(bvhFile.rowCount());
    if (!range.isEmpty() && (currentFrame < range.first || currentFrame >= range.last)) {
        currentFrame = range.first;
        showFrame();
    }
    clock.start(currentFrame, bvhFile.frameTime);
    timer.start();
}

void DudEzu::pauseTimer()
{
    timer.stop();
    clock.stop();
}

void DudEzu::playbackTick()
{
    if (!bvhFile.isLoaded())
        return pauseTimer();
    FrameRange range = markedRange.clampedTo(bvhFile.rowCount());
    if (range.isEmpty())
        range = FrameRange::all(bvhFile.rowCount());
    int frame = std::max(clock.currentFrame(), 0);
    if (frame > range.last) {
        if (ui.loopCheckBox->isChecked()) {
            // Round again from the first frame, as many rounds as the time elapsed calls for.
            frame = range.first + (frame - range.first) % range.count();
            clock.start(frame, bvhFile.frameTime);
        } else {
            frame = range.last;
            pauseTimer();
        }
    }
    if (frame == currentFrame)
        return;
    currentFrame = frame;
    showFrame();
}

void DudEzu::showFrame()
{
    bvhFile.loadFrame(currentFrame);
    ui.frameLineEdit->setProperty("invalid", false);
    ui.frameLineEdit->setStyleSheet(QString());
    ui.frameLineEdit->setText(QString::number(currentFrame));
    updateTime();
    ui.bvhView->updateSkeletons();
    jointInfoWidget->updateJointInfo();
    updateSlider();
    analysisPanel->showFrame(currentFrame);
}

void DudEzu::gotoNextFrame()
{
    stepFrames(1);
}

void DudEzu::gotoPrevFrame()
{
    stepFrames(-1);
}

void DudEzu::gotoFrame()
{
    if (!bvhFile.isLoaded())
        return;
    bool number = false;
    const int frame = ui.frameLineEdit->text().trimmed().toInt(&number);
    if (!number || frame < 0 || frame > lastRow()) {
        // Not a frame of the motion: refused where it was typed, the frame shown stays.
        ui.frameLineEdit->setProperty("invalid", true);
        ui.frameLineEdit->setStyleSheet(QStringLiteral("QLineEdit { background: #ffc0c0; }"));
        statusBar()->showMessage(tr("\"%1\" is not a frame of this motion: frames run from 0 to %2")
                                     .arg(ui.frameLineEdit->text())
                                     .arg(lastRow()));
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
    if (!bvhFile.isLoaded())
        return;
    const int clamped = std::clamp(frame, 0, std::max(lastRow(), 0));
    if (clamped != currentFrame) {
        currentFrame = clamped;
        showFrame();
    } else {
        updateSlider(); // a slider moved to the frame shown: put the other one in step
    }
    if (timer.isActive())
        clock.start(currentFrame, bvhFile.frameTime);
}

void DudEzu::stepFrames(int frames)
{
    goToFrame(currentFrame + frames);
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
    ui.slider->setValue(currentFrame);
    ui.subSlider->setValue(currentFrame);
}

void DudEzu::setLeftBracket()
{
    markedRange.first = currentFrame;
    showMarkedRange();
}

void DudEzu::setRightBracket()
{
    markedRange.last = currentFrame;
    showMarkedRange();
}

void DudEzu::showMarkedRange()
{
    ui.leftBracketLineEdit->setText(QString::number(markedRange.first));
    ui.rightBracketLineEdit->setText(QString::number(markedRange.last));
    ui.subSlider->setRange(markedRange.first, markedRange.last);
    analysisPanel->setMarkedRange(markedRange);
}

void DudEzu::updateTime()
{
    ui.timeLineEdit->setText(TimeDisplay::timeText(bvhFile.frameTime, currentFrame));
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

QString DudEzu::suggestedName(const QString& what, const QString& extension) const
{
    // fileBaseName keeps the motion's dot: "/data/walk." for /data/walk.bvh.
    return fileBaseName.chopped(1) + QLatin1Char('-') + what + QLatin1Char('.') + extension;
}

bool DudEzu::rangeIsUsable(const FrameRange& range)
{
    if (!range.clampedTo(bvhFile.rowCount()).isEmpty())
        return true;
    UserDialogs::warning(tr("Kinovane"), tr("Frames %1 to %2 hold no frame of this motion "
                                            "(frames 0 to %3): nothing was written.")
                                             .arg(range.first)
                                             .arg(range.last)
                                             .arg(lastRow()));
    return false;
}

void DudEzu::reportWritten(const QString& fileName, const FrameRange& range, qsizetype joints)
{
    const FrameRange written = range.clampedTo(bvhFile.rowCount());
    QString text = tr("Wrote %1: frames %2 to %3")
                       .arg(QDir::toNativeSeparators(fileName))
                       .arg(written.first)
                       .arg(written.last);
    if (joints > 0)
        text += tr(", %1 joints").arg(joints);
    statusBar()->showMessage(text);
}

void DudEzu::showWriteFailure(const WriteResult& result)
{
    UserDialogs::warning(tr("Kinovane"),
                         tr("Cannot write %1:\n%2")
                             .arg(QDir::toNativeSeparators(result.fileName), result.errorString));
}

void DudEzu::saveMassCenterCSV()
{
    if (!bvhFile.isLoaded())
        return;
    // Said before a file name is asked for: no table comes of a model that does not fit.
    const QStringList problems = mathObject.getBinding().problems(mathObject.getSegments());
    if (!problems.isEmpty()) {
        UserDialogs::warning(tr("Kinovane"),
                             tr("The mass-segment model does not fit this skeleton, so there is "
                                "no centre of mass to export. Choose another skeleton profile "
                                "(Edit > Skeleton Profile) or edit the model (Edit > Mass "
                                "Segments).\n%1")
                                 .arg(problems.join(QLatin1Char('\n'))));
        return;
    }
    if (!rangeIsUsable(markedRange))
        return;
    const QString fileName = UserDialogs::getSaveFileName(
        tr("File Export"), suggestedName(QStringLiteral("com"), QStringLiteral("csv")),
        QStringLiteral("*.csv"));
    if (fileName.isEmpty())
        return;
    ExportOptions options = ExportOptions::wholeMotion(bvhFile);
    options.range = markedRange;
    const WriteResult result =
        CentreOfMass::writeCsv(bvhFile, mathObject.getSegments(), fileName, options);
    if (!result.ok)
        return showWriteFailure(result);
    reportWritten(fileName, markedRange, 0);
    UserDialogs::information(tr("Process Complete"), tr("File Export Completed"));
}

// Both joint tables: choose the joints and the range, then the file.
using JointTableExport = WriteResult (*)(const BvhFile&, const QString&, const ExportOptions&,
                                         ProgressSink*);

static void exportJointTable(DudEzu& window, JointTableExport exportTable, const QString& what)
{
    const BvhFile& motion = window.bvhFile;
    if (!motion.isLoaded())
        return;
    CheckableListDialog dialog;
    dialog.setWindowTitle(DudEzu::tr("Select Joints to Export"));
    dialog.setItems(JointNames::shownNames(motion.root));
    dialog.showRange(window.getMarkedRange());
    if (dialog.exec() != QDialog::Accepted || !window.rangeIsUsable(dialog.getRange()))
        return;
    const QString fileName = UserDialogs::getSaveFileName(
        DudEzu::tr("File Save"), window.suggestedName(what, QStringLiteral("csv")),
        QStringLiteral("*.csv"));
    if (fileName.isEmpty())
        return;
    ExportOptions options = ExportOptions::wholeMotion(motion);
    options.range = dialog.getRange();
    options.jointSelection = dialog.checkStates();
    ProgressDialogSink progress;
    const WriteResult result = exportTable(motion, fileName, options, &progress);
    if (!result.ok) {
        UserDialogs::warning(
            DudEzu::tr("Kinovane"),
            DudEzu::tr("Cannot write %1:\n%2")
                .arg(QDir::toNativeSeparators(result.fileName), result.errorString));
        return;
    }
    window.reportWritten(fileName, options.range, options.jointSelection.count(true));
}

void DudEzu::saveRotJointsCSV()
{
    exportJointTable(*this, &JointTables::writeRotations, QStringLiteral("rotations"));
}

void DudEzu::saveAbsPosJointsCSV()
{
    exportJointTable(*this, &JointTables::writePositions, QStringLiteral("positions"));
}

void DudEzu::saveC3D()
{
    if (!bvhFile.isLoaded())
        return;
    const QString fileName = UserDialogs::getSaveFileName(
        tr("File Save"), fileBaseName + QStringLiteral("c3d"), QStringLiteral("*.c3d"));
    if (fileName.isEmpty())
        return;
    ProgressDialogSink progress(ProgressDialogSink::Cancel::Ignored);
    const WriteResult result =
        C3DExport::exportMotion(bvhFile, fileName, &progress, nullptr, setup.unit.millimetres);
    if (!result.ok)
        return showWriteFailure(result);
    reportWritten(fileName, FrameRange::all(bvhFile.rowCount()),
                  bvhFile.root->getAllJoints().size());
}

void DudEzu::editMassSegments()
{
    if (!massSegmentWidget)
        massSegmentWidget = new MassSegmentWidget;
    massSegmentWidget->mathObject = &mathObject;
    massSegmentWidget->refreshTable();
    massSegmentWidget->exec();
    ui.bvhView->updateSkeletons(); // the model may have changed
    analysisPanel->motionChanged();
    statusBar()->showMessage(setupText());
}

void DudEzu::editInterpolateJointRotations()
{
    if (!bvhFile.isLoaded())
        return;
    CheckableListDialog dialog;
    dialog.setWindowTitle(tr("Select Joints for Interpolation"));
    dialog.setItems(JointNames::shownNames(bvhFile.root));
    dialog.setNoneChecked();
    dialog.showRange(markedRange);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<bool> selection = dialog.checkStates();
    ProgressDialogSink progress(ProgressDialogSink::Cancel::Ignored);
    Interpolation::interpolateJoints(bvhFile, selection, dialog.getRange(), &progress);
    if (selection.contains(true)) {
        setWindowModified(true);
        analysisPanel->motionChanged();
    }
    showFrame(); // the frame on screen may be one of those interpolated
}

void DudEzu::helpAbout()
{
    (new AboutWidget)->show();
}

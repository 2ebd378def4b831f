#include "dudezu.h"

#include "app/progressdialogsink.h"
#include "app/timedisplay.h"
#include "export/c3dexport.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "model/exportoptions.h"
#include "model/jointtables.h"
#include "physics/centreofmass.h"
#include "physics/interpolation.h"
#include "tools/aboutwidget.h"
#include "tools/checkablelistdialog.h"
#include "tools/jointinfowidget.h"
#include "tools/jointlistwidget.h"
#include "tools/jointtreewidget.h"
#include "tools/masssegmentwidget.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
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
    updateSliderEnabled = true;
    fillCameraMenu();
    connectPlayback();
    connectMenus();
    createToolWindows();
    connectToolWindows();
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
    cameraMenu.addAction(tr("Reset camera"), view, &BvhView::resetCamera);
    cameraMenu.addAction(tr("Center camera on selection"), view,
                         &BvhView::centerCameraOnSelectedJoint);
    cameraMenu.addAction(tr("Center camera on root"), view, &BvhView::centerCameraOnRoot);
    cameraMenu.addAction(tr("Center camera on hip ground"), view,
                         &BvhView::centerCameraOnRootGround);
    ui.cameraButton->setMenu(&cameraMenu);
    ui.cameraButton->setPopupMode(QToolButton::InstantPopup);
}

void DudEzu::connectPlayback()
{
    connect(ui.startButton, &QPushButton::clicked, this, &DudEzu::startTimer);
    connect(ui.pauseButton, &QPushButton::clicked, this, &DudEzu::pauseTimer);
    connect(ui.leftButton, &QToolButton::clicked, this, &DudEzu::gotoPrevFrame);
    connect(ui.rightButton, &QToolButton::clicked, this, &DudEzu::gotoNextFrame);
    connect(ui.gotoButton, &QPushButton::clicked, this, &DudEzu::gotoFrame);
    connect(ui.slider, &QSlider::sliderMoved, this, &DudEzu::updateFromSlider);
    connect(ui.subSlider, &QSlider::sliderMoved, this, &DudEzu::updateFromSlider);
    connect(ui.slider, &QSlider::sliderMoved, ui.subSlider, &QSlider::setValue);
    connect(ui.subSlider, &QSlider::sliderMoved, ui.slider, &QSlider::setValue);
    connect(ui.leftBracketButton, &QPushButton::clicked, this, &DudEzu::setLeftBracket);
    connect(ui.rightBracketButton, &QPushButton::clicked, this, &DudEzu::setRightBracket);
    connect(ui.frameLineEdit, &QLineEdit::textChanged, this, &DudEzu::updateTime);
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
            [this] { setRotationOrder(RotationOrder::Fixed); });
    connect(ui.actionRotationOrderDeclared, &QAction::triggered, this,
            [this] { setRotationOrder(RotationOrder::Declared); });
    connect(ui.actionJointHierarchy, &QAction::triggered, this, &DudEzu::windowJointHierarchy);
    connect(ui.actionJointInfo, &QAction::triggered, this, &DudEzu::windowJointInfo);
    connect(ui.actionJointDOFIndex, &QAction::triggered, this, &DudEzu::windowJointIndex);
    connect(ui.actionAbout, &QAction::triggered, this, &DudEzu::helpAbout);
    ui.actionOpenBVH->setShortcut(QKeySequence::Open);
    ui.actionSaveBVH->setShortcut(QKeySequence::Save);
    ui.actionCloseBVH->setShortcut(QKeySequence::Close);
    ui.actionExit->setShortcut(QKeySequence::Quit);
}

void DudEzu::createToolWindows()
{
    const auto dock = [this](QWidget* toolWindow, Qt::DockWidgetArea area) {
        auto* result = new QDockWidget;
        result->setWidget(toolWindow);
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
    connect(jointInfoWidget, &JointInfoWidget::jointUpdated, this,
            [this] { setWindowModified(true); });
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
    loaded.setRotationOrder(bvhFile.getRotationOrder());
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
    const SegmentBinding& binding = mathObject.getBinding();
    if (!binding.unboundSegments.isEmpty()) {
        status += tr(". %1 of %2 mass segments name joints this skeleton lacks (%3) and are "
                     "left out of the centre of mass")
                      .arg(binding.unboundSegments.size())
                      .arg(mathObject.getSegments().size())
                      .arg(binding.missingJoints.join(QStringLiteral(", ")));
    }
    statusBar()->showMessage(status);
    return true;
}

bool DudEzu::saveBVH()
{
    if (!bvhFile.isLoaded())
        return false;
    const QString fileName =
        UserDialogs::getSaveFileName(tr("File Save"), QString(), QStringLiteral("*.bvh"));
    if (fileName.isEmpty())
        return false;
    const WriteResult result = BvhWriter(bvhFile).write(fileName, markedRange);
    if (!result.ok) {
        showWriteFailure(result);
        return false;
    }
    setWindowModified(false);
    statusBar()->showMessage(tr("Saved %1").arg(QDir::toNativeSeparators(fileName)));
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
    const int frame = std::clamp(clock.currentFrame(), 0, std::max(lastRow(), 0));
    if (frame == currentFrame)
        return;
    currentFrame = frame;
    showFrame();
}

void DudEzu::setRotationOrder(RotationOrder order)
{
    ui.actionRotationOrderFixed->setChecked(order == RotationOrder::Fixed);
    ui.actionRotationOrderDeclared->setChecked(order == RotationOrder::Declared);
    if (order == bvhFile.getRotationOrder())
        return;
    bvhFile.setRotationOrder(order);
    ui.bvhView->updateSkeletons();
    if (jointInfoWidget)
        jointInfoWidget->updateJointInfo();
}

void DudEzu::showFrame()
{
    bvhFile.loadFrame(currentFrame);
    ui.frameLineEdit->setText(QString::number(currentFrame));
    ui.bvhView->updateSkeletons();
    jointInfoWidget->updateJointInfo();
    updateSlider();
}

void DudEzu::gotoNextFrame()
{
    if (currentFrame >= lastRow())
        return;
    ++currentFrame;
    showFrame();
    if (timer.isActive())
        clock.start(currentFrame, bvhFile.frameTime);
}

void DudEzu::gotoPrevFrame()
{
    if (!bvhFile.isLoaded())
        return;
    currentFrame = std::max(currentFrame - 1, 0);
    showFrame();
    if (timer.isActive())
        clock.start(currentFrame, bvhFile.frameTime);
}

void DudEzu::gotoFrame()
{
    const int frame = TimeDisplay::readNumber(ui.frameLineEdit->text());
    if (!bvhFile.isLoaded() || frame < 0 || frame > lastRow())
        return; // not a frame of the motion: the frame shown stays
    currentFrame = frame;
    showFrame();
    if (timer.isActive())
        clock.start(currentFrame, bvhFile.frameTime);
}

void DudEzu::updateFromSlider()
{
    ui.frameLineEdit->setText(QString::number(ui.slider->value()));
    if (!bvhFile.isLoaded())
        return;
    updateSliderEnabled = false;
    currentFrame = std::clamp(TimeDisplay::readNumber(ui.frameLineEdit->text()), 0, lastRow());
    showFrame();
    if (timer.isActive())
        clock.start(currentFrame, bvhFile.frameTime);
    updateSliderEnabled = true;
}

void DudEzu::updateSlider()
{
    if (!updateSliderEnabled)
        return;
    const int frame = TimeDisplay::readNumber(ui.frameLineEdit->text());
    ui.slider->setValue(frame);
    ui.subSlider->setValue(frame);
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
}

void DudEzu::updateTime()
{
    ui.timeLineEdit->setText(TimeDisplay::timeText(
        bvhFile.frameTime, TimeDisplay::readNumber(ui.frameLineEdit->text())));
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
    const QString fileName =
        UserDialogs::getSaveFileName(tr("File Export"), QString(), QStringLiteral("*.csv"));
    if (fileName.isEmpty())
        return;
    ExportOptions options = ExportOptions::wholeMotion(bvhFile);
    options.range = markedRange;
    const WriteResult result =
        CentreOfMass::writeCsv(bvhFile, mathObject.getSegments(), fileName, options);
    if (!result.ok)
        return showWriteFailure(result);
    UserDialogs::information(tr("Process Complete"), tr("File Export Completed"));
}

// Both joint tables: choose the joints and the range, then the file.
using JointTableExport = WriteResult (*)(const BvhFile&, const QString&, const ExportOptions&,
                                         ProgressSink*);

static void exportJointTable(DudEzu& window, JointTableExport exportTable)
{
    const BvhFile& motion = window.bvhFile;
    if (!motion.isLoaded())
        return;
    CheckableListDialog dialog;
    dialog.setWindowTitle(DudEzu::tr("Select Joints to Export"));
    dialog.setItems(motion.root->getAllJointNames());
    dialog.showRange(window.getMarkedRange());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString fileName =
        UserDialogs::getSaveFileName(DudEzu::tr("File Save"), QString(), QStringLiteral("*.csv"));
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
    }
}

void DudEzu::saveRotJointsCSV()
{
    exportJointTable(*this, &JointTables::writeRotations);
}

void DudEzu::saveAbsPosJointsCSV()
{
    exportJointTable(*this, &JointTables::writePositions);
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
    const WriteResult result = C3DExport::exportMotion(bvhFile, fileName, &progress);
    if (!result.ok)
        showWriteFailure(result);
}

void DudEzu::editMassSegments()
{
    if (!massSegmentWidget)
        massSegmentWidget = new MassSegmentWidget;
    massSegmentWidget->mathObject = &mathObject;
    massSegmentWidget->refreshTable();
    massSegmentWidget->exec();
    ui.bvhView->updateSkeletons(); // the model may have changed
}

void DudEzu::editInterpolateJointRotations()
{
    if (!bvhFile.isLoaded())
        return;
    CheckableListDialog dialog;
    dialog.setWindowTitle(tr("Select Joints for Interpolation"));
    dialog.setItems(bvhFile.root->getAllJointNames());
    dialog.setNoneChecked();
    dialog.showRange(markedRange);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<bool> selection = dialog.checkStates();
    ProgressDialogSink progress(ProgressDialogSink::Cancel::Ignored);
    Interpolation::interpolateJoints(bvhFile, selection, dialog.getRange(), &progress);
    if (selection.contains(true))
        setWindowModified(true);
    showFrame(); // the frame on screen may be one of those interpolated
}

void DudEzu::helpAbout()
{
    (new AboutWidget)->show();
}

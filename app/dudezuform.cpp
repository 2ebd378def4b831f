#include "dudezuform.h"

#include "view/bvhview.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QSpacerItem>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

static constexpr int largestHeight = 16777215;

template <typename Widget> static Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The frame and bracket fields hold frame numbers of recordings up to hours long: at least
// `pixels` wide, wider where the font needs it for seven digits.
static int frameFieldWidth(const QWidget* field, int pixels)
{
    return std::max(pixels, field->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
}

// A field that only shows a value: read-only, out of the tab order, and drawn on the window's
// colour so that it does not look editable.
static void makeReadOnly(QLineEdit* field)
{
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
}

static QAction* action(QMainWindow* window, const char* name)
{
    return named(new QAction(window), name);
}

void DudEzuForm::setupUi(QMainWindow* window, const QString& noViewReason)
{
    window->setObjectName(QStringLiteral("DudEzuClass"));
    window->resize(1255, 700);

    actionOpenBVH = action(window, "actionOpenBVH");
    actionSaveBVH = action(window, "actionSaveBVH");
    actionCloseBVH = action(window, "actionCloseBVH");
    actionExit = action(window, "actionExit");
    actionExportJointRotations = action(window, "actionExportJointRotations");
    actionExportAbsJointPositions = action(window, "actionExportAbsJointPositions");
    actionExportMassCenter = action(window, "actionExportMassCenter");
    actionExportC3D = action(window, "actionExportC3D");
    actionEditMassSegments = action(window, "actionEditMassSegments");
    actionInterpolateJointRotations = action(window, "actionInterpolateJointRotations");
    actionProperties = action(window, "actionProperties");
    // Two exclusive choices: the group unchecks the other one.
    actionRotationOrderFixed = action(window, "actionRotationOrderFixed");
    actionRotationOrderDeclared = action(window, "actionRotationOrderDeclared");
    auto* rotationOrderGroup = new QActionGroup(window);
    for (QAction* choice : {actionRotationOrderFixed, actionRotationOrderDeclared}) {
        choice->setCheckable(true);
        rotationOrderGroup->addAction(choice);
    }
    actionRotationOrderFixed->setChecked(true);
    actionJointHierarchy = action(window, "actionJointHierarchy");
    actionJointInfo = action(window, "actionJointInfo");
    actionJointDOFIndex = action(window, "actionJointDOFIndex");
    actionControls = action(window, "actionControls");
    actionAbout = action(window, "actionAbout");

    centralWidget = named(new QWidget(window), "centralWidget");
    centralLayout = named(new QVBoxLayout(centralWidget), "centralLayout");
    centralLayout->setSpacing(6);
    centralLayout->setContentsMargins(11, 11, 11, 11);

    viewLayout = named(new QHBoxLayout(), "viewLayout");
    viewLayout->setSpacing(6);
    QWidget* shown = nullptr;
    if (noViewReason.isEmpty()) {
        bvhView = named(new BvhView(centralWidget), "bvhView");
        shown = bvhView;
    } else {
        // Without OpenGL no 3D view can be made; the tables, plots, editors and exports work.
        bvhView = nullptr;
        auto* notice = named(new QLabel(centralWidget), "viewNotice");
        notice->setText(tr("No 3D view: %1. The tables, plots, editors and exports work as "
                           "always.")
                            .arg(noViewReason));
        notice->setWordWrap(true);
        notice->setAlignment(Qt::AlignCenter);
        shown = notice;
    }
    shown->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    shown->setMinimumSize(320, 200);
    viewLayout->addWidget(shown);
    centralLayout->addLayout(viewLayout);

    playbackLayout = named(new QHBoxLayout(), "playbackLayout");
    playbackLayout->setSpacing(6);
    // The marker switches and the camera menu live in the tool bar (below), which folds what
    // does not fit behind its extension button; the playback row keeps only playback.
    segmentMassCheckBox = named(new QCheckBox(centralWidget), "segmentMassCheckBox");
    segmentMassCheckBox->setChecked(true);
    bodyMassCheckBox = named(new QCheckBox(centralWidget), "bodyMassCheckBox");
    bodyMassCheckBox->setChecked(true);
    playbackLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    startButton = named(new QPushButton(centralWidget), "startButton");
    startButton->setMaximumHeight(largestHeight);
    playbackLayout->addWidget(startButton);
    pauseButton = named(new QPushButton(centralWidget), "pauseButton");
    pauseButton->setMaximumHeight(largestHeight);
    playbackLayout->addWidget(pauseButton);
    loopCheckBox = named(new QCheckBox(centralWidget), "loopCheckBox");
    loopCheckBox->setChecked(true);
    playbackLayout->addWidget(loopCheckBox);
    frameLineEdit = named(new QLineEdit(centralWidget), "frameLineEdit");
    frameLineEdit->setMaximumSize(frameFieldWidth(frameLineEdit, 50), largestHeight);
    playbackLayout->addWidget(frameLineEdit);
    gotoButton = named(new QPushButton(centralWidget), "gotoButton");
    gotoButton->setMaximumHeight(largestHeight);
    playbackLayout->addWidget(gotoButton);
    leftButton = named(new QToolButton(centralWidget), "leftButton");
    playbackLayout->addWidget(leftButton);
    rightButton = named(new QToolButton(centralWidget), "rightButton");
    playbackLayout->addWidget(rightButton);
    playbackSeparator = named(new QFrame(centralWidget), "playbackSeparator");
    playbackSeparator->setFrameShape(QFrame::VLine);
    playbackSeparator->setFrameShadow(QFrame::Sunken);
    playbackLayout->addWidget(playbackSeparator);
    timeLineEdit = named(new QLineEdit(centralWidget), "timeLineEdit");
    // 80 pixels, or what the font needs for a negative time past 100 hours: clipped digits
    // would show a wrong time.
    const QString widest = QStringLiteral("-000:00:00.000");
    timeLineEdit->setMaximumSize(
        std::max(80, timeLineEdit->fontMetrics().horizontalAdvance(widest) + 12), largestHeight);
    timeLineEdit->setMinimumWidth(timeLineEdit->maximumWidth());
    makeReadOnly(timeLineEdit);
    playbackLayout->addWidget(timeLineEdit);
    playbackLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    cameraButton = named(new QToolButton(centralWidget), "cameraButton");
    centralLayout->addLayout(playbackLayout);

    timelineLayout = named(new QHBoxLayout(), "timelineLayout");
    timelineLayout->setSpacing(6);
    leftBracketButton = named(new QPushButton(centralWidget), "leftBracketButton");
    leftBracketButton->setMaximumHeight(largestHeight);
    timelineLayout->addWidget(leftBracketButton);
    leftBracketLineEdit = named(new QLineEdit(centralWidget), "leftBracketLineEdit");
    leftBracketLineEdit->setMaximumSize(frameFieldWidth(leftBracketLineEdit, 50), largestHeight);
    makeReadOnly(leftBracketLineEdit);
    timelineLayout->addWidget(leftBracketLineEdit);
    slider = named(new QSlider(centralWidget), "slider");
    slider->setOrientation(Qt::Horizontal);
    slider->setMinimumSize(0, 30);
    slider->setTickInterval(10);
    slider->setInvertedAppearance(false);
    timelineLayout->addWidget(slider);
    rightBracketLineEdit = named(new QLineEdit(centralWidget), "rightBracketLineEdit");
    rightBracketLineEdit->setMaximumSize(frameFieldWidth(rightBracketLineEdit, 50), largestHeight);
    makeReadOnly(rightBracketLineEdit);
    timelineLayout->addWidget(rightBracketLineEdit);
    rightBracketButton = named(new QPushButton(centralWidget), "rightBracketButton");
    rightBracketButton->setMaximumHeight(largestHeight);
    timelineLayout->addWidget(rightBracketButton);
    centralLayout->addLayout(timelineLayout);

    subSlider = named(new QSlider(centralWidget), "subSlider");
    subSlider->setOrientation(Qt::Horizontal);
    centralLayout->addWidget(subSlider);
    window->setCentralWidget(centralWidget);

    menuBar = named(new QMenuBar(window), "menuBar");
    menuFile = named(new QMenu(menuBar), "menuFile");
    menuExport = named(new QMenu(menuFile), "menuExport");
    menuEdit = named(new QMenu(menuBar), "menuEdit");
    menuProfile = named(new QMenu(menuEdit), "menuProfile");
    menuUnit = named(new QMenu(menuEdit), "menuUnit");
    menuWindow = named(new QMenu(menuBar), "menuWindow");
    menuHelp = named(new QMenu(menuBar), "menuHelp");
    window->setMenuBar(menuBar);
    mainToolBar = named(new QToolBar(window), "mainToolBar");
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    mainToolBar->addWidget(cameraButton);
    mainToolBar->addSeparator();
    mainToolBar->addWidget(segmentMassCheckBox);
    mainToolBar->addWidget(bodyMassCheckBox);
    statusBar = named(new QStatusBar(window), "statusBar");
    window->setStatusBar(statusBar);

    menuBar->addAction(menuFile->menuAction());
    menuBar->addAction(menuEdit->menuAction());
    menuBar->addAction(menuWindow->menuAction());
    menuBar->addAction(menuHelp->menuAction());
    menuFile->addAction(actionOpenBVH);
    menuFile->addAction(actionSaveBVH);
    menuFile->addAction(actionCloseBVH);
    menuFile->addAction(menuExport->menuAction());
    menuFile->addAction(actionProperties);
    menuFile->addAction(actionExit);
    menuExport->addAction(actionExportJointRotations);
    menuExport->addAction(actionExportAbsJointPositions);
    menuExport->addAction(actionExportMassCenter);
    menuExport->addAction(actionExportC3D);
    menuEdit->addAction(actionEditMassSegments);
    menuEdit->addAction(actionInterpolateJointRotations);
    menuEdit->addSeparator();
    menuEdit->addAction(menuProfile->menuAction());
    menuEdit->addAction(actionRotationOrderFixed);
    menuEdit->addAction(actionRotationOrderDeclared);
    menuEdit->addAction(menuUnit->menuAction());
    menuWindow->addAction(actionJointHierarchy);
    menuWindow->addAction(actionJointInfo);
    menuWindow->addAction(actionJointDOFIndex);
    menuHelp->addAction(actionControls);
    menuHelp->addAction(actionAbout);

    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void DudEzuForm::retranslateUi(QMainWindow* window)
{
    window->setWindowTitle(tr("Kinovane"));
    actionOpenBVH->setText(tr("Open BVH..."));
    actionSaveBVH->setText(tr("Save BVH..."));
    actionCloseBVH->setText(tr("Close"));
    actionExit->setText(tr("Exit"));
    actionExportJointRotations->setText(tr("Joint Rotations CSV..."));
    actionExportAbsJointPositions->setText(tr("Absolute Position CSV..."));
    actionExportMassCenter->setText(tr("Mass Center CSV..."));
    actionExportC3D->setText(tr("C3D..."));
    actionEditMassSegments->setText(tr("Mass Segments..."));
    actionInterpolateJointRotations->setText(tr("Interpolate Joint Rotations..."));
    actionProperties->setText(tr("Properties..."));
    actionRotationOrderFixed->setText(
        tr("Convention: iPi Studio (Fixed X·Y·Z, Positions Added to OFFSET)"));
    actionRotationOrderDeclared->setText(
        tr("Convention: Standard (Declared Order, Positions Replace OFFSET)"));
    actionJointHierarchy->setText(tr("Joint Hierarchy"));
    actionJointInfo->setText(tr("Joint Info"));
    actionJointDOFIndex->setText(tr("Joint DOF Index"));
    actionControls->setText(tr("Controls..."));
    actionAbout->setText(tr("About..."));
    segmentMassCheckBox->setText(tr("Show Segment CoM"));
    bodyMassCheckBox->setText(tr("Show Body CoM"));
    startButton->setText(tr("Play"));
    pauseButton->setText(tr("Pause"));
    loopCheckBox->setText(tr("Loop"));
    setToolTips();
    frameLineEdit->setText(tr("0"));
    gotoButton->setText(tr("Goto"));
    leftButton->setText(tr("<"));
    rightButton->setText(tr(">"));
    timeLineEdit->setText(tr("00:00:00.000"));
    cameraButton->setText(tr("Camera"));
    leftBracketButton->setText(tr("["));
    rightBracketButton->setText(tr("]"));
    menuFile->setTitle(tr("File"));
    menuExport->setTitle(tr("Export"));
    menuEdit->setTitle(tr("Edit"));
    menuProfile->setTitle(tr("Skeleton Profile"));
    menuUnit->setTitle(tr("Length Unit"));
    menuWindow->setTitle(tr("Window"));
    menuHelp->setTitle(tr("Help"));
}

void DudEzuForm::setToolTips()
{
    segmentMassCheckBox->setToolTip(tr("Red markers on the mass segments' centres of mass"));
    bodyMassCheckBox->setToolTip(tr("A magenta marker on the whole body's centre of mass"));
    startButton->setToolTip(tr("Play the marked range (Space)"));
    pauseButton->setToolTip(tr("Pause (Space)"));
    loopCheckBox->setToolTip(tr("Play the marked range over and over; off, stop at its end"));
    frameLineEdit->setToolTip(tr("The frame shown, counted from 0; type one and press Enter"));
    gotoButton->setToolTip(tr("Show the frame typed in the frame field"));
    leftButton->setToolTip(tr("Previous frame (Left; Shift+Left: ten frames)"));
    rightButton->setToolTip(tr("Next frame (Right; Shift+Right: ten frames)"));
    timeLineEdit->setToolTip(tr("Time of the frame shown"));
    cameraButton->setToolTip(
        tr("Camera: fit the skeleton (F), follow the root, reset (Home or double click in the "
           "view). In the view: left drag orbits, right drag pans, the wheel zooms"));
    leftBracketButton->setToolTip(tr("Mark the frame shown as the range's first ([)"));
    rightBracketButton->setToolTip(tr("Mark the frame shown as the range's last (])"));
    leftBracketLineEdit->setToolTip(tr("First frame of the marked range (Home goes there)"));
    rightBracketLineEdit->setToolTip(tr("Last frame of the marked range (End goes there)"));
    slider->setToolTip(tr("The whole motion: drag, click or turn the wheel to move"));
    subSlider->setToolTip(tr("The marked range: drag, click or turn the wheel to move"));
}

#pragma once

#include <QCoreApplication>

class BvhView;
class QAction;
class QCheckBox;
class QFrame;
class QHBoxLayout;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPushButton;
class QSlider;
class QStatusBar;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class QWidget;

// The widget tree of the main window: the 3D view, the playback bar and the timeline, the
// menus and their actions. setupUi builds it with fixed object names; retranslateUi sets
// every text.
struct DudEzuForm
{
    Q_DECLARE_TR_FUNCTIONS(DudEzuClass)

public:
    // Builds the tree; with a `noViewReason` the 3D view is a notice saying it, and bvhView is
    // null.
    void setupUi(QMainWindow* window, const QString& noViewReason = {});
    void retranslateUi(QMainWindow* window);
    // What each control of the playback bar and the timeline does, with its key.
    void setToolTips();

    QAction* actionOpenBVH;
    QAction* actionSaveBVH;
    QAction* actionCloseBVH;
    QAction* actionExit;
    QAction* actionExportJointRotations;
    QAction* actionExportAbsJointPositions;
    QAction* actionExportMassCenter;
    QAction* actionExportC3D;
    QAction* actionEditMassSegments;
    QAction* actionInterpolateJointRotations;
    QAction* actionProperties;
    QAction* actionRotationOrderFixed;
    QAction* actionRotationOrderDeclared;
    QAction* actionJointHierarchy;
    QAction* actionJointInfo;
    QAction* actionJointDOFIndex;
    QAction* actionControls;
    QAction* actionAbout;

    QWidget* centralWidget;
    QVBoxLayout* centralLayout;
    QHBoxLayout* viewLayout;
    BvhView* bvhView; // null where no OpenGL is to be had
    QHBoxLayout* playbackLayout;
    QCheckBox* segmentMassCheckBox;
    QCheckBox* bodyMassCheckBox;
    QPushButton* startButton;
    QPushButton* pauseButton;
    QLineEdit* frameLineEdit;
    QPushButton* gotoButton;
    QCheckBox* loopCheckBox;
    QToolButton* leftButton;
    QToolButton* rightButton;
    QFrame* playbackSeparator;
    QLineEdit* timeLineEdit;
    QToolButton* cameraButton;
    QHBoxLayout* timelineLayout;
    QPushButton* leftBracketButton;
    QLineEdit* leftBracketLineEdit;
    QSlider* slider;
    QLineEdit* rightBracketLineEdit;
    QPushButton* rightBracketButton;
    QSlider* subSlider;
    QMenuBar* menuBar;
    QMenu* menuFile;
    QMenu* menuExport;
    QMenu* menuEdit;
    QMenu* menuProfile; // filled by the window from the profiles it knows
    QMenu* menuUnit;
    QMenu* menuWindow;
    QMenu* menuHelp;
    QToolBar* mainToolBar;
    QStatusBar* statusBar;
};

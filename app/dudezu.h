#pragma once

#include "app/dudezuform.h"
#include "app/playbackclock.h"
#include "model/bvhfile.h"
#include "model/framerange.h"
#include "document/motiondocument.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QUndoStack>

class AnalysisPanel;
class ExportCommands;
class JointInfoWidget;
class JointListWidget;
class JointTreeWidget;
class MassSegmentWidget;

// The main window (its name is the one the program has always had): the 3D view with the
// playback bar and the timeline, the three joint tool windows in docks, the Plots dock, and the
// commands of the menus. Everything it shows comes from one MotionDocument, which it follows
// through its signals; every change of the motion or the model goes through the undo stack,
// whose clean state is the title's unsaved mark.
class DudEzu : public QMainWindow
{
    Q_OBJECT

public:
    explicit DudEzu(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~DudEzu() override;

    // Opens a BVH file without asking for its name (Open, a dropped file, the command line).
    // A file that cannot be read, or holds no joint hierarchy, leaves the open motion as it
    // was and says why.
    bool loadFile(const QString& fileName);
    // The document's, for the callers of the window's older interface.
    int getCurrentFrame() const { return document.getCurrentFrame(); }
    const FrameRange& getMarkedRange() const { return document.getMarkedRange(); }
    const MotionSetup& getSetup() const { return document.getSetup(); }
    AnalysisPanel* getAnalysisPanel() const { return analysisPanel; }
    ExportCommands* getExportCommands() const { return exportCommands; }
    QUndoStack& getUndoStack() { return undoStack; }

    DudEzuForm ui;

    // The open motion and all that is shown of it.
    MotionDocument document;
    // The motion under the name the window's members have always had; the document owns it.
    const BvhFile& bvhFile;
    QTimer timer;
    QMenu cameraMenu;
    QAction* followAction = nullptr;
    QPointer<MassSegmentWidget> massSegmentWidget;
    QPointer<JointTreeWidget> jointTreeWidget;
    QPointer<JointInfoWidget> jointInfoWidget;
    QPointer<JointListWidget> jointListWidget;
    QPointer<QDockWidget> jointTreeDock;
    QPointer<QDockWidget> jointInfoDock;
    QPointer<QDockWidget> jointListDock;

public slots:
    void openBVH();
    // Writes the marked range. All of the motion saves it (the unsaved mark goes); a part of
    // it is a clip, and the motion stays unsaved. False when nothing was saved (no motion, the
    // dialog cancelled, the write failed).
    bool saveBVH();
    void closeBVH();
    void saveC3D();
    void saveMassCenterCSV();
    void saveRotJointsCSV();
    void saveAbsPosJointsCSV();
    void exit();
    void editMassSegments();
    void editInterpolateJointRotations();
    // The skeleton profile of the open motion (its name; empty to detect it), which sets its
    // convention, unit and model. Opening a file detects its profile again.
    void setProfile(const QString& name);
    // The convention of the open motion instead of its profile's.
    void setConvention(const PoseConvention& convention);
    // The length unit of the open motion instead of its profile's (none: the profile's, judged
    // by the skeleton's size).
    void setLengthUnit(const std::optional<LengthUnit>& unit);
    // The profile, convention, unit and model of the open motion (File > Properties).
    void showProperties();
    // Saves the open motion's profile as a file to edit and install (Profile > Save Profile).
    void saveProfile();
    void windowJointHierarchy();
    void windowJointInfo();
    void windowJointIndex();
    void helpAbout();
    void toggleSegmentMassDisplayed(bool isDisp);
    void toggleBodyMassDisplayed(bool isDisp);
    void startTimer();
    void pauseTimer();
    void gotoPrevFrame();
    void gotoNextFrame();
    // The frame typed in the frame field; a text that is no frame of the motion is refused
    // (the field turns red, the status bar says why).
    void gotoFrame();
    // Shows `frame` (clamped to the motion), whichever control asked for it.
    void goToFrame(int frame);
    void stepFrames(int frames);
    void togglePlayback();
    void updateFromSlider();
    void updateSlider();
    void setLeftBracket();
    void setRightBracket();
    void updateTime();

private slots:
    void playbackTick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void fillCameraMenu();
    void fillSetupMenus();
    void fillEditMenu();
    void connectPlayback();
    // Space, Left/Right (Shift: ten frames), Home/End of the marked range.
    void addPlaybackKeys();
    void connectMenus();
    void createToolWindows();
    void connectDocument();

    // Asks to save a motion with unsaved edits; false when the user cancels.
    bool maybeSave();
    // Writes `range` of the motion to a file the user names; false when nothing was written.
    bool saveRange(const FrameRange& range);
    // Another motion, or none: the title, tool windows, timeline and timer follow.
    void showMotion();
    // Shows the current frame in the frame and time fields and the sliders.
    void showFrame();
    // Writes the marked range into the bracket fields and the sub-slider.
    void showMarkedRange();
    // Checks the menus' entries of the setup and writes the status bar.
    void showSetup();
    // The title with its unsaved mark.
    void showTitle();
    // Enables the commands that need an open motion.
    void enableCommands();
    // What the status bar and Properties say about the setup and the model's fit.
    QString setupText() const;
    void setSetupRequest(const SetupRequest& request);

    QUndoStack undoStack;
    AnalysisPanel* analysisPanel = nullptr;
    ExportCommands* exportCommands = nullptr;
    QList<QAction*> profileActions; // the first one is "Detect", then one per profile
    QAction* saveProfileAction = nullptr;
    QList<QAction*> unitActions;    // the first one is the profile's unit, then cm, m, mm, in
    QList<QAction*> motionCommands; // enabled only while a motion is open
    PlaybackClock clock;
};

#pragma once

#include "app/dudezuform.h"
#include "app/playbackclock.h"
#include "model/bvhfile.h"
#include "model/framerange.h"
#include "physics/bvhmathobject.h"
#include "physics/motionsetup.h"
#include "physics/skeletonprofiles.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QTimer>

class JointInfoWidget;
class JointListWidget;
class JointTreeWidget;
class MassSegmentWidget;

// The main window: the open motion, the physics object, the 3D view with the playback bar and
// the timeline, the three joint tool windows in docks, and the commands of the menus. It owns
// the frame on screen and the marked range; the exports read the motion's rows and never move
// either.
class AnalysisPanel;
class DudEzu : public QMainWindow
{
    Q_OBJECT

public:
    explicit DudEzu(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~DudEzu() override;

    // Opens a BVH file without asking for its name (Open, a dropped file). A file that cannot
    // be read, or holds no joint hierarchy, leaves the open motion as it was and says why.
    bool loadFile(const QString& fileName);
    int getCurrentFrame() const { return currentFrame; }
    // The frames between the [ and ] marks, both included.
    const FrameRange& getMarkedRange() const { return markedRange; }

    DudEzuForm ui;

public slots:
    void openBVH();
    // False when nothing was saved (no motion, the dialog cancelled, the write failed).
    bool saveBVH();
    void closeBVH();
    // The whole motion, whatever range is marked.
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
    // The convention of the open motion instead of its profile's; the view and the joint
    // editor redraw at once.
    void setConvention(const PoseConvention& convention);
    // The length unit of the open motion instead of its profile's (none: the profile's, judged
    // by the skeleton's size).
    void setLengthUnit(const std::optional<LengthUnit>& unit);
    // The profile, convention, unit and model of the open motion (File > Properties).
    void showProperties();
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

public:
    const MotionSetup& getSetup() const { return setup; }
    // The name proposed for an export: the motion's own with "-what" and the extension.
    QString suggestedName(const QString& what, const QString& extension) const;
    // False, after saying so, when the range holds no frame of the motion.
    bool rangeIsUsable(const FrameRange& range);
    // One status-bar line for a file written: its name, frames and (when given) joints.
    void reportWritten(const QString& fileName, const FrameRange& range, qsizetype joints);
    void showWriteFailure(const WriteResult& result);
    AnalysisPanel* getAnalysisPanel() const { return analysisPanel; }

    BvhFile bvhFile;
    BvhMathObject mathObject;
    QString fileBaseName;
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

private:
    void fillCameraMenu();
    void fillSetupMenus();
    void connectPlayback();
    // Space, Left/Right (Shift: ten frames), Home/End of the marked range.
    void addPlaybackKeys();
    void connectMenus();
    void createToolWindows();
    void connectToolWindows();

    // Closes the open motion (tree, list, editor, the motion itself, the physics object's
    // reference to it).
    void closeMotion();
    // Asks to save a modified motion; false when the user cancels.
    bool maybeSave();
    // Shows currentFrame: loads its row into the joints, writes the frame field, redraws,
    // refreshes the editor and the sliders.
    void showFrame();
    // Writes the marked range into the bracket fields and the sub-slider.
    void showMarkedRange();
    int lastRow() const { return bvhFile.rowCount() - 1; }
    // Chooses the setup of the open motion for `setupRequest`, gives its joints the convention
    // and the physics its model (a model the user opened or edited stays while it fits the
    // skeleton), checks the menus and redraws.
    void applySetup();
    // What the status bar and Properties say about the setup and the model's fit.
    QString setupText() const;

    AnalysisPanel* analysisPanel = nullptr;
    SkeletonProfiles profiles;
    SetupRequest setupRequest;
    MotionSetup setup;
    QList<QAction*> profileActions; // the first one is "Detect", then one per profile
    QList<QAction*> unitActions;    // the first one is the profile's unit, then cm, m, mm, in

    PlaybackClock clock;
    int currentFrame = 0;
    FrameRange markedRange;
};

#pragma once

#include "app/dudezuform.h"
#include "app/playbackclock.h"
#include "model/bvhfile.h"
#include "physics/bvhmathobject.h"

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
// the timeline, the three joint tool windows in docks, and the commands of the menus. Started
// with one command-line argument, its constructor ends by running the batch conversion that
// argument selects.
class DudEzu : public QMainWindow
{
    Q_OBJECT

public:
    explicit DudEzu(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~DudEzu() override;

    // Opens a BVH file without asking for its name (Open, a dropped file). A file that cannot
    // be read, or holds no joint hierarchy, leaves the open motion as it was and says why.
    bool loadFile(const QString& fileName);
    // 1 when the command-line run could not write one of its outputs, else 0.
    int getCommandLineExitCode() const { return commandLineExitCode; }

    DudEzuForm ui;

public slots:
    void openBVH();
    // False when nothing was saved (no motion, the dialog cancelled, the write failed).
    bool saveBVH();
    void closeBVH();
    void saveC3D();
    void saveMassCenterCSV();
    void saveRotJointsCSV();
    void saveAbsPosJointsCSV();
    void exit();
    void editMassSegments();
    void editInterpolateJointRotations();
    // The rotation convention of the open motion and of every motion opened later; the view
    // and the joint editor redraw at once.
    void setRotationOrder(RotationOrder order);
    void windowJointHierarchy();
    void windowJointInfo();
    void windowJointIndex();
    void helpAbout();
    void refreshBvhTree();
    void refreshBvhList();
    void toggleSegmentMassDisplayed(bool isDisp);
    void toggleBodyMassDisplayed(bool isDisp);
    void startTimer();
    void pauseTimer();
    void gotoPrevFrame();
    void gotoNextFrame();
    void gotoFrame();
    void updateFromSlider();
    void updateSlider();
    void setLeftBracket();
    void setRightBracket();
    void updateTime();

    void cancelConvert();

private slots:
    void convertToC3D();
    void playbackTick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

public:
    BvhFile bvhFile;
    BvhMathObject mathObject;
    QString fileBaseName;
    QTimer timer;
    int currentFrame = 0;
    bool convertCancelled = false;
    QMenu cameraMenu;
    bool updateSliderEnabled = false;
    QPointer<MassSegmentWidget> massSegmentWidget;
    QPointer<JointTreeWidget> jointTreeWidget;
    QPointer<JointInfoWidget> jointInfoWidget;
    QPointer<JointListWidget> jointListWidget;
    QPointer<QDockWidget> jointTreeDock;
    QPointer<QDockWidget> jointInfoDock;
    QPointer<QDockWidget> jointListDock;

private:
    void fillCameraMenu();
    void connectPlayback();
    void connectMenus();
    void createToolWindows();
    void connectToolWindows();
    void runCommandLine();

    // Closes the open motion (tree, list, editor, the motion itself, the physics object's
    // reference to it).
    void closeMotion();
    // Asks to save a modified motion; false when the user cancels.
    bool maybeSave();
    // Shows currentFrame: loads its row, writes the frame field, redraws, refreshes the editor
    // and the sliders.
    void showFrame();
    // Puts the motion back on the frame the window shows, after an operation that walked the
    // frames itself (exports, interpolation), so that the view, the editor and the next edit
    // all refer to the frame on screen.
    void restoreShownFrame();
    int lastRow() const { return bvhFile.rowCount() - 1; }
    int leftBracket() const;
    int rightBracket() const;
    void showWriteFailure(const WriteResult& result);

    PlaybackClock clock;
    int commandLineExitCode = 0;
};

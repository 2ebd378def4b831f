#pragma once

#include "app/dudezuform.h"
#include "document/motiondocument.h"

#include <QMainWindow>
#include <QMenu>

class AnalysisPanel;
class ExportCommands;
class FileCommands;
class PlaybackControls;
class SetupMenus;
class ToolDocks;

// The main window (its name is the one the program has always had): the 3D view with the
// playback bar and the timeline, the joint tool windows in docks, the Plots dock, and the
// commands of the menus. Everything it shows comes from one MotionDocument, which it follows
// through its signals; the document's undo stack holds every change, and its clean state is
// the title's unsaved mark.
class DudEzu : public QMainWindow
{
    Q_OBJECT

public:
    explicit DudEzu(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~DudEzu() override;

    // Opens a BVH file without asking for its name (see FileCommands::loadFile).
    bool loadFile(const QString& fileName);

    MotionDocument& getDocument() { return document; }
    const DudEzuForm& getForm() const { return ui; }
    FileCommands& getFileCommands() const { return *fileCommands; }
    PlaybackControls& getPlayback() const { return *playback; }
    SetupMenus& getSetupMenus() const { return *setupMenus; }
    ToolDocks& getToolDocks() const { return *toolDocks; }
    AnalysisPanel* getAnalysisPanel() const { return analysisPanel; }
    ExportCommands* getExportCommands() const { return exportCommands; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void fillFileMenu();
    void fillEditMenu();
    void fillViewControls();
    void fillAnalysisMenus();
    void fillHelpMenu();

    void exit();
    void interpolateJointRotations();
    // Another motion, or none: the title and the commands that need one follow.
    void showMotion();
    // The title with its unsaved mark.
    void showTitle();
    void showStatus(const QString& text);

    DudEzuForm ui;
    MotionDocument document;
    QMenu cameraMenu;
    FileCommands* fileCommands = nullptr;
    PlaybackControls* playback = nullptr;
    SetupMenus* setupMenus = nullptr;
    ToolDocks* toolDocks = nullptr;
    AnalysisPanel* analysisPanel = nullptr;
    ExportCommands* exportCommands = nullptr;
    QList<QAction*> motionCommands; // enabled only while a motion is open
};

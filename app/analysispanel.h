#pragma once

#include "model/framerange.h"
#include "physics/motionanalysis.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <optional>

class AnalysisPlots;
class DudEzu;
class QAction;
class QDockWidget;
class QMenu;

// The window's centre-of-mass analysis: the analysis of the open motion, kept up to date as it
// is set up and edited; the "Plots" dock; the floor overlays of the 3D view; the analysis
// settings; and the exports of the analysis and event tables and of the plot and view images.
class AnalysisPanel : public QObject
{
    Q_OBJECT

public:
    explicit AnalysisPanel(DudEzu& window);

    // The Analysis menu: the dock, the overlays and the settings.
    void fillMenu(QMenu* menu);
    // The entries of File > Export.
    void fillExportMenu(QMenu* menu);

    // Analyses the open motion anew (none open: clears the plots and overlays).
    void motionChanged();
    // The motion's values changed: analysed again once the edits pause.
    void motionEdited();
    void showFrame(int frame);
    void setMarkedRange(const FrameRange& range);

    const MotionAnalysis* getAnalysis() const { return analysis ? &*analysis : nullptr; }
    AnalysisPlots* getPlots() const { return plots; }
    QDockWidget* getDock() const { return dock; }
    const AnalysisSettings& getSettings() const { return settings; }
    void setSettings(const AnalysisSettings& newSettings);
    // Overlay switches: centre on the floor, its trail, the extrapolated centre, the base of
    // support.
    const QList<QAction*>& getOverlayActions() const { return overlayActions; }

    void exportAnalysis();
    void exportEvents();
    void exportPlots();
    void exportView();
    void editSettings();

    // Seconds of the centre's path the trail shows.
    static constexpr double trailSeconds = 1.0;

private:
    // The analysis of the marked range for an export; empty after saying why there is none.
    std::optional<MotionAnalysis> analyseMarkedRange();
    MotionSetup setupWithModel() const;
    // The file name for the table `what` ("analysis", "events"), asked with the proposed name.
    QString askForTable(const QString& what) const;
    void showOverlay();

    DudEzu& window;
    AnalysisSettings settings;
    std::optional<MotionAnalysis> analysis;
    AnalysisPlots* plots = nullptr; // owned by the dock
    QDockWidget* dock = nullptr;    // owned by the window
    QList<QAction*> overlayActions;
    QTimer editPause;
    int currentFrame = 0;
    bool sized = false; // the dock was given its first height
};

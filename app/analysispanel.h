#pragma once

#include "gait/gaitcycles.h"
#include "gait/gaitreference.h"
#include "gait/gaitscores.h"
#include "gait/motionanalysis.h"
#include "gait/strides.h"
#include "gait/sway.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <optional>

class AnalysisPlots;
class BalancePlots;
class BvhView;
class GaitPlots;
class MotionDocument;
class QAction;
class QDockWidget;
class QMainWindow;
class QMenu;

// The window's centre-of-mass analysis of the open document's marked range: one analysis, kept
// up to date as the document changes, which the "Plots" dock draws, the 3D view's floor
// overlays show at the current frame and the analysis exports write, so that all of them tell
// the same numbers. Also the analysis settings, and the exports of the plot and view images.
class AnalysisPanel : public QObject
{
    Q_OBJECT

public:
    // The dock goes into `window`, the overlays into `view`.
    // `view` may be null (no OpenGL): the overlay and the view export are then left out.
    AnalysisPanel(MotionDocument& document, BvhView* view, QMainWindow& window);

    // The Analysis menu: the dock, the overlays and the settings.
    void fillMenu(QMenu* menu);
    // The entries of File > Export.
    void fillExportMenu(QMenu* menu);

    // The analysis shown, analysed first if it is out of date (or was not wanted so far);
    // null without an open motion.
    const MotionAnalysis* currentAnalysis();
    // The analysis as it stands, without analysing; null when there is none.
    const MotionAnalysis* getAnalysis() const { return analysis ? &*analysis : nullptr; }
    // What the analysis shown tells the user beyond its numbers: the rest poses it left out,
    // the joint angles it could not measure. Empty when there is nothing to tell.
    QString notes() const;
    AnalysisPlots* getPlots() const { return plots; }
    GaitPlots* getGaitPlots() const { return gaitPlots; }
    BalancePlots* getBalancePlots() const { return balancePlots; }
    // The reference the walk is scored against and drawn before; null without one.
    const GaitReference* getReference() const { return reference ? &*reference : nullptr; }
    const GaitScores* getScores() const { return scores ? &*scores : nullptr; }
    const Sway* getSway() const { return sway ? &*sway : nullptr; }
    QDockWidget* getDock() const { return dock; }
    // Overlay switches: centre on the floor, its trail, the extrapolated centre, the base of
    // support.
    const QList<QAction*>& getOverlayActions() const { return overlayActions; }

    void exportAnalysis();
    void exportEvents();
    // The gait report (PDF) of the analysis, the skeleton at the current frame.
    void exportReport();
    void exportPlots();
    void exportView();
    void editSettings();
    // Analysis > Reference...: a reference file to score the walk against; and forgetting it.
    void chooseReference();
    void loadReference(const QString& fileName);
    void clearReference();

    // Seconds of the centre's path the trail shows.
    static constexpr double trailSeconds = 1.0;
    // How long edits and range marks pause before the motion is analysed again.
    static constexpr int pauseMilliseconds = 300;

signals:
    void statusMessage(const QString& text);

private:
    // Analyses the document anew when something shows the analysis; else forgets it.
    void analyse();
    // Analyses the document's marked range and shows the result.
    void analyseNow();
    // Something changed that the analysis depends on: analysed again once changes pause.
    void analyseLater();
    bool isWanted() const;
    // The analysis for an export; null after saying why there is none.
    const MotionAnalysis* analysisToExport();
    // The file name for the table `what` ("analysis", "events"), asked with the proposed name.
    QString askForTable(const QString& what) const;
    void showOverlay();
    // Scores the walk against the reference, measures a standing trial's sway, and shows both.
    void compare();

    MotionDocument& document;
    BvhView* view;
    QMainWindow& window;
    std::optional<MotionAnalysis> analysis;
    // Its strides and gait cycles, when it succeeded.
    std::optional<Strides> strides;
    std::optional<GaitCycles> cycles;
    std::optional<GaitReference> reference;
    QString referenceFile;
    std::optional<GaitScores> scores;     // against the reference, when both have strides
    std::optional<Sway> sway;             // of a standing trial
    AnalysisPlots* plots = nullptr;       // owned by the dock
    GaitPlots* gaitPlots = nullptr;       // owned by the dock
    BalancePlots* balancePlots = nullptr; // owned by the dock
    QAction* clearReferenceAction = nullptr;
    QDockWidget* dock = nullptr; // owned by the window
    QList<QAction*> overlayActions;
    QAction* keepRestFrames = nullptr;
    QTimer pause;
    bool sized = false; // the dock was given its first height
};

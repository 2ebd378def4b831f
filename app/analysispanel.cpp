#include "analysispanel.h"

#include "app/exportcommands.h"
#include "document/motiondocument.h"
#include "handoff/gaitreport.h"
#include "tools/analysisplots.h"
#include "tools/analysissettingsdialog.h"
#include "tools/balanceplots.h"
#include "tools/gaitplots.h"
#include "tools/imagefile.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>

#include <algorithm>
#include <cmath>

// Pixels of the Plots dock's title bar and frame above and around the plots.
static constexpr int dockTitleAllowance = 30;

AnalysisPanel::AnalysisPanel(MotionDocument& document, BvhView* view, QMainWindow& window)
    : QObject(&window), document(document), view(view), window(window)
{
    plots = new AnalysisPlots;
    plots->setDocument(&document);
    dock = new QDockWidget(tr("Plots"), &window);
    dock->setObjectName(QStringLiteral("plotsDock"));
    // Plots squeezed below their height lose their curves and tick labels: a short dock
    // scrolls instead, and so leaves the window room for the 3D view and playback.
    const auto scrolled = [](QWidget* widget) {
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(widget);
        return scroll;
    };
    // The time plots, and beside them the Gait view: the curves over the gait cycle.
    gaitPlots = new GaitPlots;
    balancePlots = new BalancePlots;
    auto* tabs = new QTabWidget;
    tabs->setDocumentMode(true);
    tabs->addTab(scrolled(plots), tr("Time"));
    tabs->addTab(scrolled(gaitPlots), tr("Gait"));
    tabs->addTab(scrolled(balancePlots), tr("Balance"));
    dock->setWidget(tabs);
    window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    connect(plots, &AnalysisPlots::frameRequested, &document, &MotionDocument::setCurrentFrame);
    connect(dock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible && !analysis)
            analyse();
        // Opened for the first time: tall enough for the three plots, up to half the window.
        if (visible && !dock->isFloating() && !sized) {
            sized = true;
            const int wanted = plots->minimumSizeHint().height() + dockTitleAllowance;
            this->window.resizeDocks({dock}, {std::min(wanted, this->window.height() / 2)},
                                     Qt::Vertical);
        }
    });
    pause.setSingleShot(true);
    pause.setInterval(pauseMilliseconds);
    connect(&pause, &QTimer::timeout, this, &AnalysisPanel::analyse);

    connect(&document, &MotionDocument::motionReplaced, this, &AnalysisPanel::analyse);
    connect(&document, &MotionDocument::setupChanged, this, &AnalysisPanel::analyse);
    connect(&document, &MotionDocument::modelChanged, this, &AnalysisPanel::analyse);
    connect(&document, &MotionDocument::analysisSettingsChanged, this, [this] {
        const QSignalBlocker quiet(keepRestFrames);
        keepRestFrames->setChecked(this->document.getAnalysisSettings().keepRestFrames);
        analyse();
    });
    // Rest and calibration poses at the motion's ends are left out of the analysis unless
    // this is checked.
    keepRestFrames = new QAction(tr("Keep Rest Frames"), this);
    keepRestFrames->setCheckable(true);
    connect(keepRestFrames, &QAction::toggled, this, [this](bool on) {
        AnalysisSettings settings = this->document.getAnalysisSettings();
        settings.keepRestFrames = on;
        this->document.setAnalysisSettings(settings);
    });
    connect(&document, &MotionDocument::motionEdited, this, &AnalysisPanel::analyseLater);
    connect(&document, &MotionDocument::markedRangeChanged, this, &AnalysisPanel::analyseLater);
    connect(&document, &MotionDocument::currentFrameChanged, this, &AnalysisPanel::showOverlay);

    const QString names[] = {tr("Centre of Mass on the Floor"), tr("Trail of the Last Second"),
                             tr("Extrapolated Centre of Mass"), tr("Base of Support")};
    for (const QString& name : names) {
        auto* action = new QAction(name, this);
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, this, [this](bool on) {
            if (on && !analysis)
                analyse();
            else
                showOverlay();
        });
        overlayActions.append(action);
    }
}

void AnalysisPanel::fillMenu(QMenu* menu)
{
    QAction* shown = dock->toggleViewAction();
    shown->setText(tr("Plots"));
    menu->addAction(shown);
    menu->addSeparator();
    menu->addActions(overlayActions);
    menu->addSeparator();
    menu->addAction(keepRestFrames);
    menu->addAction(tr("Settings..."), this, &AnalysisPanel::editSettings);
    menu->addSeparator();
    menu->addAction(tr("Reference..."), this, &AnalysisPanel::chooseReference);
    clearReferenceAction =
        menu->addAction(tr("Clear Reference"), this, &AnalysisPanel::clearReference);
    clearReferenceAction->setEnabled(reference.has_value());
}

void AnalysisPanel::fillExportMenu(QMenu* menu)
{
    menu->addSeparator();
    menu->addAction(tr("Analysis CSV..."), this, &AnalysisPanel::exportAnalysis);
    menu->addAction(tr("Events CSV..."), this, &AnalysisPanel::exportEvents);
    menu->addAction(tr("Report..."), this, &AnalysisPanel::exportReport);
    menu->addAction(tr("Plots Image..."), this, &AnalysisPanel::exportPlots);
    menu->addAction(tr("View Image..."), this, &AnalysisPanel::exportView)->setEnabled(view);
}

bool AnalysisPanel::isWanted() const
{
    return dock->isVisible() || std::any_of(overlayActions.begin(), overlayActions.end(),
                                            [](QAction* a) { return a->isChecked(); });
}

void AnalysisPanel::analyse()
{
    if (document.isOpen() && isWanted()) {
        analyseNow();
        if (!analysis->ok()) {
            emit statusMessage(tr("No analysis: %1").arg(analysis->errorString));
            return;
        }
        if (const QString said = notes(); !said.isEmpty())
            emit statusMessage(said);
        return;
    }
    pause.stop();
    analysis.reset();
    strides.reset();
    cycles.reset();
    plots->setAnalysis(nullptr, document.getSetup().unit);
    compare();
    showOverlay();
}

QString AnalysisPanel::notes() const
{
    QStringList said;
    if (!analysis || !analysis->ok())
        return {};
    if (!analysis->restFrames.isEmpty())
        said.append(tr("Analysis: %1.").arg(analysis->restFrames));
    if (!analysis->angles.notes.isEmpty())
        said.append(tr("Joint angles: %1.").arg(analysis->angles.notes.join(tr("; "))));
    if (sway)
        said.append(tr("Standing: %1.").arg(sway->describe()));
    if (scores && !scores->isEmpty())
        said.append(tr("%1 against the reference.").arg(scores->describe()));
    return said.join(QLatin1Char(' '));
}

void AnalysisPanel::analyseNow()
{
    pause.stop();
    // The marked range: the frames every export writes, so plots and files tell one story.
    analysis = MotionAnalysis::analyse(document.getMotion(), document.getSetup(),
                                       document.getAnalysisSettings(), document.getMarkedRange());
    plots->setAnalysis(getAnalysis(), document.getSetup().unit);
    strides.reset();
    cycles.reset();
    if (analysis->ok()) {
        strides = Strides::of(*analysis, document.getSetup().unit);
        cycles = GaitCycles::of(*analysis, *strides);
    }
    compare();
    showOverlay();
}

void AnalysisPanel::compare()
{
    scores.reset();
    sway.reset();
    if (analysis && analysis->ok()) {
        sway = Sway::of(*analysis, document.getSetup().unit.metresPerUnit());
        if (reference && cycles && strides && !strides->strides.empty())
            scores = GaitScores::of(*cycles, *reference);
    }
    gaitPlots->setGait(strides ? &*strides : nullptr, cycles ? &*cycles : nullptr, getReference(),
                       getScores());
    balancePlots->setSway(getSway(), !analysis || !analysis->ok()
                                         ? tr("No analysis.")
                                         : tr("Not a standing trial: the pelvis travels, as in "
                                              "walking. The Balance view measures the sway of "
                                              "a body standing still."));
}

void AnalysisPanel::chooseReference()
{
    const QString fileName = UserDialogs::getOpenFileName(
        tr("Reference"), referenceFile.isEmpty() ? QDir::currentPath() : referenceFile,
        tr("Gait references (*.csv)"));
    if (!fileName.isEmpty())
        loadReference(fileName);
}

void AnalysisPanel::loadReference(const QString& fileName)
{
    QString error;
    GaitReference read = GaitReference::read(fileName, error);
    if (!error.isEmpty()) {
        // The reference in use, if any, stays.
        UserDialogs::warning(tr("Reference"), tr("The reference cannot be used: %1").arg(error));
        return;
    }
    reference = std::move(read);
    referenceFile = fileName;
    if (clearReferenceAction)
        clearReferenceAction->setEnabled(true);
    compare();
    emit statusMessage(tr("Reference %1: %2.%3")
                           .arg(QDir::toNativeSeparators(fileName), reference->describe(),
                                scores && !scores->isEmpty()
                                    ? QLatin1Char(' ') + scores->describe() + '.'
                                    : QString()));
}

void AnalysisPanel::clearReference()
{
    reference.reset();
    referenceFile.clear();
    if (clearReferenceAction)
        clearReferenceAction->setEnabled(false);
    compare();
}

void AnalysisPanel::analyseLater()
{
    pause.start();
}

const MotionAnalysis* AnalysisPanel::currentAnalysis()
{
    if (!document.isOpen())
        return nullptr;
    if (pause.isActive() || !analysis)
        analyseNow();
    return getAnalysis();
}

void AnalysisPanel::showOverlay()
{
    FloorOverlay overlay;
    const int i = analysis && analysis->ok() ? analysis->indexOf(document.getCurrentFrame()) : -1;
    if (i >= 0) {
        const MotionAnalysis& a = *analysis;
        const auto point = [](const MotionAnalysis::Vector& v) {
            return Vector3f(v.cast<float>());
        };
        if (overlayActions[0]->isChecked())
            overlay.centre = point(a.onFloor(a.centre[size_t(i)]));
        if (overlayActions[1]->isChecked()) {
            // At most 60 points a second, whatever the frame rate.
            const int span = int(std::lround(std::min(trailSeconds / a.frameTime, double(i))));
            const int step = std::max(1, span / 60);
            for (int k = std::max(0, i - span); k <= i; k += step)
                overlay.trail.push_back(point(a.onFloor(a.centre[size_t(k)])));
            overlay.trail.push_back(point(a.onFloor(a.centre[size_t(i)])));
        }
        if (overlayActions[2]->isChecked())
            overlay.extrapolatedCentre = point(a.extrapolatedCentre[size_t(i)]);
        if (overlayActions[3]->isChecked()) {
            const SupportPolygon base = a.supportAt(i);
            for (const SupportPolygon::Point& corner : base.getCorners())
                overlay.support.push_back(point(a.floorPoint(corner)));
        }
    }
    if (view)
        view->setFloorOverlay(overlay);
}

const MotionAnalysis* AnalysisPanel::analysisToExport()
{
    const MotionAnalysis* result = currentAnalysis();
    if (result && !result->ok()) {
        UserDialogs::warning(tr("Kinovane"), tr("No analysis: %1").arg(result->errorString));
        return nullptr;
    }
    return result;
}

QString AnalysisPanel::askForTable(const QString& what) const
{
    return UserDialogs::getSaveFileName(tr("File Export"),
                                        document.suggestedName(what, QStringLiteral("csv")),
                                        QStringLiteral("*.csv"));
}

void AnalysisPanel::exportAnalysis()
{
    const MotionAnalysis* result = analysisToExport();
    if (!result)
        return;
    const QString fileName = askForTable(QStringLiteral("analysis"));
    if (fileName.isEmpty())
        return;
    const WriteResult written = result->writeCsv(fileName);
    if (!written.ok)
        return UserDialogs::writeFailure(written);
    emit statusMessage(ExportCommands::writtenText(fileName, result->range, 0));
}

void AnalysisPanel::exportEvents()
{
    const MotionAnalysis* result = analysisToExport();
    if (!result)
        return;
    const QString fileName = askForTable(QStringLiteral("events"));
    if (fileName.isEmpty())
        return;
    const WriteResult written = result->writeEventsCsv(fileName);
    if (!written.ok)
        return UserDialogs::writeFailure(written);
    emit statusMessage(tr("Wrote %1: %2 gait events, %3 steps at %4 a minute.")
                           .arg(QDir::toNativeSeparators(fileName))
                           .arg(result->events.size())
                           .arg(result->steps())
                           .arg(result->cadence(), 0, 'f', 1));
}

void AnalysisPanel::exportReport()
{
    const MotionAnalysis* result = analysisToExport();
    if (!result || !strides || !cycles)
        return;
    const QString fileName = UserDialogs::getSaveFileName(
        tr("Export Report"),
        document.suggestedName(QStringLiteral("report"), QStringLiteral("pdf")),
        QStringLiteral("*.pdf"));
    if (fileName.isEmpty())
        return;
    GaitReport::Content content;
    content.motion = &document.getMotion();
    content.setup = &document.getSetup();
    content.analysis = result;
    content.strides = &*strides;
    content.cycles = &*cycles;
    content.reference = getReference();
    content.scores = scores && !scores->isEmpty() ? &*scores : nullptr;
    content.sway = getSway();
    content.source = document.getFileName();
    content.frame = document.getCurrentFrame();
    const WriteResult written = GaitReport::write(fileName, content);
    if (!written.ok)
        return UserDialogs::writeFailure(written);
    emit statusMessage(tr("Wrote %1: the report of frames %2 to %3, %4 strides.")
                           .arg(QDir::toNativeSeparators(fileName))
                           .arg(result->range.first)
                           .arg(result->range.last)
                           .arg(strides->strides.size()));
}

void AnalysisPanel::exportPlots()
{
    if (!currentAnalysis())
        return;
    const QString fileName = UserDialogs::getSaveFileName(
        tr("Export Plots"), document.suggestedName(QStringLiteral("plots"), QStringLiteral("png")),
        QStringLiteral("*.png *.svg"));
    if (fileName.isEmpty())
        return;
    // An image of the plots as they are shown; with the dock closed, as they would be shown.
    // Hidden plots are not laid out, so those are drawn by plots laid out off the screen.
    WriteResult written;
    if (dock->isVisible()) {
        written = plots->exportImage(fileName);
    } else {
        AnalysisPlots offscreen;
        offscreen.setAttribute(Qt::WA_DontShowOnScreen);
        offscreen.setDocument(&document);
        offscreen.setAnalysis(getAnalysis(), document.getSetup().unit);
        offscreen.resize(1200, 720);
        offscreen.show();
        written = offscreen.exportImage(fileName);
    }
    if (!written.ok)
        return UserDialogs::writeFailure(written);
    emit statusMessage(tr("Wrote %1.").arg(QDir::toNativeSeparators(fileName)));
}

void AnalysisPanel::exportView()
{
    if (!document.isOpen() || !view)
        return;
    const QString fileName = UserDialogs::getSaveFileName(
        tr("Export View"), document.suggestedName(QStringLiteral("view"), QStringLiteral("png")),
        QStringLiteral("*.png *.svg"));
    if (fileName.isEmpty())
        return;
    // The 3D view is a picture of pixels: an SVG file holds it as an image.
    const QImage image = view->grabFramebuffer();
    const WriteResult written = ImageFile::save(
        fileName, image.size(), [&](QPainter& painter) { painter.drawImage(0, 0, image); });
    if (!written.ok)
        return UserDialogs::writeFailure(written);
    emit statusMessage(tr("Wrote %1.").arg(QDir::toNativeSeparators(fileName)));
}

void AnalysisPanel::editSettings()
{
    AnalysisSettingsDialog dialog(document.getAnalysisSettings(), &window);
    if (dialog.exec() == QDialog::Accepted)
        document.setAnalysisSettings(dialog.getSettings());
}

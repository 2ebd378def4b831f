#include "analysispanel.h"

#include "app/dudezu.h"
#include "tools/analysisplots.h"
#include "tools/analysissettingsdialog.h"
#include "tools/userdialogs.h"
#include "view/bvhview.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>
#include <QStatusBar>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

AnalysisPanel::AnalysisPanel(DudEzu& window) : QObject(&window), window(window)
{
    plots = new AnalysisPlots;
    dock = new QDockWidget(tr("Plots"), &window);
    dock->setObjectName(QStringLiteral("plotsDock"));
    dock->setWidget(plots);
    window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    connect(plots, &AnalysisPlots::frameRequested, &window, &DudEzu::goToFrame);
    // Shown for the first time: analysed if the overlays did not ask for it already.
    connect(dock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible && !analysis)
            motionChanged();
        // Opened for the first time: tall enough for three plots with their axes.
        if (visible && !dock->isFloating() && !sized) {
            sized = true;
            this->window.resizeDocks({dock}, {std::max(360, this->window.height() * 2 / 5)},
                                     Qt::Vertical);
        }
    });
    editPause.setSingleShot(true);
    editPause.setInterval(300);
    connect(&editPause, &QTimer::timeout, this, &AnalysisPanel::motionChanged);

    const QString names[] = {tr("Centre of Mass on the Floor"), tr("Trail of the Last Second"),
                             tr("Extrapolated Centre of Mass"), tr("Base of Support")};
    for (const QString& name : names) {
        auto* action = new QAction(name, this);
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, this, [this](bool on) {
            if (on && !analysis)
                motionChanged();
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
    menu->addAction(tr("Settings..."), this, &AnalysisPanel::editSettings);
}

void AnalysisPanel::fillExportMenu(QMenu* menu)
{
    menu->addSeparator();
    menu->addAction(tr("Analysis CSV..."), this, &AnalysisPanel::exportAnalysis);
    menu->addAction(tr("Events CSV..."), this, &AnalysisPanel::exportEvents);
    menu->addAction(tr("Plots Image..."), this, &AnalysisPanel::exportPlots);
    menu->addAction(tr("View Image..."), this, &AnalysisPanel::exportView);
}

MotionSetup AnalysisPanel::setupWithModel() const
{
    MotionSetup setup = window.getSetup();
    setup.segments = window.mathObject.getSegments(); // the user's model, when there is one
    return setup;
}

void AnalysisPanel::motionChanged()
{
    editPause.stop();
    analysis.reset();
    const bool wanted =
        dock->isVisible() || std::any_of(overlayActions.begin(), overlayActions.end(),
                                         [](QAction* a) { return a->isChecked(); });
    if (window.bvhFile.isLoaded() && wanted) {
        analysis = MotionAnalysis::analyse(window.bvhFile, setupWithModel(), settings,
                                           FrameRange::all(window.bvhFile.rowCount()));
        if (!analysis->ok())
            window.statusBar()->showMessage(tr("No analysis: %1").arg(analysis->errorString));
    }
    plots->setAnalysis(getAnalysis());
    plots->setCurrentFrame(currentFrame);
    plots->setMarkedRange(window.getMarkedRange());
    showOverlay();
}

void AnalysisPanel::motionEdited()
{
    editPause.start();
}

void AnalysisPanel::setSettings(const AnalysisSettings& newSettings)
{
    settings = newSettings;
    motionChanged();
}

void AnalysisPanel::showFrame(int frame)
{
    currentFrame = frame;
    plots->setCurrentFrame(frame);
    showOverlay();
}

void AnalysisPanel::setMarkedRange(const FrameRange& range)
{
    plots->setMarkedRange(range);
}

void AnalysisPanel::showOverlay()
{
    FloorOverlay overlay;
    const int i = analysis && analysis->ok() ? analysis->indexOf(currentFrame) : -1;
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
    window.ui.bvhView->setFloorOverlay(overlay);
}

std::optional<MotionAnalysis> AnalysisPanel::analyseMarkedRange()
{
    if (!window.bvhFile.isLoaded() || !window.rangeIsUsable(window.getMarkedRange()))
        return {};
    MotionAnalysis result = MotionAnalysis::analyse(window.bvhFile, setupWithModel(), settings,
                                                    window.getMarkedRange());
    if (!result.ok()) {
        UserDialogs::warning(tr("Kinovane"), tr("No analysis: %1").arg(result.errorString));
        return {};
    }
    return result;
}

QString AnalysisPanel::askForTable(const QString& what) const
{
    return UserDialogs::getSaveFileName(tr("File Export"),
                                        window.suggestedName(what, QStringLiteral("csv")),
                                        QStringLiteral("*.csv"));
}

void AnalysisPanel::exportAnalysis()
{
    const std::optional<MotionAnalysis> result = analyseMarkedRange();
    if (!result)
        return;
    const QString fileName = askForTable(QStringLiteral("analysis"));
    if (fileName.isEmpty())
        return;
    const WriteResult written = result->writeCsv(fileName);
    if (!written.ok)
        return window.showWriteFailure(written);
    window.reportWritten(fileName, result->range, 0);
}

void AnalysisPanel::exportEvents()
{
    const std::optional<MotionAnalysis> result = analyseMarkedRange();
    if (!result)
        return;
    const QString fileName = askForTable(QStringLiteral("events"));
    if (fileName.isEmpty())
        return;
    const WriteResult written = result->writeEventsCsv(fileName);
    if (!written.ok)
        return window.showWriteFailure(written);
    window.statusBar()->showMessage(tr("Wrote %1: %2 gait events, %3 steps at %4 a minute.")
                                        .arg(QDir::toNativeSeparators(fileName))
                                        .arg(result->events.size())
                                        .arg(result->steps())
                                        .arg(result->cadence(), 0, 'f', 1));
}

void AnalysisPanel::exportPlots()
{
    if (!window.bvhFile.isLoaded())
        return;
    if (!analysis || !analysis->ok())
        motionChanged();
    const QString fileName = UserDialogs::getSaveFileName(
        tr("Export Plots"), window.suggestedName(QStringLiteral("plots"), QStringLiteral("png")),
        QStringLiteral("*.png *.svg"));
    if (fileName.isEmpty())
        return;
    // An image of the plots as they would be shown, whether the dock is open or not.
    if (!dock->isVisible())
        plots->resize(1200, 720);
    const WriteResult written = plots->exportImage(fileName);
    if (!written.ok)
        return window.showWriteFailure(written);
    window.statusBar()->showMessage(tr("Wrote %1.").arg(QDir::toNativeSeparators(fileName)));
}

void AnalysisPanel::exportView()
{
    if (!window.bvhFile.isLoaded())
        return;
    const QString fileName = UserDialogs::getSaveFileName(
        tr("Export View"), window.suggestedName(QStringLiteral("view"), QStringLiteral("png")),
        QStringLiteral("*.png *.svg"));
    if (fileName.isEmpty())
        return;
    const QImage image = window.ui.bvhView->grabFramebuffer();
    QSaveFile file(fileName);
    bool failed = !file.open(QIODevice::WriteOnly);
    if (!failed && fileName.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        // The 3D view is a picture of pixels: the SVG file holds it as an image.
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(image.size());
        svg.setViewBox(QRect(QPoint(0, 0), image.size()));
        QPainter painter;
        failed = !painter.begin(&svg);
        if (!failed) {
            painter.drawImage(0, 0, image);
            failed = !painter.end();
        }
    } else if (!failed) {
        failed = !image.save(&file, "PNG");
    }
    const WriteResult written = WriteResult::commit(file, failed);
    if (!written.ok)
        return window.showWriteFailure(written);
    window.statusBar()->showMessage(tr("Wrote %1.").arg(QDir::toNativeSeparators(fileName)));
}

void AnalysisPanel::editSettings()
{
    AnalysisSettingsDialog dialog(settings, &window);
    if (dialog.exec() == QDialog::Accepted)
        setSettings(dialog.getSettings());
}

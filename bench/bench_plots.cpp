// The Plots dock following the timeline: the main window at 1400x900 with a 100,000-frame walk
// (the sample walk repeated, going on where it stopped) or the file given open and its Plots
// dock shown. Reports how long the
// analysis of the whole motion takes in the window, then how many times a second the plots
// redraw while the slider is dragged (a move every 4 ms, 97 frames on) and while the motion
// plays. With --snapshot FILE.png, also saves a picture of the window at frame
// $KINOVANE_SNAPSHOT_FRAME (default 0); --no-plots runs with the dock closed. Run under a display
// (xvfb-run -a for the software renderer).
#include "app/analysispanel.h"
#include "app/dudezu.h"
#include "app/playbackcontrols.h"
#include "model/bvhreader.h"
#include "model/bvhwriter.h"
#include "support/eventloop.h"
#include "tools/analysisplots.h"
#include "view/bvhview.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>

// Counts the paints of the first plot.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// The sample walk's frames repeated to `frames` rows, each repetition carried on from where the
// last one stopped.
static bool writeLongWalk(const QString& path, int frames)
{
    if (QFileInfo(path).exists())
        return true;
    BvhFile walk;
    if (!BvhReader(walk).read(QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh")).ok())
        return false;
    const FrameRows cycle = walk.frames;
    const int n = int(cycle.rowCount());
    // The root's z channel (the third) goes on by the walk's distance per repetition.
    const double stride = cycle[n - 1][2] - cycle[0][2] + (cycle[1][2] - cycle[0][2]);
    walk.frames = FrameRows(frames, cycle.channelCount());
    for (int f = 0; f < frames; ++f) {
        const std::span<double> row = walk.frames.rowToChange(f);
        std::copy(cycle[f % n].begin(), cycle[f % n].end(), row.begin());
        row[2] += (f / n) * stride;
    }
    walk.numFrames = frames;
    return BvhWriter(walk).write(path, FrameRange::all(frames)).ok;
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    QString snapshot;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--snapshot"));
        at >= 0 && at + 1 < arguments.size()) {
        snapshot = arguments[at + 1];
        arguments.remove(at, 2);
    }
    // --no-plots: the same runs with the dock closed, to compare.
    const bool plotsShown = !arguments.removeAll(QStringLiteral("--no-plots"));
    // --gait: the dock shows its Gait view (curves over the gait cycle) instead of the time
    // plots; what is redrawn then is the 3D view, counted instead.
    const bool gaitShown = arguments.removeAll(QStringLiteral("--gait")) > 0;
    QString path = arguments.value(0);
    if (path.isEmpty()) {
        path = qEnvironmentVariable("KINOVANE_BENCH_DIR", QDir::tempPath()) +
               QStringLiteral("/kinovane-bench-walk.bvh");
        if (!writeLongWalk(path, 100000)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    DudEzu window;
    window.resize(1400, 900);
    window.show();
    AnalysisPanel* panel = window.getAnalysisPanel();
    panel->getDock()->setVisible(plotsShown);
    QElapsedTimer clock;
    clock.start();
    if (!window.loadFile(path))
        return 1;
    const double loaded = double(clock.elapsed()) / 1000;
    // The window analyses the motion as it opens (the overlays are on): measured apart here.
    clock.restart();
    window.getDocument().setAnalysisSettings(window.getDocument().getAnalysisSettings());
    const double analysed = double(clock.elapsed()) / 1000;
    BenchEventLoop::run(1000);

    PaintCounter counter;
    if (gaitShown) {
        if (auto* tabs = panel->getDock()->findChild<QTabWidget*>())
            tabs->setCurrentIndex(1);
        BenchEventLoop::run(500);
        window.getForm().bvhView->installEventFilter(&counter);
    } else {
        panel->getPlots()->getViews().first()->viewport()->installEventFilter(&counter);
    }
    constexpr int seconds = 3;
    int moves = 0;
    QTimer mover;
    mover.setInterval(4);
    QObject::connect(&mover, &QTimer::timeout, [&] {
        QSlider* slider = window.getForm().slider;
        slider->setValue((slider->value() + 97) % (slider->maximum() + 1));
        ++moves;
    });
    mover.start();
    BenchEventLoop::run(seconds * 1000);
    mover.stop();
    const int scrubPaints = counter.paints;
    BenchEventLoop::run(300);
    counter.paints = 0;
    const int startFrame = window.getDocument().getCurrentFrame();
    window.getPlayback().togglePlayback();
    BenchEventLoop::run(seconds * 1000);
    window.getPlayback().togglePlayback();
    // Playing loops: a short motion may have gone round once (a long one does not in 3 s).
    const int rows = std::max(window.getDocument().getMotion().rowCount(), 1);
    const int played = (window.getDocument().getCurrentFrame() - startFrame + rows) % rows;
    std::printf("%s of %d frames: window analysis %.3f s (file opened in %.2f s)\n"
                "scrubbing: %.0f slider moves/s, redrawn %.0f times/s (goal >= 30)\n"
                "playing: %.0f frames/s shown, redrawn %.0f times/s (goal >= 30)\n",
                gaitShown ? "3D view beside the Gait view" : "plots",
                window.getDocument().getMotion().rowCount(), analysed, loaded,
                moves / double(seconds), scrubPaints / double(seconds), played / double(seconds),
                counter.paints / double(seconds));
    if (!snapshot.isEmpty()) {
        window.getPlayback().goToFrame(qEnvironmentVariableIntValue("KINOVANE_SNAPSHOT_FRAME"));
        BenchEventLoop::run(500);
        if (!window.grab().save(snapshot))
            std::fprintf(stderr, "cannot write %s\n", qPrintable(snapshot));
    }
    return 0;
}

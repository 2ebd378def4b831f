// Opening the 100,000-frame benchmark motion in the main window, timed until its first frame is
// shown; then scrubbing it: the window at 1280x720, its
// slider moved by a timer as fast as a hand drags it (a move every 4 ms, 97 frames on). Reports
// the moves made and the frames the view showed per second, and how long after the last move
// the view shows that move's frame: a view that queued stale frames would lag behind. Run under
// a display (xvfb-run -a for the software renderer).
#include "app/dudezu.h"
#include "support/benchmotion.h"
#include "support/eventloop.h"
#include "view/bvhview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSlider>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString path = qEnvironmentVariable("KINOVANE_BENCH_DIR", QDir::tempPath()) +
                         QStringLiteral("/kinovane-bench-motion.bvh");
    if (!BenchMotion::ensure(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    DudEzu window;
    window.resize(1600, 1000);
    window.show();
    BvhView* view = window.getForm().bvhView;
    int swaps = 0;
    QObject::connect(view, &QOpenGLWidget::frameSwapped, [&swaps] { ++swaps; });
    BenchEventLoop::runUntil([&swaps] { return swaps > 0; }, 2000);
    // Opening, up to the first frame of the motion shown.
    QElapsedTimer opening;
    opening.start();
    if (!window.loadFile(path))
        return 1;
    const double opened = double(opening.nsecsElapsed()) / 1e9;
    swaps = 0;
    BenchEventLoop::runUntil([&swaps] { return swaps > 0; }, 5000);
    const double shown = double(opening.nsecsElapsed()) / 1e9;
    std::printf("opening the motion: read and set up in %.2f s, its first frame shown at %.2f s "
                "(goal <= 1.5 s)\n",
                opened, shown);

    constexpr int seconds = 3;
    int moves = 0;
    QTimer mover;
    mover.setInterval(4);
    QObject::connect(&mover, &QTimer::timeout, [&] {
        QSlider* slider = window.getForm().slider;
        slider->setValue((slider->value() + 97) % (slider->maximum() + 1));
        ++moves;
    });
    swaps = 0;
    mover.start();
    BenchEventLoop::run(seconds * 1000);
    mover.stop();
    const int framesShown = swaps;
    const int last = window.getDocument().getCurrentFrame();
    swaps = 0;
    BenchEventLoop::run(500);
    std::printf("scrubbing %d frames at %dx%d: %.0f slider moves/s, %.0f frames shown/s; "
                "frames drawn in the 500 ms after the last move: %d; frame shown %d, slider %d\n",
                window.getDocument().getMotion().rowCount(), view->width(), view->height(),
                moves / double(seconds), double(framesShown) / seconds, swaps, last,
                window.getForm().slider->value());
    return last == window.getForm().slider->value() && swaps <= 1 ? 0 : 1;
}

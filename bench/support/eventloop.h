#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

// The window benchmarks measure what the event loop does while it runs: these run it for a
// while, handling events as they come.
namespace BenchEventLoop {

// Runs the event loop until `done()` is true or `milliseconds` have passed.
template <typename Done> void runUntil(const Done& done, qint64 milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

inline void run(qint64 milliseconds)
{
    runUntil([] { return false; }, milliseconds);
}

} // namespace BenchEventLoop

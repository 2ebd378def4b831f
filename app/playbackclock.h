#pragma once

#include <QElapsedTimer>

// Keeps playback at the motion's own speed: the frame to show is the frame playback started
// on plus the whole frame times elapsed since, so a timer tick that comes late skips frames
// instead of slowing the motion down, and a frame time that is not a whole number of
// milliseconds does not drift.
class PlaybackClock
{
public:
    // Starts (or restarts) counting from `frame`.
    void start(int frame, double frameTime);
    void stop();
    bool isRunning() const { return running; }
    // The frame that the elapsed time calls for; the start frame when the frame time is not
    // positive.
    int currentFrame() const;
    // Timer interval for a frame time: rounded to the nearest millisecond, at least 1.
    static int intervalFor(double frameTime);

    // For tests: the elapsed time is taken from here instead of the clock when set (>= 0).
    qint64 elapsedOverride = -1;

private:
    QElapsedTimer elapsed;
    int startFrame = 0;
    double secondsPerFrame = 0.0;
    bool running = false;
};

#include "playbackclock.h"

#include <algorithm>
#include <climits>
#include <cmath>

void PlaybackClock::start(int frame, double frameTime)
{
    startFrame = frame;
    secondsPerFrame = frameTime;
    running = true;
    elapsed.start();
}

void PlaybackClock::stop()
{
    running = false;
}

int PlaybackClock::currentFrame() const
{
    if (!(secondsPerFrame > 0.0) || !std::isfinite(secondsPerFrame))
        return startFrame;
    const qint64 nanoseconds = elapsedOverride >= 0 ? elapsedOverride : elapsed.nsecsElapsed();
    const double frames = std::floor(double(nanoseconds) * 1e-9 / secondsPerFrame);
    return int(std::min<double>(double(startFrame) + frames, INT_MAX));
}

int PlaybackClock::intervalFor(double frameTime)
{
    if (!(frameTime > 0.0) || !std::isfinite(frameTime))
        return 1;
    return int(std::clamp(std::round(frameTime * 1000.0), 1.0, double(INT_MAX)));
}

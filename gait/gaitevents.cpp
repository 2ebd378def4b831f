#include "gaitevents.h"

#include <algorithm>

QString GaitEvent::footName() const
{
    return foot == Left ? QStringLiteral("Left") : QStringLiteral("Right");
}

QString GaitEvent::kindName() const
{
    return kind == FootStrike ? QStringLiteral("Foot Strike") : QStringLiteral("Foot Off");
}

namespace GaitEvents {

namespace {

// True when signal[i] is the largest (sign +1) or smallest (sign -1) value within `window`
// samples either side, and larger than the one before it, so that a flat top counts once.
bool isExtreme(std::span<const double> signal, size_t i, int window, double sign)
{
    if (i == 0 || i + 1 >= signal.size() || !(sign * signal[i] > sign * signal[i - 1]))
        return false;
    const size_t first = i > size_t(window) ? i - size_t(window) : 0;
    const size_t stop = std::min(signal.size(), i + size_t(window) + 1);
    for (size_t k = first; k < stop; ++k) {
        if (sign * signal[k] > sign * signal[i])
            return false;
    }
    return true;
}

} // namespace

std::vector<GaitEvent> detect(const FootSignals& foot, GaitEvent::Foot side,
                              std::span<const unsigned char> walking, int window, int firstFrame)
{
    std::vector<GaitEvent> events;
    const size_t count = std::min(
        {foot.heelForward.size(), foot.toeForward.size(), foot.contact.size(), walking.size()});
    for (size_t i = 0; i < count; ++i) {
        const int frame = firstFrame + int(i);
        if (walking[i]) {
            if (isExtreme(foot.heelForward, i, window, 1.0))
                events.push_back({frame, side, GaitEvent::FootStrike});
            if (isExtreme(foot.toeForward, i, window, -1.0))
                events.push_back({frame, side, GaitEvent::FootOff});
        } else if (i > 0 && foot.contact[i] != foot.contact[i - 1]) {
            events.push_back(
                {frame, side, foot.contact[i] ? GaitEvent::FootStrike : GaitEvent::FootOff});
        }
    }
    return events;
}

void removeFlicker(std::vector<unsigned char>& flags, int shortest)
{
    for (const unsigned char gap : {0, 1}) {
        size_t start = 0;
        while (start < flags.size()) {
            size_t stop = start;
            while (stop < flags.size() && flags[stop] == flags[start])
                ++stop;
            // A run at either end may go on outside the frames: it stays.
            if (flags[start] == gap && start > 0 && stop < flags.size() &&
                stop - start < size_t(shortest))
                std::fill(flags.begin() + std::ptrdiff_t(start),
                          flags.begin() + std::ptrdiff_t(stop), 1 - gap);
            start = stop;
        }
    }
}

int strikeCount(std::span<const GaitEvent> events)
{
    return int(std::count_if(events.begin(), events.end(), [](const GaitEvent& event) {
        return event.kind == GaitEvent::FootStrike;
    }));
}

double cadence(std::span<const GaitEvent> events, double frameTime)
{
    std::vector<int> strikes;
    for (const GaitEvent& event : events) {
        if (event.kind == GaitEvent::FootStrike)
            strikes.push_back(event.frame);
    }
    std::sort(strikes.begin(), strikes.end());
    if (strikes.size() < 2 || !(frameTime > 0))
        return 0.0;
    const double seconds = double(strikes.back() - strikes.front()) * frameTime;
    return seconds > 0 ? 60.0 * double(strikes.size() - 1) / seconds : 0.0;
}

} // namespace GaitEvents

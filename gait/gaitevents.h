#pragma once

#include <QString>

#include <span>
#include <vector>

// Heel strikes and toe offs of the two feet.
struct GaitEvent
{
    enum Foot
    {
        Left,
        Right
    };
    enum Kind
    {
        FootStrike,
        FootOff
    };

    int frame = 0; // of the motion
    Foot foot = Left;
    Kind kind = FootStrike;

    // "Left" or "Right", and "Foot Strike" or "Foot Off": the names gait software gives them.
    QString footName() const;
    QString kindName() const;
    bool operator==(const GaitEvent&) const = default;
};

namespace GaitEvents {

// One foot's signals over a run of frames, index 0 being frame `firstFrame` of the motion.
struct FootSignals
{
    // The heel's (or ankle's) and the toe's position along the walking direction, relative to
    // the pelvis.
    std::span<const double> heelForward;
    std::span<const double> toeForward;
    std::span<const unsigned char> contact; // 1 where the foot is on the floor
};

// The events of one foot (Zeni et al. 2008, Gait & Posture 27: 710-714): a foot strike where
// the heel is farthest in front of the pelvis, a foot off where the toe is farthest behind it,
// each the extreme of the frames within `window` frames on either side and never at the first
// or last frame. Only frames where `walking` is 1 have such events; elsewhere a foot strike is
// the first frame of a contact and a foot off the first frame after one. In frame order.
std::vector<GaitEvent> detect(const FootSignals& foot, GaitEvent::Foot side,
                              std::span<const unsigned char> walking, int window, int firstFrame);

// Contact flags with every run shorter than `shortest` frames flipped, first the gaps between
// contacts, then the contacts, so that a foot flickering on the floor's edge for a frame or two
// neither leaves nor lands. Runs at the two ends are kept: they may go on outside the frames.
void removeFlicker(std::vector<unsigned char>& contact, int shortest);

// Steps per minute: 60 over the mean time between successive foot strikes of either foot. 0
// with fewer than two strikes.
double cadence(std::span<const GaitEvent> events, double frameTime);
// The foot strikes among `events`.
int strikeCount(std::span<const GaitEvent> events);

} // namespace GaitEvents

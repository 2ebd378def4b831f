#pragma once

#include "model/bvhreadobserver.h"
#include "skeleton/motionsetup.h"

#include <functional>
#include <optional>

class BvhFile;
class SkeletonProfiles;

// Chooses a motion's setup while BvhReader reads it: as soon as the hierarchy is complete, so
// that whoever converts rows during the reading (`next`, told about the rows after this) poses
// them as the setup says. `chosen` is called with the setup before `next` hears of the rows.
class SetupObserver : public BvhReadObserver
{
public:
    SetupObserver(BvhFile& motion, const SkeletonProfiles& profiles, const SetupRequest& request,
                  BvhReadObserver* next = nullptr,
                  std::function<void(const MotionSetup&)> chosen = {});

    void motionStarted(const BvhFile& file, qsizetype possibleRows) override;
    void rowsAppended(const BvhFile& file) override;
    void rowsMoving(const BvhFile& file) override;
    void readingDone(const BvhFile& file) override;

    // Call once the reading is over: the setup of the skeleton the motion now has (chosen
    // again, as the file may have held no rows or a second hierarchy).
    const MotionSetup& finish();

private:
    void choose();

    BvhFile& motion;
    const SkeletonProfiles& profiles;
    SetupRequest request;
    BvhReadObserver* next;
    std::function<void(const MotionSetup&)> chosen;
    std::optional<MotionSetup> setup;
};

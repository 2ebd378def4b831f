#include "setupobserver.h"

#include "model/bvhfile.h"

SetupObserver::SetupObserver(BvhFile& motion, const SkeletonProfiles& profiles,
                             const SetupRequest& request, BvhReadObserver* next,
                             std::function<void(const MotionSetup&)> chosen)
    : motion(motion), profiles(profiles), request(request), next(next), chosen(std::move(chosen))
{
}

void SetupObserver::choose()
{
    setup = MotionSetup::choose(profiles, motion, request);
    if (chosen)
        chosen(*setup);
}

void SetupObserver::motionStarted(const BvhFile& file, qsizetype possibleRows)
{
    choose();
    if (next)
        next->motionStarted(file, possibleRows);
}

void SetupObserver::rowsMoving(const BvhFile& file)
{
    if (next)
        next->rowsMoving(file);
}

void SetupObserver::readingDone(const BvhFile& file)
{
    if (next)
        next->readingDone(file);
}

void SetupObserver::rowsAppended(const BvhFile& file)
{
    if (next)
        next->rowsAppended(file);
}

const MotionSetup& SetupObserver::finish()
{
    // Chosen again, as a second hierarchy without rows may have replaced the first.
    choose();
    return *setup;
}

#pragma once

#include <system_error>
#include <thread>
#include <utility>

// Where a thread cannot be had (a process at its thread or memory limit), std::thread throws;
// the program then does the work on the thread it has. These two say so once.
namespace ThreadStart {

// `work` on a thread of its own; an empty (not joinable) thread where none can be had, and
// then `work` has not run.
template <class Work> std::thread tryStart(Work&& work)
{
    try {
        return std::thread(std::forward<Work>(work));
    } catch (const std::system_error&) {
        return std::thread();
    }
}

// `work` on a thread of its own, or here, before this returns, where none can be had. Join
// the thread returned when it is joinable.
template <class Work> std::thread startOrRun(Work work)
{
    try {
        return std::thread(work);
    } catch (const std::system_error&) {
        work();
        return std::thread();
    }
}

} // namespace ThreadStart

#pragma once

#include "model/progresssink.h"

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Works through the files of a run on several threads, each thread taking the next file as it
// finishes one, so that files of unequal sizes keep every thread busy. Each file is handled on
// its own by `work`, which gets the file's index and a progress sink for it; the sink cancels
// once cancel() is called. The caller waits in wait(), or polls waitFor() while it keeps a
// window responsive, and may read a file's result as soon as isDone(index).
class FileQueue
{
public:
    using Work = std::function<void(qsizetype index, ProgressSink* progress)>;

    // `jobs` below 1 means two threads per core: a file's conversion waits at times (its output
    // reaching the disk, its own threads handing over), and a second file fills those waits.
    FileQueue(qsizetype count, int jobs, Work work);
    // Cancels the files not yet started and waits for those under way.
    ~FileQueue();

    FileQueue(const FileQueue&) = delete;
    FileQueue& operator=(const FileQueue&) = delete;

    // The number of threads `jobs` asks for.
    static int threadsFor(int jobs);
    // The cores each of the files worked on at once has to itself, at least one: what a file
    // may read its rows on.
    int coresPerFile() const;

    // Starts the threads. When not one can be had, works through every file on this thread.
    void start();
    void wait();
    // True when every file is done (or was skipped by a cancel); else after `timeout`, false.
    bool waitFor(std::chrono::milliseconds timeout);

    // No file starts after this; the files under way see their sink cancel.
    void cancel();
    bool isCanceled() const { return canceled; }

    // True once `work` has returned for the file; its result may then be read.
    bool isDone(qsizetype index) const { return done[size_t(index)].load(); }
    // 0..100 over the run: files done count whole, files under way as far as they have got.
    int percent() const;

private:
    class ThreadProgress;

    void runThread(ThreadProgress& progress);

    qsizetype count;
    int jobs;
    Work work;
    std::atomic<qsizetype> next{0};
    std::atomic<bool> canceled{false};
    std::unique_ptr<std::atomic<bool>[]> done;
    std::vector<std::unique_ptr<ThreadProgress>> progresses; // one per thread
    std::vector<std::thread> threads;
    std::mutex mutex; // guards running, with finished
    std::condition_variable finished;
    int running = 0;
};

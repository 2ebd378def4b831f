#include "filequeue.h"

#include "model/threadstart.h"

#include <algorithm>
#include <system_error>

// The progress of the file a thread is working on, in thousandths, read by percent() from
// another thread.
class FileQueue::ThreadProgress : public ProgressSink
{
public:
    explicit ThreadProgress(const FileQueue& queue) : queue(queue) {}

    void begin(const QString&, const QString&, int newMaximum) override
    {
        maximum = std::max(newMaximum, 1);
        permille = 0;
    }
    void setValue(int value) override
    {
        permille = int(std::clamp(qint64(value) * 1000 / maximum, qint64(0), qint64(1000)));
    }
    bool isCanceled() const override { return queue.isCanceled(); }
    void end() override {}

    std::atomic<int> permille{0};

private:
    const FileQueue& queue;
    int maximum = 1;
};

FileQueue::FileQueue(qsizetype count, int jobs, Work work)
    : count(std::max<qsizetype>(count, 0)),
      jobs(int(std::clamp<qsizetype>(threadsFor(jobs), 1, std::max<qsizetype>(count, 1)))),
      work(std::move(work)), done(std::make_unique<std::atomic<bool>[]>(size_t(this->count)))
{
}

FileQueue::~FileQueue()
{
    cancel();
    wait();
}

static int cores()
{
    return std::max(1, int(std::thread::hardware_concurrency()));
}

int FileQueue::threadsFor(int jobs)
{
    return jobs > 0 ? jobs : 2 * cores();
}

int FileQueue::coresPerFile() const
{
    return std::max(1, cores() / jobs);
}

void FileQueue::start()
{
    for (int k = 0; k < jobs; ++k)
        progresses.push_back(std::make_unique<ThreadProgress>(*this));
    {
        const std::lock_guard lock(mutex);
        running = jobs;
    }
    for (int k = 0; k < jobs; ++k) {
        std::thread thread = ThreadStart::tryStart(
            [this, &progress = *progresses[size_t(k)]] { runThread(progress); });
        if (thread.joinable()) {
            threads.push_back(std::move(thread));
        } else {
            // Fewer threads: the others take more files.
            const std::lock_guard lock(mutex);
            running -= jobs - k;
            break;
        }
    }
    if (threads.empty()) {
        {
            const std::lock_guard lock(mutex);
            running = 1;
        }
        runThread(*progresses.front());
    }
}

void FileQueue::runThread(ThreadProgress& progress)
{
    for (qsizetype index = next++; index < count && !canceled; index = next++) {
        progress.permille = 0;
        work(index, &progress);
        done[size_t(index)] = true;
        progress.permille = 0;
        finished.notify_all();
    }
    const std::lock_guard lock(mutex);
    --running;
    finished.notify_all();
}

void FileQueue::wait()
{
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();
}

bool FileQueue::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex);
    return finished.wait_for(lock, timeout, [this] { return running == 0; });
}

void FileQueue::cancel()
{
    canceled = true;
}

int FileQueue::percent() const
{
    if (count == 0)
        return 100;
    qint64 permille = 0;
    for (qsizetype i = 0; i < count; ++i)
        permille += done[size_t(i)] ? 1000 : 0;
    for (const std::unique_ptr<ThreadProgress>& progress : progresses)
        permille += progress->permille;
    return int(std::min<qint64>(permille / (10 * count), 100));
}

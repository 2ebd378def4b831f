#include "consoleprogress.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

// What one output reports, as a percentage of its own work.
class ConsoleProgress::OutputSink : public ProgressSink
{
public:
    OutputSink(ConsoleProgress& bar, int index) : bar(bar), index(index) {}

    void begin(const QString&, const QString&, int newMaximum) override
    {
        maximum = std::max(newMaximum, 1);
        bar.report(index, 0);
    }
    void setValue(int value) override
    {
        bar.report(index, int(std::clamp(qint64(value) * 100 / maximum, qint64(0), qint64(100))));
    }
    bool isCanceled() const override { return false; }
    void end() override { bar.report(index, 100); }

private:
    ConsoleProgress& bar;
    int index;
    int maximum = 1;
};

ConsoleProgress::ConsoleProgress(const QString& label, int outputs)
    : label(label), percents(size_t(std::max(outputs, 0)), 0)
{
    for (int i = 0; i < outputs; ++i)
        sinks.push_back(std::make_unique<OutputSink>(*this, i));
}

ConsoleProgress::~ConsoleProgress() = default;

ProgressSink* ConsoleProgress::sink(int index)
{
    return sinks.at(size_t(index)).get();
}

void ConsoleProgress::finish()
{
    const std::lock_guard lock(mutex);
    draw(100);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void ConsoleProgress::report(int index, int percent)
{
    const std::lock_guard lock(mutex);
    percents[size_t(index)] = percent;
    const int mean =
        std::accumulate(percents.begin(), percents.end(), 0) / std::max(int(percents.size()), 1);
    if (mean != shown)
        draw(mean);
}

void ConsoleProgress::draw(int percent)
{
    constexpr int width = 30;
    char bar[width + 1];
    const int filled = percent * width / 100;
    for (int i = 0; i < width; ++i)
        bar[i] = i < filled ? '#' : ' ';
    bar[width] = '\0';
    std::fprintf(stderr, "\r%-40s [%s] %3d%%", qUtf8Printable(label.right(40)), bar, percent);
    std::fflush(stderr);
    shown = percent;
}

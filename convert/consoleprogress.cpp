#include "consoleprogress.h"

#include <algorithm>
#include <cstdio>

void ConsoleProgress::begin(const QString&, const QString&, int newMaximum)
{
    maximum = std::max(newMaximum, 1);
    shown = -1;
    draw(0);
}

void ConsoleProgress::setValue(int value)
{
    const int percent = int(std::clamp(qint64(value) * 100 / maximum, qint64(0), qint64(100)));
    if (percent != shown)
        draw(percent);
}

void ConsoleProgress::end()
{
    draw(100);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void ConsoleProgress::draw(int percent)
{
    constexpr int width = 30;
    char bar[width + 1];
    const int filled = percent * width / 100;
    for (int i = 0; i < width; ++i)
        bar[i] = i < filled ? '#' : ' ';
    bar[width] = '\0';
    std::fprintf(stderr, "\r%-40s [%s] %3d%%", qUtf8Printable(output.right(40)), bar, percent);
    std::fflush(stderr);
    shown = percent;
}

#include "benchmotion.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include <sys/resource.h>
#include <cstdio>
#include <string>

namespace BenchMotion {

static void writeHierarchy(std::string& out)
{
    out += "HIERARCHY\nROOT Hips\n{\n\tOFFSET\t0.0000\t90.0000\t0.0000\n"
           "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n";
    // Nine limbs of 6 or 5 joints, each ending in an End Site: 1 + 50 + 9 = 60 joints. The
    // first joint of the first eight limbs also carries position channels (6 + 8 * 6 + 42 * 3
    // = 180 channels).
    for (int limb = 0; limb < 9; ++limb) {
        const int length = limb < 5 ? 6 : 5;
        std::string indent = "\t";
        for (int j = 0; j < length; ++j) {
            out += indent + "JOINT Limb" + std::to_string(limb) + "_" + std::to_string(j) + "\n";
            out += indent + "{\n";
            out += indent + "\tOFFSET\t1.5000\t" + (j == 0 ? "0.0000" : "-10.0000") + "\t0.5000\n";
            if (j == 0 && limb < 8)
                out += indent + "\tCHANNELS 6 Xposition Yposition Zposition Zrotation "
                                "Xrotation Yrotation\n";
            else
                out += indent + "\tCHANNELS 3 Zrotation Xrotation Yrotation\n";
            indent += "\t";
        }
        out += indent + "End Site\n" + indent + "{\n" + indent +
               "\tOFFSET\t0.0000\t-5.0000\t0.0000\n" + indent + "}\n";
        for (int j = length - 1; j >= 0; --j) {
            indent.pop_back();
            out += indent + "}\n";
        }
    }
    out += "}\n";
}

bool ensure(const QString& path, int frames)
{
    const QFileInfo info(path);
    if (info.exists() && info.size() > qint64(frames) * 1000)
        return true;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::string out;
    writeHierarchy(out);
    out += "MOTION\nFrames:\t" + std::to_string(frames) + "\nFrame Time: 0.0083333333\n";
    QRandomGenerator random(2024);
    char number[32];
    for (int f = 0; f < frames; ++f) {
        for (int k = 0; k < 180; ++k) {
            const double value = random.bounded(360.0) - 180.0;
            const int length =
                std::snprintf(number, sizeof number, k < 3 ? "\t%.4f" : "\t%.6f", value);
            out.append(number, size_t(length));
        }
        out += '\n';
        if (out.size() > (1u << 22)) {
            file.write(out.data(), qint64(out.size()));
            out.clear();
        }
    }
    file.write(out.data(), qint64(out.size()));
    return file.error() == QFileDevice::NoError;
}

static qint64 statusField(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field)))
                       .trimmed()
                       .split(' ')
                       .first()
                       .toLongLong() *
                   1024;
    }
    return 0;
}

double bareLoop(const QString& path, qint64* values)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    std::vector<char> buffer(1 << 20);
    size_t kept = 0;
    bool inMotion = false;
    double sum = 0;
    for (;;) {
        const qint64 count = file.read(buffer.data() + kept, qint64(buffer.size() - kept));
        if (count <= 0)
            break;
        const char* p = buffer.data();
        const char* end = p + kept + size_t(count);
        for (;;) {
            const auto* newline = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            if (!newline)
                break;
            if (inMotion) {
                const char* q = p;
                while (q < newline) {
                    while (q < newline && (*q == ' ' || *q == '\t'))
                        ++q;
                    const char* start = q;
                    while (q < newline && *q != ' ' && *q != '\t')
                        ++q;
                    if (q > start) {
                        double value = 0;
                        std::from_chars(start, q, value);
                        sum += value;
                        ++*values;
                    }
                }
            } else if (newline - p >= 11 && std::memcmp(p, "Frame Time:", 11) == 0) {
                inMotion = true;
            }
            p = newline + 1;
        }
        kept = size_t(end - p);
        std::memmove(buffer.data(), p, kept);
    }
    return sum;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6 +
           double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
}

qint64 peakResidentBytes()
{
    return statusField("VmHWM:");
}

qint64 residentBytes()
{
    return statusField("VmRSS:");
}

int runCount(int byDefault)
{
    return qEnvironmentVariableIsSet("KINOVANE_BENCH_RUNS")
               ? std::max(1, qEnvironmentVariableIntValue("KINOVANE_BENCH_RUNS"))
               : byDefault;
}

} // namespace BenchMotion

#include "childrun.h"

#include <QElapsedTimer>

#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ChildRun {

// Sets the CPU affinity from a list like "0" or "0,1" (ranges are not needed here).
static void pinTo(const std::string& list)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    size_t start = 0;
    while (start < list.size()) {
        const size_t comma = list.find(',', start);
        CPU_SET(std::atoi(list.substr(start, comma - start).c_str()), &set);
        start = comma == std::string::npos ? list.size() : comma + 1;
    }
    sched_setaffinity(0, sizeof set, &set);
}

Measure run(const QString& program, const QStringList& arguments, const Options& options)
{
    // Everything the child needs is made before the fork.
    const std::string path = program.toStdString();
    std::vector<std::string> texts{path};
    for (const QString& argument : arguments)
        texts.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    const std::string directory = options.workingDirectory.toStdString();
    const std::string cpus = options.cpuList.toStdString();

    Measure measure;
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child < 0)
        return measure;
    if (child == 0) {
        if (!directory.empty() && chdir(directory.c_str()) != 0)
            _exit(127);
        if (options.addressSpaceLimit > 0) {
            const rlimit limit{rlim_t(options.addressSpaceLimit),
                               rlim_t(options.addressSpaceLimit)};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (!cpus.empty())
            pinTo(cpus);
        if (options.quiet) {
            const int nothing = open("/dev/null", O_WRONLY);
            dup2(nothing, STDOUT_FILENO);
            dup2(nothing, STDERR_FILENO);
        }
        if (options.offscreen)
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("QT_LOGGING_RULES", "*.debug=false", 1);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return measure;
    measure.seconds = double(timer.nsecsElapsed()) / 1e9;
    measure.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    measure.userSeconds = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6;
    measure.systemSeconds = double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
    measure.peakMegabytes = double(usage.ru_maxrss) * 1024.0 / 1e6;
    return measure;
}

} // namespace ChildRun

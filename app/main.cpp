#include "app/dudezu.h"

#include <QApplication>

// A run with one argument never shows a window, so it must also work where there is no
// display (a server, a script over ssh): there it runs on Qt's offscreen platform instead of
// aborting for want of a connection. An explicit QT_QPA_PLATFORM is left alone.
static bool needsOffscreenPlatform(int argc)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return argc == 2 && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           !qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
#else
    Q_UNUSED(argc);
    return false;
#endif
}

int main(int argc, char* argv[])
{
    if (needsOffscreenPlatform(argc))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    DudEzu window;
    // The command-line run happened in the window's constructor; with exactly one argument
    // that was the whole job.
    if (argc == 2)
        return window.getCommandLineExitCode();
    window.show();
    return application.exec();
}

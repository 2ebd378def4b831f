#include "app/commandlinerun.h"
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
    // The first argument may select a batch run over the current folder (see CommandLineRun);
    // with exactly one argument that run is the whole job, with more the window follows it.
    const int exitCode = CommandLineRun().run(QCoreApplication::arguments().value(1));
    if (argc == 2)
        return exitCode;
    DudEzu window;
    // "kinovane --open walk.bvh" starts with a motion open (the start script uses it).
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments[1] == QLatin1String("--open"))
        window.loadFile(arguments[2]);
    window.show();
    return application.exec();
}

#include "app/commandlinerun.h"
#include "app/dudezu.h"

#include <QApplication>

#include <cstdio>

// A run with one argument that shows no window (a batch run, --help, --version) must also
// work where there is no display (a server, a script over ssh): there it runs on Qt's
// offscreen platform instead of aborting for want of a connection. An explicit
// QT_QPA_PLATFORM is left alone.
static bool needsOffscreenPlatform(int argc, char* argv[])
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return argc == 2 &&
           CommandLineRun::kindOf(QString::fromLocal8Bit(argv[1])) !=
               CommandLineRun::Kind::OpenFile &&
           qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           !qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return false;
#endif
}

// The window needs a display; without one (and no platform named) Qt would abort.
static bool lacksDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           !qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
#else
    return false;
#endif
}

int main(int argc, char* argv[])
{
    if (needsOffscreenPlatform(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (lacksDisplay()) {
        std::fputs("kinovane: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are "
                   "unset).\nkinovane-convert reads and writes the same files without one; see "
                   "kinovane-convert --help.\n",
                   stderr);
        return 1;
    }
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    // One argument: a file to open, or a run over the current folder that is the whole job
    // (see CommandLineRun). With more, the run is made first and the window follows it.
    const QString first = arguments.value(1);
    const CommandLineRun::Kind kind = CommandLineRun::kindOf(first);
    const bool opensFile = argc == 2 && kind == CommandLineRun::Kind::OpenFile;
    if (argc == 2 && !opensFile)
        return CommandLineRun().run(first);
    if (kind == CommandLineRun::Kind::ConvertToC3D || kind == CommandLineRun::Kind::FootTables)
        CommandLineRun().run(first);
    DudEzu window;
    // "kinovane walk.bvh" (what a file manager runs) and "kinovane --open walk.bvh" start with
    // the motion open.
    if (opensFile)
        window.loadFile(first);
    else if (arguments.size() == 3 && arguments[1] == QLatin1String("--open"))
        window.loadFile(arguments[2]);
    window.show();
    return application.exec();
}

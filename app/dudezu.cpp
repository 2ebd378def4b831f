#include "dudezu.h"

#include "app/commandlinerun.h"

#include <QCoreApplication>

DudEzu::DudEzu(QWidget* parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    setWindowTitle(QStringLiteral("Kinovane"));
    runCommandLine();
}

DudEzu::~DudEzu() = default;

void DudEzu::cancelConvert()
{
    convertCancelled = true;
}

void DudEzu::runCommandLine()
{
    commandLineExitCode = CommandLineRun(*this).run(QCoreApplication::arguments().value(1));
}

#pragma once

#include <QMainWindow>

// The program's main window. Its constructor ends with the command-line check: with an
// argument asking for a run over the current directory, the run happens there, before the
// window is ever shown.
class DudEzu : public QMainWindow
{
    Q_OBJECT

public:
    explicit DudEzu(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~DudEzu() override;

    // 1 when the command-line run could not write one of its outputs, else 0.
    int getCommandLineExitCode() const { return commandLineExitCode; }

    // Set by cancelConvert(); cleared when a command-line run starts.
    bool convertCancelled = false;

public slots:
    void cancelConvert();

private:
    void runCommandLine();

    int commandLineExitCode = 0;
};

#include "fuzzsupport.h"

#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdlib>

namespace FuzzSupport {

static void discardMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

void silenceDiagnostics()
{
    qInstallMessageHandler(discardMessage);
}

QString outputPath(const QString& name)
{
    static QTemporaryDir directory;
    if (!directory.isValid())
        std::abort(); // nowhere to write: every result would be a false alarm
    return directory.filePath(name);
}

} // namespace FuzzSupport

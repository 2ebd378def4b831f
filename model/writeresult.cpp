#include "writeresult.h"

#include <QSaveFile>

WriteResult WriteResult::commit(QSaveFile& file, bool writeFailed)
{
    const QString fileName = file.fileName();
    if (writeFailed) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(fileName, reason);
    }
    if (!file.commit())
        return failure(fileName, file.errorString());
    return success(fileName);
}

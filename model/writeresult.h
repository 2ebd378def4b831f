#pragma once

#include <QString>

class QSaveFile;

// Result of writing one output file.
struct WriteResult
{
    bool ok = true;
    QString fileName;
    QString errorString; // why the file could not be written, when !ok

    static WriteResult failure(const QString& fileName, const QString& errorString)
    {
        return {false, fileName, errorString};
    }
    static WriteResult success(const QString& fileName) { return {true, fileName, {}}; }
    // Finishes a save: commits the file or, when a write or the commit failed, keeps the old
    // file and says why.
    static WriteResult commit(QSaveFile& file, bool writeFailed = false);
};

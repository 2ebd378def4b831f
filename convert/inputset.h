#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One BVH file of a data set, and where its outputs go relative to the output folder.
struct InputFile
{
    QString path;     // as found: the argument, or the folder argument joined with the file
    QString relative; // its folder below the folder argument it came from ("", "s01/"), so
                      // that outputs keep the data set's layout
    QString name;     // the file name without ".bvh"

    bool operator==(const InputFile&) const = default;
};

// The BVH files named on a command line: files as they are, folders searched for files ending
// in ".bvh" in any case (their subfolders too when `recursive`), each folder's files in order of
// their relative paths. A file named twice counts once.
struct InputSet
{
    QList<InputFile> files;
    QStringList problems; // one line per argument that is neither a file nor a folder

    static InputSet collect(const QStringList& arguments, bool recursive);
};

// The output of `input` that `pattern` names: "{name}" replaced by the input's name, in
// `outDir` below the input's relative folder, or beside the input when `outDir` is empty.
QString outputPath(const QString& pattern, const InputFile& input, const QString& outDir);

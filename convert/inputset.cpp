#include "inputset.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

static QString nameOf(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".bvh"), Qt::CaseInsensitive) ? fileName.chopped(4)
                                                                         : fileName;
}

InputSet InputSet::collect(const QStringList& arguments, bool recursive)
{
    InputSet set;
    QSet<QString> seen;
    const auto add = [&](const InputFile& file) {
        const QString canonical = QFileInfo(file.path).canonicalFilePath();
        if (!seen.contains(canonical)) {
            seen.insert(canonical);
            set.files.append(file);
        }
    };
    for (const QString& argument : arguments) {
        const QFileInfo info(argument);
        if (info.isDir()) {
            QList<InputFile> found;
            const QDir folder(info.absoluteFilePath());
            QDirIterator entries(argument, QDir::Files,
                                 recursive ? QDirIterator::Subdirectories
                                           : QDirIterator::NoIteratorFlags);
            while (entries.hasNext()) {
                const QString path = entries.next();
                if (!path.endsWith(QLatin1String(".bvh"), Qt::CaseInsensitive))
                    continue;
                const QString inside = folder.relativeFilePath(QFileInfo(path).absoluteFilePath());
                const qsizetype slash = inside.lastIndexOf(QLatin1Char('/'));
                found.append({path, inside.left(slash + 1), nameOf(inside.mid(slash + 1))});
            }
            std::sort(found.begin(), found.end(), [](const InputFile& a, const InputFile& b) {
                return a.relative + a.name < b.relative + b.name;
            });
            for (const InputFile& file : std::as_const(found))
                add(file);
        } else if (info.exists()) {
            add({argument, QString(), nameOf(info.fileName())});
        } else {
            set.problems.append(QStringLiteral("%1: no such file or folder").arg(argument));
        }
    }
    return set;
}

QString outputPath(const QString& pattern, const InputFile& input, const QString& outDir)
{
    QString name = pattern;
    name.replace(QLatin1String("{name}"), input.name);
    if (outDir.isEmpty())
        return QFileInfo(input.path).dir().filePath(name);
    return QDir(outDir).filePath(input.relative + name);
}

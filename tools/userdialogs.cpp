#include "userdialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace UserDialogs {

static Handler& current()
{
    static Handler handler;
    return handler;
}

Handler install(const Handler& handler)
{
    Handler previous = current();
    current() = handler;
    return previous;
}

QString getOpenFileName(const QString& caption, const QString& directory, const QString& filter)
{
    if (current().openFileName)
        return current().openFileName(caption, directory, filter);
    return QFileDialog::getOpenFileName(nullptr, caption, directory, filter);
}

// "walk" saved under the filter "*.bvh" becomes "walk.bvh"; a name with that extension (in
// any case), or a filter that is not one "*.ext" pattern, is left alone.
static QString withExtension(const QString& fileName, const QString& filter)
{
    if (fileName.isEmpty() || !filter.startsWith(QLatin1String("*.")) ||
        filter.contains(QLatin1Char(' ')))
        return fileName;
    const QString extension = filter.mid(1);
    return fileName.endsWith(extension, Qt::CaseInsensitive) ? fileName : fileName + extension;
}

QString getSaveFileName(const QString& caption, const QString& directory, const QString& filter)
{
    const QString chosen = current().saveFileName
                               ? current().saveFileName(caption, directory, filter)
                               : QFileDialog::getSaveFileName(nullptr, caption, directory, filter);
    return withExtension(chosen, filter);
}

void warning(const QString& title, const QString& text)
{
    if (current().warning)
        return current().warning(title, text);
    QMessageBox::warning(nullptr, title, text);
}

void information(const QString& title, const QString& text)
{
    if (current().information)
        return current().information(title, text);
    QMessageBox::information(nullptr, title, text);
}

void writeFailure(const WriteResult& result)
{
    warning(QCoreApplication::translate("UserDialogs", "Kinovane"),
            QCoreApplication::translate("UserDialogs", "Cannot write %1:\n%2")
                .arg(QDir::toNativeSeparators(result.fileName), result.errorString));
}

SaveChoice askToSave(const QString& title, const QString& text)
{
    if (current().askToSave)
        return current().askToSave(title, text);
    const auto answer = QMessageBox::warning(
        nullptr, title, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
        QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return SaveChoice::Save;
    if (answer == QMessageBox::Discard)
        return SaveChoice::Discard;
    return SaveChoice::Cancel;
}

bool confirm(const QString& title, const QString& text)
{
    if (current().confirm)
        return current().confirm(title, text);
    return QMessageBox::warning(nullptr, title, text, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

} // namespace UserDialogs

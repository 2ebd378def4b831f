#include "userdialogs.h"

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

QString getSaveFileName(const QString& caption, const QString& directory, const QString& filter)
{
    if (current().saveFileName)
        return current().saveFileName(caption, directory, filter);
    return QFileDialog::getSaveFileName(nullptr, caption, directory, filter);
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

} // namespace UserDialogs

#pragma once

#include "model/writeresult.h"

#include <QString>

#include <functional>

// The file dialogs and message boxes of the window and its tools, in one place so that tests
// can answer them instead of a person. Without an installed handler each call shows the
// toolkit's own static dialog (no parent, default options).
namespace UserDialogs {

enum class SaveChoice
{
    Save,
    Discard,
    Cancel
};

struct Handler
{
    std::function<QString(const QString& caption, const QString& directory, const QString& filter)>
        openFileName;
    std::function<QString(const QString& caption, const QString& directory, const QString& filter)>
        saveFileName;
    std::function<void(const QString& title, const QString& text)> warning;
    std::function<void(const QString& title, const QString& text)> information;
    std::function<SaveChoice(const QString& title, const QString& text)> askToSave;
    std::function<bool(const QString& title, const QString& text)> confirm;
};

// Replaces the dialogs by `handler` until it is removed (an empty function falls back to the
// real dialog). Returns the handler that was installed before.
Handler install(const Handler& handler);

QString getOpenFileName(const QString& caption, const QString& directory, const QString& filter);
// `directory` may name the file proposed. A name chosen without the extension of a filter
// "*.ext" gets it.
QString getSaveFileName(const QString& caption, const QString& directory, const QString& filter);
void warning(const QString& title, const QString& text);
void information(const QString& title, const QString& text);
// The one message for a file that could not be written: its name and why.
void writeFailure(const WriteResult& result);
// Save, discard or cancel, for a document with unsaved changes.
SaveChoice askToSave(const QString& title, const QString& text);
// Yes or no to a step the user may not mean (No is the default); true for yes.
bool confirm(const QString& title, const QString& text);

} // namespace UserDialogs

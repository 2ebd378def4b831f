#pragma once

#include <QAction>
#include <QKeySequence>
#include <QUndoStack>

#include <utility>

// The Undo and Redo commands of an undo stack, with the program's keys: Ctrl+Z, and
// Ctrl+Shift+Z on every platform.
namespace UndoActions {

inline QKeySequence redoKey()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
}

// Undo and Redo of `stack`, owned by `parent`, named by the step they undo or redo.
inline std::pair<QAction*, QAction*> create(QUndoStack& stack, QObject* parent)
{
    QAction* undo = stack.createUndoAction(parent, QUndoStack::tr("Undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = stack.createRedoAction(parent, QUndoStack::tr("Redo"));
    redo->setShortcut(redoKey());
    return {undo, redo};
}

} // namespace UndoActions

#include "motionedits.h"

#include "model/bvhjoint.h"

#include <QUndoStack>

#include <algorithm>

ChannelValueEdit::ChannelValueEdit(MotionDocument& document, int frame, qsizetype column,
                                   double value, const QString& text)
    : MotionEdit(text), document(&document), frame(frame), column(column), after(value)
{
}

void ChannelValueEdit::redo()
{
    if (!document)
        return;
    if (!before)
        before = document->getValue(frame, column);
    // The edit is shown where it was made, also when undone or redone from another frame.
    document->setCurrentFrame(frame);
    document->applyValue(frame, column, after);
}

void ChannelValueEdit::undo()
{
    if (!document || !before)
        return;
    document->setCurrentFrame(frame);
    document->applyValue(frame, column, *before);
}

bool ChannelValueEdit::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const ChannelValueEdit*>(other);
    if (next->document != document || next->frame != frame || next->column != column || !before)
        return false;
    after = next->after;
    setObsolete(MotionDocument::sameBits(after, *before));
    return true;
}

OffsetEdit::OffsetEdit(MotionDocument& document, qsizetype joint, int axis, double value,
                       const QString& text)
    : MotionEdit(text), document(&document), joint(joint), axis(std::clamp(axis, 0, 2)),
      after(value)
{
}

void OffsetEdit::redo()
{
    if (!document)
        return;
    if (!before)
        before = document->getOffset(joint)[axis];
    document->applyOffsetComponent(joint, axis, after);
}

void OffsetEdit::undo()
{
    if (document && before)
        document->applyOffsetComponent(joint, axis, *before);
}

bool OffsetEdit::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const OffsetEdit*>(other);
    if (next->document != document || next->joint != joint || next->axis != axis || !before)
        return false;
    after = next->after;
    setObsolete(MotionDocument::sameBits(after, *before));
    return true;
}

RowsEdit::RowsEdit(MotionDocument& document, int first, const FrameRows& after, const QString& text)
    : MotionEdit(text), document(&document), first(first), after(after)
{
}

void RowsEdit::redo()
{
    if (!document)
        return;
    if (!before)
        before = document->getMotion().frames.mid(first, after.rowCount());
    document->applyRows(first, after);
}

void RowsEdit::undo()
{
    if (document && before)
        document->applyRows(first, *before);
}

ModelEdit::ModelEdit(MotionDocument& document, const MassSegmentModel& segments,
                     const QString& modelFile, const QString& text)
    : QUndoCommand(text), document(&document), after{segments, true, modelFile}
{
}

void ModelEdit::redo()
{
    if (!document)
        return;
    if (!before)
        before = document->currentModel();
    document->applyModel(after);
}

void ModelEdit::undo()
{
    if (document && before)
        document->applyModel(*before);
}

SetupEdit::SetupEdit(MotionDocument& document, const SetupRequest& request, const QString& text)
    : QUndoCommand(text), document(&document), request(request)
{
}

void SetupEdit::redo()
{
    if (!document)
        return;
    if (after) {
        document->restoreSetup(*after);
        return;
    }
    before = document->setupState();
    document->applySetupRequest(request);
    after = document->setupState();
}

void SetupEdit::undo()
{
    if (document && before)
        document->restoreSetup(*before);
}

AnalysisSettingsEdit::AnalysisSettingsEdit(MotionDocument& document,
                                           const AnalysisSettings& settings, const QString& text)
    : QUndoCommand(text), document(&document), after(settings)
{
}

void AnalysisSettingsEdit::redo()
{
    if (!document)
        return;
    if (!before)
        before = document->getAnalysisSettings();
    document->applyAnalysisSettings(after);
}

void AnalysisSettingsEdit::undo()
{
    if (document && before)
        document->applyAnalysisSettings(*before);
}

bool hasUnsavedMotionEdits(const QUndoStack& stack)
{
    if (stack.isClean())
        return false;
    const int clean = stack.cleanIndex();
    if (clean < 0)
        return true;
    // Command i takes the stack from state i to state i + 1.
    for (int i = std::min(clean, stack.index()); i < std::max(clean, stack.index()); ++i) {
        if (dynamic_cast<const MotionEdit*>(stack.command(i)))
            return true;
    }
    return false;
}

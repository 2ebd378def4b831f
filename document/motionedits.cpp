#include "motionedits.h"

#include "model/bvhjoint.h"
#include "document/motiondocument.h"

#include <QUndoStack>

#include <algorithm>
#include <cstring>

static bool sameDouble(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

ChannelValueEdit::ChannelValueEdit(MotionDocument& document, int frame, qsizetype column,
                                   double value, const QString& text)
    : MotionEdit(text), document(&document), frame(frame), column(column),
      before(document.getValue(frame, column)), after(value)
{
}

void ChannelValueEdit::redo()
{
    if (!document)
        return;
    // The edit is shown where it was made, also when undone or redone from another frame.
    document->setCurrentFrame(frame);
    document->setValue(frame, column, after);
}

void ChannelValueEdit::undo()
{
    if (!document)
        return;
    document->setCurrentFrame(frame);
    document->setValue(frame, column, before);
}

bool ChannelValueEdit::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const ChannelValueEdit*>(other);
    if (next->document != document || next->frame != frame || next->column != column)
        return false;
    after = next->after;
    setObsolete(sameDouble(after, before));
    return true;
}

static double offsetComponent(const MotionDocument& document, qsizetype joint, int axis)
{
    const BvhJoint* root = document.getMotion().root;
    const QList<BvhJoint*> joints = root ? root->getAllJoints() : QList<BvhJoint*>();
    return joint >= 0 && joint < joints.size() ? joints[joint]->getExactOffset()[axis] : 0.0;
}

static void setOffsetComponent(MotionDocument& document, qsizetype joint, int axis, double value)
{
    const BvhJoint* root = document.getMotion().root;
    const QList<BvhJoint*> joints = root ? root->getAllJoints() : QList<BvhJoint*>();
    if (joint < 0 || joint >= joints.size())
        return;
    Eigen::Vector3d offset = joints[joint]->getExactOffset();
    offset[axis] = value;
    document.setOffset(joint, offset);
}

OffsetEdit::OffsetEdit(MotionDocument& document, qsizetype joint, int axis, double value,
                       const QString& text)
    : MotionEdit(text), document(&document), joint(joint), axis(std::clamp(axis, 0, 2)),
      before(offsetComponent(document, joint, this->axis)), after(value)
{
}

void OffsetEdit::redo()
{
    if (document)
        setOffsetComponent(*document, joint, axis, after);
}

void OffsetEdit::undo()
{
    if (document)
        setOffsetComponent(*document, joint, axis, before);
}

bool OffsetEdit::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const OffsetEdit*>(other);
    if (next->document != document || next->joint != joint || next->axis != axis)
        return false;
    after = next->after;
    setObsolete(sameDouble(after, before));
    return true;
}

RowsEdit::RowsEdit(MotionDocument& document, int first, const FrameRows& before,
                   const FrameRows& after, const QString& text)
    : MotionEdit(text), document(&document), first(first), before(before), after(after)
{
}

void RowsEdit::redo()
{
    if (document)
        document->replaceRows(first, after);
}

void RowsEdit::undo()
{
    if (document)
        document->replaceRows(first, before);
}

ModelEdit::ModelEdit(MotionDocument& document, const MassSegmentModel& segments,
                     const QString& modelFile, const QString& text)
    : QUndoCommand(text),
      document(&document), before{document.getSetup().segments, document.getSetup().userModel,
                                  document.getSetup().modelFile},
      after{segments, true, modelFile}
{
}

void ModelEdit::apply(const Model& model)
{
    if (document)
        document->setModel(model.segments, model.fromUser, model.file);
}

void ModelEdit::redo()
{
    apply(after);
}

void ModelEdit::undo()
{
    apply(before);
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

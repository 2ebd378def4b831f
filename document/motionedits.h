#pragma once

#include "model/framerows.h"
#include "physics/masssegment.h"

#include <QList>
#include <QPointer>
#include <QUndoCommand>

#include <Eigen/Core>

class MotionDocument;
class QUndoStack;

// The changes a user makes to the open motion and its mass-segment model, as commands on the
// window's undo stack: redo() applies one through MotionDocument's edit functions, undo()
// restores exactly what was there. A command outliving its document does nothing.

// A change of the motion itself (what Save BVH writes), as opposed to one of the model.
class MotionEdit : public QUndoCommand
{
public:
    using QUndoCommand::QUndoCommand;
};

// One value of the frame table. Repeated changes of the same value (spin-box steps) fold into
// one command; a command that ends where it began drops out of the stack.
class ChannelValueEdit : public MotionEdit
{
public:
    ChannelValueEdit(MotionDocument& document, int frame, qsizetype column, double value,
                     const QString& text);

    void redo() override;
    void undo() override;
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    QPointer<MotionDocument> document;
    int frame;
    qsizetype column;
    double before;
    double after;
};

// One component of a joint's OFFSET; repeated changes of it fold as above.
class OffsetEdit : public MotionEdit
{
public:
    OffsetEdit(MotionDocument& document, qsizetype joint, int axis, double value,
               const QString& text);

    void redo() override;
    void undo() override;
    int id() const override { return 2; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    QPointer<MotionDocument> document;
    qsizetype joint;
    int axis;
    double before;
    double after;
};

// Rows of the frame table replaced at once (an interpolation): copies of the rows before and
// after, no more than the edit replaces.
class RowsEdit : public MotionEdit
{
public:
    RowsEdit(MotionDocument& document, int first, const FrameRows& before, const FrameRows& after,
             const QString& text);

    void redo() override;
    void undo() override;

private:
    QPointer<MotionDocument> document;
    int first;
    FrameRows before;
    FrameRows after;
};

// Another mass-segment model, the user's own.
class ModelEdit : public QUndoCommand
{
public:
    ModelEdit(MotionDocument& document, const MassSegmentModel& segments, const QString& modelFile,
              const QString& text);

    void redo() override;
    void undo() override;

private:
    struct Model
    {
        MassSegmentModel segments;
        bool fromUser = false;
        QString file;
    };
    void apply(const Model& model);

    QPointer<MotionDocument> document;
    Model before;
    Model after;
};

// True when the motion differs from the one last saved whole (the stack's clean state): some
// motion edit lies between the clean state and now, or the clean state can no longer be
// reached. Edits of the model alone leave the motion as saved.
bool hasUnsavedMotionEdits(const QUndoStack& stack);

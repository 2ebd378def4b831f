#pragma once

#include "document/motiondocument.h"
#include "model/framerows.h"
#include "physics/masssegment.h"

#include <QPointer>
#include <QUndoCommand>

#include <Eigen/Core>

class QUndoStack;

// The changes of what a MotionDocument holds, as commands on its undo stack. Each records the
// state it replaces when it is first applied (not when it is made), so that it restores what
// was there whatever came between; redo applies it again, undo restores exactly what was
// there. A command outliving its document does nothing.

// A change of the motion itself (what Save BVH writes), as opposed to one of the model, the
// setup or the analysis settings.
class MotionEdit : public QUndoCommand
{
public:
    using QUndoCommand::QUndoCommand;
};

// One value of the frame table. Repeated changes of the same value (spin-box steps) fold into
// one command; a command that ends where it began drops out of the stack. Changes of another
// value, even in the same row, stay steps of their own.
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
    std::optional<double> before;
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
    std::optional<double> before;
    double after;
};

// Rows of the frame table replaced at once (an interpolation): copies of the rows before and
// after, no more than the edit replaces.
class RowsEdit : public MotionEdit
{
public:
    RowsEdit(MotionDocument& document, int first, const FrameRows& after, const QString& text);

    void redo() override;
    void undo() override;

private:
    QPointer<MotionDocument> document;
    int first;
    std::optional<FrameRows> before;
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
    QPointer<MotionDocument> document;
    std::optional<MotionDocument::Model> before;
    MotionDocument::Model after;
};

// Another profile, convention or unit: the setup is chosen again for the skeleton, which may
// bring another model.
class SetupEdit : public QUndoCommand
{
public:
    SetupEdit(MotionDocument& document, const SetupRequest& request, const QString& text);

    void redo() override;
    void undo() override;

private:
    QPointer<MotionDocument> document;
    SetupRequest request;
    std::optional<MotionDocument::SetupState> before;
    std::optional<MotionDocument::SetupState> after;
};

// Other analysis settings (filter, floor, contacts, rest frames).
class AnalysisSettingsEdit : public QUndoCommand
{
public:
    AnalysisSettingsEdit(MotionDocument& document, const AnalysisSettings& settings,
                         const QString& text);

    void redo() override;
    void undo() override;

private:
    QPointer<MotionDocument> document;
    std::optional<AnalysisSettings> before;
    AnalysisSettings after;
};

// True when the motion differs from the one last saved whole (the stack's clean state): some
// motion edit lies between the clean state and now, or the clean state can no longer be
// reached. Edits of the model, the setup or the settings leave the motion as saved.
bool hasUnsavedMotionEdits(const QUndoStack& stack);

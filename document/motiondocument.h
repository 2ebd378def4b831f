#pragma once

#include "gait/motionanalysis.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "model/framerange.h"
#include "model/vectortypes.h"
#include "physics/masssegmentfile.h"
#include "skeleton/motionsetup.h"
#include "skeleton/skeletonprofiles.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <Eigen/Core>

// The open motion and everything the user sees of it: the joint tree and frame table, how the
// motion is posed, scaled and weighed (its setup: profile, convention, unit, and the one
// mass-segment model with its binding), the frame shown, the marked range and the analysis
// settings. The window, the tool windows, the plots and the 3D view show it and keep no copy
// of any of it; it says what changed through its signals, each emitted only on a real change.
//
// Opening a file is one call. Every change of what it holds (values, rows, offsets, the model,
// the profile, convention and unit, the analysis settings) is a command on its undo stack, made
// by the edit functions below; opening or closing a motion empties the stack. The frame shown,
// the marked range and the selected joint are where the user looks, not what the document
// holds: they change at once and are not undone.
class MotionDocument : public QObject
{
    Q_OBJECT

public:
    // What a model edit replaces and restores.
    struct Model
    {
        MassSegmentModel segments;
        bool fromUser = false;
        QString file;
    };
    // What a setup edit replaces and restores.
    struct SetupState
    {
        SetupRequest request;
        MotionSetup setup;
    };

    explicit MotionDocument(const SkeletonProfiles& profiles, QObject* parent = nullptr);
    ~MotionDocument() override;

    bool isOpen() const { return motion.isLoaded(); }
    const BvhFile& getMotion() const { return motion; }
    // The file the motion was read from; empty when none is open.
    const QString& getFileName() const { return fileName; }
    // The name proposed for an export: the motion's own with "-what" (none for an empty
    // `what`) and the extension ("/data/walk-com.csv" for /data/walk.bvh).
    QString suggestedName(const QString& what, const QString& extension) const;
    int rowCount() const { return motion.rowCount(); }
    // The last frame of the motion; -1 without rows.
    int lastFrame() const { return motion.rowCount() - 1; }
    const SkeletonProfiles& getProfiles() const { return profiles; }

    // What the user asked for about the setup, and what it gave.
    const SetupRequest& getSetupRequest() const { return request; }
    const MotionSetup& getSetup() const { return setup; }
    // True when the model came from the user (opened or edited), not from the setup.
    bool hasUserModel() const { return setup.userModel; }

    int getCurrentFrame() const { return currentFrame; }
    // The frames between the [ and ] marks, both included: always in order and within the
    // motion (empty only for a motion without rows).
    const FrameRange& getMarkedRange() const { return markedRange; }
    const AnalysisSettings& getAnalysisSettings() const { return analysisSettings; }
    // The joint selected in the tool windows and highlighted in the view (its index in
    // getAllJoints()); -1 for none.
    qsizetype getSelectedJoint() const { return selectedJoint; }
    // The selected joint itself; null for none.
    BvhJoint* selectedJointPointer() const;

    // The edits of the open motion; its clean state is the motion as last saved whole.
    QUndoStack& getUndoStack() { return undoStack; }
    const QUndoStack& getUndoStack() const { return undoStack; }
    // True when the motion differs from the one last saved whole (see hasUnsavedMotionEdits).
    bool hasUnsavedEdits() const;
    // The motion as it is now was saved whole as `path`, whose name it takes from now on.
    void markSaved(const QString& path);

    // A value of the frame table: column `column` of row `frame`, 0 outside the table.
    double getValue(int frame, qsizetype column) const;
    // Joint `joint`'s OFFSET as typed; zero for a joint not in this motion.
    Eigen::Vector3d getOffset(qsizetype joint) const;
    // The absolute position of every joint (getAllJoints() order) in `frame`, posed as the
    // setup says; empty outside the table.
    std::vector<Vector3f> posedJoints(int frame) const;
    // The index of `joint` in getAllJoints(); -1 for a joint not in this motion.
    qsizetype indexOf(const BvhJoint* joint) const;

    // Reads `path` and makes it the open motion, with the setup its skeleton calls for (a model
    // the user opened or edited stays while it fits), frame 0 shown and every frame marked. A
    // file that cannot be read, or holds no hierarchy, changes nothing.
    BvhReadResult open(const QString& path);
    // The same for a motion already read from `path` (on another thread, say): takes what
    // `loaded` holds, leaving it empty.
    void open(BvhFile& loaded, const QString& path);
    // No motion open any more.
    void close();

    // Shows `frame`, clamped into the motion.
    void setCurrentFrame(int frame);
    // Marks `range`, put in order and clamped into the motion.
    void setMarkedRange(const FrameRange& range);
    // The [ and ] marks: a first mark past the last one moves the last one along, and a last
    // mark before the first one moves the first one, so the range is never reversed.
    void markFirst(int frame);
    void markLast(int frame);

    // Selects joint `joint` of getAllJoints() (-1, or any index of no joint: none).
    void setSelectedJoint(qsizetype joint);

    // The edits: each one command on the undo stack, named `text` in the Edit menu; one that
    // would change nothing pushes none. Each signals what it changed.
    // The profile, convention and unit asked for (each left open is chosen from the skeleton).
    void setSetupRequest(const SetupRequest& newRequest, const QString& text = {});
    void setAnalysisSettings(const AnalysisSettings& settings, const QString& text = {});
    // Column `column` of row `frame` takes `value`.
    void setValue(int frame, qsizetype column, double value, const QString& text = {});
    // Component `axis` of joint `joint`'s OFFSET, as typed (every pose changes).
    void setOffset(qsizetype joint, int axis, double value, const QString& text = {});
    // Rows first, first + 1, ... take `rows`, as far as the table reaches.
    void replaceRows(int first, const FrameRows& rows, const QString& text = {});
    // The user's own mass-segment model (opened or edited; kept while it fits the motions
    // opened later), bound to the open skeleton; `modelFile` names where it came from, when it
    // came from a file.
    void setModel(const MassSegmentModel& segments, const QString& modelFile = {},
                  const QString& text = {});

signals:
    // A motion was opened or closed: everything changed.
    void motionReplaced();
    void currentFrameChanged(int frame);
    void markedRangeChanged(const FrameRange& range);
    // Another profile, convention or unit: the poses and the scale changed.
    void setupChanged();
    // Another mass-segment model (or its binding): the centres of mass changed.
    void modelChanged();
    // Values of the motion were edited: the poses of `frames` changed.
    void motionEdited(const FrameRange& frames);
    void analysisSettingsChanged();
    void selectedJointChanged(qsizetype joint);
    // The motion was saved under another name.
    void fileNameChanged(const QString& path);

private:
    // What the commands on the stack call: redo applies, undo restores.
    friend class ChannelValueEdit;
    friend class OffsetEdit;
    friend class RowsEdit;
    friend class ModelEdit;
    friend class SetupEdit;
    friend class AnalysisSettingsEdit;
    // True for two doubles of the very same bits (0 and -0 differ, a NaN equals itself): what
    // tells an edit that changes nothing.
    static bool sameBits(double a, double b);
    // True when row `frame` of the table has column `column`.
    bool holdsCell(int frame, qsizetype column) const;
    void applyValue(int frame, qsizetype column, double value);
    void applyOffsetComponent(qsizetype joint, int axis, double value);
    void applyRows(int first, const FrameRows& rows);
    Model currentModel() const;
    void applyModel(const Model& model);
    SetupState setupState() const { return {request, setup}; }
    void applySetupRequest(const SetupRequest& newRequest);
    void restoreSetup(const SetupState& state);
    // Signals what differs from `old`.
    void announceSetup(const SetupState& old);
    void applyAnalysisSettings(const AnalysisSettings& settings);

    // The setup for `request` and the skeleton open now, keeping a user model that fits.
    void chooseSetup();
    FrameRange clamped(FrameRange range) const;

    SkeletonProfiles profiles;
    BvhFile motion;
    QString fileName;
    SetupRequest request;
    MotionSetup setup;
    int currentFrame = 0;
    FrameRange markedRange;
    AnalysisSettings analysisSettings;
    qsizetype selectedJoint = -1;
    QUndoStack undoStack;
};

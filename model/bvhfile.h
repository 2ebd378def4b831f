#pragma once

#include "model/bvhjoint.h"
#include "model/framerows.h"

#include <QObject>
#include <QPointer>

#include <memory>

// One motion: the joint tree, the frame table (one row of channel values per frame, in DOF
// order: joints in pre-order, each joint's channels in CHANNELS order) and the timing.
// BvhReader fills it, BvhWriter and the exports read it. The program poses frames straight
// from the rows; loadFrame moves a row into the joints' own values, for code that poses from
// those (PoseEvaluator::evaluate).
class BvhFile : public QObject
{
    Q_OBJECT

public:
    explicit BvhFile(QObject* parent = nullptr);
    ~BvhFile() override;

    // Deletes the joint tree and resets every field.
    void clear();
    // A motion of its own that another thread may work on while this one is used: the same
    // rows (shared, not copied, until one side changes them) and timing, and a copy of the
    // joint tree holding the same values.
    std::unique_ptr<BvhFile> copy() const;
    // Exchanges everything this object holds with `other`; the joints keep their identity.
    void swap(BvhFile& other) noexcept;

    bool isLoaded() const { return !root.isNull(); }
    // Number of rows actually held; numFrames is only what the file declared.
    int rowCount() const { return int(frames.rowCount()); }
    // Loads row `frame` into the joints. An index outside the table, or a call without a joint
    // tree, changes nothing.
    void loadFrame(int frame);
    // Index of the joint's first channel in a row; -1 for a joint not in this motion.
    qsizetype firstChannelOf(const BvhJoint* joint) const;

    FrameRows frames;
    QPointer<BvhJoint> root;
    int numFrames = 0;
    double frameTime = 0.0;
};

#pragma once

#include "model/bvhjoint.h"

#include <QPointer>
#include <QWidget>

class MotionDocument;
class QDoubleSpinBox;
class QUndoStack;
class QGroupBox;
class QLabel;
class QVBoxLayout;

// The "Joint Info" tool window: the chosen joint's name and parent, its offset, its position
// and rotation in the document's current frame, and its absolute position. Offset, position and
// rotation are editable where the joint has the channel: each edit goes on the undo stack as a
// command that stores the value as typed into the document (and is announced with
// jointUpdated); the window follows the document, whoever changed it.
class JointInfoWidget : public QWidget
{
    Q_OBJECT

public:
    explicit JointInfoWidget(QWidget* parent = nullptr);

    // The document shown and the undo stack its edits go on (null: none).
    void setDocument(MotionDocument* shown, QUndoStack* edits);
    // Shows no joint any more: labels empty, the nine editable boxes at 0.
    void clearJointInfo();
    BvhJoint* getJoint() const { return joint; }

    QLabel* jointNameLabel = nullptr;
    QLabel* jointParentLabel = nullptr;
    QGroupBox* offsetGroupBox = nullptr;
    QGroupBox* posGroupBox = nullptr;
    QGroupBox* rotGroupBox = nullptr;
    QGroupBox* absPosGroupBox = nullptr;
    QDoubleSpinBox* xOffsetSpinBox = nullptr;
    QDoubleSpinBox* yOffsetSpinBox = nullptr;
    QDoubleSpinBox* zOffsetSpinBox = nullptr;
    QDoubleSpinBox* xPosSpinBox = nullptr;
    QDoubleSpinBox* yPosSpinBox = nullptr;
    QDoubleSpinBox* zPosSpinBox = nullptr;
    QDoubleSpinBox* xRotSpinBox = nullptr;
    QDoubleSpinBox* yRotSpinBox = nullptr;
    QDoubleSpinBox* zRotSpinBox = nullptr;
    QDoubleSpinBox* xPosAbsSpinBox = nullptr;
    QDoubleSpinBox* yPosAbsSpinBox = nullptr;
    QDoubleSpinBox* zPosAbsSpinBox = nullptr;

signals:
    void jointUpdated(BvhJoint* joint);

public slots:
    void setJoint(BvhJoint* jointObject);
    // Refreshes every field from the document; never emits jointUpdated.
    void updateJointInfo();
    // Apply the value of one box (axis 0, 1, 2 for x, y, z) to the joint. Only that component
    // changes, and only when the box holds another value than the document.
    void changeJointOffset(int axis);
    void changeJointPosition(int axis);
    void changeJointRotation(int axis);

private:
    enum class Field
    {
        Offset,
        Position,
        Rotation
    };
    void changeJointValue(Field field, int axis);
    // The column of the frame table holding the joint's channel for `axis` of `field`
    // (Position or Rotation); -1 when it has none.
    qsizetype columnOf(Field field, int axis) const;
    void setupUi();
    void retranslateUi();
    QGroupBox* makeGroup(QDoubleSpinBox* boxes[3]);

    QPointer<BvhJoint> joint;
    QPointer<MotionDocument> document;
    QPointer<QUndoStack> undoStack;
    bool updating = false;

    QVBoxLayout* windowLayout = nullptr;
    QLabel* nameCaption = nullptr;
    QLabel* parentCaption = nullptr;
};

#pragma once

#include "model/bvhjoint.h"

#include <QPointer>
#include <QWidget>

class MotionDocument;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QVBoxLayout;

// The "Joint Info" tool window: the document's selected joint's name and parent, its offset,
// its position and rotation in the document's current frame, and its absolute position. Offset,
// position and rotation are editable where the joint has the channel: each edit is one of the
// document's undoable edits, storing the value as typed (and is announced with jointUpdated);
// the window follows the document, whoever changed it. Without a selected joint nothing can be
// typed.
class JointInfoWidget : public QWidget
{
    Q_OBJECT

public:
    explicit JointInfoWidget(QWidget* parent = nullptr);

    // The document shown (null: none).
    void setDocument(MotionDocument* shown);
    // The joint shown: the document's selected one.
    BvhJoint* getJoint() const;

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
    // Refreshes every field from the document; never emits jointUpdated. Without a joint
    // selected, the labels are empty, every box is 0 and none takes input.
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
    // The column of the frame table holding `joint`'s channel for `axis` of `field`
    // (Position or Rotation); -1 when it has none.
    qsizetype columnOf(const BvhJoint* joint, Field field, int axis) const;
    void setupUi();
    void retranslateUi();
    QGroupBox* makeGroup(QDoubleSpinBox* boxes[3]);
    void clearJointInfo();

    QPointer<MotionDocument> document;
    bool updating = false;

    QVBoxLayout* windowLayout = nullptr;
    QLabel* nameCaption = nullptr;
    QLabel* parentCaption = nullptr;
};

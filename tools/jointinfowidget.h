#pragma once

#include "model/bvhjoint.h"

#include <QPointer>
#include <QWidget>

class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QVBoxLayout;

// The "Joint Info" tool window: the chosen joint's name and parent, its offset, its position
// and rotation in the current frame, and its absolute position. Offset, position and rotation
// are editable; each edit is written into the joint and announced with jointUpdated, on which
// the main window redraws and stores the values into the current frame.
class JointInfoWidget : public QWidget
{
    Q_OBJECT

public:
    explicit JointInfoWidget(QWidget* parent = nullptr);

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
    // Refreshes every field from the joint; never emits jointUpdated.
    void updateJointInfo();
    // Apply the value of one box (axis 0, 1, 2 for x, y, z) to the joint. Only that component
    // changes: the other two keep their stored precision, which the boxes round to two
    // decimals and clamp to +-500.
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
    void setupUi();
    void retranslateUi();
    QGroupBox* makeGroup(QDoubleSpinBox* boxes[3]);

    QPointer<BvhJoint> joint;
    bool updating = false;

    QVBoxLayout* windowLayout = nullptr;
    QLabel* nameCaption = nullptr;
    QLabel* parentCaption = nullptr;
};

#include "jointinfowidget.h"

#include "model/poseevaluator.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

JointInfoWidget::JointInfoWidget(QWidget* parent) : QWidget(parent)
{
    setupUi();
    QDoubleSpinBox* const offsets[3] = {xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox};
    QDoubleSpinBox* const positions[3] = {xPosSpinBox, yPosSpinBox, zPosSpinBox};
    QDoubleSpinBox* const rotations[3] = {xRotSpinBox, yRotSpinBox, zRotSpinBox};
    for (int axis = 0; axis < 3; ++axis) {
        connect(offsets[axis], &QDoubleSpinBox::valueChanged, this,
                [this, axis] { changeJointOffset(axis); });
        connect(positions[axis], &QDoubleSpinBox::valueChanged, this,
                [this, axis] { changeJointPosition(axis); });
        connect(rotations[axis], &QDoubleSpinBox::valueChanged, this,
                [this, axis] { changeJointRotation(axis); });
    }
}

QGroupBox* JointInfoWidget::makeGroup(const char* objectName, const char* gridName,
                                      const char* const labelNames[3], QDoubleSpinBox* boxes[3],
                                      const char* const boxNames[3])
{
    auto* group = new QGroupBox(this);
    group->setObjectName(QString::fromLatin1(objectName));
    auto* grid = new QGridLayout(group);
    grid->setObjectName(QString::fromLatin1(gridName));
    for (int row = 0; row < 3; ++row) {
        auto* axisLabel = new QLabel(group);
        axisLabel->setObjectName(QString::fromLatin1(labelNames[row]));
        grid->addWidget(axisLabel, row, 0);
        boxes[row] = new QDoubleSpinBox(group);
        boxes[row]->setObjectName(QString::fromLatin1(boxNames[row]));
        boxes[row]->setRange(-500, 500);
        boxes[row]->setDecimals(2);
        boxes[row]->setSingleStep(1);
        grid->addWidget(boxes[row], row, 1);
    }
    verticalLayout->addWidget(group);
    return group;
}

void JointInfoWidget::setupUi()
{
    setObjectName(QStringLiteral("JointInfoWidget"));
    resize(101, 448);
    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(2);
    verticalLayout->setContentsMargins(0, 0, 0, 0);

    gridLayout = new QGridLayout();
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    gridLayout->addWidget(label, 0, 0);
    jointNameLabel = new QLabel(this);
    jointNameLabel->setObjectName(QStringLiteral("jointNameLabel"));
    gridLayout->addWidget(jointNameLabel, 0, 1);
    label_2 = new QLabel(this);
    label_2->setObjectName(QStringLiteral("label_2"));
    gridLayout->addWidget(label_2, 1, 0);
    jointParentLabel = new QLabel(this);
    jointParentLabel->setObjectName(QStringLiteral("jointParentLabel"));
    gridLayout->addWidget(jointParentLabel, 1, 1);
    verticalLayout->addLayout(gridLayout);

    static const char* const offsetLabels[3] = {"label_15", "label_17", "label_16"};
    static const char* const offsetBoxes[3] = {"xOffsetSpinBox", "yOffsetSpinBox",
                                               "zOffsetSpinBox"};
    QDoubleSpinBox* offsets[3];
    offsetGroupBox =
        makeGroup("offsetGroupBox", "gridLayout_8", offsetLabels, offsets, offsetBoxes);
    xOffsetSpinBox = offsets[0], yOffsetSpinBox = offsets[1], zOffsetSpinBox = offsets[2];

    static const char* const positionLabels[3] = {"label_12", "label_14", "label_13"};
    static const char* const positionBoxes[3] = {"xPosSpinBox", "yPosSpinBox", "zPosSpinBox"};
    QDoubleSpinBox* positions[3];
    posGroupBox =
        makeGroup("posGroupBox", "gridLayout_7", positionLabels, positions, positionBoxes);
    xPosSpinBox = positions[0], yPosSpinBox = positions[1], zPosSpinBox = positions[2];

    static const char* const rotationLabels[3] = {"label_9", "label_11", "label_10"};
    static const char* const rotationBoxes[3] = {"xRotSpinBox", "yRotSpinBox", "zRotSpinBox"};
    QDoubleSpinBox* rotations[3];
    rotGroupBox =
        makeGroup("rotGroupBox", "gridLayout_6", rotationLabels, rotations, rotationBoxes);
    xRotSpinBox = rotations[0], yRotSpinBox = rotations[1], zRotSpinBox = rotations[2];

    static const char* const absoluteLabels[3] = {"label_6", "label_7", "label_8"};
    static const char* const absoluteBoxes[3] = {"xPosAbsSpinBox", "yPosAbsSpinBox",
                                                 "zPosAbsSpinBox"};
    QDoubleSpinBox* absolute[3];
    groupBox = makeGroup("groupBox", "gridLayout_5", absoluteLabels, absolute, absoluteBoxes);
    xPosAbsSpinBox = absolute[0], yPosAbsSpinBox = absolute[1], zPosAbsSpinBox = absolute[2];
    for (QDoubleSpinBox* box : absolute) {
        box->setReadOnly(true);
        box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    }
    verticalLayout->addStretch();
    retranslateUi();
}

void JointInfoWidget::retranslateUi()
{
    setWindowTitle(tr("Joint Info"));
    label->setText(tr("Name:"));
    jointNameLabel->setText(tr("TextLabel"));
    label_2->setText(tr("Parent:"));
    jointParentLabel->setText(tr("TextLabel"));
    offsetGroupBox->setTitle(tr("Initial Offset"));
    posGroupBox->setTitle(tr("Frame Position"));
    rotGroupBox->setTitle(tr("Frame Rotation"));
    groupBox->setTitle(tr("Absolute Position"));
    const QString axes[3] = {tr("X:"), tr("Y:"), tr("Z:")};
    for (QGroupBox* group : {offsetGroupBox, posGroupBox, rotGroupBox, groupBox}) {
        auto* grid = static_cast<QGridLayout*>(group->layout());
        for (int row = 0; row < 3; ++row)
            static_cast<QLabel*>(grid->itemAtPosition(row, 0)->widget())->setText(axes[row]);
    }
}

void JointInfoWidget::setJoint(BvhJoint* jointObject)
{
    posGroupBox->setEnabled(true);
    rotGroupBox->setEnabled(true);
    if (jointObject && !jointObject->hasChannel(QStringLiteral("Xposition")))
        posGroupBox->setEnabled(false);
    if (jointObject && !jointObject->hasChannel(QStringLiteral("Xrotation")))
        rotGroupBox->setEnabled(false);
    joint = jointObject;
    updateJointInfo();
}

void JointInfoWidget::updateJointInfo()
{
    if (!joint)
        return;
    updating = true;
    jointNameLabel->setText(joint->getName());
    const BvhJoint* parent = joint->getParentJoint();
    jointParentLabel->setText(parent ? parent->getName() : QString());
    const Vector3f values[4] = {joint->getOffset(), joint->getPosition(), joint->getRotation(),
                                PoseEvaluator::positionOf(*joint)};
    QDoubleSpinBox* const boxes[4][3] = {{xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox},
                                         {xPosSpinBox, yPosSpinBox, zPosSpinBox},
                                         {xRotSpinBox, yRotSpinBox, zRotSpinBox},
                                         {xPosAbsSpinBox, yPosAbsSpinBox, zPosAbsSpinBox}};
    for (int group = 0; group < 4; ++group) {
        for (int axis = 0; axis < 3; ++axis)
            boxes[group][axis]->setValue(values[group][axis]);
    }
    updating = false;
}

void JointInfoWidget::changeJointOffset(int axis)
{
    changeJointValue(Field::Offset, axis);
}

void JointInfoWidget::changeJointPosition(int axis)
{
    changeJointValue(Field::Position, axis);
}

void JointInfoWidget::changeJointRotation(int axis)
{
    changeJointValue(Field::Rotation, axis);
}

void JointInfoWidget::changeJointValue(Field field, int axis)
{
    if (updating || !joint || axis < 0 || axis > 2)
        return;
    QDoubleSpinBox* const boxes[3][3] = {{xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox},
                                         {xPosSpinBox, yPosSpinBox, zPosSpinBox},
                                         {xRotSpinBox, yRotSpinBox, zRotSpinBox}};
    const float value = float(boxes[int(field)][axis]->value());
    switch (field) {
    case Field::Offset: {
        Vector3f offset = joint->getOffset();
        offset[axis] = value;
        joint->setOffset(offset.x(), offset.y(), offset.z());
        break;
    }
    case Field::Position: {
        Vector3f position = joint->getPosition();
        position[axis] = value;
        joint->setPosition(position);
        break;
    }
    case Field::Rotation: {
        Vector3f rotation = joint->getRotation();
        rotation[axis] = value;
        joint->setRotation(rotation);
        break;
    }
    }
    emit jointUpdated(joint);
    updateJointInfo();
}

void JointInfoWidget::clearJointInfo()
{
    joint = nullptr;
    jointNameLabel->setText(QString());
    jointParentLabel->setText(QString());
    for (QDoubleSpinBox* box : {xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox, xPosSpinBox,
                                yPosSpinBox, zPosSpinBox, xRotSpinBox, yRotSpinBox, zRotSpinBox})
        box->setValue(0);
}

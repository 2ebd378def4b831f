#include "jointlistwidget.h"

#include "document/motiondocument.h"
#include "tools/jointnames.h"

#include <QHBoxLayout>
#include <QListView>

JointListWidget::JointListWidget(QWidget* parent) : QWidget(parent)
{
    setupUi();
    listView->setModel(&model);
}

void JointListWidget::setupUi()
{
    setObjectName(QStringLiteral("JointListWidget"));
    resize(218, 530);
    horizontalLayout = new QHBoxLayout(this);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(6);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    listView = new QListView(this);
    listView->setObjectName(QStringLiteral("listView"));
    listView->setMinimumSize(200, 400);
    listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalLayout->addWidget(listView);
    retranslateUi();
}

void JointListWidget::retranslateUi()
{
    setWindowTitle(tr("Joint DOF Index List"));
}

void JointListWidget::setDocument(MotionDocument* shown)
{
    if (document)
        disconnect(document, nullptr, this, nullptr);
    document = shown;
    refresh();
    if (document)
        connect(document, &MotionDocument::motionReplaced, this, &JointListWidget::refresh);
}

void JointListWidget::refresh()
{
    model.clear();
    const BvhJoint* rootJoint = document ? document->getMotion().root.data() : nullptr;
    if (!rootJoint)
        return;
    const QList<BvhJoint*> joints = rootJoint->getAllJoints();
    model.setColumnCount(1);
    int column = 0;
    for (const BvhJoint* joint : joints) {
        const int count = joint->getNumChannels();
        // The columns of a row the joint's values take; an End Site takes none.
        const QString columns = count > 0
                                    ? QStringLiteral("(%1-%2)").arg(column).arg(column + count - 1)
                                    : tr("(none)");
        auto* item = new QStandardItem(columns + QLatin1Char(' ') + JointNames::shown(*joint));
        item->setEditable(false);
        model.appendRow(item);
        column += count;
    }
}

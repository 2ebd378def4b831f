#include "jointtreewidget.h"

#include "document/motiondocument.h"
#include "tools/jointnames.h"

#include <QHeaderView>
#include <QTreeView>
#include <QVBoxLayout>

#include <utility>
#include <vector>

// Each row keeps the pre-order index of its joint, so that rows of equal names (the many End
// Sites) each lead to their own joint.
static constexpr int jointIndexRole = Qt::UserRole + 1;

JointTreeWidget::JointTreeWidget(QWidget* parent) : QWidget(parent)
{
    setupUi();
    bvhTreeView->setModel(&model);
    connect(bvhTreeView, &QTreeView::clicked, this, &JointTreeWidget::processClick);
    connect(bvhTreeView, &QTreeView::activated, this, &JointTreeWidget::processClick);
}

void JointTreeWidget::setupUi()
{
    setObjectName(QStringLiteral("JointTreeWidget"));
    resize(318, 541);
    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(6);
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    bvhTreeView = new QTreeView(this);
    bvhTreeView->setObjectName(QStringLiteral("bvhTreeView"));
    bvhTreeView->setMinimumSize(160, 200);
    bvhTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    bvhTreeView->setHeaderHidden(true);
    // Whole names however deep the tree: the column takes its contents' width and the view
    // scrolls sideways instead of eliding them.
    bvhTreeView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    bvhTreeView->header()->setStretchLastSection(false);
    bvhTreeView->setTextElideMode(Qt::ElideNone);
    verticalLayout->addWidget(bvhTreeView);
    retranslateUi();
}

void JointTreeWidget::retranslateUi()
{
    setWindowTitle(tr("Joint Hierarchy"));
}

void JointTreeWidget::setDocument(MotionDocument* shown)
{
    if (document)
        disconnect(document, nullptr, this, nullptr);
    document = shown;
    showSkeleton();
    if (!document)
        return;
    connect(document, &MotionDocument::motionReplaced, this, &JointTreeWidget::showSkeleton);
    connect(document, &MotionDocument::selectedJointChanged, this, &JointTreeWidget::showSelection);
}

void JointTreeWidget::showSkeleton()
{
    model.clear();
    const BvhJoint* rootJoint = document ? document->getMotion().root.data() : nullptr;
    if (!rootJoint)
        return;
    // Built with an explicit stack: hierarchies can be a thousand levels deep.
    auto* top = new QStandardItem(JointNames::shown(*rootJoint));
    top->setEditable(false);
    std::vector<std::pair<const BvhJoint*, QStandardItem*>> pending{{rootJoint, top}};
    int index = 0;
    // Pre-order again, so the running index matches getAllJoints().
    while (!pending.empty()) {
        auto [joint, item] = pending.back();
        pending.pop_back();
        item->setData(index++, jointIndexRole);
        std::vector<std::pair<const BvhJoint*, QStandardItem*>> children;
        for (int i = 0; i < joint->getNumChildren(); ++i) {
            const BvhJoint* child = joint->getChild(i);
            if (!child)
                continue;
            auto* childItem = new QStandardItem(JointNames::shown(*child));
            childItem->setEditable(false);
            item->appendRow(childItem);
            children.emplace_back(child, childItem);
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back(*it);
    }
    model.appendRow(top);
    bvhTreeView->expandAll();
}

void JointTreeWidget::processClick(const QModelIndex& index)
{
    const QStandardItem* item = model.itemFromIndex(index);
    if (!item || !document)
        return;
    bool ok = false;
    const int jointIndex = item->data(jointIndexRole).toInt(&ok);
    if (ok)
        document->setSelectedJoint(jointIndex);
}

void JointTreeWidget::showSelection()
{
    const qsizetype selected = document ? document->getSelectedJoint() : -1;
    const QModelIndexList rows = selected < 0
                                     ? QModelIndexList()
                                     : model.match(model.index(0, 0), jointIndexRole, int(selected),
                                                   1, Qt::MatchExactly | Qt::MatchRecursive);
    const QSignalBlocker quiet(bvhTreeView);
    if (rows.isEmpty())
        bvhTreeView->clearSelection();
    else
        bvhTreeView->setCurrentIndex(rows.first());
}

#include "tooldocks.h"

#include "document/motiondocument.h"
#include "tools/jointinfowidget.h"
#include "tools/jointlistwidget.h"
#include "tools/jointtreewidget.h"
#include "tools/masssegmentwidget.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QResizeEvent>
#include <QScrollArea>

ToolDocks::ToolDocks(MotionDocument& document, QMainWindow& window)
    : QObject(&window), document(document), window(window)
{
    tree = new JointTreeWidget;
    treeDock = dock(tree, Qt::LeftDockWidgetArea);
    info = new JointInfoWidget;
    infoDock = dock(info, Qt::RightDockWidgetArea);
    list = new JointListWidget;
    listDock = dock(list, Qt::RightDockWidgetArea);
    listDock->setFloating(true);
    listDock->hide();
    window.installEventFilter(this);
    tree->setDocument(&document);
    info->setDocument(&document);
    list->setDocument(&document);
}

ToolDocks::~ToolDocks()
{
    delete massSegments;
    for (QDockWidget* shown : {treeDock, infoDock, listDock})
        delete shown;
}

QDockWidget* ToolDocks::dock(QWidget* toolWindow, int area)
{
    auto* result = new QDockWidget;
    result->setObjectName(toolWindow->objectName() + QStringLiteral("Dock"));
    // Scrolled rather than clipped, and no minimum size forced on the window: it must fit
    // 800 x 600.
    auto* scroller = new QScrollArea;
    scroller->setWidget(toolWindow);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setMinimumSize(100, 100);
    result->setWidget(scroller);
    result->setWindowTitle(toolWindow->windowTitle());
    window.addDockWidget(Qt::DockWidgetArea(area), result);
    return result;
}

bool ToolDocks::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &window || event->type() != QEvent::Resize)
        return false;
    const auto* resize = static_cast<QResizeEvent*>(event);
    const int before = resize->oldSize().width(), after = resize->size().width();
    if (before <= 0 || after == before)
        return false;
    QList<QDockWidget*> docks;
    QList<int> widths;
    for (QDockWidget* side : {treeDock, infoDock, listDock}) {
        if (side->isVisible() && !side->isFloating()) {
            docks.append(side);
            widths.append(side->width() * after / before);
        }
    }
    if (!docks.isEmpty())
        window.resizeDocks(docks, widths, Qt::Horizontal);
    return false;
}

MassSegmentWidget* ToolDocks::massSegmentEditor()
{
    if (!massSegments) {
        massSegments = new MassSegmentWidget;
        massSegments->document = &document;
    }
    return massSegments;
}

void ToolDocks::toggleJointTree()
{
    treeDock->setVisible(!treeDock->isVisible());
}

void ToolDocks::toggleJointInfo()
{
    infoDock->setVisible(!infoDock->isVisible());
}

void ToolDocks::toggleJointList()
{
    listDock->setVisible(!listDock->isVisible());
}

void ToolDocks::editMassSegments()
{
    MassSegmentWidget* editor = massSegmentEditor();
    editor->refreshTable();
    editor->exec();
}

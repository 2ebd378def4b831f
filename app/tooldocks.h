#pragma once

#include <QObject>

class JointInfoWidget;
class JointListWidget;
class JointTreeWidget;
class MassSegmentWidget;
class MotionDocument;
class QDockWidget;
class QMainWindow;
class QWidget;

// The tool windows beside the 3D view: Joint Hierarchy (left), Joint Info (right) and the
// floating Joint DOF Index List, each in a dock that scrolls rather than clips, and the
// Mass Segment Editor, made when first asked for. All of them show the one document. The
// docks at the sides grow and shrink with the window, keeping their share of its width.
class ToolDocks : public QObject
{
    Q_OBJECT

public:
    ToolDocks(MotionDocument& document, QMainWindow& window);
    // The tool windows show the document: they go before it does.
    ~ToolDocks() override;

    JointTreeWidget* jointTree() const { return tree; }
    JointInfoWidget* jointInfo() const { return info; }
    JointListWidget* jointList() const { return list; }
    QDockWidget* jointTreeDock() const { return treeDock; }
    QDockWidget* jointInfoDock() const { return infoDock; }
    QDockWidget* jointListDock() const { return listDock; }
    // The editor of the mass-segment model, made on the first call.
    MassSegmentWidget* massSegmentEditor();

    // Window > Joint Hierarchy, Joint Info, Joint DOF Index: shows or hides the dock.
    void toggleJointTree();
    void toggleJointInfo();
    void toggleJointList();
    // Edit > Mass Segments: the editor, filled from the document, as a modal dialog.
    void editMassSegments();

protected:
    // The window's resizes: the side docks keep their share of its width.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDockWidget* dock(QWidget* toolWindow, int area);

    MotionDocument& document;
    QMainWindow& window;
    // The docks own the tool windows; this object owns the docks and the editor.
    JointTreeWidget* tree = nullptr;
    JointInfoWidget* info = nullptr;
    JointListWidget* list = nullptr;
    QDockWidget* treeDock = nullptr;
    QDockWidget* infoDock = nullptr;
    QDockWidget* listDock = nullptr;
    MassSegmentWidget* massSegments = nullptr;
};

#pragma once

#include "model/lengthunit.h"
#include "model/poseconvention.h"

#include <QObject>

#include <optional>

class MotionDocument;
class QAction;
class QMenu;
struct DudEzuForm;

// The menus of how the open motion is posed, scaled and weighed: Profile (Detect, one entry
// a profile, Save Profile...), Unit, the two conventions of the Edit menu and File >
// Properties. Each choice is one of the document's undoable edits; the entries' checks and
// texts follow the document, and statusMessage says what the setup now is.
class SetupMenus : public QObject
{
    Q_OBJECT

public:
    SetupMenus(MotionDocument& document, DudEzuForm& ui, QObject* parent);

    // The skeleton profile of the open motion (its name; empty to detect it), which sets its
    // convention, unit and model. Opening a file detects its profile again.
    void setProfile(const QString& name);
    // The convention of the open motion instead of its profile's.
    void setConvention(const PoseConvention& convention);
    // The length unit of the open motion instead of its profile's (none: the profile's, judged
    // by the skeleton's size).
    void setLengthUnit(const std::optional<LengthUnit>& unit);
    // The profile, convention, unit and model of the open motion (File > Properties).
    void showProperties();
    // Saves the open motion's profile as a file to edit and install (Profile > Save Profile).
    void saveProfile();
    // What the status bar and Properties say about the setup and the model's fit.
    QString setupText() const;

signals:
    void statusMessage(const QString& text);

private:
    void fillProfileMenu();
    void fillUnitMenu();
    // Checks the entries of the setup, enables them while a motion is open, and says the
    // setup in the status bar.
    void showSetup();

    MotionDocument& document;
    DudEzuForm& ui;
    QList<QAction*> profileActions; // the first one is "Detect", then one per profile
    QAction* saveProfileAction = nullptr;
    QList<QAction*> unitActions; // the first one is the profile's unit, then cm, m, mm, in
};

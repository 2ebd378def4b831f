#pragma once

#include "app/playbackclock.h"

#include <QObject>
#include <QTimer>

class MotionDocument;
class QAction;
class QMainWindow;
struct DudEzuForm;

// The playback bar and the timeline under the 3D view: Play and Pause, the frame and time
// fields, the two sliders, the [ and ] marks of the range, and their keys (Space, Left/Right
// with Shift for ten frames, Home/End of the marked range, [ and ]), which work wherever the
// focus is in the window except in a field being typed in. Playing runs within the marked
// range, in step with the time elapsed (PlaybackClock). Without an open motion every control
// is disabled.
class PlaybackControls : public QObject
{
    Q_OBJECT

public:
    PlaybackControls(MotionDocument& document, DudEzuForm& ui, QMainWindow& window);

    bool isPlaying() const { return timer.isActive(); }
    // The timer whose ticks show the frames while playing.
    const QTimer& getTimer() const { return timer; }
    void play();
    void pause();
    void togglePlayback();
    // Shows `frame` (clamped to the motion), whichever control asked for it.
    void goToFrame(int frame);
    void stepFrames(int frames);
    // The frame typed in the frame field; a text that is no frame of the motion is refused
    // (the field turns red, and statusMessage says why).
    void goToTypedFrame();

signals:
    void statusMessage(const QString& text);

private:
    void connectControls();
    void addKeys(QMainWindow& window);
    void tick();
    // Another motion, or none: the sliders' range, the timer's pace, what is enabled.
    void showMotion();
    // The current frame in the frame and time fields and the sliders.
    void showFrame();
    // The marked range in the bracket fields and the sub-slider.
    void showMarkedRange();

    MotionDocument& document;
    DudEzuForm& ui;
    QTimer timer;
    PlaybackClock clock;
    QList<QAction*> keys;
};

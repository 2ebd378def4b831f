#include "playbackcontrols.h"

#include "app/dudezuform.h"
#include "app/timedisplay.h"
#include "document/motiondocument.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

PlaybackControls::PlaybackControls(MotionDocument& document, DudEzuForm& ui, QMainWindow& window)
    : QObject(&window), document(document), ui(ui)
{
    connectControls();
    addKeys(window);
    connect(&document, &MotionDocument::motionReplaced, this, &PlaybackControls::showMotion);
    connect(&document, &MotionDocument::currentFrameChanged, this, &PlaybackControls::showFrame);
    connect(&document, &MotionDocument::markedRangeChanged, this,
            &PlaybackControls::showMarkedRange);
    showMotion();
}

void PlaybackControls::connectControls()
{
    connect(ui.startButton, &QPushButton::clicked, this, &PlaybackControls::play);
    connect(ui.pauseButton, &QPushButton::clicked, this, &PlaybackControls::pause);
    connect(ui.leftButton, &QToolButton::clicked, this, [this] { stepFrames(-1); });
    connect(ui.rightButton, &QToolButton::clicked, this, [this] { stepFrames(1); });
    connect(ui.gotoButton, &QPushButton::clicked, this, &PlaybackControls::goToTypedFrame);
    connect(ui.frameLineEdit, &QLineEdit::returnPressed, this, &PlaybackControls::goToTypedFrame);
    // Every way a slider moves (drag, click on the groove, wheel, keys) shows its frame; the
    // controls set their values with signals blocked.
    connect(ui.slider, &QSlider::valueChanged, this, &PlaybackControls::goToFrame);
    connect(ui.subSlider, &QSlider::valueChanged, this, &PlaybackControls::goToFrame);
    connect(ui.leftBracketButton, &QPushButton::clicked, this,
            [this] { document.markFirst(document.getCurrentFrame()); });
    connect(ui.rightBracketButton, &QPushButton::clicked, this,
            [this] { document.markLast(document.getCurrentFrame()); });
    // Each tick shows the frame the time elapsed since Play calls for.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &PlaybackControls::tick);
}

void PlaybackControls::addKeys(QMainWindow& window)
{
    // Window-wide keys; a text field being typed in keeps the ones it uses for itself.
    const auto key = [&](const QKeySequence& sequence, auto slot) {
        auto* action = new QAction(&window);
        action->setShortcut(sequence);
        connect(action, &QAction::triggered, this, slot);
        window.addAction(action);
        keys.append(action);
    };
    key(Qt::Key_Space, [this] { togglePlayback(); });
    key(Qt::Key_Left, [this] { stepFrames(-1); });
    key(Qt::Key_Right, [this] { stepFrames(1); });
    key(Qt::SHIFT | Qt::Key_Left, [this] { stepFrames(-10); });
    key(Qt::SHIFT | Qt::Key_Right, [this] { stepFrames(10); });
    key(Qt::Key_Home, [this] { goToFrame(document.getMarkedRange().first); });
    key(Qt::Key_End, [this] { goToFrame(document.getMarkedRange().last); });
    key(Qt::Key_BracketLeft, [this] { ui.leftBracketButton->click(); });
    key(Qt::Key_BracketRight, [this] { ui.rightBracketButton->click(); });
}

void PlaybackControls::play()
{
    if (!document.isOpen())
        return;
    // Playback runs within the marked range: from outside it, it starts at its first frame.
    const FrameRange& range = document.getMarkedRange();
    const int frame = document.getCurrentFrame();
    if (!range.isEmpty() && (frame < range.first || frame >= range.last))
        document.setCurrentFrame(range.first);
    clock.start(document.getCurrentFrame(), document.getMotion().frameTime);
    timer.start();
}

void PlaybackControls::pause()
{
    timer.stop();
    clock.stop();
}

void PlaybackControls::togglePlayback()
{
    if (isPlaying())
        pause();
    else
        play();
}

void PlaybackControls::tick()
{
    const FrameRange range = document.getMarkedRange();
    if (!document.isOpen() || range.isEmpty())
        return pause();
    int frame = std::max(clock.currentFrame(), 0);
    if (frame > range.last) {
        if (ui.loopCheckBox->isChecked()) {
            // Round again from the first frame, as many rounds as the time elapsed calls for.
            frame = range.first + (frame - range.first) % range.count();
            clock.start(frame, document.getMotion().frameTime);
        } else {
            frame = range.last;
            pause();
        }
    }
    document.setCurrentFrame(frame);
}

void PlaybackControls::goToFrame(int frame)
{
    if (!document.isOpen())
        return;
    const int before = document.getCurrentFrame();
    document.setCurrentFrame(frame);
    if (document.getCurrentFrame() == before)
        showFrame(); // a slider moved to the frame shown, or a refused text: put them in step
    if (isPlaying())
        clock.start(document.getCurrentFrame(), document.getMotion().frameTime);
}

void PlaybackControls::stepFrames(int frames)
{
    goToFrame(document.getCurrentFrame() + frames);
}

void PlaybackControls::goToTypedFrame()
{
    if (!document.isOpen())
        return;
    bool number = false;
    const int frame = ui.frameLineEdit->text().trimmed().toInt(&number);
    if (!number || frame < 0 || frame > document.lastFrame()) {
        // Not a frame of the motion: refused where it was typed, the frame shown stays.
        ui.frameLineEdit->setProperty("invalid", true);
        ui.frameLineEdit->setStyleSheet(QStringLiteral("QLineEdit { background: #ffc0c0; }"));
        emit statusMessage(tr("\"%1\" is not a frame of this motion: frames run from 0 to %2")
                               .arg(ui.frameLineEdit->text())
                               .arg(document.lastFrame()));
        return;
    }
    goToFrame(frame);
}

void PlaybackControls::showMotion()
{
    const bool open = document.isOpen();
    ui.slider->setRange(0, std::max(document.lastFrame(), 0));
    timer.setInterval(PlaybackClock::intervalFor(document.getMotion().frameTime));
    if (!open)
        pause();
    else if (isPlaying()) // playing goes on, with the new motion from its first frame
        clock.start(document.getCurrentFrame(), document.getMotion().frameTime);
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui.startButton, ui.pauseButton, ui.leftButton, ui.rightButton, ui.gotoButton,
             ui.frameLineEdit, ui.slider, ui.subSlider, ui.leftBracketButton, ui.rightBracketButton,
             ui.loopCheckBox})
        control->setEnabled(open);
    for (QAction* key : std::as_const(keys))
        key->setEnabled(open);
    showFrame();
    showMarkedRange();
}

void PlaybackControls::showFrame()
{
    const bool open = document.isOpen();
    ui.frameLineEdit->setProperty("invalid", false);
    ui.frameLineEdit->setStyleSheet(QString());
    ui.frameLineEdit->setText(open ? QString::number(document.getCurrentFrame()) : QString());
    ui.timeLineEdit->setText(
        open ? TimeDisplay::timeText(document.getMotion().frameTime, document.getCurrentFrame())
             : QString());
    const QSignalBlocker blockSlider(ui.slider);
    const QSignalBlocker blockSubSlider(ui.subSlider);
    ui.slider->setValue(document.getCurrentFrame());
    ui.subSlider->setValue(document.getCurrentFrame());
}

void PlaybackControls::showMarkedRange()
{
    const FrameRange& range = document.getMarkedRange();
    const bool shown = document.isOpen() && !range.isEmpty();
    ui.leftBracketLineEdit->setText(shown ? QString::number(range.first) : QString());
    ui.rightBracketLineEdit->setText(shown ? QString::number(range.last) : QString());
    const QSignalBlocker blockSubSlider(ui.subSlider);
    ui.subSlider->setRange(shown ? range.first : 0, shown ? range.last : 0);
    ui.subSlider->setValue(document.getCurrentFrame());
}

#pragma once

#include <QString>

// The texts of the playback bar and the timeline.
namespace TimeDisplay {

// "hh:mm:ss.mmm" for frame `frame` at `frameTime` seconds per frame, rounded to whole
// milliseconds, hours not limited, "-" in front of negative times.
QString timeText(double frameTime, int frame);
// A field's text as a frame number; text that is not a decimal integer reads as 0.
int readNumber(const QString& text);

} // namespace TimeDisplay

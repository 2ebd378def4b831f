#include "progresssink.h"

ProgressSink::~ProgressSink() = default;

bool PercentProgress::advance(int index)
{
    if (value < double(index - first) * 100.0 / span) {
        value += 10;
        if (sink)
            sink->setValue(value);
    }
    return sink && sink->isCanceled();
}

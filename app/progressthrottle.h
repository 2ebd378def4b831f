#pragma once

// How often a command-line run updates its progress dialog: about `updates` times over
// `maximum` frames. With step = maximum / updates, frame f is due when f exceeds the next
// mark, which then moves on by step; when there are fewer frames than updates (step 0) every
// frame after the first is due. Updating processes pending events, which costs far more than
// converting a frame, hence the throttle.
class ProgressThrottle
{
public:
    ProgressThrottle(int maximum, int updates);

    // True when frame `frame` should be shown; call once per frame, in order.
    bool isDue(int frame);

private:
    int step = 0;
    int next = 0;
};

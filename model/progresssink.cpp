#include "progresssink.h"

ProgressSink::~ProgressSink() = default;

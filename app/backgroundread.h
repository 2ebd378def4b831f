#pragma once

#include "model/bvhreader.h"

class QWidget;

// Reads a BVH file on a thread of its own, so that the window goes on drawing while a long
// motion loads, with a progress dialog over `window` once the reading takes more than a
// moment. Input to the window waits until the reading is over, when the call returns. The
// dialog's Cancel ends the reading (the result says Canceled and `motion` stays empty).
namespace BackgroundRead {

BvhReadResult read(BvhFile& motion, const QString& path, QWidget* window);

} // namespace BackgroundRead

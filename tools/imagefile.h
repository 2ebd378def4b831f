#pragma once

#include "model/writeresult.h"

#include <QSize>
#include <QString>

#include <functional>

class QPainter;

// Saves a picture as PNG, or as SVG for a name ending in ".svg" (any case), painted by `paint`
// on a canvas of `size`: on an SVG canvas what is drawn as lines and text stays vector. The old
// file is replaced only once the new one is whole.
namespace ImageFile {

WriteResult save(const QString& fileName, const QSize& size,
                 const std::function<void(QPainter&)>& paint, const QString& title = {});

} // namespace ImageFile

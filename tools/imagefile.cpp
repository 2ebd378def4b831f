#include "imagefile.h"

#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace ImageFile {

WriteResult save(const QString& fileName, const QSize& size,
                 const std::function<void(QPainter&)>& paint, const QString& title)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return WriteResult::commit(file);
    bool failed = false;
    if (fileName.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        if (!title.isEmpty())
            svg.setTitle(title);
        QPainter painter;
        failed = !painter.begin(&svg);
        if (!failed) {
            paint(painter);
            failed = !painter.end();
        }
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter;
        failed = !painter.begin(&image);
        if (!failed) {
            paint(painter);
            failed = !painter.end() || !image.save(&file, "PNG");
        }
    }
    return WriteResult::commit(file, failed);
}

} // namespace ImageFile

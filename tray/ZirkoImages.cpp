// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZirkoImages.h"

#include "TImageList.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <array>

namespace {

// Rendered here rather than through the SVG icon plugin, so the images never
// depend on a plugin being installed and come out pixel-exact at their size.
QPixmap Render(const QString& Resource, int Size) {
    QImage Image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    Image.fill(Qt::transparent);
    QSvgRenderer Renderer(Resource);
    if (Renderer.isValid()) {
        QPainter Painter(&Image);
        Renderer.render(&Painter);
    }
    return QPixmap::fromImage(Image);
}

} // namespace

QIcon ZirkoRadarImage(int index) {
    static const std::array<const char*, ZirkoRadarImageCount> Files = {
        ":/zirko/images/radar_grey.svg", ":/zirko/images/radar_yellow.svg",
        ":/zirko/images/radar_red.svg"};
    if (index < 0 || index >= ZirkoRadarImageCount)
        return {};
    return QIcon(Render(QString::fromLatin1(Files[static_cast<size_t>(index)]), 16));
}

void ZirkoAddRadarImages(TImageList& List) {
    for (int i = 0; i < ZirkoRadarImageCount; ++i)
        List.Add(ZirkoRadarImage(i));
}

QIcon ZirkoProgramIcon() {
    QIcon Icon;
    for (const int Size : {16, 24, 32, 48, 64, 128})
        Icon.addPixmap(Render(QStringLiteral(":/zirko/images/program.svg"), Size));
    return Icon;
}

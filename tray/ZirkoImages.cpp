// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZirkoImages.h"

#include "TImageList.h"

#include <QImageReader>
#include <QPixmap>

#include <array>

// The SVG images' renderings at each size they are shown at (zirko_tray_pngs
// makes them): decoding a PNG needs no SVG library in the program, and each
// image is exact at its size.
namespace {

QPixmap Load(const QString& Resource) {
    // Read as PNG without asking: asking loads every image-format plugin (and
    // Qt Svg with one of them) to learn whether it knows the file.
    QImageReader Reader(Resource, "PNG");
    Reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(Reader.read());
}

} // namespace

QIcon ZirkoRadarImage(int index) {
    static const std::array<const char*, ZirkoRadarImageCount> Files = {
        ":/zirko/images/png/radar_grey.png", ":/zirko/images/png/radar_yellow.png",
        ":/zirko/images/png/radar_red.png"};
    if (index < 0 || index >= ZirkoRadarImageCount)
        return {};
    return QIcon(Load(QString::fromLatin1(Files[static_cast<size_t>(index)])));
}

void ZirkoAddRadarImages(TImageList& List) {
    for (int i = 0; i < ZirkoRadarImageCount; ++i)
        List.Add(ZirkoRadarImage(i));
}

QIcon ZirkoProgramIcon() {
    QIcon Icon;
    for (const int Size : {16, 24, 32, 48, 64, 128})
        Icon.addPixmap(Load(QStringLiteral(":/zirko/images/hicolor/%1x%1/apps/zirko.png").arg(Size)));
    return Icon;
}

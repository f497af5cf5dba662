// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the PNG renderings of the SVG images for installation into an icon
// theme: tray/images/hicolor/<n>x<n>/apps/zirko.png and the radar images.
// Usage: zirko_render_icons <images folder>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

namespace {

bool RenderTo(const QString& Svg, int Size, const QString& Png) {
    QSvgRenderer Renderer(Svg);
    if (!Renderer.isValid())
        return false;
    QImage Image(Size, Size, QImage::Format_ARGB32);
    Image.fill(Qt::transparent);
    {
        QPainter Painter(&Image);
        Renderer.render(&Painter);
    }
    return QDir().mkpath(QFileInfo(Png).path()) && Image.save(Png, "PNG");
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication App(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zirko_render_icons <images folder>\n");
        return 2;
    }
    const QDir Images(QString::fromLocal8Bit(argv[1]));
    bool Ok = true;
    for (const int Size : {16, 22, 24, 32, 48, 64, 128, 256})
        Ok &= RenderTo(Images.filePath("program.svg"), Size,
                       Images.filePath(QStringLiteral("hicolor/%1x%1/apps/zirko.png").arg(Size)));
    for (const char* Name : {"radar_grey", "radar_yellow", "radar_red"})
        Ok &= RenderTo(Images.filePath(QStringLiteral("%1.svg").arg(Name)), 16,
                       Images.filePath(QStringLiteral("png/%1.png").arg(Name)));
    return Ok ? 0 : 1;
}

// Paints the demo's cover art (front, side and top) and writes a project
// that uses it. Everything is drawn here; nothing comes from elsewhere.
//
//   make_demo FOLDER                  demo covers and FOLDER/demo.pcf
//   make_demo FOLDER --size WxH       all three covers at W x H, as JPEG:
//                                     large pictures for timing
#include "formats/AtomicFile.h"
#include "formats/ImageCodec.h"
#include "formats/PictureWriter.h"
#include "formats/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

const QColor Night(18, 24, 64);
const QColor Dusk(92, 38, 120);
const QColor Sun(255, 150, 40);
const QColor Cream(255, 240, 214);

void Backdrop(QPainter& p, const QRectF& r, bool vertical)
{
    QLinearGradient g(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
    g.setColorAt(0, Night);
    g.setColorAt(1, Dusk);
    p.fillRect(r, g);
}

// The product's mark: a cube seen from above, three shaded faces.
void Cube(QPainter& p, QPointF c, double s)
{
    const QPointF top(c.x(), c.y() - s), left(c.x() - s * 0.87, c.y() - s * 0.5),
        right(c.x() + s * 0.87, c.y() - s * 0.5), bottom(c.x(), c.y() + s),
        lowLeft(c.x() - s * 0.87, c.y() + s * 0.5), lowRight(c.x() + s * 0.87, c.y() + s * 0.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 214, 120));
    p.drawPolygon(QPolygonF{top, right, c, left});
    p.setBrush(QColor(235, 120, 40));
    p.drawPolygon(QPolygonF{left, c, bottom, lowLeft});
    p.setBrush(QColor(170, 60, 50));
    p.drawPolygon(QPolygonF{c, right, lowRight, bottom});
}

QImage Front(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(size));
    const double w = r.width(), h = r.height();
    Backdrop(p, r, true);
    // A low sun behind the mark.
    QRadialGradient glow(QPointF(w * 0.5, h * 0.42), w * 0.55);
    glow.setColorAt(0, Sun);
    glow.setColorAt(0.55, QColor(Sun.red(), Sun.green(), Sun.blue(), 90));
    glow.setColorAt(1, Qt::transparent);
    p.setBrush(glow);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(w * 0.5, h * 0.42), w * 0.55, w * 0.55);
    // Diagonal speed stripes across the lower half.
    p.setBrush(QColor(255, 255, 255, 40));
    for (int i = 0; i < 5; ++i) {
        const double y = h * (0.62 + i * 0.07);
        p.drawPolygon(QPolygonF{{0, y}, {w, y - h * 0.12}, {w, y - h * 0.09}, {0, y + h * 0.03}});
    }
    Cube(p, QPointF(w * 0.5, h * 0.42), w * 0.22);
    // Title band and a row of "feature" chips.
    p.setBrush(Cream);
    p.drawRoundedRect(QRectF(w * 0.1, h * 0.74, w * 0.8, h * 0.08), h * 0.02, h * 0.02);
    p.setBrush(Night);
    p.drawRect(QRectF(w * 0.16, h * 0.765, w * 0.5, h * 0.03));
    const QColor chips[3] = {QColor(90, 200, 230), QColor(120, 220, 120), Sun};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(chips[i]);
        p.drawEllipse(QPointF(w * (0.3 + i * 0.2), h * 0.9), w * 0.05, w * 0.05);
    }
    // A thin frame, as printed boxes have.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Cream, w * 0.015));
    p.drawRect(r.adjusted(w * 0.03, w * 0.03, -w * 0.03, -w * 0.03));
    return image;
}

QImage Side(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(size));
    const double w = r.width(), h = r.height();
    Backdrop(p, r, true);
    p.setPen(Qt::NoPen);
    p.setBrush(Sun);
    p.drawRect(QRectF(0, h * 0.06, w, h * 0.02));
    p.drawRect(QRectF(0, h * 0.92, w, h * 0.02));
    Cube(p, QPointF(w * 0.5, h * 0.2), w * 0.3);
    p.setBrush(Cream); // the spine's title bars
    for (int i = 0; i < 3; ++i)
        p.drawRoundedRect(QRectF(w * 0.2, h * (0.4 + i * 0.12), w * 0.6, h * 0.07), w * 0.1, w * 0.1);
    return image;
}

QImage Top(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(size));
    const double w = r.width(), h = r.height();
    Backdrop(p, r, false);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 7; ++i) {
        p.setBrush(i % 2 ? Sun : Cream);
        p.drawEllipse(QPointF(w * (0.1 + i * 0.133), h * 0.5), h * 0.22, h * 0.22);
    }
    return image;
}

void SaveBmp(const QImage& image, const QString& path)
{
    if (!image.convertToFormat(QImage::Format_RGB888).save(path, "BMP"))
        throw ImageError(QStringLiteral("%1: cannot be written").arg(path).toStdString());
}

void SaveJpeg(const QImage& image, const QString& path)
{
    const QImage rgba = AsRgba(image, path);
    WriteFileAtomically(path, EncodeJpeg(RgbaRows::Of(rgba), 90, path));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 4 && QByteArray(argv[2]) == "--size")) {
        std::fprintf(stderr, "usage: make_demo FOLDER [--size WxH]\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "make_demo: cannot make %s\n", argv[1]);
        return 1;
    }
    try {
        ProjectData project;
        project.OutputFolder = QDir::toNativeSeparators(folder.absolutePath()) + QDir::separator();
        if (argc == 4) {
            const QStringList parts = QString::fromLatin1(argv[3]).split(QLatin1Char('x'));
            const int w = parts.value(0).toInt(), h = parts.value(1).toInt();
            if (parts.size() != 2 || w < 8 || h < 8 || w > 16384 || h > 16384) {
                std::fprintf(stderr, "make_demo: --size needs WxH, 8..16384 each\n");
                return 2;
            }
            project.FrontBack = folder.absoluteFilePath(QStringLiteral("front.jpg"));
            project.LeftRight = folder.absoluteFilePath(QStringLiteral("side.jpg"));
            project.TopBottom = folder.absoluteFilePath(QStringLiteral("top.jpg"));
            SaveJpeg(Front({w, h}), project.FrontBack);
            SaveJpeg(Side({w, h}), project.LeftRight);
            SaveJpeg(Top({w, h}), project.TopBottom);
        } else {
            project.FrontBack = folder.absoluteFilePath(QStringLiteral("front.jpg"));
            project.LeftRight = folder.absoluteFilePath(QStringLiteral("side.bmp"));
            project.TopBottom = folder.absoluteFilePath(QStringLiteral("top.bmp"));
            SaveJpeg(Front({480, 600}), project.FrontBack);
            SaveBmp(Side({140, 600}), project.LeftRight);
            SaveBmp(Top({480, 140}), project.TopBottom);
        }
        project.Form = 1;                     // "Side view vertical box"
        project.Depth = 31;
        project.Vertical = -2;
        project.Eye = 28;
        project.SideAngle = 28.0f;
        project.TiltAngle = -2.0f;
        project.Thick = 40;
        project.BackgroundColor = 0x00F4EEEA; // a pale blue-grey, 0x00BBGGRR
        const QString path = folder.absoluteFilePath(QStringLiteral("demo.pcf"));
        QFile file(path);
        const QByteArray bytes = EncodeProject(project);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "make_demo: cannot write %s\n", qPrintable(path));
            return 1;
        }
    } catch (const ImageError& e) {
        std::fprintf(stderr, "make_demo: %s\n", e.what());
        return 1;
    }
    return 0;
}

// PNG, GIF and TGA covers in the window: picked and dropped like JPEG, with
// their thumbnail and face; a damaged one is told and leaves the slot.
#include "window/WindowFixture.h"

#include "formats/GifCodec.h"

#include <QOpenGLContext>

#include <QDragEnterEvent>
#include <QFile>
#include <QMimeData>

namespace {

using CoverFormatsWindow = WindowFixture;

// Red left, blue right, with an alpha channel; `leftAlpha` for the left half.
QImage HalfAndHalf(QSize size, int leftAlpha = 255)
{
    QImage image(size, QImage::Format_RGBA8888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, x < size.width() / 2 ? qRgba(230, 10, 10, leftAlpha) : qRgba(10, 10, 230, 255));
    return image;
}

// The same picture as a run-length TGA, rows from the top.
QByteArray TgaOf(const QImage& image)
{
    QByteArray file(18, '\0');
    file[2] = 10;
    file[12] = static_cast<char>(image.width());
    file[14] = static_cast<char>(image.height());
    file[16] = 32;
    file[17] = 0x28;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            file += '\0'; // a raw packet of one pixel
            file += static_cast<char>(qBlue(c));
            file += static_cast<char>(qGreen(c));
            file += static_cast<char>(qRed(c));
            file += static_cast<char>(qAlpha(c));
        }
    return file;
}

TEST_F(CoverFormatsWindow, EachNewFormatDressesTheFaceAndThePreview)
{
    Start();
    ui::formBox(*form)->setCurrentIndex(2); // the front faces the viewer
    form->FormChosen();
    ShowAndWaitForGL();
    const QImage picture = HalfAndHalf({64, 48});
    ASSERT_TRUE(picture.save(Path("c.png"), "PNG"));
    const QImage bottomUp = picture.mirrored(false, true);
    EncodeGif(Path("c.gif"), bottomUp.constBits(), 64, 48);
    QFile tga(Path("c.tga"));
    ASSERT_TRUE(tga.open(QIODevice::WriteOnly));
    tga.write(TgaOf(picture));
    tga.close();

    for (const char* name : {"c.png", "c.gif", "c.tga"}) {
        PickCover(FrontBack, WritePicture(QStringLiteral("reset.bmp"), {8, 8}, Qt::green, Qt::green));
        const QString file = Path(QLatin1String(name));
        PickCover(FrontBack, file);
        EXPECT_EQ(form->Document().Cover(FrontBack).Path, file) << name;
        const QImage thumb = form->CoverSlots()[FrontBack].Thumbnail;
        ASSERT_FALSE(thumb.isNull()) << name;
        // Left red and right blue.
        EXPECT_GT(thumb.pixelColor(2, thumb.height() / 2).red(), 200) << name;
        EXPECT_GT(thumb.pixelColor(thumb.width() - 3, thumb.height() / 2).blue(), 200) << name;
        const QImage frame = Frame();
        const QColor centreLeft = frame.pixelColor(frame.width() / 2 - 20, frame.height() / 2);
        const QColor centreRight = frame.pixelColor(frame.width() / 2 + 20, frame.height() / 2);
        EXPECT_GT(centreLeft.red(), 200) << name;
        EXPECT_GT(centreRight.blue(), 200) << name;
    }
}

// A large picture read whole (not row by row, as a JPEG is) has its
// texture made on the texture maker's thread too, and fills it whole.
TEST_F(CoverFormatsWindow, ALargePictureReadWholeDressesTheFace)
{
    Start();
    ui::formBox(*form)->setCurrentIndex(2); // the front faces the viewer
    form->FormChosen();
    ShowAndWaitForGL();
    PickCover(FrontBack, WritePicture(QStringLiteral("large.bmp"), {2100, 1600}, QColor(230, 10, 10),
                                      QColor(10, 10, 230))); // a 2048 x 2048 texture
    EXPECT_FALSE(form->CoverLoadsPending());
    // Its texture came after the load had ended: the window drew the face
    // without anything else asking for a frame.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui::view(*form)->FramePending(); }, 3000));
    QTest::qWait(50);
    const int w = ui::view(*form)->PixelSize().width(), h = ui::view(*form)->PixelSize().height();
    std::uint8_t left[4] = {}, right[4] = {};
    ASSERT_TRUE(ui::view(*form)->ReadFrame([&] {
        glReadPixels(w / 2 - 20, h / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, left);
        glReadPixels(w / 2 + 20, h / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, right);
    }));
    EXPECT_GT(left[0], 200);
    EXPECT_GT(right[2], 200);
    const QImage frame = Frame();
    EXPECT_GT(frame.pixelColor(frame.width() / 2 - 20, frame.height() / 2).red(), 200);
    EXPECT_GT(frame.pixelColor(frame.width() / 2 + 20, frame.height() / 2).blue(), 200);
}

// The load is not over until the face shows the cover: its texture, asked
// of the texture maker only once the picture is read, is on the slot when
// the window says no cover is pending any more.
TEST_F(CoverFormatsWindow, ACoverIsPendingUntilItsFaceShowsIt)
{
    Start();
    ui::formBox(*form)->setCurrentIndex(2);
    form->FormChosen();
    ShowAndWaitForGL();
    PickCover(FrontBack, WritePicture(QStringLiteral("large.bmp"), {2100, 1600}, QColor(230, 10, 10),
                                      QColor(10, 10, 230)));
    EXPECT_EQ(form->TexturesMadeAside(), 1);
    const QImage frame = Frame(); // no frame waited for: the next one shows it
    EXPECT_GT(frame.pixelColor(frame.width() / 2 - 20, frame.height() / 2).red(), 200);
    EXPECT_GT(frame.pixelColor(frame.width() / 2 + 20, frame.height() / 2).blue(), 200);
}

// A transparent half shows white, in the preview and on the face, as the
// command line shows it; the file is known by its content, whatever its name.
TEST_F(CoverFormatsWindow, TransparentPartsShowWhiteWhateverTheName)
{
    Start();
    ui::formBox(*form)->setCurrentIndex(2);
    form->FormChosen();
    ShowAndWaitForGL();
    QImage opaque = HalfAndHalf({64, 48});
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 32; ++x)
            opaque.setPixel(x, y, qRgba(255, 255, 255, 255));
    ASSERT_TRUE(opaque.convertToFormat(QImage::Format_RGB888).save(Path("white.bmp"), "BMP"));
    PickCover(FrontBack, Path("white.bmp"));
    const QImage expected = Frame();

    ASSERT_TRUE(HalfAndHalf({64, 48}, 0).save(Path("clear.jpg"), "PNG")); // a PNG named .jpg
    PickCover(FrontBack, Path("clear.jpg"));
    ASSERT_EQ(form->Document().Cover(FrontBack).Path, Path("clear.jpg"));
    const QImage thumb = form->CoverSlots()[FrontBack].Thumbnail;
    EXPECT_EQ(thumb.pixelColor(2, thumb.height() / 2), QColor(255, 255, 255));
    EXPECT_EQ(thumb.pixelColor(thumb.width() - 3, thumb.height() / 2), QColor(10, 10, 230));
    EXPECT_EQ(Frame(), expected);
    EXPECT_TRUE(prompts.Asked.filter(QStringLiteral("tell:")).isEmpty()) << prompts.Asked.join(QLatin1Char('|')).toStdString();
}

TEST_F(CoverFormatsWindow, DamagedFilesAreToldAndLeaveTheSlot)
{
    Start();
    ShowAndWaitForGL();
    const QString good = WritePicture(QStringLiteral("good.bmp"), {40, 40}, Qt::green, Qt::green);
    PickCover(TopBottom, good);
    const QImage before = form->CoverSlots()[TopBottom].Thumbnail;
    ASSERT_TRUE(HalfAndHalf({16, 16}).save(Path("whole.png"), "PNG"));
    QFile whole(Path("whole.png"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray png = whole.readAll();
    const struct {
        const char* name;
        QByteArray bytes;
    } damaged[] = {
        {"cut.png", png.left(png.size() - 30)},
        {"bad.gif", QByteArray("GIF89a nothing more")},
        {"cut.tga", TgaOf(HalfAndHalf({16, 16})).chopped(7)},
    };
    for (const auto& d : damaged) {
        QFile f(Path(QLatin1String(d.name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(d.bytes);
        f.close();
        const auto asked = prompts.Asked.size();
        PickCover(TopBottom, Path(QLatin1String(d.name)));
        ASSERT_EQ(prompts.Asked.size(), asked + 2) << d.name; // the file dialog, then the error
        EXPECT_TRUE(prompts.Asked.last().startsWith("tell:")) << prompts.Asked.last().toStdString();
        EXPECT_TRUE(prompts.Asked.last().contains(QLatin1String(d.name))) << prompts.Asked.last().toStdString();
        EXPECT_EQ(form->Document().Cover(TopBottom).Path, good) << d.name;
        EXPECT_EQ(form->CoverSlots()[TopBottom].Thumbnail, before) << d.name;
    }
}

TEST_F(CoverFormatsWindow, TheNewFormatsMayBeDropped)
{
    Start();
    ShowAndWaitForGL();
    ASSERT_TRUE(HalfAndHalf({20, 90}).save(Path("side.PNG"), "PNG"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Path("side.PNG"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ui::sidePreview(*form), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ui::sidePreview(*form), &dropped);
    WaitForCovers();
    EXPECT_EQ(form->Document().Cover(LeftRight).Path, Path("side.PNG"));
}

} // namespace

#include "formats/ImageCodec.h"
#include "formats/PdfPage.h"
#include "support/TempFiles.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <gtest/gtest.h>

struct PdfPageTest : TempFiles {
    // A page of `mm`, three bands across it: red, green, blue.
    QString Bands(const QSizeF& mm)
    {
        const QString file = Path(QStringLiteral("wrap.pdf"));
        QPdfWriter writer(file);
        writer.setPageSize(QPageSize(mm, QPageSize::Millimeter));
        writer.setPageMargins(QMarginsF());
        writer.setResolution(72);
        QPainter painter(&writer);
        const QRect page = painter.viewport();
        const int third = page.width() / 3;
        painter.fillRect(QRect(0, 0, third, page.height()), Qt::red);
        painter.fillRect(QRect(third, 0, third, page.height()), Qt::green);
        painter.fillRect(QRect(2 * third, 0, page.width() - 2 * third, page.height()), Qt::blue);
        painter.end();
        return file;
    }
};

TEST_F(PdfPageTest, TheFirstPageIsMeasuredAndDrawnAtTheResolutionAsked)
{
    const QString file = Bands(QSizeF(300, 100));
    const QSizeF mm = PdfPageSizeMm(file);
    EXPECT_NEAR(mm.width(), 300, 0.5);
    EXPECT_NEAR(mm.height(), 100, 0.5);
    const QImage page = PdfFirstPage(file, 127); // 5 pixels a millimetre
    EXPECT_NEAR(page.width(), 1500, 3);
    EXPECT_NEAR(page.height(), 500, 3);
    const int y = page.height() / 2;
    EXPECT_EQ(page.pixel(page.width() / 6, y), qRgb(255, 0, 0));
    EXPECT_EQ(page.pixel(page.width() / 2, y), qRgb(0, 255, 0));
    EXPECT_EQ(page.pixel(page.width() * 5 / 6, y), qRgb(0, 0, 255));
}

TEST_F(PdfPageTest, WhatIsNoReadablePdfIsRefusedByName)
{
    Write(Path(QStringLiteral("text.pdf")), "plain text, not a PDF");
    Write(Path(QStringLiteral("cut.pdf")), "%PDF-1.4\n1 0 obj << /Type /Catalog");
    for (const char* name : {"text.pdf", "cut.pdf", "missing.pdf"}) {
        const QString file = Path(QLatin1String(name));
        EXPECT_THROW(PdfPageSizeMm(file), ImageError) << name;
        try {
            PdfFirstPage(file, 72);
            ADD_FAILURE() << name;
        } catch (const ImageError& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QLatin1String(name))) << e.what();
        }
    }
    // Larger than any picture the program reads: refused before drawing.
    EXPECT_THROW(PdfFirstPage(Bands(QSizeF(300, 100)), 20000), ImageError);
}

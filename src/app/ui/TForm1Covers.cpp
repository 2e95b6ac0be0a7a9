// Choosing the cover images of the three slots.
#include "app/ui/TForm1.h"

#include "gl/ui/TGLPanel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>

namespace {

const QString ImageFilter =
    QStringLiteral("Image (*.jpg;*.bmp)|*.jpg;*.bmp|jpg image|*.jpg|bmp image|*.bmp");

// Restores the cursor however the load ends.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

QLabel* TForm1::PreviewOf(int slot) const
{
    switch (slot) {
    case FrontBack: return imFront;
    case LeftRight: return imSide;
    default: return imTop;
    }
}

void TForm1::ShowPreviews()
{
    for (int i = 0; i < CoverSlotCount; ++i)
        PreviewOf(i)->setPixmap(QPixmap::fromImage(Covers[static_cast<std::size_t>(i)].Thumbnail));
}

void TForm1::ImageSelectClick(QObject* sender)
{
    int slot = -1;
    if (sender == imFront || sender == Selectfrontimage1)
        slot = FrontBack;
    else if (sender == imSide || sender == Selectsideimage1)
        slot = LeftRight;
    else if (sender == imTop || sender == Selecttopimage1)
        slot = TopBottom;
    if (slot >= 0)
        SelectCoverImage(slot, false);
}

bool TForm1::SelectCoverImage(int slot, bool useStoredPath, const QString& droppedFile)
{
    if (slot < 0 || slot >= CoverSlotCount)
        return false;
    CoverImage& cover = Covers[static_cast<std::size_t>(slot)];
    QString fileName = cover.Path;
    if (!useStoredPath) {
        if (droppedFile.isEmpty()) {
            FileDialogRequest request;
            request.Title = QStringLiteral("Select image");
            request.Filter = ImageFilter;
            request.FileName = fileName;
            request.StartFolder = fileName.isEmpty() ? Folder.DataFolder
                                                     : QFileInfo(fileName).absolutePath();
            const QString chosen = Dialogs().OpenFile(this, request);
            if (chosen.isEmpty())
                return false;
            fileName = chosen;
        } else {
            fileName = QDir::toNativeSeparators(droppedFile);
        }
        Folder.DataFolder = QDir::toNativeSeparators(QFileInfo(fileName).absolutePath());
        if (!Folder.DataFolder.endsWith(QDir::separator()))
            Folder.DataFolder += QDir::separator();
    }

    const BusyCursor busy;
    try {
        if (GLPanel1->MakeCurrent()) { // the texture is uploaded into the view's context
            if (!LoadCoverImage(cover, fileName, PreviewOf(slot)->size()))
                return false;
        } else {
            // No view yet: the preview and path change now, the texture is
            // made from the file again once the view's context exists.
            std::optional<DecodedCover> decoded = DecodeCoverImage(fileName, PreviewOf(slot)->size());
            if (!decoded)
                return false;
            cover.Thumbnail = std::move(decoded->Thumbnail);
            cover.Path = std::move(decoded->Path);
        }
    } catch (const ImageError& e) {
        QApplication::restoreOverrideCursor();
        ShowError(QString::fromStdString(e.what()));
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return false;
    }
    PreviewOf(slot)->setPixmap(QPixmap::fromImage(cover.Thumbnail));
    GLPanel1->RequestFrame();
    return true;
}

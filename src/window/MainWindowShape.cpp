// The "Shape" panel: rounded edges, the book with its pages, and the own
// pictures of the back, the right and the bottom. Everything goes through
// the document; the panel shows what it holds.
#include "window/MainWindow.h"

#include "window/ControlParts.h"
#include "window/CoverLoad.h"
#include "window/GLPanel.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int SideCount = CoverSlotCount - ClassicSlotCount;

struct SideRow {
    const char* Caption;
    const char* Name; // the objects are named NAMEPreview, NAMEChooseButton, NAMEClearButton
    const char* Pair; // what the side shows without its own picture
};
constexpr SideRow SideRows[SideCount] = {
    {"Back", "back", "the front"}, {"Right", "right", "the side"}, {"Bottom", "bottom", "the top"}};

QByteArray ObjectName(const char* name, const char* part)
{
    return QByteArray(name) + part;
}

} // namespace

void MainWindow::BuildShapePanel(const QFont& font)
{
    shapePanel = new QDialog(this, Qt::Tool);
    shapePanel->setObjectName(QStringLiteral("shapePanel"));
    shapePanel->setWindowTitle(QStringLiteral("Shape"));
    shapePanel->setModal(false);
    shapePanel->setFont(font);
    auto* panelRows = new QVBoxLayout(shapePanel);

    // The panel's title says "Shape"; the group needs no second one.
    auto* group = MakeGroup(shapePanel, "shapeGroup", QString());
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(2);
    edgeRadiusBar = MakeBar(group, "edgeRadiusBar", static_cast<int>(ShapeLimits::MinEdgeRadius),
                            static_cast<int>(ShapeLimits::MaxEdgeRadius), 0);
    edgeRadiusBar->setPageStep(10);
    edgeRadiusBar->setToolTip(QStringLiteral("Rounded edges and corners, in the units of the size labels; "
                                             "at most half the thinnest side. 0: sharp"));
    edgeRadiusLabel = MakeLabel(group, "edgeRadiusLabel", QStringLiteral("0"));
    edgeRadiusLabel->setMinimumWidth(ValueLabelWidth(*edgeRadiusLabel));
    grid->addWidget(new QLabel(QStringLiteral("Edge radius"), group), 0, 0);
    grid->addWidget(edgeRadiusBar, 0, 1, 1, 2);
    grid->addWidget(edgeRadiusLabel, 0, 3);
    bookPagesBox = new QCheckBox(QStringLiteral("Book pages"), group);
    bookPagesBox->setObjectName(QStringLiteral("bookPagesBox"));
    bookPagesBox->setToolTip(QStringLiteral("The book kinds with page block, boards and spine"));
    grid->addWidget(bookPagesBox, 1, 0, 1, 4);

    // One row a side: its picture small, a button to choose one, one to
    // give it up; the three classic previews keep their room.
    for (int i = 0; i < SideCount; ++i) {
        const SideRow& side = SideRows[i];
        const int row = 2 + i;
        auto* caption = new QLabel(QLatin1String(side.Caption), group);
        sidePreviews[static_cast<std::size_t>(i)] =
            MakePreview(group, ObjectName(side.Name, "Preview").constData(), PlaceholderSize(ClassicSlotCount + i));
        sidePreviews[static_cast<std::size_t>(i)]->setToolTip(
            QStringLiteral("Without a picture of its own the %1 shows %2's").arg(QString::fromLatin1(side.Name),
                                                                                 QString::fromLatin1(side.Pair)));
        sideChooseButtons[static_cast<std::size_t>(i)] =
            MakeButton(group, ObjectName(side.Name, "ChooseButton").constData(), QStringLiteral("Choose..."),
                       QStringLiteral("A picture of its own for the %1").arg(QString::fromLatin1(side.Name)));
        sideClearButtons[static_cast<std::size_t>(i)] =
            MakeButton(group, ObjectName(side.Name, "ClearButton").constData(), QStringLiteral("Clear"),
                       QStringLiteral("The %1 shows %2's picture again")
                           .arg(QString::fromLatin1(side.Name), QString::fromLatin1(side.Pair)));
        grid->addWidget(caption, row, 0);
        grid->addWidget(sidePreviews[static_cast<std::size_t>(i)], row, 1);
        grid->addWidget(sideChooseButtons[static_cast<std::size_t>(i)], row, 2);
        grid->addWidget(sideClearButtons[static_cast<std::size_t>(i)], row, 3);
    }
    panelRows->addWidget(group);
    shapePanel->setFixedSize(shapePanel->sizeHint());
}

void MainWindow::BindShapePanel()
{
    connect(shapeButton, &QToolButton::clicked, this, [this] { ShowShapePanel(); });
    connect(edgeRadiusBar, &QScrollBar::valueChanged, this, [this](int v) {
        BoxShape shape = document_.Params.Shape;
        shape.EdgeRadius = static_cast<float>(v);
        document_.SetShape(shape);
    });
    connect(bookPagesBox, &QCheckBox::toggled, this, [this](bool on) {
        BoxShape shape = document_.Params.Shape;
        shape.BookPages = on;
        document_.SetShape(shape);
    });
    for (int i = 0; i < SideCount; ++i) {
        const int slot = ClassicSlotCount + i;
        connect(sideChooseButtons[static_cast<std::size_t>(i)], &QToolButton::clicked, this,
                [this, slot] { SelectCoverImage(slot, false); });
        connect(sideClearButtons[static_cast<std::size_t>(i)], &QToolButton::clicked, this,
                [this, slot] { ClearSidePicture(slot); });
    }
}

void MainWindow::ShowShapePanel()
{
    if (!shapePanel->isVisible()) {
        PlaceShapePanel();
        shapePanel->show();
    }
    shapePanel->raise();
    shapePanel->activateWindow();
}

void MainWindow::PlaceShapePanel()
{
    // Beside the view as the Look panel is, and under it (or above it)
    // when both would take the same place.
    QRect place(PlaceBesideView(*shapePanel), shapePanel->frameGeometry().size());
    if (lookPanel->isVisible() && place.intersects(lookPanel->frameGeometry())) {
        const QRect look = lookPanel->frameGeometry();
        const QScreen* screen = this->screen();
        const QRect room = screen ? screen->availableGeometry() : frameGeometry();
        place.moveTopLeft(QPoint(look.left(), look.bottom() + 1));
        if (place.bottom() > room.bottom())
            place.moveBottom(look.top() - 1);
        place.moveLeft(std::clamp(place.left(), room.left(), std::max(room.left(), room.right() - place.width())));
    }
    shapePanel->move(place.topLeft());
    shapePanelPlacedAt_ = shapePanel->pos();
}

void MainWindow::KeepShapePanelBesideView()
{
    // As the Look panel: moved along with the view (after the Look panel,
    // which it keeps clear of) unless the user put it somewhere else.
    if (shapePanel->isVisible() && shapePanel->pos() == shapePanelPlacedAt_)
        PlaceShapePanel();
}

void MainWindow::ShowShape(unsigned changes)
{
    if (changes & DocumentChange::Shape) {
        const BoxShape& shape = document_.Params.Shape;
        const QSignalBlocker blockBar(edgeRadiusBar);
        edgeRadiusBar->setValue(static_cast<int>(std::lround(shape.EdgeRadius)));
        // A project or an option may hold a fraction: the label says it as it is.
        edgeRadiusLabel->setText(QString::number(static_cast<double>(shape.EdgeRadius)));
        const QSignalBlocker blockBox(bookPagesBox);
        bookPagesBox->setChecked(shape.BookPages);
    }
    // Another project's pictures never show while this one's are read.
    if (changes & DocumentChange::CoversReset)
        for (int slot = ClassicSlotCount; slot < CoverSlotCount; ++slot)
            RetireSideTexture(slot);
    if (changes & (DocumentChange::SideCovers | DocumentChange::CoversReset))
        for (int i = 0; i < SideCount; ++i) {
            const CoverSource& source = document_.Cover(ClassicSlotCount + i);
            sideClearButtons[static_cast<std::size_t>(i)]->setEnabled(!source.Path.isEmpty());
            sidePreviews[static_cast<std::size_t>(i)]->setStatusTip(source.Path);
        }
}

void MainWindow::RetireSideTexture(int slot)
{
    // It goes with the next GL changes; an empty one takes its place, so the
    // side shows its pair's picture until a new one of its own is made.
    CoverImage& cover = Covers[static_cast<std::size_t>(slot)];
    if (cover.Texture && cover.Texture->Name() != 0) {
        retiredTextures_.push_back(std::move(cover.Texture));
        cover.Texture = std::make_unique<GLTexture>();
        if (view)
            view->RequestChanges();
    }
}

void MainWindow::ClearSidePicture(int slot)
{
    ShowCoverPlaceholder(slot);
    document_.SetCover(slot, {});
}

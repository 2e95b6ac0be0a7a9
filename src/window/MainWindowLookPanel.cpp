// The "Look" panel: the studio looks in a small tool window that opens
// beside the view and stays open while the view shows each change.
#include "window/MainWindow.h"

#include "window/ControlParts.h"
#include "window/GLPanel.h"
#include "window/PanelPlace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

void MainWindow::BuildLookPanel(const QFont& font)
{
    // The column has no room for another group at the default size.
    lookPanel = new QDialog(this, Qt::Tool);
    lookPanel->setObjectName(QStringLiteral("lookPanel"));
    lookPanel->setWindowTitle(QStringLiteral("Look"));
    lookPanel->setModal(false);
    lookPanel->setFont(font);
    auto* panelRows = new QVBoxLayout(lookPanel);
    panelRows->setContentsMargins(6, 6, 6, 6);
    // The window's title names the panel; the group only frames its controls.
    lookGroup = MakeGroup(lookPanel, "lookGroup", QString());
    auto* lookGrid = new QGridLayout(lookGroup);
    lookGrid->setContentsMargins(8, 8, 8, 8);
    lookGrid->setHorizontalSpacing(8);
    lookGrid->setVerticalSpacing(6);
    using namespace LookLimits;
    shadowBar = MakeBar(lookGroup, "shadowBar", MinStrength, MaxStrength, 0);
    softnessBar = MakeBar(lookGroup, "softnessBar", MinStrength, MaxStrength, DefaultSoftness);
    reflectionBar = MakeBar(lookGroup, "reflectionBar", MinStrength, MaxStrength, 0);
    lightBar = MakeBar(lookGroup, "lightBar", MinStrength, MaxStrength, 0);
    shadowLabel = MakeLabel(lookGroup, "shadowLabel");
    softnessLabel = MakeLabel(lookGroup, "softnessLabel");
    reflectionLabel = MakeLabel(lookGroup, "reflectionLabel");
    lightLabel = MakeLabel(lookGroup, "lightLabel");
    AddBarRow(*lookGrid, 0, QStringLiteral("Shadow"), shadowBar, shadowLabel,
              QStringLiteral("Ground shadow under the box; 0: none"));
    AddBarRow(*lookGrid, 1, QStringLiteral("Softness"), softnessBar, softnessLabel,
              QStringLiteral("Shadow edge: 0 hard, 100 soft"));
    AddBarRow(*lookGrid, 2, QStringLiteral("Reflection"), reflectionBar, reflectionLabel,
              QStringLiteral("Mirror image on the floor; 0: none"));
    AddBarRow(*lookGrid, 3, QStringLiteral("Light"), lightBar, lightLabel,
              QStringLiteral("Directional light on the faces; 0: flat"));
    for (QScrollBar* bar : {shadowBar, softnessBar, reflectionBar, lightBar})
        bar->setPageStep(10); // 0..100 in ten clicks; a look is set by feel, not by the unit
    // One step below the shortest lens is the classic field.
    lensBar = MakeBar(lookGroup, "lensBar", MinLensMm - 1, MaxLensMm, MinLensMm - 1);
    lensBar->setPageStep(10);
    lensLabel = MakeLabel(lookGroup, "lensLabel");
    AddBarRow(*lookGrid, 4, QStringLiteral("Lens"), lensBar, lensLabel,
              QStringLiteral("Focal length of a full-frame camera; the box keeps its size. Far left: the classic view"));
    auto* lookOptions = new QHBoxLayout;
    lookOptions->setSpacing(8);
    smoothTexturesBox = new QCheckBox(QStringLiteral("Smooth textures"), lookGroup);
    smoothTexturesBox->setObjectName(QStringLiteral("smoothTexturesBox"));
    smoothTexturesBox->setToolTip(QStringLiteral("Filtered covers: no shimmer on large artwork"));
    samplesBox = new QComboBox(lookGroup);
    samplesBox->setObjectName(QStringLiteral("samplesBox"));
    samplesBox->setToolTip(QStringLiteral("Anti-aliasing samples per pixel"));
    for (int count : SampleCounts)
        samplesBox->addItem(count == 1 ? QStringLiteral("1 (off)") : QString::number(count));
    lookOptions->addWidget(smoothTexturesBox);
    lookOptions->addStretch(1);
    lookOptions->addWidget(new QLabel(QStringLiteral("Samples"), lookGroup));
    lookOptions->addWidget(samplesBox);
    lookGrid->addLayout(lookOptions, 5, 0, 1, 3);
    panelRows->addWidget(lookGroup);
    lookPanel->setFixedSize(lookPanel->sizeHint());
}

void MainWindow::ShowLookPanel()
{
    if (!lookPanel->isVisible()) {
        PlaceLookPanel();
        lookPanel->show();
    }
    lookPanel->raise();
    lookPanel->activateWindow();
}

void MainWindow::PlaceLookPanel()
{
    lookPanel->move(PlaceBesideView(*lookPanel));
    lookPanelPlacedAt_ = lookPanel->pos();
}

QPoint MainWindow::PlaceBesideView(const QWidget& panel) const
{
    // The panel's frame is taken to be as thick as the window's own.
    const QRect frame = frameGeometry(), inner = geometry();
    const QMargins decoration(inner.left() - frame.left(), inner.top() - frame.top(),
                              frame.right() - inner.right(), frame.bottom() - inner.bottom());
    const QSize size = panel.size().grownBy(decoration);
    PanelSurroundings around;
    around.View = QRect(view->mapToGlobal(QPoint(0, 0)), view->size()).intersected(
        QRect(viewBox->mapToGlobal(QPoint(0, 0)), viewBox->size()));
    around.Controls = QRect(controlColumn->mapToGlobal(QPoint(0, 0)), controlColumn->size());
    around.Window = frame;
    const QScreen* screen = this->screen();
    around.Screen = screen ? screen->availableGeometry() : frame;
    return ::PlaceBesideView(size, around);
}

void MainWindow::KeepLookPanelBesideView()
{
    // Moved along with the view unless the user put it somewhere else.
    if (lookPanel->isVisible() && lookPanel->pos() == lookPanelPlacedAt_)
        PlaceLookPanel();
}

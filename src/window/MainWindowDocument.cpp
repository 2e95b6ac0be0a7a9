// The controls show the box document, and what users do with them goes to it.
#include "window/MainWindow.h"

#include "window/GLPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QToolButton>
#include <QLabel>
#include <QPalette>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>
#include <tuple>

namespace {

// What an editable box's text selects: the item whose caption it equals,
// ignoring case, else none (-1), so the field and the value in force never
// disagree.
int ChosenIndex(const QComboBox& box)
{
    if (!box.isEditable())
        return box.currentIndex();
    const QString text = box.currentText();
    for (int i = 0; i < box.count(); ++i)
        if (box.itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// Shows the document's selection without raising the box's signals.
void ShowChoice(QComboBox& box, int index)
{
    const QSignalBlocker block(box);
    box.setCurrentIndex(index >= 0 && index < box.count() ? index : -1);
    if (box.isEditable() && box.currentIndex() < 0)
        box.setEditText(QString());
}

} // namespace

void MainWindow::FormChosen()
{
    document_.SetForm(ChosenIndex(*formBox));
}

// The box the user is typing in keeps the text as typed while the
// document takes its meaning.
void MainWindow::SurroundingChosen()
{
    const QScopedValueRollback<QComboBox*> typing(choiceInput_, surroundingBox);
    document_.SetFog(ChosenIndex(*surroundingBox));
}

void MainWindow::SizeModeChosen()
{
    const QScopedValueRollback<QComboBox*> typing(choiceInput_, sizeModeBox);
    document_.SetSizeClass(ChosenIndex(*sizeModeBox));
}

void MainWindow::ChangeLooks(const std::function<void(BoxLooks&)>& change)
{
    BoxLooks looks = document_.Params.Looks;
    change(looks);
    document_.SetLooks(looks);
}

void MainWindow::BindDocument()
{
    const std::pair<QScrollBar*, Slider> bars[] = {
        {widthBar, Slider::Width},         {heightBar, Slider::Height},
        {thicknessBar, Slider::Thickness},     {depthBar, Slider::Depth},
        {verticalBar, Slider::Vertical},   {horizontalBar, Slider::Horizontal},
        {turnBar, Slider::Turn},           {resultWidthBar, Slider::ImageWidth},
        {resultHeightBar, Slider::ImageHeight}};
    for (const auto& [bar, slider] : bars)
        connect(bar, &QScrollBar::valueChanged, this, [this, s = slider](int v) { document_.SetPosition(s, v); });
    connect(eyeAngleBox, &QSpinBox::valueChanged, this, [this](int v) { document_.SetPosition(Slider::Eye, v); });
    connect(formBox, &QComboBox::activated, this, [this] { FormChosen(); });
    connect(surroundingBox, &QComboBox::activated, this, [this] { SurroundingChosen(); });
    connect(sizeModeBox, &QComboBox::activated, this, [this] { SizeModeChosen(); });
    // Typed text is in force as it is typed (changes from code are silent).
    connect(surroundingBox, &QComboBox::editTextChanged, this, [this] { SurroundingChosen(); });
    connect(sizeModeBox, &QComboBox::editTextChanged, this, [this] { SizeModeChosen(); });
    // Each look control changes its own value only.
    const std::pair<QScrollBar*, int BoxLooks::*> lookBars[] = {{shadowBar, &BoxLooks::Shadow},
                                                                {softnessBar, &BoxLooks::ShadowSoftness},
                                                                {reflectionBar, &BoxLooks::Reflection},
                                                                {lightBar, &BoxLooks::Light}};
    for (const auto& [bar, field] : lookBars)
        connect(bar, &QScrollBar::valueChanged, this,
                [this, f = field](int v) { ChangeLooks([f, v](BoxLooks& looks) { looks.*f = v; }); });
    connect(lensBar, &QScrollBar::valueChanged, this, [this](int v) {
        ChangeLooks([v](BoxLooks& looks) { looks.LensMm = v < LookLimits::MinLensMm ? LookLimits::ClassicLens : v; });
    });
    connect(lookButton, &QToolButton::clicked, this, [this] { ShowLookPanel(); });
    BindShapePanel();
    connect(smoothTexturesBox, &QCheckBox::toggled, this,
            [this](bool on) { ChangeLooks([on](BoxLooks& looks) { looks.SmoothTextures = on; }); });
    connect(samplesBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(LookLimits::SampleCounts.size()))
            ChangeLooks([index](BoxLooks& looks) {
                looks.Samples = LookLimits::SampleCounts[static_cast<std::size_t>(index)];
            });
    });
    using namespace DocumentChange;
    ShowDocument(Sliders | Form | Fog | SizeClass | Background | Looks | Shape | SideCovers | View); // what the widgets show
}

void MainWindow::ShowDocument(unsigned changes)
{
    using namespace DocumentChange;
    if (changes & Sliders) {
        const std::pair<QAbstractSlider*, Slider> bars[] = {
            {widthBar, Slider::Width},         {heightBar, Slider::Height},
            {thicknessBar, Slider::Thickness},     {depthBar, Slider::Depth},
            {verticalBar, Slider::Vertical},   {horizontalBar, Slider::Horizontal},
            {turnBar, Slider::Turn},           {resultWidthBar, Slider::ImageWidth},
            {resultHeightBar, Slider::ImageHeight}};
        for (const auto& [bar, slider] : bars) {
            const QSignalBlocker block(bar);
            const SliderRange r = document_.Range(slider);
            bar->setRange(r.Minimum, r.Maximum);
            bar->setValue(document_.Position(slider));
        }
        const QSignalBlocker block(eyeAngleBox);
        eyeAngleBox->setValue(document_.Position(Slider::Eye));
    }
    if (changes & (Sliders | View | OutputSize)) {
        const std::pair<QLabel*, Slider> labels[] = {
            {widthLabel, Slider::Width},       {heightLabel, Slider::Height},
            {thicknessLabel, Slider::Thickness},   {depthLabel, Slider::Depth},
            {verticalLabel, Slider::Vertical}, {horizontalLabel, Slider::Horizontal},
            {turnLabel, Slider::Turn},         {resultWidthLabel, Slider::ImageWidth},
            {resultHeightLabel, Slider::ImageHeight}};
        for (const auto& [label, slider] : labels)
            label->setText(document_.SizeLabel(slider, sizeLabels_));
    }
    if (changes & Form)
        ShowChoice(*formBox, document_.Form());
    if ((changes & Fog) && choiceInput_ != surroundingBox)
        ShowChoice(*surroundingBox, document_.Fog());
    if ((changes & SizeClass) && choiceInput_ != sizeModeBox)
        ShowChoice(*sizeModeBox, document_.SizeClass());
    if (changes & Background) {
        const std::uint32_t c = document_.Background();
        colorPanel->setAutoFillBackground(true);
        QPalette palette = colorPanel->palette();
        palette.setColor(QPalette::Window, QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                                                  static_cast<int>((c >> 16) & 0xFF)));
        colorPanel->setPalette(palette);
    }
    if (changes & Looks) {
        const BoxLooks& looks = document_.Params.Looks;
        const std::tuple<QScrollBar*, QLabel*, int> bars[] = {{shadowBar, shadowLabel, looks.Shadow},
                                                              {softnessBar, softnessLabel, looks.ShadowSoftness},
                                                              {reflectionBar, reflectionLabel, looks.Reflection},
                                                              {lightBar, lightLabel, looks.Light}};
        for (const auto& [bar, label, value] : bars) {
            const QSignalBlocker block(bar);
            bar->setValue(value);
            label->setText(QString::number(value));
        }
        const QSignalBlocker blockLens(lensBar);
        const bool classicLens = looks.LensMm == LookLimits::ClassicLens;
        lensBar->setValue(classicLens ? LookLimits::MinLensMm - 1 : looks.LensMm);
        lensLabel->setText(classicLens ? QStringLiteral("classic") : QStringLiteral("%1 mm").arg(looks.LensMm));
        const QSignalBlocker blockSmooth(smoothTexturesBox);
        smoothTexturesBox->setChecked(looks.SmoothTextures);
        const QSignalBlocker blockSamples(samplesBox);
        const auto& counts = LookLimits::SampleCounts;
        samplesBox->setCurrentIndex(static_cast<int>(std::find(counts.begin(), counts.end(), looks.Samples) - counts.begin()));
    }
    if (changes & (Shape | SideCovers | CoversReset))
        ShowShape(changes);
    if (changes & Angles)
        ShowAngles();
    if (changes & OutputSize) {
        PlacePanel(document_.Position(Slider::ImageWidth), document_.Position(Slider::ImageHeight));
        KeepLookPanelBesideView();
        KeepShapePanelBesideView();
    }
    if (changes & CoversReset) {
        DropCoverLoads(); // pictures of the project left behind
        ResetCoverImages(Covers);
        ShowPreviews();
    }
    if (changes & FogMode) {
        // Only modes 1 to 3 set the GL's fog mode; the others keep the one
        // set last, so the last of those is all the next frame needs.
        const std::uint8_t mode = document_.Params.FogMode;
        if (!view->FirstPaintPending() && mode >= 1 && mode <= 3)
            pendingFogMode_ = mode;
    }
    if ((changes & Maximize) && !restoring_ && !isMaximized())
        setWindowState(windowState() | Qt::WindowMaximized);
    // Every change of what the view shows books a frame; the panel draws
    // them as one at the next refresh.
    if (changes & View)
        view->RequestFrame();
}

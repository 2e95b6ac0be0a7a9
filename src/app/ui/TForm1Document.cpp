// The controls show the box document, and what users do with them goes to it.
#include "app/ui/TForm1.h"

#include "gl/ui/TGLPanel.h"

#include <QComboBox>
#include <QLabel>
#include <QPalette>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>

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

void TForm1::cbModeChange()
{
    Document.SetForm(ChosenIndex(*cbMode));
}

// The box the user is typing in keeps the text as typed while the
// document takes its meaning.
void TForm1::cbFogChange()
{
    const QScopedValueRollback<QComboBox*> typing(choiceInput_, cbFog);
    Document.SetFog(ChosenIndex(*cbFog));
}

void TForm1::cbClassChange()
{
    const QScopedValueRollback<QComboBox*> typing(choiceInput_, cbClass);
    Document.SetSizeClass(ChosenIndex(*cbClass));
}

void TForm1::BindDocument()
{
    const std::pair<QScrollBar*, Slider> bars[] = {
        {tbBreed, Slider::Width},         {tbHeight, Slider::Height},
        {tbThick, Slider::Thickness},     {tbDepth, Slider::Depth},
        {tbVertical, Slider::Vertical},   {tbHoriz, Slider::Horizontal},
        {tbTurn, Slider::Turn},           {tbImageWidth, Slider::ImageWidth},
        {tbImageHeight, Slider::ImageHeight}};
    for (const auto& [bar, slider] : bars)
        connect(bar, &QScrollBar::valueChanged, this, [this, s = slider](int v) { Document.SetPosition(s, v); });
    connect(seEye, &QSpinBox::valueChanged, this, [this](int v) { Document.SetPosition(Slider::Eye, v); });
    connect(cbMode, &QComboBox::activated, this, [this] { cbModeChange(); });
    connect(cbFog, &QComboBox::activated, this, [this] { cbFogChange(); });
    connect(cbClass, &QComboBox::activated, this, [this] { cbClassChange(); });
    // Typed text is in force as it is typed (changes from code are silent).
    connect(cbFog, &QComboBox::editTextChanged, this, [this] { cbFogChange(); });
    connect(cbClass, &QComboBox::editTextChanged, this, [this] { cbClassChange(); });
    ShowDocument(~0u);
}

void TForm1::ShowDocument(unsigned changes)
{
    using namespace DocumentChange;
    if (changes & Sliders) {
        const std::pair<QAbstractSlider*, Slider> bars[] = {
            {tbBreed, Slider::Width},         {tbHeight, Slider::Height},
            {tbThick, Slider::Thickness},     {tbDepth, Slider::Depth},
            {tbVertical, Slider::Vertical},   {tbHoriz, Slider::Horizontal},
            {tbTurn, Slider::Turn},           {tbImageWidth, Slider::ImageWidth},
            {tbImageHeight, Slider::ImageHeight}};
        for (const auto& [bar, slider] : bars) {
            const QSignalBlocker block(bar);
            const SliderRange r = Document.Range(slider);
            bar->setRange(r.Minimum, r.Maximum);
            bar->setValue(Document.Position(slider));
        }
        const QSignalBlocker block(seEye);
        seEye->setValue(Document.Position(Slider::Eye));
    }
    if (changes & (Sliders | View | OutputSize)) {
        const std::pair<QLabel*, Slider> labels[] = {
            {lbBreed, Slider::Width},       {lbHeight, Slider::Height},
            {lbThick, Slider::Thickness},   {lbDepth, Slider::Depth},
            {lbVertical, Slider::Vertical}, {lbHoriz, Slider::Horizontal},
            {lbTurn, Slider::Turn},         {lbImgWidth, Slider::ImageWidth},
            {lbImgHeight, Slider::ImageHeight}};
        for (const auto& [label, slider] : labels)
            label->setText(Document.ValueText(slider));
    }
    if (changes & Form)
        ShowChoice(*cbMode, Document.Form());
    if ((changes & Fog) && choiceInput_ != cbFog)
        ShowChoice(*cbFog, Document.Fog());
    if ((changes & SizeClass) && choiceInput_ != cbClass)
        ShowChoice(*cbClass, Document.SizeClass());
    if (changes & Background) {
        const std::uint32_t c = Document.Background();
        pColor->setAutoFillBackground(true);
        QPalette palette = pColor->palette();
        palette.setColor(QPalette::Window, QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                                                  static_cast<int>((c >> 16) & 0xFF)));
        pColor->setPalette(palette);
    }
    if (changes & Angles)
        UpdateAngleStatus();
    // Every change of what the view shows books a frame; the panel draws
    // them as one at the next refresh.
    if (changes & View)
        GLPanel1->RequestFrame();
}

#pragma once
// The box document's control interfaces over real widgets.
#include "app/Controls.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

// A scroll bar or spin box; both keep their value inside their range.
template <typename Widget>
class RangeWidgetControl final : public RangeControl {
public:
    explicit RangeWidgetControl(Widget* widget) : widget_(widget) {}
    int Position() const override { return widget_->value(); }
    void SetPosition(int position) override { widget_->setValue(position); }
    int Minimum() const override { return widget_->minimum(); }
    int Maximum() const override { return widget_->maximum(); }
    void SetMaximum(int maximum) override { widget_->setMaximum(maximum); }

private:
    Widget* widget_;
};

using SliderControl = RangeWidgetControl<QAbstractSlider>;
using SpinControl = RangeWidgetControl<QSpinBox>;

// Setting the index from code raises no change event; handlers run on user
// choices (QComboBox::activated, typed text) or are called by the code that
// set it. In an editable box what is typed decides: the item whose caption
// it equals, ignoring case, else none (-1), so the field and the value in
// force never disagree.
class ComboControl final : public ChoiceControl {
public:
    explicit ComboControl(QComboBox* combo) : combo_(combo) {}
    int ItemIndex() const override;
    void SetItemIndex(int index) override;
    int Count() const override { return combo_->count(); }
    void Clear() override;
    void AddItem(const QString& caption) override;
    QString ItemText(int index) const override { return combo_->itemText(index); }

private:
    QComboBox* combo_;
};

class LabelWidgetControl final : public LabelControl {
public:
    explicit LabelWidgetControl(QLabel* label) : label_(label) {}
    QString Text() const override { return label_->text(); }
    void SetText(const QString& text) override { label_->setText(text); }

private:
    QLabel* label_;
};

// A clickable panel that shows a colour (0x00BBGGRR).
class ColorPanelControl final : public ColorControl {
public:
    explicit ColorPanelControl(QWidget* panel) : panel_(panel) {}
    std::uint32_t Color() const override { return color_; }
    void SetColor(std::uint32_t color) override;

private:
    QWidget* panel_;
    std::uint32_t color_ = 0xFFFFFF;
};

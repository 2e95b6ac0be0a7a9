#pragma once
// The controls that hold the document's values. The window gives these
// interfaces its real widgets; the command line and the tests give them the
// plain versions below, with the same ranges and clamping.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// A scroll bar or spin box: an integer position inside [minimum, maximum].
class RangeControl {
public:
    virtual ~RangeControl() = default;
    virtual int Position() const = 0;
    // Clamps into the range; raises the change event only when the position moved.
    virtual void SetPosition(int position) = 0;
    virtual int Minimum() const = 0;
    virtual int Maximum() const = 0;
    // Keeps the position inside the new range (clamping raises the change event).
    virtual void SetMaximum(int maximum) = 0;
};

// A list box: item index 0..Count()-1, or -1 for no selection.
class ChoiceControl {
public:
    virtual ~ChoiceControl() = default;
    virtual int ItemIndex() const = 0;
    // An index outside the list leaves no item selected (-1). Raises no change event.
    virtual void SetItemIndex(int index) = 0;
    virtual int Count() const = 0;
    virtual void Clear() = 0;
    virtual void AddItem(const QString& caption) = 0;
    virtual QString ItemText(int index) const = 0;
};

class LabelControl {
public:
    virtual ~LabelControl() = default;
    virtual QString Text() const = 0;
    virtual void SetText(const QString& text) = 0;
};

// A colour as 0x00BBGGRR (red in the low byte).
class ColorControl {
public:
    virtual ~ColorControl() = default;
    virtual std::uint32_t Color() const = 0;
    virtual void SetColor(std::uint32_t color) = 0;
};

class PlainRange final : public RangeControl {
public:
    PlainRange(int minimum, int maximum, int position);
    int Position() const override { return position_; }
    void SetPosition(int position) override;
    int Minimum() const override { return minimum_; }
    int Maximum() const override { return maximum_; }
    void SetMaximum(int maximum) override;

    std::function<void()> OnChange;

private:
    int minimum_;
    int maximum_;
    int position_;
};

class PlainChoice final : public ChoiceControl {
public:
    explicit PlainChoice(QStringList items = {}, int index = -1);
    int ItemIndex() const override { return index_; }
    void SetItemIndex(int index) override;
    int Count() const override { return static_cast<int>(items_.size()); }
    void Clear() override;
    void AddItem(const QString& caption) override { items_.append(caption); }
    QString ItemText(int index) const override;

private:
    QStringList items_;
    int index_;
};

class PlainLabel final : public LabelControl {
public:
    QString Text() const override { return text_; }
    void SetText(const QString& text) override { text_ = text; }

private:
    QString text_;
};

class PlainColor final : public ColorControl {
public:
    explicit PlainColor(std::uint32_t color = 0xFFFFFF) : color_(color) {}
    std::uint32_t Color() const override { return color_; }
    void SetColor(std::uint32_t color) override { color_ = color & 0xFFFFFFu; }

private:
    std::uint32_t color_;
};

#include "window/ControlParts.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

namespace {

// Long enough that a drag of the thumb moves the value smoothly.
constexpr int BarTrackMinimum = 140;

// A frame in the highlight colour just inside the edge: the focus, drawn
// over what the control shows so that its size and content stay as they are.
void PaintFocusFrame(QWidget& widget)
{
    QPainter painter(&widget);
    const QColor c = widget.palette().color(QPalette::Highlight);
    constexpr int f = 2;
    const int w = widget.width(), h = widget.height();
    painter.fillRect(0, 0, w, f, c);
    painter.fillRect(0, h - f, w, f, c);
    painter.fillRect(0, f, f, h - 2 * f, c);
    painter.fillRect(w - f, f, f, h - 2 * f, c);
}

// A scroll bar that shows when it has the keyboard focus, as the wheel then moves it.
class FocusScrollBar final : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QScrollBar::paintEvent(event);
        if (hasFocus())
            PaintFocusFrame(*this);
    }
};

// A label that acts as a button: Tab reaches it, and it shows when it has the focus.
class FocusLabel final : public QLabel {
public:
    explicit FocusLabel(QWidget* parent) : QLabel(parent) { setFocusPolicy(Qt::StrongFocus); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QLabel::paintEvent(event);
        if (hasFocus())
            PaintFocusFrame(*this);
    }
};

const QColor FocusDark(0, 0, 0);
const QColor FocusLight(255, 255, 255);

// Its focused child (the view) gets a frame around it where there is room.
class FrameBox final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->hasFocus() && child->isVisible()) {
                QPainter painter(this);
                // Dark dashes between light ones: one of the two shows on
                // any background, the box's blue or a white picture's edge.
                constexpr int f = 3;
                const QRect frame = child->geometry().adjusted(-2, -2, 1, 1);
                painter.setPen(QPen(FocusDark, f, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
                painter.drawRect(frame);
                painter.setPen(QPen(FocusLight, f, Qt::DashLine, Qt::FlatCap, Qt::MiterJoin));
                painter.drawRect(frame);
            }
    }
};

} // namespace

QScrollBar* MakeBar(QWidget* parent, const char* name, int minimum, int maximum, int position)
{
    auto* bar = new FocusScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(minimum, maximum);
    bar->setValue(position);
    // No page: a trough click or PageUp/PageDown moves one position, and the
    // thumb stays small.
    bar->setSingleStep(1);
    bar->setPageStep(1);
    // Right, Up and PageUp move the thumb and the value up, as on a slider
    // (a scroll bar's keys run the other way by default).
    bar->setInvertedControls(false);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setMinimumWidth(BarTrackMinimum);
    return bar;
}

int ValueLabelWidth(const QLabel& label)
{
    return label.fontMetrics().horizontalAdvance(QStringLiteral("0000"));
}

void AddBarRow(QGridLayout& grid, int row, const QString& caption, QScrollBar* bar, QLabel* value,
               const QString& hint)
{
    auto* label = new QLabel(caption, grid.parentWidget());
    grid.addWidget(label, row, 0);
    if (!hint.isEmpty())
        bar->setToolTip(hint);
    grid.addWidget(bar, row, 1);
    value->setMinimumWidth(ValueLabelWidth(*value));
    grid.addWidget(value, row, 2);
}

QLabel* MakeFocusLabel(QWidget* parent, const char* name)
{
    auto* label = new FocusLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QWidget* MakeFrameBox(QWidget* parent, const char* name)
{
    auto* box = new FrameBox(parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setToolTip(hint);
    button->setAutoRaise(false);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption)
{
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    group->setStyleSheet(QStringLiteral("QGroupBox { font-weight: bold; color: navy; }"));
    return group;
}

QLabel* MakePreview(QWidget* parent, const char* name, QSize size)
{
    QLabel* preview = MakeFocusLabel(parent, name);
    preview->setFixedSize(size);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::Panel);
    preview->setFrameShadow(QFrame::Sunken);
    preview->setLineWidth(0);
    // A palette, not a style sheet: a style sheet would colour the tooltip too.
    preview->setAutoFillBackground(true);
    QPalette blue = preview->palette();
    blue.setColor(QPalette::Window, QColor(0, 128, 192));
    preview->setPalette(blue);
    preview->setCursor(Qt::PointingHandCursor);
    preview->setToolTip(QStringLiteral("Click to load file"));
    preview->setAcceptDrops(true);
    return preview;
}

#include "window/ControlParts.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

namespace {

// Long enough that a drag of the thumb moves the value smoothly.
constexpr int BarTrackMinimum = 140;

// A scroll bar that shows when it has the keyboard focus, as the wheel then moves it.
class FocusScrollBar final : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QScrollBar::paintEvent(event);
        if (!hasFocus())
            return;
        // A frame in the highlight colour just inside the edge.
        QPainter painter(this);
        const QColor c = palette().color(QPalette::Highlight);
        const int w = width(), h = height(), f = FocusFrameWidth;
        painter.fillRect(0, 0, w, f, c);
        painter.fillRect(0, h - f, w, f, c);
        painter.fillRect(0, f, f, h - 2 * f, c);
        painter.fillRect(w - f, f, f, h - 2 * f, c);
    }

private:
    static constexpr int FocusFrameWidth = 2;
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
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setMinimumWidth(BarTrackMinimum);
    return bar;
}

int ValueLabelWidth(const QLabel& label)
{
    return label.fontMetrics().horizontalAdvance(QStringLiteral("0000"));
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
    auto* preview = new QLabel(parent);
    preview->setObjectName(QLatin1String(name));
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

#include "app/ui/WidgetControls.h"

#include <QSignalBlocker>

int ComboControl::ItemIndex() const
{
    if (!combo_->isEditable())
        return combo_->currentIndex();
    const QString text = combo_->currentText();
    for (int i = 0; i < combo_->count(); ++i)
        if (combo_->itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void ComboControl::SetItemIndex(int index)
{
    const QSignalBlocker block(combo_);
    combo_->setCurrentIndex(index >= 0 && index < combo_->count() ? index : -1);
    if (combo_->isEditable() && combo_->currentIndex() < 0)
        combo_->setEditText(QString());
}

void ComboControl::Clear()
{
    const QSignalBlocker block(combo_);
    combo_->clear();
}

void ComboControl::AddItem(const QString& caption)
{
    const QSignalBlocker block(combo_);
    combo_->addItem(caption);
}

void ColorPanelControl::SetColor(std::uint32_t color)
{
    color_ = color & 0xFFFFFFu;
    panel_->setStyleSheet(QStringLiteral("background-color: rgb(%1, %2, %3);")
                              .arg(color_ & 0xFF)
                              .arg((color_ >> 8) & 0xFF)
                              .arg((color_ >> 16) & 0xFF));
}

#include "app/Controls.h"

#include <algorithm>

PlainRange::PlainRange(int minimum, int maximum, int position)
    : minimum_(minimum), maximum_(std::max(minimum, maximum)),
      position_(std::clamp(position, minimum_, maximum_))
{
}

void PlainRange::SetPosition(int position)
{
    const int clamped = std::clamp(position, minimum_, maximum_);
    if (clamped == position_)
        return;
    position_ = clamped;
    if (OnChange)
        OnChange();
}

void PlainRange::SetMaximum(int maximum)
{
    maximum_ = std::max(minimum_, maximum);
    SetPosition(position_);
}

PlainChoice::PlainChoice(QStringList items, int index) : items_(std::move(items)), index_(-1)
{
    SetItemIndex(index);
}

void PlainChoice::SetItemIndex(int index)
{
    index_ = (index >= 0 && index < Count()) ? index : -1;
}

void PlainChoice::Clear()
{
    items_.clear();
    index_ = -1;
}

QString PlainChoice::ItemText(int index) const
{
    return (index >= 0 && index < Count()) ? items_.at(index) : QString();
}

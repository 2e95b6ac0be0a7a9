#include "document/DocumentHistory.h"

#include "document/ProjectApply.h"

#include <utility>

bool operator==(const DocumentSnapshot& a, const DocumentSnapshot& b)
{
    for (std::size_t i = 0; i < a.Covers.size(); ++i)
        if (a.Covers[i].Path != b.Covers[i].Path || a.Covers[i].Folder != b.Covers[i].Folder)
            return false;
    return a.Values == b.Values;
}

DocumentSnapshot SnapshotOf(const BoxDocument& document)
{
    DocumentSnapshot s;
    s.Values = CaptureProject(document, CoverPathsOf(document), document.OutputFolder());
    for (int slot = 0; slot < CoverSourceCount; ++slot)
        s.Covers[static_cast<std::size_t>(slot)] = document.Cover(slot);
    return s;
}

void Restore(BoxDocument& document, const DocumentSnapshot& snapshot)
{
    ApplyProject(document, snapshot.Values);
    for (int slot = 0; slot < CoverSourceCount; ++slot)
        document.SetCover(slot, snapshot.Covers[static_cast<std::size_t>(slot)]);
    document.SetOutputFolder(snapshot.Values.OutputFolder);
}

void DocumentHistory::Reset(const DocumentSnapshot& now)
{
    undo_.clear();
    redo_.clear();
    settled_ = now;
}

bool DocumentHistory::Settle(const DocumentSnapshot& now)
{
    if (now == settled_)
        return false;
    undo_.push_back(std::exchange(settled_, now));
    if (undo_.size() > static_cast<std::size_t>(steps_))
        undo_.pop_front();
    redo_.clear();
    return true;
}

std::optional<DocumentSnapshot> DocumentHistory::Undo()
{
    if (undo_.empty())
        return std::nullopt;
    redo_.push_back(std::exchange(settled_, std::move(undo_.back())));
    undo_.pop_back();
    return settled_;
}

std::optional<DocumentSnapshot> DocumentHistory::Redo()
{
    if (redo_.empty())
        return std::nullopt;
    undo_.push_back(std::exchange(settled_, std::move(redo_.back())));
    redo_.pop_back();
    return settled_;
}

#pragma once
// Undo and redo of a document's changes: what the document held before each
// settled change, as the project's record and the covers' sources (a cover's
// folder is not in the record), a bounded number of steps back.
#include "document/BoxDocument.h"

#include <array>
#include <deque>
#include <optional>

struct DocumentSnapshot {
    ProjectData Values;
    std::array<CoverSource, CoverSourceCount> Covers{};

};
bool operator==(const DocumentSnapshot& a, const DocumentSnapshot& b);

DocumentSnapshot SnapshotOf(const BoxDocument& document);
// Puts a snapshot back: the record as a project's open does (the size
// class, kind and fog applied, then the saved values), the covers' sources
// and the output folder. The host loads the pictures the covers name.
void Restore(BoxDocument& document, const DocumentSnapshot& snapshot);

class DocumentHistory {
public:
    static constexpr int DefaultSteps = 100;
    explicit DocumentHistory(int steps = DefaultSteps) : steps_(steps < 1 ? 1 : steps) {}

    // Forgets every step: `now` is where the history begins (an open, "New").
    void Reset(const DocumentSnapshot& now);
    // A change came to rest: one step back to what was settled before, when
    // `now` differs from it. True when a step was added; the redo steps go.
    bool Settle(const DocumentSnapshot& now);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // What to put back; the history moves a step. None when there is none.
    std::optional<DocumentSnapshot> Undo();
    std::optional<DocumentSnapshot> Redo();
    // What the document holds once a step was put back, should the restore
    // not give exactly what was stored (a value clamped into a range).
    void Restored(const DocumentSnapshot& now) { settled_ = now; }
    const DocumentSnapshot& Settled() const { return settled_; }

private:
    int steps_;
    std::deque<DocumentSnapshot> undo_; // the oldest first
    std::deque<DocumentSnapshot> redo_; // the next to redo last
    DocumentSnapshot settled_;
};

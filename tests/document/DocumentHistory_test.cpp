// Undo and redo put the document back exactly, the parameters the drawing
// reads included (the window's test covers sliders, drags, covers, kinds and
// colours); the history is bounded and a new change ends the redo.
#include "document/DocumentHistory.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <utility>
#include <vector>

namespace {

auto Drawn(const BoxParameters& p)
{
    return std::tuple(p.HalfWidth, p.Depth, p.SideAngle, p.FogMode, p.CurrentForm.Name, p.Looks, p.Shape);
}

TEST(DocumentHistoryTest, UndoAndRedoPutTheDocumentBackExactly)
{
    using Change = std::function<void(BoxDocument&)>;
    const std::vector<std::pair<const char*, Change>> changes = {
        {"fog", [](BoxDocument& d) { d.SetFog(3); }},
        {"size class", [](BoxDocument& d) { d.SetSizeClass(0); }},
        {"looks",
         [](BoxDocument& d) {
             BoxLooks looks;
             looks.Reflection = 40;
             looks.LensMm = 50;
             d.SetLooks(looks);
         }},
        {"shape", [](BoxDocument& d) { d.SetShape({20.0f, true}); }},
        {"side picture", [](BoxDocument& d) { d.SetCover(4, {QStringLiteral("/pictures/right.png"), QString()}); }},
        {"engine", [](BoxDocument& d) { d.SetEngine({true, 64, 0}); }},
    };
    for (const auto& [name, change] : changes) {
        BoxDocument document;
        document.NewProject();
        document.SetCover(0, {QStringLiteral("front.png"), QStringLiteral("/covers/")}); // its folder kept too
        DocumentHistory history;
        history.Reset(SnapshotOf(document));
        const auto before = std::pair(SnapshotOf(document), Drawn(document.Params));
        change(document);
        const auto after = std::pair(SnapshotOf(document), Drawn(document.Params));
        ASSERT_TRUE(history.Settle(after.first)) << name;
        Restore(document, *history.Undo());
        EXPECT_TRUE(std::pair(SnapshotOf(document), Drawn(document.Params)) == before) << name;
        Restore(document, *history.Redo());
        EXPECT_TRUE(std::pair(SnapshotOf(document), Drawn(document.Params)) == after) << name;
    }
}

TEST(DocumentHistoryTest, BoundedAndANewChangeEndsTheRedo)
{
    BoxDocument document;
    DocumentHistory history(3);
    history.Reset(SnapshotOf(document));
    EXPECT_FALSE(history.Settle(SnapshotOf(document))); // nothing changed
    for (int width = 10; width <= 50; width += 10) {
        document.SetPosition(Slider::Width, width);
        history.Settle(SnapshotOf(document));
    }
    int undone = 0;
    for (; history.CanUndo(); ++undone)
        Restore(document, *history.Undo());
    EXPECT_EQ(undone, 3);
    EXPECT_EQ(document.Position(Slider::Width), 20);
    Restore(document, *history.Redo());
    document.SetPosition(Slider::Height, 5);
    history.Settle(SnapshotOf(document));
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Undo()->Values.Breed, 30);
}

} // namespace

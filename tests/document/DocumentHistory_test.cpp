// Undo and redo put the document back exactly: its record, its covers and
// the parameters the drawing reads.
#include "document/DocumentHistory.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <utility>
#include <vector>

namespace {

auto Drawn(const BoxParameters& p)
{
    return std::tuple(p.HalfWidth, p.HalfHeight, p.HalfThickness, p.EyeAngle, p.Depth, p.VerticalOffset,
                      p.HorizontalOffset, p.Turn, p.SideAngle, p.TiltAngle, p.BackgroundRed, p.BackgroundBlue,
                      p.FogMode, p.CurrentForm.Name, p.Looks, p.Shape);
}

BoxDocument NewDocument()
{
    BoxDocument document;
    document.NewProject();
    document.SetPosition(Slider::Depth, 17);
    document.SetCover(0, {QStringLiteral("front.png"), QStringLiteral("/covers/")});
    return document;
}

TEST(DocumentHistoryTest, UndoAndRedoPutTheDocumentBackExactly)
{
    using Change = std::function<void(BoxDocument&)>;
    const std::vector<std::pair<const char*, Change>> changes = {
        {"slider", [](BoxDocument& d) { d.SetPosition(Slider::Width, 71); }},
        {"kind", [](BoxDocument& d) { d.SetForm(7); }},
        {"fog", [](BoxDocument& d) { d.SetFog(3); }},
        {"size class", [](BoxDocument& d) { d.SetSizeClass(0); }},
        {"colour", [](BoxDocument& d) { d.SetBackground(0x203040); }},
        {"drag", [](BoxDocument& d) { d.TurnTo(d.Params.SideAngle + 7.5f, d.Params.TiltAngle - 3.0f); }},
        {"looks", [](BoxDocument& d) {
             BoxLooks looks = d.Params.Looks;
             looks.Reflection = 40;
             looks.LensMm = 50;
             d.SetLooks(looks);
         }},
        {"shape", [](BoxDocument& d) { d.SetShape({20.0f, true}); }},
        {"cover", [](BoxDocument& d) { d.SetCover(0, {QStringLiteral("/pictures/new.jpg"), QString()}); }},
        {"side picture", [](BoxDocument& d) { d.SetCover(4, {QStringLiteral("/pictures/right.png"), QString()}); }},
        {"engine", [](BoxDocument& d) { d.SetEngine({true, 64, 0}); }},
    };
    for (const auto& [name, change] : changes) {
        BoxDocument document = NewDocument();
        DocumentHistory history;
        history.Reset(SnapshotOf(document));
        const auto drawnBefore = Drawn(document.Params);
        const DocumentSnapshot before = SnapshotOf(document);
        change(document);
        const auto drawnAfter = Drawn(document.Params);
        const DocumentSnapshot after = SnapshotOf(document);
        ASSERT_TRUE(history.Settle(after)) << name;

        Restore(document, *history.Undo());
        EXPECT_TRUE(SnapshotOf(document) == before) << name;
        EXPECT_EQ(Drawn(document.Params), drawnBefore) << name;
        EXPECT_FALSE(history.CanUndo()) << name;

        Restore(document, *history.Redo());
        EXPECT_TRUE(SnapshotOf(document) == after) << name;
        EXPECT_EQ(Drawn(document.Params), drawnAfter) << name;
        EXPECT_FALSE(history.CanRedo()) << name;
    }
}

TEST(DocumentHistoryTest, BoundedAndANewChangeEndsTheRedo)
{
    BoxDocument document = NewDocument();
    DocumentHistory history(3);
    history.Reset(SnapshotOf(document));
    EXPECT_FALSE(history.Settle(SnapshotOf(document))); // nothing changed
    for (int width = 10; width <= 50; width += 10) {
        document.SetPosition(Slider::Width, width);
        EXPECT_TRUE(history.Settle(SnapshotOf(document)));
    }
    int undone = 0;
    while (const auto back = history.Undo()) {
        Restore(document, *back);
        ++undone;
    }
    EXPECT_EQ(undone, 3);
    EXPECT_EQ(document.Position(Slider::Width), 20);

    Restore(document, *history.Redo());
    document.SetPosition(Slider::Height, 5);
    history.Settle(SnapshotOf(document));
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Undo()->Values.Breed, 30);
}

} // namespace

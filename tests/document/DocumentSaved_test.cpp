// "Saved or not" comes from the document: every value a project stores
// counts, whichever control or command changed it.
#include "document/BoxDocument.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

BoxDocument SavedNewProject()
{
    BoxDocument document;
    document.NewProject();
    document.MarkSaved();
    return document;
}

TEST(DocumentSavedTest, EachStoredValueMakesTheDocumentModified)
{
    using Change = std::function<void(BoxDocument&)>;
    const std::vector<std::pair<const char*, Change>> changes = {
        {"slider", [](BoxDocument& d) { d.SetPosition(Slider::Depth, 33); }},
        {"eye", [](BoxDocument& d) { d.SetPosition(Slider::Eye, 12); }},
        {"result size", [](BoxDocument& d) { d.SetPosition(Slider::ImageWidth, 120); }},
        {"kind", [](BoxDocument& d) { d.SetForm(4); }},
        {"fog", [](BoxDocument& d) { d.SetFog(2); }},
        {"size class", [](BoxDocument& d) { d.SetSizeClass(0); }},
        {"colour", [](BoxDocument& d) { d.SetBackground(0x203040); }},
        {"drag", [](BoxDocument& d) { d.TurnTo(d.Params.SideAngle + 7.5f, d.Params.TiltAngle); }},
        {"looks", [](BoxDocument& d) {
             BoxLooks looks = d.Params.Looks;
             looks.Shadow = 40;
             d.SetLooks(looks);
         }},
        {"cover", [](BoxDocument& d) { d.SetCover(1, {QStringLiteral("side.png"), QString()}); }},
        {"output folder", [](BoxDocument& d) { d.SetOutputFolder(QStringLiteral("/tmp/shots/")); }},
        {"engine", [](BoxDocument& d) { d.SetEngine({true, EngineLimits::DefaultPasses, 0}); }},
        {"passes", [](BoxDocument& d) { d.SetEngine({false, 64, 0}); }},
    };
    for (const auto& [name, change] : changes) {
        BoxDocument document = SavedNewProject();
        ASSERT_FALSE(document.Modified()) << name;
        change(document);
        EXPECT_TRUE(document.Modified()) << name;
        document.MarkSaved();
        EXPECT_FALSE(document.Modified()) << name;
    }
}

TEST(DocumentSavedTest, AValueMovedBackIsNoChangeAndNoNoticeIsLost)
{
    BoxDocument document = SavedNewProject();
    const int depth = document.Position(Slider::Depth);
    document.SetPosition(Slider::Depth, depth + 5);
    document.SetPosition(Slider::Depth, depth);
    EXPECT_FALSE(document.Modified());

    // Paths and the output folder tell their change, so a title can follow them.
    std::vector<unsigned> told;
    document.OnChanged = [&](unsigned changes) { told.push_back(changes); };
    document.SetCover(0, {QStringLiteral("front.jpg"), QStringLiteral("/art")});
    document.SetCover(0, {QStringLiteral("front.jpg"), QStringLiteral("/art")}); // the same: nothing
    document.SetOutputFolder(QStringLiteral("/out/"));
    EXPECT_EQ(told, (std::vector<unsigned>{DocumentChange::Files, DocumentChange::Files}));
    EXPECT_TRUE(document.Modified());
}

TEST(DocumentSavedTest, NothingSavedYetCountsAsModified)
{
    const BoxDocument document;
    EXPECT_TRUE(document.Modified());
}

} // namespace

// What GET /options tells a page: the table's options a request may carry,
// and the numbers the window's controls show for them.
#include "engine/OptionFields.h"

#include "document/BoxDocument.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>

namespace {

std::map<QString, QJsonObject> Described(int maxOutputSide = 4096)
{
    std::map<QString, QJsonObject> byName;
    for (const QJsonValue v : RequestOptionsJson(maxOutputSide).value(QStringLiteral("options")).toArray())
        byName[v[QStringLiteral("name")].toString()] = v.toObject();
    return byName;
}

TEST(OptionFieldsTest, EachOptionARequestMayCarryIsDescribed)
{
    const auto options = Described(2000);
    struct Case {
        const char* name;
        const char* type;
        QJsonValue min, max, start;
        const char* label;
    };
    const Case cases[] = {
        {"width", "integer", 1, 100, 50, "Width"},
        {"form", "choice", 0, 9, 0, "Form"},
        {"engine", "choice", 0, 1, 0, ""},
        {"samples", "samples", 1, 32, 1, "Samples"},
        {"side-angle", "number", QJsonValue::Undefined, QJsonValue::Undefined, 36, "Side angle"}, // the first kind's
        {"size", "size", 1, 2000, "300x300", ""},
        {"shadow", "integer", 0, 100, 0, "Shadow"},
        {"format", "word", QJsonValue::Undefined, QJsonValue::Undefined, "png", ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(options.count(QLatin1String(c.name))) << c.name;
        const QJsonObject o = options.at(QLatin1String(c.name));
        EXPECT_EQ(o[QStringLiteral("type")].toString(), QLatin1String(c.type)) << c.name;
        EXPECT_EQ(o[QStringLiteral("min")], c.min) << c.name;
        EXPECT_EQ(o[QStringLiteral("max")], c.max) << c.name;
        EXPECT_EQ(o[QStringLiteral("default")], c.start) << c.name;
        EXPECT_EQ(o[QStringLiteral("label")].toString(), QLatin1String(c.label)) << c.name;
        EXPECT_FALSE(o[QStringLiteral("help")].toString().isEmpty()) << c.name;
    }
    for (const char* commandLineOnly : {"output", "front", "bundle", "save-project", "timings"})
        EXPECT_FALSE(options.count(QLatin1String(commandLineOnly))) << commandLineOnly;
}

// The window labels a box size by the kind's scale, rounding a single
// precision value; the page is given the window's own numbers.
TEST(OptionFieldsTest, ShownNumbersAreTheWindowsLabels)
{
    const auto options = Described();
    const QJsonObject turn = options.at(QStringLiteral("turn"))[QStringLiteral("shown")].toObject();
    EXPECT_EQ(turn[QStringLiteral("scale")].toDouble(), 0.1);
    EXPECT_EQ(turn[QStringLiteral("unit")].toString(), QStringLiteral("\u00B0"));

    const auto byForm = [&](const char* name) {
        return options.at(QLatin1String(name))[QStringLiteral("shown")][QStringLiteral("byForm")].toArray();
    };
    // Position 4 at a scale of 30 is 2.5, a hair above it in single precision.
    EXPECT_EQ(byForm("thickness")[0][3].toInt(), 3);
    const std::pair<const char*, Slider> sizes[] = {
        {"width", Slider::Width}, {"height", Slider::Height}, {"thickness", Slider::Thickness}};
    BoxDocument document;
    document.ResetProject();
    for (const auto& [name, slider] : sizes) {
        const QJsonArray shown = byForm(name);
        ASSERT_EQ(shown.size(), FormCount) << name;
        for (int form = 0; form < FormCount; ++form) {
            document.SetForm(form);
            for (int position : {1, 4, 50, 100}) {
                document.SetPosition(slider, position);
                EXPECT_EQ(QString::number(shown[form][position - 1].toInt()), document.ValueText(slider))
                    << name << " form " << form << " at " << position;
            }
        }
    }
}

} // namespace

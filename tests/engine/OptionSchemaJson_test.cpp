// The service's description of the options says what each takes and where.
#include "engine/OptionSchemaJson.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>

TEST(OptionSchemaJsonTest, TheSchemaJsonSaysWhatEachOptionTakesAndWhere)
{
    std::map<QString, QJsonObject> byName;
    for (const QJsonValue& option : OptionSchemaJson())
        byName[option[QStringLiteral("name")].toString()] = option.toObject();
    EXPECT_FALSE(byName.count(QStringLiteral("timings"))); // hidden
    const QJsonObject port = byName.at(QStringLiteral("port"));
    EXPECT_EQ(port[QStringLiteral("type")], QStringLiteral("integer"));
    EXPECT_EQ(port[QStringLiteral("min")], 0);
    EXPECT_EQ(port[QStringLiteral("max")], 65535);
    EXPECT_EQ(port[QStringLiteral("default")], 8080);
    EXPECT_EQ(port[QStringLiteral("commands")], QJsonArray{QStringLiteral("serve")});
    EXPECT_FALSE(port[QStringLiteral("serviceField")].toBool());
    const QJsonObject turn = byName.at(QStringLiteral("turn"));
    EXPECT_EQ(turn[QStringLiteral("unit")], QStringLiteral("tenths of a degree"));
    EXPECT_TRUE(turn[QStringLiteral("serviceField")].toBool());
    EXPECT_EQ(turn[QStringLiteral("help")], QStringLiteral("tenths of a degree -1800..1800"));
    EXPECT_FALSE(byName.at(QStringLiteral("front"))[QStringLiteral("serviceField")].toBool());
    EXPECT_EQ(byName.at(QStringLiteral("engine"))[QStringLiteral("choices")],
              (QJsonArray{QStringLiteral("raster"), QStringLiteral("raytrace")}));
    EXPECT_EQ(byName.at(QStringLiteral("max-body"))[QStringLiteral("default")], 20 << 20);
}

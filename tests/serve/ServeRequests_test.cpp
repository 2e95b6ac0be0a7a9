// The refusal of a request that could never fit in memory; the drawing is
// replaced, so no GL is needed.
#include "support/ServeHarness.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

ServeSettings OneWorker()
{
    ServeSettings s;
    s.Workers = 1;
    s.Queue = 4;
    return s;
}

std::string ErrorOf(const httplib::Result& r)
{
    return r ? QJsonDocument::fromJson(QByteArray::fromStdString(r->body))[QStringLiteral("error")].toString().toStdString()
             : std::string("no answer");
}

} // namespace

TEST(ServeRequestsTest, ARequestThatCouldNeverFitIsRefusedWithItsEstimateAndTheLimit)
{
    ServeSettings settings = OneWorker();
    settings.MaxMemory = std::int64_t{600} << 20;
    ServeHarness serve(settings, {}, [](RenderSession&, const RenderJob&) {
        return RenderAnswer{200, QByteArrayLiteral("picture"), 0.01};
    });
    const auto client = serve.Client();
    const httplib::Result huge = client->Post("/render", R"({"size":"4096x4096","samples":16})", "application/json");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 422);
    const std::string says = ErrorOf(huge);
    EXPECT_NE(says.find("GB of memory at its peak"), std::string::npos) << says;
    EXPECT_NE(says.find("--max-memory 629 MB"), std::string::npos) << says;
    const httplib::Result small = client->Post("/render", R"({"size":"600x600"})", "application/json");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->status, 200) << small->body;
}

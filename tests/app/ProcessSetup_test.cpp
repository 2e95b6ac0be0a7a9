// The process-wide settings the program makes before it starts a command.
#include "app/ProcessSetup.h"

#include <QByteArray>

#include <gtest/gtest.h>

namespace {

class ProcessSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        hadValue_ = qEnvironmentVariableIsSet("LP_NUM_THREADS");
        saved_ = qgetenv("LP_NUM_THREADS");
        qunsetenv("LP_NUM_THREADS");
    }
    void TearDown() override
    {
        if (hadValue_)
            qputenv("LP_NUM_THREADS", saved_);
        else
            qunsetenv("LP_NUM_THREADS");
    }

private:
    bool hadValue_ = false;
    QByteArray saved_;
};

TEST_F(ProcessSetupTest, ABatchDrawsOnItsWorkersThreadsUnlessTheUserSaidOtherwise)
{
    PrepareProcess({QStringLiteral("render"), QStringLiteral("batch")});
    PrepareProcess({});
    PrepareProcess({QStringLiteral("box.pcf")});
    EXPECT_FALSE(qEnvironmentVariableIsSet("LP_NUM_THREADS")) << "only a batch";

    PrepareProcess({QStringLiteral("batch"), QStringLiteral("m.csv")});
    EXPECT_EQ(qgetenv("LP_NUM_THREADS"), "0");

    qputenv("LP_NUM_THREADS", "3");
    PrepareProcess({QStringLiteral("batch"), QStringLiteral("m.csv"), QStringLiteral("-j"), QStringLiteral("2")});
    EXPECT_EQ(qgetenv("LP_NUM_THREADS"), "3");
}

} // namespace

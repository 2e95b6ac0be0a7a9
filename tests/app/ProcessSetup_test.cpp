// The process-wide settings the program makes before it starts a command.
#include "app/ProcessSetup.h"

#include <QByteArray>

#include <gtest/gtest.h>

#ifdef __GLIBC__
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#endif

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

#ifdef __GLIBC__
// The window's frames copy its image (a few MB) each time: freed, those
// blocks stay with the heap instead of going back to the system and being
// faulted in again for the next frame. Run in a child: the setting is the
// whole process's.
TEST(WindowProcessSetup, FreedFrameSizedBlocksStayWithTheHeap)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer brings its own allocator; glibc's settings do not reach it";
#endif
    EXPECT_EXIT(
        {
            PrepareWindowProcess();
            const std::size_t frame = 1280 * 1024 * 4;
            char* volatile block = static_cast<char*>(std::malloc(frame)); // not optimised away
            std::memset(block, 1, frame);
            std::free(block);
            const struct mallinfo2 heap = mallinfo2();
            std::exit(heap.keepcost >= frame && heap.arena >= frame ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

} // namespace

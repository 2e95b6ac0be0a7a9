// The start-up setting that asks glibc for huge pages.
#include "app/HugePages.h"

#include <gtest/gtest.h>

namespace {

TEST(HugePagesTest, TheSettingJoinsTheUsersOwnAndIsNotAskedForTwice)
{
    const std::string ours = "glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=8388608";
    EXPECT_EQ(TunablesWithHugePages(nullptr), ours);
    EXPECT_EQ(TunablesWithHugePages(""), ours);
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.check=3"), "glibc.malloc.check=3:" + ours);
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.mmap_threshold=65536"),
              "glibc.malloc.mmap_threshold=65536:glibc.malloc.hugetlb=1");
    // The user's own choice, whatever it is, stands.
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.hugetlb=0"), std::nullopt);
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.check=3:glibc.malloc.hugetlb=2"), std::nullopt);
}

} // namespace

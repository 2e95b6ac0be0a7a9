#include <gtest/gtest.h>

#include "window/Application.h"

#include <QStandardPaths>

#include <cstring>
#include <memory>

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    // Listing the tests (CTest's discovery) must work without a display.
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    std::unique_ptr<CubiformApplication> app;
    if (!listing)
        app = std::make_unique<CubiformApplication>(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

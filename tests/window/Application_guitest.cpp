#include "window/Application.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include <stdexcept>

TEST(ApplicationTest, AnErrorNoHandlerCaughtIsShownAndTheProgramGoesOn)
{
    auto* app = static_cast<CubiformApplication*>(QCoreApplication::instance());
    const auto previous = app->OnUnexpectedError;
    QStringList shown;
    app->OnUnexpectedError = [&](const QString& text) { shown << text; };

    QPushButton button;
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        if (++clicks == 1)
            throw std::runtime_error("disk full while writing x.pcf");
    });
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(shown, QStringList{"disk full while writing x.pcf"});
    app->OnUnexpectedError = previous;
}

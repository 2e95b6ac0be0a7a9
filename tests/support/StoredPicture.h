#pragma once
// A picture checked against its stored baseline with the classic baselines'
// tolerance (no channel off by more than 2, at most 0.1 % of the pixels
// different at all); with CUBIFORM_REMAKE_BASELINES=1
// (tests/baselines/make-baselines.sh) it is written instead.
#include <QDir>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

inline int ChannelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

// `name` is the picture's file name without ".png" in `folder` of the
// baselines; a failing picture is kept beside the other failures.
inline void ExpectStoredPicture(const QImage& actual, const QString& folder, const QString& name)
{
    ASSERT_FALSE(actual.isNull()) << name.toStdString();
    const QString dir = QStringLiteral(CUBIFORM_BASELINES_DIR) + QLatin1Char('/') + folder;
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (qEnvironmentVariableIntValue("CUBIFORM_REMAKE_BASELINES") == 1) {
        QDir().mkpath(dir);
        ASSERT_TRUE(actual.save(path));
        std::cout << "wrote " << path.toStdString() << "\n";
        return;
    }
    const QImage expected(path);
    ASSERT_FALSE(expected.isNull()) << "no stored picture " << path.toStdString();
    ASSERT_EQ(actual.size(), expected.size()) << name.toStdString();
    EXPECT_EQ(actual.hasAlphaChannel(), expected.hasAlphaChannel()) << name.toStdString();
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    int differing = 0, largest = 0;
    for (int y = 0; y < e.height(); ++y)
        for (int x = 0; x < e.width(); ++x) {
            const int d = ChannelDifference(e.pixel(x, y), a.pixel(x, y));
            differing += d > 0;
            largest = std::max(largest, d);
        }
    EXPECT_LE(largest, 2) << name.toStdString();
    EXPECT_LE(differing * 1000, e.width() * e.height()) << name.toStdString() << ": " << differing << " pixels differ";
    if (::testing::Test::HasFailure()) {
        const QString keep = QStringLiteral(CUBIFORM_BASELINE_FAILURES_DIR);
        QDir().mkpath(keep);
        actual.save(keep + QLatin1Char('/') + name + QStringLiteral(".actual.png"));
    }
}

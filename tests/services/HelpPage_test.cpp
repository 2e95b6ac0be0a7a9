#include "services/HelpPage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct HelpPageTest : ::testing::Test {
    QTemporaryDir root;
    QString bin = root.filePath(QStringLiteral("bin")) + QLatin1Char('/');
    QString beside = QDir::toNativeSeparators(root.filePath(QStringLiteral("bin/Help/Default.htm")));
    QString installed = QDir::toNativeSeparators(root.filePath(QStringLiteral("share/cubiform/Help/Default.htm")));

    static void Touch(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
};

TEST_F(HelpPageTest, BesideTheProgramFirstThenTheInstalledCopy)
{
    QDir().mkpath(bin);
    EXPECT_EQ(HelpPagePath(bin), beside); // neither: the plain place
    Touch(installed);
    EXPECT_EQ(HelpPagePath(bin), installed);
    Touch(beside);
    EXPECT_EQ(HelpPagePath(bin), beside);
    EXPECT_EQ(HelpPagePath(QDir::toNativeSeparators(bin)), beside);
}

} // namespace

#include "document/BoxDocument.h"
#include "services/Preferences.h"
#include "services/SettingsStore.h"
#include "support/StoreFixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST_F(StoreTest, OpenStoreTrimsTheKeyAndRefusesOthers)
{
    SettingsStore store(file);
    store.OpenStore(QStringLiteral(" \t") + StoreProductKey + QStringLiteral("\r\n "));
    EXPECT_EQ(store.KeyPath(), StoreProductKey);
    EXPECT_EQ(store.FileName(), file);

    SettingsStore other(file);
    EXPECT_THROW(other.OpenStore(QStringLiteral("\\Hardware\\Tralen")), RegistryError);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_THROW(other.LoadText(QStringLiteral("Main"), QStringLiteral("GUID"), QString()), RegistryError);
}

TEST_F(StoreTest, ThePlatformStoreUsesTheProductNames)
{
    // Opens only; test mode keeps this away from the user's own file.
    SettingsStore store;
    store.OpenStore(StoreProductKey);
    EXPECT_TRUE(store.FileName().endsWith(QStringLiteral("Tralen/Cubiform.conf")));
    EXPECT_TRUE(store.FileName().contains(QStringLiteral(".qttest")));
}

TEST_F(StoreTest, TextNumbersAndFlagsUseTheirTextForms)
{
    auto store = Open();
    const QString s = QStringLiteral("Preference");
    store->StoreText(s, QStringLiteral("Project Folder"), QStringLiteral("/home/a, b/"));
    store->StoreNumber(s, QStringLiteral("Fog"), -3);
    store->StoreNumber(s, QStringLiteral("Background color"), 16777215);
    store->StoreFlag(s, QStringLiteral("Transparent"), true);
    store->StoreFlag(s, QStringLiteral("Automatic update check"), false);
    store.reset();

    EXPECT_EQ(RawValue(QStringLiteral("Preference/Fog")), QStringLiteral("-3"));
    EXPECT_EQ(RawValue(QStringLiteral("Preference/Background color")), QStringLiteral("16777215"));
    EXPECT_EQ(RawValue(QStringLiteral("Preference/Transparent")), QStringLiteral("1"));
    EXPECT_EQ(RawValue(QStringLiteral("Preference/Automatic update check")), QStringLiteral("0"));

    store = Open();
    EXPECT_EQ(store->LoadText(s, QStringLiteral("Project Folder"), QString()), QStringLiteral("/home/a, b/"));
    EXPECT_EQ(store->LoadNumber(s, QStringLiteral("Fog"), 0), -3);
    EXPECT_EQ(store->LoadNumber(s, QStringLiteral("Background color"), 0), 16777215);
    EXPECT_TRUE(store->LoadFlag(s, QStringLiteral("Transparent"), false));
    EXPECT_FALSE(store->LoadFlag(s, QStringLiteral("Automatic update check"), true));
    EXPECT_EQ(store->LoadText(QStringLiteral("Nowhere"), QStringLiteral("x"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(store->LoadNumber(s, QStringLiteral("Missing"), 42), 42);
    EXPECT_TRUE(store->LoadFlag(s, QStringLiteral("Missing"), true));
}

TEST_F(StoreTest, HandWrittenNumbersAndFlags)
{
    WriteFile("[Preference]\n"
              "Fog=abc\nSize%20mode=2\nNeg=-17\nBlank=\nHuge=99999999999\nSpaced=\" 7 \"\n"
              "One=1\nZero=0\nSeven=7\nWord=yes\n");
    auto store = Open();
    const QString s = QStringLiteral("Preference");
    EXPECT_EQ(store->LoadNumber(s, QStringLiteral("Fog"), 0), 0);
    EXPECT_EQ(store->LoadNumber(s, QStringLiteral("Size mode"), 1), 2);
    EXPECT_EQ(store->LoadNumber(s, QStringLiteral("Neg"), 0), -17);
    EXPECT_EQ(store->LoadNumber(s, QStringLiteral("Blank"), 5), 5);
    EXPECT_EQ(store->LoadNumber(s, QStringLiteral("Huge"), 5), 5);
    EXPECT_EQ(store->LoadNumber(s, QStringLiteral("Spaced"), 5), 7);
    EXPECT_TRUE(store->LoadFlag(s, QStringLiteral("One"), false));
    EXPECT_FALSE(store->LoadFlag(s, QStringLiteral("Zero"), true));
    EXPECT_TRUE(store->LoadFlag(s, QStringLiteral("Seven"), false));
    EXPECT_TRUE(store->LoadFlag(s, QStringLiteral("Word"), true));
    EXPECT_FALSE(store->LoadFlag(s, QStringLiteral("Word"), false));
}

TEST_F(StoreTest, ValuesOfTheWrongKindNameTheValue)
{
    WriteFile("[General]\nLast%20update%20check=@ByteArray(1234567)\nText%20date=45000\n"
              "[Main]\nGUID=@ByteArray(abc)\n"
              "[Preference]\nData%20Folder=a, b\nFog=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x3)\n"
              "Size%20mode=@Invalid()\n");
    auto store = Open();
    const QString s = QStringLiteral("Preference");
    EXPECT_EQ(ErrorOf([&] { store->LoadText(QStringLiteral("Main"), QStringLiteral("GUID"), QString()); }),
              QStringLiteral("Invalid data type for 'GUID'"));
    EXPECT_EQ(ErrorOf([&] { store->LoadText(s, QStringLiteral("Data Folder"), QString()); }),
              QStringLiteral("Invalid data type for 'Data Folder'"));
    EXPECT_EQ(ErrorOf([&] { store->LoadNumber(s, QStringLiteral("Fog"), 0); }),
              QStringLiteral("Invalid data type for 'Fog'"));
    EXPECT_EQ(ErrorOf([&] { store->LoadFlag(s, QStringLiteral("Size mode"), false); }),
              QStringLiteral("Invalid data type for 'Size mode'"));
    EXPECT_EQ(ErrorOf([&] { store->LoadDate(QStringLiteral("Last update check")); }),
              QStringLiteral("Invalid data type for 'Last update check'"));
    EXPECT_EQ(ErrorOf([&] { store->LoadDate(QStringLiteral("Text date")); }),
              QStringLiteral("Invalid data type for 'Text date'"));
}

TEST_F(StoreTest, DatesAreEightLittleEndianBytesInTheRoot)
{
    auto store = Open();
    EXPECT_FALSE(store->LoadDate(QStringLiteral("Last update check")).has_value());
    const double day = ToStoreDate(QDate(2024, 3, 1));
    EXPECT_EQ(day, 45352.0);
    EXPECT_EQ(ToStoreDate(QDate(1899, 12, 30)), 0.0);
    store->StoreDate(QStringLiteral("Last update check"), day);
    store->StoreDate(QStringLiteral("Half"), -1.5);
    store.reset();

    QSettings raw(file, QSettings::IniFormat);
    const QByteArray bytes = raw.value(QStringLiteral("Last update check")).toByteArray();
    EXPECT_EQ(bytes, QByteArray::fromHex("000000000025e640"));
    EXPECT_TRUE(raw.childGroups().isEmpty()); // root values stay outside any section

    store = Open();
    EXPECT_EQ(store->LoadDate(QStringLiteral("Last update check")), day);
    EXPECT_EQ(store->LoadDate(QStringLiteral("Half")), -1.5);
}

TEST_F(StoreTest, AFailedWriteNamesTheValueAndChangesNothing)
{
    // The folder that should hold the file is a plain file: nothing can be written.
    WriteFile("");
    QFile::remove(file);
    QFile blocker(QFileInfo(file).path());
    QDir(QFileInfo(file).path()).removeRecursively();
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    auto store = Open();
    EXPECT_EQ(ErrorOf([&] { store->StoreText(QStringLiteral("Main"), QStringLiteral("GUID"), QStringLiteral("x")); }),
              QStringLiteral("Failed to set data for 'GUID'"));
    EXPECT_EQ(store->LoadText(QStringLiteral("Main"), QStringLiteral("GUID"), QStringLiteral("none")),
              QStringLiteral("none"));
    EXPECT_EQ(ErrorOf([&] { store->StoreDate(QStringLiteral("Last update check"), 1.0); }),
              QStringLiteral("Failed to set data for 'Last update check'"));
}

TEST_F(StoreTest, AReadOnlyFileRefusesWritesAndKeepsItsValue)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes read-only files";
    WriteFile("[Preference]\nFog=2\n");
    QFile::setPermissions(file, QFile::ReadOwner);
    auto store = Open();
    EXPECT_EQ(ErrorOf([&] { store->StoreNumber(QStringLiteral("Preference"), QStringLiteral("Fog"), 3); }),
              QStringLiteral("Failed to set data for 'Fog'"));
    EXPECT_EQ(store->LoadNumber(QStringLiteral("Preference"), QStringLiteral("Fog"), 0), 2);
}

TEST_F(StoreTest, AWriteSucceedsAgainOnceTheCauseIsGone)
{
    const QString folder = QFileInfo(file).path();
    QDir().mkpath(QFileInfo(folder).path());
    { QFile blocker(folder); ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); }
    auto store = Open();
    EXPECT_THROW(store->StoreNumber(QStringLiteral("Preference"), QStringLiteral("Fog"), 3), RegistryError);
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_NO_THROW(store->StoreNumber(QStringLiteral("Preference"), QStringLiteral("Fog"), 3));
    EXPECT_EQ(RawValue(QStringLiteral("Preference/Fog")), QStringLiteral("3"));
}

} // namespace

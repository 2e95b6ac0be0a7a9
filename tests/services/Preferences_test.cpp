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

// The window's start-up and exit as the document sees them.
struct PreferencesTest : StoreTest {
    BoxDocument model;
    Folders folders{QStringLiteral("/opt/cubiform/Projects/"), QStringLiteral("/opt/cubiform/")};

    PreferencesTest()
    {
        model.SetOutputFolder(QStringLiteral("/opt/cubiform/Output/"));
        model.SelectSizeClass(1);
        model.SelectBackground(0x123456);
    }

    QStringList StartUp(SettingsStore& store)
    {
        QStringList problems = EnsureInstallId(store);
        problems += LoadPreferences(store, model, folders);
        return problems;
    }
};

TEST_F(PreferencesTest, FirstStartCreatesTheIdentifierAndUsesDefaults)
{
    auto store = Open();
    EXPECT_TRUE(StartUp(*store).isEmpty());
    const QString guid = store->LoadText(QStringLiteral("Main"), QStringLiteral("GUID"), QString());
    EXPECT_EQ(guid.size(), 38);
    const QRegularExpression form(QStringLiteral(
        "^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    EXPECT_TRUE(form.match(guid).hasMatch()) << guid.toStdString();
    EXPECT_EQ(RawValue(QStringLiteral("Main/GUID")), guid);

    EXPECT_EQ(folders.ProjectFolder, QStringLiteral("/opt/cubiform/Projects/"));
    EXPECT_EQ(model.SizeClass(), 1);
    EXPECT_EQ(model.Form(), 0);
    EXPECT_EQ(model.Fog(), 0);
    EXPECT_EQ(model.Background(), 0xFFFFFFu);
    EXPECT_FLOAT_EQ(model.Params.BackgroundBlue, 1.0f);
}

TEST_F(PreferencesTest, SecondStartReusesTheIdentifierWithoutWritingIt)
{
    auto store = Open();
    StartUp(*store);
    const QString guid = store->LoadText(QStringLiteral("Main"), QStringLiteral("GUID"), QString());
    store.reset();
    const auto contents = [this] {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    };
    const QByteArray before = contents();
    // Every write replaces the file, so an unchanged file number means no write.
    const auto fileNumber = [this] {
        struct stat info {};
        return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_ino : ino_t{0};
    };
    const ino_t written = fileNumber();
    ASSERT_NE(written, ino_t{0});

    store = Open();
    EXPECT_TRUE(EnsureInstallId(*store).isEmpty());
    store.reset();
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(fileNumber(), written);
    EXPECT_EQ(RawValue(QStringLiteral("Main/GUID")), guid);
}

TEST_F(PreferencesTest, StoredValuesSelectAndColour)
{
    WriteFile("[Preference]\nSize%20mode=2\nForm%20mode=5\nFog=abc\nBackground%20color=255\n"
              "Project%20Folder=/data/projects\nOutput%20Folder=\n");
    auto store = Open();
    EXPECT_TRUE(LoadPreferences(*store, model, folders).isEmpty());
    EXPECT_EQ(model.SizeClass(), 2);
    EXPECT_EQ(model.Form(), 5);
    EXPECT_EQ(model.Fog(), 0);
    EXPECT_FLOAT_EQ(model.Params.BackgroundRed, 1.0f);
    EXPECT_FLOAT_EQ(model.Params.BackgroundGreen, 0.0f);
    EXPECT_FLOAT_EQ(model.Params.BackgroundBlue, 0.0f);
    EXPECT_EQ(model.Params.FogMode, 0);
    // Folders always end with the separator; an emptied one keeps the default.
    EXPECT_EQ(folders.ProjectFolder, QStringLiteral("/data/projects") + QDir::separator());
    EXPECT_EQ(model.OutputFolder(), QStringLiteral("/opt/cubiform/Output/"));
}

TEST_F(PreferencesTest, IndexesOutsideTheListsLeaveNoSelection)
{
    WriteFile("[Preference]\nSize%20mode=3\nForm%20mode=-1\nFog=7\n");
    auto store = Open();
    LoadPreferences(*store, model, folders);
    EXPECT_EQ(model.SizeClass(), -1);
    EXPECT_EQ(model.Form(), -1);
    EXPECT_EQ(model.Fog(), -1);
    model.ApplyForm(); // the documented fallback: the first kind
    EXPECT_EQ(model.Form(), 0);
}

TEST_F(PreferencesTest, BadValuesAreReportedAndTheRestStillLoads)
{
    WriteFile("[Main]\nGUID=@ByteArray(xyz)\n"
              "[Preference]\nData%20Folder=a, b\nSize%20mode=@ByteArray(2)\nFog=3\n"
              "Background%20color=65280\n");
    auto store = Open();
    const QStringList problems = StartUp(*store);
    EXPECT_EQ(problems, (QStringList{QStringLiteral("Invalid data type for 'GUID'"),
                                     QStringLiteral("Invalid data type for 'Data Folder'"),
                                     QStringLiteral("Invalid data type for 'Size mode'")}));
    EXPECT_EQ(folders.DataFolder, QStringLiteral("/opt/cubiform/"));
    EXPECT_EQ(model.SizeClass(), 1);
    EXPECT_EQ(model.Fog(), 3);
    EXPECT_EQ(model.Params.FogMode, 3);
    EXPECT_FLOAT_EQ(model.Params.BackgroundGreen, 1.0f);
}

TEST_F(PreferencesTest, ADamagedFileDoesNotStopTheStart)
{
    QByteArray junk;
    for (int i = 0; i < 8192; ++i)
        junk.append(static_cast<char>((i * 7919 + i / 3) & 0xFF));
    junk.insert(100, "\n[Preference]\nFog=@Variant(\\0\\0\\0\\x7f)\n[Main\n");
    WriteFile(junk);

    auto store = Open();
    QStringList problems;
    EXPECT_NO_THROW(problems = StartUp(*store));
    EXPECT_EQ(model.Fog(), 0);
    EXPECT_EQ(model.SizeClass(), 1);
    // The identifier was written over the damage and is there next time.
    const QString guid = store->LoadText(QStringLiteral("Main"), QStringLiteral("GUID"), QString());
    EXPECT_EQ(guid.size(), 38);
    store = Open();
    EXPECT_EQ(store->LoadText(QStringLiteral("Main"), QStringLiteral("GUID"), QString()), guid);
}

TEST_F(PreferencesTest, AnUnwritableStoreIsReportedAtStartUp)
{
    const QString folder = QFileInfo(file).path();
    { QFile blocker(folder); ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); }
    auto store = Open();
    EXPECT_EQ(StartUp(*store), QStringList{QStringLiteral("Failed to set data for 'GUID'")});
    EXPECT_EQ(model.SizeClass(), 1);
    // Saving tries every value and says which ones failed, in order; it throws nothing.
    QStringList problems;
    EXPECT_NO_THROW(problems = SavePreferences(*store, model, folders));
    ASSERT_EQ(problems.size(), 7);
    EXPECT_EQ(problems.constFirst(), QStringLiteral("Failed to set data for 'Project Folder'"));
    EXPECT_EQ(problems.constLast(), QStringLiteral("Failed to set data for 'Background color'"));
}

// A store whose disk refuses chosen values, as a registry key's rights can;
// everything else is written as usual.
class RefusingStore final : public SettingsStore {
public:
    using SettingsStore::SettingsStore;
    QStringList RefusedKeys;

protected:
    QSettings::Status Commit(QSettings& settings, const QString& key) override
    {
        return RefusedKeys.contains(key) ? QSettings::AccessError : SettingsStore::Commit(settings, key);
    }
};

TEST_F(PreferencesTest, ARefusedValueDoesNotStopTheOthers)
{
    WriteFile("[Preference]\nForm mode=4\n");
    {
        RefusingStore store(file);
        store.OpenStore(StoreProductKey);
        store.RefusedKeys = {QStringLiteral("Preference/Project Folder"), QStringLiteral("Preference/Form mode")};
        model.SelectForm(7);
        model.SelectFog(2);
        EXPECT_EQ(SavePreferences(store, model, folders),
                  QStringList({QStringLiteral("Failed to set data for 'Project Folder'"),
                               QStringLiteral("Failed to set data for 'Form mode'")}));
    }
    QSettings raw(file, QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Preference"));
    // The refused values are as they were on disk: one absent, one old.
    EXPECT_FALSE(raw.contains(QStringLiteral("Project Folder")));
    EXPECT_EQ(raw.value(QStringLiteral("Form mode")).toString(), QStringLiteral("4"));
    EXPECT_EQ(raw.value(QStringLiteral("Output Folder")).toString(), model.OutputFolder());
    EXPECT_EQ(raw.value(QStringLiteral("Data Folder")).toString(), folders.DataFolder);
    EXPECT_EQ(raw.value(QStringLiteral("Size mode")).toString(), QStringLiteral("1"));
    EXPECT_EQ(raw.value(QStringLiteral("Fog")).toString(), QStringLiteral("2"));
    EXPECT_EQ(raw.value(QStringLiteral("Background color")).toString(),
              QString::number(0x123456));
}

TEST_F(PreferencesTest, SaveWritesTheSevenValues)
{
    auto store = Open();
    model.SelectSizeClass(2);
    model.SelectForm(9);
    model.SelectFog(-1);
    model.SelectBackground(0x0000FF);
    SavePreferences(*store, model, folders);
    store.reset();

    QSettings raw(file, QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Preference"));
    EXPECT_EQ(raw.childKeys().size(), 7);
    EXPECT_EQ(raw.value(QStringLiteral("Project Folder")).toString(), folders.ProjectFolder);
    EXPECT_EQ(raw.value(QStringLiteral("Output Folder")).toString(), model.OutputFolder());
    EXPECT_EQ(raw.value(QStringLiteral("Data Folder")).toString(), folders.DataFolder);
    EXPECT_EQ(raw.value(QStringLiteral("Size mode")).toString(), QStringLiteral("2"));
    EXPECT_EQ(raw.value(QStringLiteral("Form mode")).toString(), QStringLiteral("9"));
    EXPECT_EQ(raw.value(QStringLiteral("Fog")).toString(), QStringLiteral("-1"));
    EXPECT_EQ(raw.value(QStringLiteral("Background color")).toString(), QStringLiteral("255"));
}

TEST_F(PreferencesTest, TheLastLooksAreRememberedInTheirOwnSection)
{
    BoxLooks looks{.Shadow = 35, .ShadowSoftness = 80, .Reflection = 12,
                   .Light = 64, .SmoothTextures = true, .Samples = 32};
    model.SetLooks(looks);
    {
        auto store = Open();
        EXPECT_TRUE(SavePreferences(*store, model, folders).isEmpty());
        EXPECT_TRUE(SaveLookPreferences(*store, model).isEmpty());
    }
    {
        QSettings raw(file, QSettings::IniFormat);
        raw.beginGroup(QStringLiteral("Preference"));
        EXPECT_EQ(raw.childKeys().size(), 7); // the classic values, untouched
        raw.endGroup();
        raw.beginGroup(QStringLiteral("Looks"));
        EXPECT_EQ(raw.value(QStringLiteral("Shadow softness")).toString(), QStringLiteral("80"));
        EXPECT_EQ(raw.value(QStringLiteral("Smooth textures")).toString(), QStringLiteral("1"));
        EXPECT_EQ(raw.value(QStringLiteral("Samples")).toString(), QStringLiteral("32"));
    }
    BoxDocument next;
    auto store = Open();
    EXPECT_TRUE(LoadLookPreferences(*store, next).isEmpty());
    EXPECT_EQ(next.Params.Looks, looks);
}

TEST_F(PreferencesTest, OddStoredLooksAreClampedOrReportedAndNeverStopTheStart)
{
    WriteFile("[Looks]\nShadow=500\nShadow%20softness=-4\nReflection=@ByteArray(7)\nLight=abc\n"
              "Smooth%20textures=2\nSamples=5\n");
    auto store = Open();
    BoxLooks before;
    before.Reflection = 9;
    model.SetLooks(before);
    const QStringList problems = LoadLookPreferences(*store, model);
    EXPECT_EQ(problems, QStringList{QStringLiteral("Invalid data type for 'Reflection'")});
    const BoxLooks& l = model.Params.Looks;
    EXPECT_EQ(l.Shadow, 100);
    EXPECT_EQ(l.ShadowSoftness, 0);
    EXPECT_EQ(l.Reflection, 9); // kept
    EXPECT_EQ(l.Light, 0);      // not a number: the value held
    EXPECT_TRUE(l.SmoothTextures);
    EXPECT_EQ(l.Samples, 4);

    // Nothing stored: the looks stay as they are (all off at a first start).
    BoxDocument first;
    QTemporaryDir other;
    SettingsStore empty(other.filePath(QStringLiteral("s.ini")));
    empty.OpenStore(StoreProductKey);
    EXPECT_TRUE(LoadLookPreferences(empty, first).isEmpty());
    EXPECT_TRUE(first.Params.Looks.AllOff());
}

} // namespace

#include "services/Preferences.h"

#include "document/BoxDocument.h"

#include <QDir>
#include <QUuid>

namespace {

const QString Preference = QStringLiteral("Preference");
const QString LooksSection = QStringLiteral("Looks");

// Runs one store operation; an error is noted and the fallback kept.
template <typename T, typename Op>
T Collect(QStringList& problems, T fallback, Op op)
{
    try {
        return op();
    } catch (const RegistryError& error) {
        problems.append(error.Message());
        return fallback;
    }
}

// The same for an operation that gives nothing back.
template <typename Op>
void Attempt(QStringList& problems, Op op)
{
    try {
        op();
    } catch (const RegistryError& error) {
        problems.append(error.Message());
    }
}

QString LoadFolder(SettingsStore& store, const QString& name, const QString& current,
                   QStringList& problems)
{
    QString folder = Collect(problems, current,
                             [&] { return store.LoadText(Preference, name, current); });
    // An emptied value would send files to the working folder.
    if (folder.isEmpty())
        return current;
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

int LoadSelection(SettingsStore& store, const QString& name, int defaultIndex, QStringList& problems)
{
    return Collect(problems, defaultIndex, [&] { return store.LoadNumber(Preference, name, defaultIndex); });
}

} // namespace

QStringList EnsureInstallId(SettingsStore& store)
{
    const QString guidSection = QStringLiteral("Main");
    const QString guidName = QStringLiteral("GUID");
    QStringList problems;
    try {
        if (!store.LoadText(guidSection, guidName, QString()).isEmpty())
            return problems;
        // Stored even when generation failed, so the next start tries again.
        const QUuid id = QUuid::createUuid();
        const QString text = id.isNull() ? QString() : id.toString(QUuid::WithBraces).toUpper();
        store.StoreText(guidSection, guidName, text);
    } catch (const RegistryError& error) {
        problems.append(error.Message());
    }
    return problems;
}

QStringList LoadPreferences(SettingsStore& store, BoxDocument& doc, Folders& folders)
{
    QStringList problems;
    folders.ProjectFolder = LoadFolder(store, QStringLiteral("Project Folder"), folders.ProjectFolder, problems);
    doc.SetOutputFolder(LoadFolder(store, QStringLiteral("Output Folder"), doc.OutputFolder(), problems));
    folders.DataFolder = LoadFolder(store, QStringLiteral("Data Folder"), folders.DataFolder, problems);

    // An index outside its list selects nothing.
    doc.SelectSizeClass(LoadSelection(store, QStringLiteral("Size mode"), doc.SizeClass(), problems));
    doc.SelectForm(LoadSelection(store, QStringLiteral("Form mode"), doc.Form(), problems));
    doc.SelectFog(LoadSelection(store, QStringLiteral("Fog"), doc.Fog(), problems));

    const int white = 16777215;
    const int color = Collect(problems, white, [&] {
        return store.LoadNumber(Preference, QStringLiteral("Background color"), white);
    });
    doc.SelectBackground(static_cast<std::uint32_t>(color));
    doc.ApplyBackground();
    doc.ApplyFog();
    return problems;
}

QStringList SavePreferences(SettingsStore& store, const BoxDocument& doc, const Folders& folders)
{
    // Every value is tried: one that cannot be written does not cost the others.
    QStringList problems;
    auto text = [&](const QString& name, const QString& value) {
        Attempt(problems, [&] { store.StoreText(Preference, name, value); });
    };
    auto number = [&](const QString& name, int value) {
        Attempt(problems, [&] { store.StoreNumber(Preference, name, value); });
    };
    text(QStringLiteral("Project Folder"), folders.ProjectFolder);
    text(QStringLiteral("Output Folder"), doc.OutputFolder());
    text(QStringLiteral("Data Folder"), folders.DataFolder);
    number(QStringLiteral("Size mode"), doc.SizeClass());
    number(QStringLiteral("Form mode"), doc.Form());
    number(QStringLiteral("Fog"), doc.Fog());
    number(QStringLiteral("Background color"), static_cast<int>(doc.Background()));
    return problems;
}

QStringList LoadLookPreferences(SettingsStore& store, BoxDocument& doc)
{
    QStringList problems;
    BoxLooks looks = doc.Params.Looks;
    auto number = [&](const QString& name, int& value) {
        value = Collect(problems, value, [&] { return store.LoadNumber(LooksSection, name, value); });
    };
    number(QStringLiteral("Shadow"), looks.Shadow);
    number(QStringLiteral("Shadow softness"), looks.ShadowSoftness);
    number(QStringLiteral("Reflection"), looks.Reflection);
    number(QStringLiteral("Light"), looks.Light);
    looks.SmoothTextures = Collect(problems, looks.SmoothTextures, [&] {
        return store.LoadFlag(LooksSection, QStringLiteral("Smooth textures"), looks.SmoothTextures);
    });
    number(QStringLiteral("Samples"), looks.Samples);
    doc.SetLooks(looks);
    return problems;
}

QStringList SaveLookPreferences(SettingsStore& store, const BoxDocument& doc)
{
    QStringList problems;
    const BoxLooks& looks = doc.Params.Looks;
    auto number = [&](const QString& name, int value) {
        Attempt(problems, [&] { store.StoreNumber(LooksSection, name, value); });
    };
    number(QStringLiteral("Shadow"), looks.Shadow);
    number(QStringLiteral("Shadow softness"), looks.ShadowSoftness);
    number(QStringLiteral("Reflection"), looks.Reflection);
    number(QStringLiteral("Light"), looks.Light);
    Attempt(problems, [&] { store.StoreFlag(LooksSection, QStringLiteral("Smooth textures"), looks.SmoothTextures); });
    number(QStringLiteral("Samples"), looks.Samples);
    return problems;
}

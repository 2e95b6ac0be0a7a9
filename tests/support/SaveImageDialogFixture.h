#pragma once
// The "Save image as" dialog over a settings store and prompts of its own,
// for the dialog's tests.
#include "services/SettingsStore.h"
#include "window/SaveImageDialog.h"
#include "window/ScriptedPrompts.h"

#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

struct SaveImageDlgTest : ::testing::Test {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<SettingsStore> store;
    QImage bitmap;
    const QDateTime noon{QDate(2005, 6, 1), QTime(12, 0)};

    void SetUp() override
    {
        store = std::make_unique<SettingsStore>(SettingsFile());
        store->OpenStore(QStringLiteral("\\Software\\Tralen\\Cubiform\\"));
        bitmap = QImage(30, 20, QImage::Format_RGB888);
        bitmap.fill(QColor(200, 40, 10));
    }

    QString SettingsFile() const { return dir.filePath(QStringLiteral("settings.ini")); }
    QString Folder(const QString& name) const
    {
        return QDir::toNativeSeparators(dir.filePath(name)) + QDir::separator();
    }
    QVariant Stored(const QString& name) const
    {
        return QSettings(SettingsFile(), QSettings::IniFormat).value(QStringLiteral("Preference/") + name);
    }
    void Store(const QString& name, const QString& value)
    {
        store->StoreText(QStringLiteral("Preference"), name, value);
    }

    std::unique_ptr<SaveImageDialog> Make(const QString& folder)
    {
        auto dlg = std::make_unique<SaveImageDialog>(*store, prompts);
        dlg->SetResultBitmap(&bitmap);
        dlg->SetFolder(folder);
        dlg->Clock = [this] { return noon; };
        return dlg;
    }

    // With a box to draw: other sizes and formats are drawn off screen.
    std::unique_ptr<SaveImageDialog> MakeWithBox(const QString& folder)
    {
        auto dlg = Make(folder);
        BoxDocument document;
        document.NewProject();
        dlg->SetDocument(document, QString());
        return dlg;
    }

    // Shows the dialog as a modal run would, without waiting on it.
    static void Show(SaveImageDialog& dlg)
    {
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    }
};

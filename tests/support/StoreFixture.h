#pragma once
// A settings store of its own in a temporary folder, for the store's and
// the preferences' tests.
#include "services/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

inline const QString StoreProductKey = QStringLiteral("\\Software\\Tralen\\Cubiform\\");

struct StoreTest : ::testing::Test {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Tralen/Cubiform.conf"));

    std::unique_ptr<SettingsStore> Open()
    {
        auto store = std::make_unique<SettingsStore>(file);
        store->OpenStore(StoreProductKey);
        return store;
    }

    // Writes the file by hand, as another program or a damaged disk would.
    void WriteFile(const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
    }

    QString RawValue(const QString& key)
    {
        QSettings raw(file, QSettings::IniFormat);
        return raw.value(key).toString();
    }

    static QString ErrorOf(const std::function<void()>& op)
    {
        try {
            op();
        } catch (const RegistryError& error) {
            return error.Message();
        }
        return QString();
    }
};

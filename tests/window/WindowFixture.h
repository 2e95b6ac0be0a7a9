#pragma once
// A main window on a temporary program folder, home and settings file, with
// scripted answers for every dialog.
#include "window/MainWindow.h"

#include "support/WindowParts.h"
#include "window/GLPanel.h"
#include "window/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

// HOME in the test's folder, with Pictures and Documents: the window's
// default folders are the user's, and a test writes only in its own.
struct TestHome {
    QByteArray old = qgetenv("HOME");
    explicit TestHome(const QString& home)
    {
        QDir().mkpath(home + "/Pictures") && QDir().mkpath(home + "/Documents");
        qputenv("HOME", home.toUtf8());
    }
    ~TestHome() { qputenv("HOME", old); }
};

struct WindowFixture : ::testing::Test {
    QTemporaryDir dir;
    TestHome testHome{dir.filePath(QStringLiteral("home"))};
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> form;

    QString SettingsFile() const { return dir.filePath(QStringLiteral("settings.ini")); }
    QString Path(const QString& name) const { return dir.filePath(name); }

    void Start()
    {
        MainWindowOptions options;
        options.ProgramFolder = dir.path();
        options.SettingsFile = SettingsFile();
        options.Dialogs = &prompts;
        form = std::make_unique<MainWindow>(options);
    }

    void ShowAndWaitForGL()
    {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !ui::view(*form)->FirstPaintPending(); }, 5000));
        QTest::qWait(50);
    }

    // Until every cover load has ended (installed, reported or dropped).
    void WaitForCovers()
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->CoverLoadsPending(); }, 30000));
    }

    // Picks through the scripted file dialog and waits for the load.
    void PickCover(int slot, const QString& file)
    {
        prompts.Files.push_back(file);
        ASSERT_TRUE(form->SelectCoverImage(slot, false));
        WaitForCovers();
    }

    void Store(const QString& key, const QVariant& value)
    {
        QSettings s(SettingsFile(), QSettings::IniFormat);
        s.setValue(key, value);
    }

    // The frame the view shows now.
    QImage Frame()
    {
        ui::view(*form)->RenderNow();
        return ui::view(*form)->grabFramebuffer();
    }

    // A picture file made by the test: a colour left, another right.
    QString WritePicture(const QString& name, QSize size, QColor left, QColor right)
    {
        QImage image(size, QImage::Format_RGB888);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixelColor(x, y, x < size.width() / 2 ? left : right);
        const QString file = Path(name);
        EXPECT_TRUE(image.save(file, "BMP"));
        return file;
    }
};

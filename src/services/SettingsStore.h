#pragma once
// The per-user settings store. Sections are groups below the product key;
// integers are kept as decimal text, flags as "1"/"0" and the one date as
// eight bytes of a little-endian double (days since 30 Dec 1899).
#include <QDate>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <stdexcept>

// A value of the wrong kind, a write that did not reach the store or a key
// that cannot be opened; the text names the value.
class RegistryError : public std::runtime_error {
public:
    explicit RegistryError(const QString& message);
    QString Message() const { return QString::fromUtf8(what()); }
};

class SettingsStore {
public:
    // The platform's per-user store (~/.config/<organisation>/<application>.conf
    // on Linux, the registry on Windows); the names come from the key path.
    // On Linux the file follows QStandardPaths, so its test mode moves it to
    // ~/.qttest/config; that folder is shared between runs, hence the file
    // constructor for tests.
    SettingsStore();
    // An INI file at this path instead; tests and portable set-ups use it.
    explicit SettingsStore(const QString& fileName);
    virtual ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Takes "\Software\<organisation>\<application>\" (blanks and control
    // characters around it are ignored); deeper parts become a group prefix.
    void OpenStore(const QString& keyPath);
    bool IsOpen() const { return settings_ != nullptr; }
    QString KeyPath() const { return keyPath_; }
    QString FileName() const;

    QString LoadText(const QString& section, const QString& name, const QString& defaultValue);
    // Every store is written through at once. A store that cannot be written
    // throws "Failed to set data for '<name>'" and reads back as before.
    void StoreText(const QString& section, const QString& name, const QString& value);
    int LoadNumber(const QString& section, const QString& name, int defaultValue);
    void StoreNumber(const QString& section, const QString& name, int value);
    bool LoadFlag(const QString& section, const QString& name, bool defaultValue);
    void StoreFlag(const QString& section, const QString& name, bool value);
    // Dates live in the product key itself; nullopt when the value is missing.
    std::optional<double> LoadDate(const QString& name);
    void StoreDate(const QString& name, double days);

protected:
    // Writes the change just made through to the store and says how that went.
    // A test store refuses chosen keys here; the refusal is then handled as a
    // real one.
    virtual QSettings::Status Commit(QSettings& settings, const QString& key);

private:
    QString KeyOf(const QString& section, const QString& name) const;
    // Missing values come back as an invalid QVariant.
    QVariant Read(const QString& key);
    void Write(const QString& key, const QString& name, const QVariant& value);
    QSettings& Settings();
    void Reopen();

    QString fileName_;     // empty: the platform store
    QString organisation_;
    QString application_;
    QString prefix_;
    QString keyPath_;
    std::unique_ptr<QSettings> settings_;
};

// The store's date encoding: days since 30 Dec 1899, no time part.
double ToStoreDate(const QDate& date);

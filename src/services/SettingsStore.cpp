#include "services/SettingsStore.h"

#include <QSettings>
#include <QStringList>
#include <QtEndian>

#include <cstring>

namespace {

QString Trimmed(const QString& text)
{
    // Blanks and every control character, as the key path may come from a
    // hand-made string.
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 0x20)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 0x20)
        --last;
    return text.mid(first, last - first);
}

QString Named(const char* pattern, const QString& name)
{
    return QString::fromLatin1(pattern).arg(name);
}

[[noreturn]] void ThrowInvalidType(const QString& name)
{
    throw RegistryError(Named("Invalid data type for '%1'", name));
}

} // namespace

RegistryError::RegistryError(const QString& message) : std::runtime_error(message.toStdString()) {}

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(const QString& fileName) : fileName_(fileName) {}

SettingsStore::~SettingsStore() = default;

void SettingsStore::OpenStore(const QString& keyPath)
{
    const QString path = Trimmed(keyPath);
    const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 3 || parts.at(0).compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0)
        throw RegistryError(Named("Failed to create key %1", path));
    keyPath_ = path;
    organisation_ = parts.at(1);
    application_ = parts.at(2);
    prefix_ = parts.mid(3).join(QLatin1Char('/'));
    Reopen();
}

QString SettingsStore::FileName() const
{
    return settings_ ? settings_->fileName() : fileName_;
}

void SettingsStore::Reopen()
{
    settings_.reset(); // its pending changes, if any, are flushed first
    if (fileName_.isEmpty())
        settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                organisation_, application_);
    else
        settings_ = std::make_unique<QSettings>(fileName_, QSettings::IniFormat);
}

QSettings& SettingsStore::Settings()
{
    if (!settings_)
        throw RegistryError(QStringLiteral("The settings store is not open"));
    return *settings_;
}

QString SettingsStore::KeyOf(const QString& section, const QString& name) const
{
    QStringList parts;
    for (const QString& part : {prefix_, section, name})
        if (!part.isEmpty())
            parts.append(part);
    return parts.join(QLatin1Char('/'));
}

QVariant SettingsStore::Read(const QString& key)
{
    QSettings& settings = Settings();
    if (!settings.contains(key))
        return {};
    const QVariant value = settings.value(key);
    // A present value Qt could not decode ("@Invalid()") is of no kind we know.
    return value.isValid() ? value : QVariant(QMetaType::fromType<std::nullptr_t>());
}

void SettingsStore::Write(const QString& key, const QString& name, const QVariant& value)
{
    QSettings& settings = Settings();
    const bool existed = settings.contains(key);
    const QVariant previous = settings.value(key);
    settings.setValue(key, value);
    const QSettings::Status status = Commit(settings, key);
    if (status == QSettings::NoError)
        return;
    if (status == QSettings::AccessError) {
        // Keep what is read back equal to what is on disk.
        if (existed)
            settings.setValue(key, previous);
        else
            settings.remove(key);
        Reopen(); // the status is sticky; a later write gets a fresh chance
        throw RegistryError(Named("Failed to set data for '%1'", name));
    }
    // A damaged file (FormatError) has just been replaced by what could be
    // read plus this value; start over so the next failure is not masked.
    Reopen();
}

QSettings::Status SettingsStore::Commit(QSettings& settings, const QString&)
{
    settings.sync();
    return settings.status();
}

QString SettingsStore::LoadText(const QString& section, const QString& name, const QString& defaultValue)
{
    const QVariant value = Read(KeyOf(section, name));
    if (!value.isValid())
        return defaultValue;
    if (value.typeId() != QMetaType::QString)
        ThrowInvalidType(name);
    return value.toString();
}

void SettingsStore::StoreText(const QString& section, const QString& name, const QString& value)
{
    Write(KeyOf(section, name), name, value);
}

int SettingsStore::LoadNumber(const QString& section, const QString& name, int defaultValue)
{
    const QVariant value = Read(KeyOf(section, name));
    if (!value.isValid())
        return defaultValue;
    if (value.typeId() != QMetaType::QString)
        ThrowInvalidType(name);
    bool ok = false;
    const int number = value.toString().toInt(&ok, 10);
    return ok ? number : defaultValue;
}

void SettingsStore::StoreNumber(const QString& section, const QString& name, int value)
{
    Write(KeyOf(section, name), name, QString::number(value));
}

bool SettingsStore::LoadFlag(const QString& section, const QString& name, bool defaultValue)
{
    return LoadNumber(section, name, defaultValue ? 1 : 0) != 0;
}

void SettingsStore::StoreFlag(const QString& section, const QString& name, bool value)
{
    Write(KeyOf(section, name), name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

std::optional<double> SettingsStore::LoadDate(const QString& name)
{
    const QVariant value = Read(KeyOf(QString(), name));
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() != QMetaType::QByteArray)
        ThrowInvalidType(name);
    const QByteArray bytes = value.toByteArray();
    if (bytes.size() != sizeof(double))
        ThrowInvalidType(name);
    const quint64 bits = qFromLittleEndian<quint64>(bytes.constData());
    double days = 0;
    std::memcpy(&days, &bits, sizeof days);
    return days;
}

void SettingsStore::StoreDate(const QString& name, double days)
{
    quint64 bits = 0;
    std::memcpy(&bits, &days, sizeof bits);
    QByteArray bytes(sizeof bits, '\0');
    qToLittleEndian(bits, bytes.data());
    Write(KeyOf(QString(), name), name, bytes);
}

double ToStoreDate(const QDate& date)
{
    static const qint64 epoch = QDate(1899, 12, 30).toJulianDay();
    return static_cast<double>(date.toJulianDay() - epoch);
}

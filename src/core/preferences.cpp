#include "preferences.h"

#include "privatefiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>

namespace
{
std::unique_ptr<QSettings> openUserStore()
{
#ifdef Q_OS_DARWIN
    return std::make_unique<QSettings>(QStringLiteral("Corvane"), QStringLiteral("Corvane"));
#else
    // The folder is the application's own, made private before the store reads anything in it.
    const QString fileName = Preferences::userStoreFileName();
    PrivateFiles::makeFolder(QFileInfo(fileName).absolutePath());
    return std::make_unique<QSettings>(fileName, QSettings::NativeFormat);
#endif
}
}

Preferences::Preferences()
    : Preferences(openUserStore())
{ }

QString Preferences::userStoreFileName()
{
#ifdef Q_OS_DARWIN
    return {};
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Corvane/Corvane.conf");
#endif
}

Preferences::Preferences(std::unique_ptr<QSettings> settings)
    : m_settings(std::move(settings))
{
#ifndef Q_OS_DARWIN
    // Settings are saved through a temporary file that takes over the mode of the file it
    // replaces, so a file made private before the first save stays private. (On macOS the
    // preferences daemon writes the file, privately.)
    const bool wasLink = QFileInfo(m_settings->fileName()).isSymLink();
    PrivateFiles::makeFile(m_settings->fileName());
    // The store read the link's target on opening; reading the file now in its place forgets that.
    if (wasLink)
        m_settings->sync();
#endif
}

bool Preferences::contains(QLatin1StringView key) const
{
    return m_settings->contains(key);
}

bool Preferences::boolValue(QLatin1StringView key) const
{
    const QVariant value = m_settings->value(key);
    // Text formats keep booleans as "true"/"false"; anything else that is not a boolean is false.
    if (value.typeId() == QMetaType::Bool || value.typeId() == QMetaType::QString)
        return value.toBool();
    return false;
}

std::optional<QString> Preferences::text(QLatin1StringView key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<QByteArray> Preferences::data(QLatin1StringView key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

void Preferences::setBool(QLatin1StringView key, bool value)
{
    m_settings->setValue(key, value);
}

void Preferences::setText(QLatin1StringView key, const QString &value)
{
    m_settings->setValue(key, value);
}

void Preferences::setData(QLatin1StringView key, const QByteArray &value)
{
    m_settings->setValue(key, value);
}

void Preferences::remove(QLatin1StringView key)
{
    m_settings->remove(key);
}

void Preferences::save()
{
    m_settings->sync();
}

Preferences::Location Preferences::location() const
{
    return {.fileName = m_settings->fileName(),
            .format = m_settings->format(),
            .scope = m_settings->scope(),
            .organization = m_settings->organizationName(),
            .application = m_settings->applicationName()};
}

std::unique_ptr<Preferences> Preferences::open(const Location &location)
{
    if (location.organization.isEmpty())
        return std::make_unique<Preferences>(std::make_unique<QSettings>(location.fileName, location.format));
    return std::make_unique<Preferences>(
        std::make_unique<QSettings>(location.format, location.scope, location.organization, location.application));
}

std::optional<QByteArray> Preferences::readDataOnce(const Location &location, QLatin1StringView key)
{
    Location reading = location;
    reading.fileName += QStringLiteral(".reading");
    QFile::remove(reading.fileName);
    // A hard link: a store opened on a symbolic link replaces it with a file of its own.
    std::error_code error;
    std::filesystem::create_hard_link(QFile::encodeName(location.fileName).toStdString(), QFile::encodeName(reading.fileName).toStdString(),
                                      error);
    if (error)
        return open(location)->data(key);
    std::optional<QByteArray> value = open(reading)->data(key);
    QFile::remove(reading.fileName);
    forgetRemovedFile(reading);
    return value;
}

void Preferences::forgetRemovedFile(const Location &location)
{
    // Opened once more, a settings object finds the file gone and lets go of what it kept. Not
    // through open(), which would make the file anew.
    const QSettings settings(location.fileName, location.format);
}

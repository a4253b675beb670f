#include "hostregistration.h"

#include "addonidentity.h"
#include "bridgelog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <optional>

using namespace Qt::StringLiterals;

namespace
{
// Marks a manifest as Corvane's own, so that only such a file is replaced or removed.
const auto ownDescription = u"Corvane's bridge to its browser add-on"_s;
// Larger than any manifest Corvane writes.
constexpr qint64 manifestReadLimit = 64 * 1024;

// Where a package installs the host manifest for every user, under the system root.
struct SystemHostFolder {
    QLatin1StringView browserId;
    QLatin1StringView folder;
};
constexpr std::array systemHostFolders{
    SystemHostFolder{"firefox"_L1, "usr/lib/mozilla/native-messaging-hosts"_L1},
    SystemHostFolder{"chromium"_L1, "etc/chromium/native-messaging-hosts"_L1},
    SystemHostFolder{"chrome"_L1, "etc/opt/chrome/native-messaging-hosts"_L1},
};

// The manifest at path when it is a plain file naming Corvane's host.
std::optional<QJsonObject> hostManifest(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.size() > manifestReadLimit)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    if (json.value("name"_L1).toString() != AddonIdentity::hostName)
        return std::nullopt;
    return json;
}

bool isOwnManifest(const QString &path)
{
    const std::optional<QJsonObject> json = hostManifest(path);
    return json && json->value("description"_L1).toString() == ownDescription;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(manifestReadLimit) : QByteArray();
}
}

const QList<HostRegistration::Browser> &HostRegistration::browsers()
{
    static const QList<Browser> table{
        {u"firefox"_s, Family::Firefox, u".mozilla"_s, u".mozilla/native-messaging-hosts"_s},
        // Firefox from 2025 on keeps a new user's files in the XDG configuration folder.
        {u"firefox"_s, Family::Firefox, u".config/mozilla"_s, u".config/mozilla/native-messaging-hosts"_s},
        {u"chromium"_s, Family::Chromium, u".config/chromium"_s, u".config/chromium/NativeMessagingHosts"_s},
        {u"chrome"_s, Family::Chromium, u".config/google-chrome"_s, u".config/google-chrome/NativeMessagingHosts"_s},
        {u"brave"_s, Family::Chromium, u".config/BraveSoftware/Brave-Browser"_s,
         u".config/BraveSoftware/Brave-Browser/NativeMessagingHosts"_s},
        {u"edge"_s, Family::Chromium, u".config/microsoft-edge"_s, u".config/microsoft-edge/NativeMessagingHosts"_s},
        {u"vivaldi"_s, Family::Chromium, u".config/vivaldi"_s, u".config/vivaldi/NativeMessagingHosts"_s},
        {u"opera"_s, Family::Chromium, u".config/opera"_s, u".config/opera/NativeMessagingHosts"_s},
    };
    return table;
}

HostRegistration::HostRegistration(QString homeFolder, QString hostExecutable, QString systemRoot)
    : m_homeFolder(std::move(homeFolder))
    , m_hostExecutable(std::move(hostExecutable))
    , m_systemRoot(std::move(systemRoot))
{ }

QByteArray HostRegistration::manifest(Family family) const
{
    QJsonObject json{
        {u"name"_s, QString(AddonIdentity::hostName)},
        {u"description"_s, ownDescription},
        {u"path"_s, m_hostExecutable},
        {u"type"_s, u"stdio"_s},
    };
    if (family == Family::Firefox)
        json.insert(u"allowed_extensions"_s, QJsonArray{QString(AddonIdentity::geckoId)});
    else
        json.insert(u"allowed_origins"_s, QJsonArray{QString(AddonIdentity::chromiumOrigin)});
    return QJsonDocument(json).toJson();
}

QString HostRegistration::manifestPath(const Browser &browser) const
{
    return QDir(m_homeFolder).filePath(browser.hostFolder + u'/' + AddonIdentity::hostName + ".json"_L1);
}

bool HostRegistration::isPresent(const Browser &browser) const
{
    return QFileInfo(QDir(m_homeFolder).filePath(browser.profileRoot)).isDir();
}

bool HostRegistration::isRegistered(const Browser &browser) const
{
    return contents(manifestPath(browser)) == manifest(browser.family) && isOwnManifest(manifestPath(browser));
}

bool HostRegistration::isRegistered(const QString &browserId) const
{
    const bool perUser
        = std::ranges::any_of(browsers(), [&](const Browser &browser) { return browser.browserId == browserId && isRegistered(browser); });
    return perUser || std::ranges::any_of(systemHostFolders, [&](const SystemHostFolder &system) {
               return system.browserId == browserId
                   && hostManifest(QDir(m_systemRoot).filePath(QString(system.folder) + u'/' + AddonIdentity::hostName + ".json"_L1));
           });
}

bool HostRegistration::hasBrowser(const QString &browserId) const
{
    return std::ranges::any_of(browsers(), [&](const Browser &browser) { return browser.browserId == browserId && isPresent(browser); });
}

QList<HostRegistration::Result> HostRegistration::connectBrowsers() const
{
    QList<Result> results;
    for (const Browser &browser : browsers()) {
        if (!isPresent(browser))
            continue;
        const QString path = manifestPath(browser);
        const bool exists = QFileInfo(path).exists() || QFileInfo(path).isSymLink();
        Outcome outcome = Outcome::Written;
        if (exists && !isOwnManifest(path)) {
            outcome = Outcome::Foreign;
        } else if (isRegistered(browser)) {
            outcome = Outcome::Unchanged;
        } else {
            QSaveFile file(path);
            const bool written = QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
                && file.write(manifest(browser.family)) >= 0 && file.commit();
            outcome = written ? Outcome::Written : Outcome::Failed;
        }
        if (outcome == Outcome::Foreign || outcome == Outcome::Failed)
            qCInfo(lcBridge) << "left the host manifest alone:" << path;
        results.append({browser.browserId, path, outcome});
    }
    return results;
}

QList<HostRegistration::Result> HostRegistration::disconnectBrowsers() const
{
    QList<Result> results;
    for (const Browser &browser : browsers()) {
        const QString path = manifestPath(browser);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        Outcome outcome = Outcome::Foreign;
        if (isOwnManifest(path))
            outcome = QFile::remove(path) ? Outcome::Removed : Outcome::Failed;
        results.append({browser.browserId, path, outcome});
    }
    return results;
}

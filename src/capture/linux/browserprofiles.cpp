#include "browserprofiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace
{
// profiles.ini, installs.ini and Local State are small; a larger file is not one of them.
constexpr qint64 maximumSettingsBytes = 4 * 1024 * 1024;

QString home()
{
    return QDir::homePath();
}

QString configHome()
{
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    return QDir::isAbsolutePath(configured) ? configured : home() + QLatin1StringView("/.config");
}

QStringList existingDirectories(const QStringList &candidates)
{
    QStringList existing;
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isDir())
            existing.append(candidate);
    }
    return existing;
}

QStringList firefoxRoots(const KnownBrowser &browser)
{
    if (browser.id == QLatin1StringView("zen")) {
        return existingDirectories({home() + QLatin1StringView("/.zen"), configHome() + QLatin1StringView("/zen"),
                                    home() + QLatin1StringView("/.var/app/app.zen_browser.zen/.zen")});
    }
    return existingDirectories({
        configHome() + QLatin1StringView("/mozilla/firefox"),
        home() + QLatin1StringView("/.mozilla/firefox"),
        home() + QLatin1StringView("/snap/firefox/common/.mozilla/firefox"),
        home() + QLatin1StringView("/.var/app/org.mozilla.firefox/.mozilla/firefox"),
        home() + QLatin1StringView("/.var/app/org.mozilla.firefox/config/mozilla/firefox"),
    });
}

QStringList chromiumUserDataDirectories(const KnownBrowser &browser)
{
    const QString config = configHome();
    const QString flatpak = home() + QLatin1StringView("/.var/app/");
    QStringList candidates;
    const auto add = [&](std::initializer_list<const char *> folders, const char *flatpakId) {
        for (const char *folder : folders)
            candidates.append(config + QLatin1Char('/') + QLatin1StringView(folder));
        if (flatpakId)
            candidates.append(flatpak + QLatin1StringView(flatpakId) + QLatin1StringView("/config/") + QLatin1StringView(*folders.begin()));
    };
    const QLatin1StringView id = browser.id;
    if (id == QLatin1StringView("chromium")) {
        add({"chromium"}, "org.chromium.Chromium");
        candidates.append(home() + QLatin1StringView("/snap/chromium/common/chromium"));
    } else if (id == QLatin1StringView("chrome")) {
        add({"google-chrome", "google-chrome-beta"}, "com.google.Chrome");
    } else if (id == QLatin1StringView("chrome-canary")) {
        add({"google-chrome-unstable", "google-chrome-canary"}, nullptr);
    } else if (id == QLatin1StringView("brave")) {
        add({"BraveSoftware/Brave-Browser"}, "com.brave.Browser");
        candidates.append(home() + QLatin1StringView("/snap/brave/current/.config/BraveSoftware/Brave-Browser"));
    } else if (id == QLatin1StringView("edge")) {
        add({"microsoft-edge", "microsoft-edge-beta", "microsoft-edge-dev"}, "com.microsoft.Edge");
    } else if (id == QLatin1StringView("vivaldi")) {
        add({"vivaldi", "vivaldi-snapshot"}, "com.vivaldi.Vivaldi");
    } else if (id == QLatin1StringView("opera")) {
        add({"opera", "opera-beta", "opera-developer"}, "com.opera.Opera");
    }
    return existingDirectories(candidates);
}

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumSettingsBytes)
        return {};
    return file.read(maximumSettingsBytes);
}

QHash<QString, QHash<QString, QString>> parseIni(const QString &path)
{
    QHash<QString, QHash<QString, QString>> sections;
    QString section;
    for (const QByteArray &rawLine : readSmallFile(path).split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && !section.isEmpty())
            sections[section].insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return sections;
}

QString lastUsedChromiumProfile(const QString &localStatePath)
{
    const QJsonObject profile
        = QJsonDocument::fromJson(readSmallFile(localStatePath)).object().value(QLatin1StringView("profile")).toObject();
    return profile.value(QLatin1StringView("last_used")).toString();
}

// The value after a switch, given as "--name=value" or as "--name value".
std::optional<QString> switchValue(const QStringList &commandLine, const QStringList &names)
{
    for (qsizetype index = 1; index < commandLine.size(); ++index) {
        const QString &argument = commandLine.at(index);
        for (const QString &name : names) {
            if (argument.startsWith(name + QLatin1Char('=')))
                return argument.mid(name.size() + 1);
            if (argument == name && index + 1 < commandLine.size() && !commandLine.at(index + 1).startsWith(QLatin1Char('-')))
                return commandLine.at(index + 1);
        }
    }
    return std::nullopt;
}

QString resolved(const QString &root, const QString &path)
{
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : root + QLatin1Char('/') + path);
}

qint64 modifiedMsecs(const QString &path)
{
    return path.isEmpty() ? -1 : FileStamp::of(path).modifiedMsecs;
}

// A profile folder name from Local State or the command line names a folder, never a path.
bool isPlainFolderName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1StringView("..") && name != QLatin1StringView(".");
}

BrowserProfile firefoxProfile(const QString &directory, QString rule)
{
    const QString session = directory + QLatin1StringView("/sessionstore-backups/recovery.jsonlz4");
    return {directory, std::move(rule), QFileInfo(session).isFile() ? session : QString(), directory + QLatin1StringView("/places.sqlite")};
}

QString newestChromiumSession(const QString &profileDirectory)
{
    QDir sessions(profileDirectory + QLatin1StringView("/Sessions"));
    const QFileInfoList files = sessions.entryInfoList({QStringLiteral("Session_*")}, QDir::Files, QDir::Time);
    if (!files.isEmpty())
        return files.constFirst().filePath();
    const QString older = profileDirectory + QLatin1StringView("/Current Session");
    return QFileInfo(older).isFile() ? older : QString();
}

// Of several plausible profiles the one whose session the browser wrote last is in use.
BrowserProfile newestSession(QList<BrowserProfile> profiles)
{
    std::stable_sort(profiles.begin(), profiles.end(), [](const BrowserProfile &left, const BrowserProfile &right) {
        return modifiedMsecs(left.sessionFile) > modifiedMsecs(right.sessionFile);
    });
    BrowserProfile chosen = profiles.constFirst();
    if (profiles.size() > 1)
        chosen.rule += QStringLiteral(", the newest session of %1").arg(profiles.size());
    return chosen;
}
}

BrowserProfiles::BrowserProfiles()
    : m_iniFiles(parseIni)
    , m_lastUsedProfiles(lastUsedChromiumProfile)
{ }

std::optional<BrowserProfile> BrowserProfiles::locate(const KnownBrowser &browser, const QStringList &commandLine,
                                                      const QString &classInstance)
{
    switch (browser.kind) {
    case KnownBrowser::Kind::Firefox:
        return locateFirefox(browser, commandLine);
    case KnownBrowser::Kind::Chromium:
        return locateChromium(browser, commandLine, classInstance);
    case KnownBrowser::Kind::Safari:
        break;
    }
    return std::nullopt;
}

std::optional<BrowserProfile> BrowserProfiles::locateFirefox(const KnownBrowser &browser, const QStringList &commandLine)
{
    if (const auto path = switchValue(commandLine, {QStringLiteral("--profile"), QStringLiteral("-profile")}))
        return firefoxProfile(QDir::cleanPath(*path), QStringLiteral("--profile on the command line"));

    const QStringList roots = firefoxRoots(browser);
    if (const auto name = switchValue(commandLine, {QStringLiteral("-P"), QStringLiteral("--P"), QStringLiteral("-p")})) {
        if (const auto named = firefoxProfileNamed(roots, *name))
            return firefoxProfile(*named, QStringLiteral("-P %1 on the command line").arg(*name));
        // A profile the browser was told to use but that we cannot find: guessing another
        // would answer from the wrong profile.
        return std::nullopt;
    }

    QList<BrowserProfile> installDefaults;
    for (const QString &directory : firefoxInstallDefaults(roots))
        installDefaults.append(firefoxProfile(directory, QStringLiteral("the install's default profile")));
    if (!installDefaults.isEmpty())
        return newestSession(installDefaults);

    if (const auto marked = firefoxMarkedDefault(roots))
        return firefoxProfile(*marked, QStringLiteral("the default profile in profiles.ini"));
    return std::nullopt;
}

std::optional<QString> BrowserProfiles::firefoxProfileNamed(const QStringList &roots, const QString &name)
{
    for (const QString &root : roots) {
        const IniSections profiles = m_iniFiles.value(root + QLatin1StringView("/profiles.ini"));
        for (const auto &keys : profiles) {
            if (keys.value(QStringLiteral("Name")) == name && keys.contains(QStringLiteral("Path")))
                return resolved(root, keys.value(QStringLiteral("Path")));
        }
    }
    return std::nullopt;
}

QStringList BrowserProfiles::firefoxInstallDefaults(const QStringList &roots)
{
    QStringList directories;
    for (const QString &root : roots) {
        const IniSections installs = m_iniFiles.value(root + QLatin1StringView("/installs.ini"));
        const IniSections profiles = m_iniFiles.value(root + QLatin1StringView("/profiles.ini"));
        QStringList defaults;
        for (const auto &keys : installs)
            defaults.append(keys.value(QStringLiteral("Default")));
        for (auto section = profiles.cbegin(); section != profiles.cend(); ++section) {
            if (section.key().startsWith(QLatin1StringView("Install")))
                defaults.append(section->value(QStringLiteral("Default")));
        }
        for (const QString &path : std::as_const(defaults)) {
            const QString directory = resolved(root, path);
            if (!path.isEmpty() && !directories.contains(directory) && QFileInfo(directory).isDir())
                directories.append(directory);
        }
    }
    return directories;
}

std::optional<QString> BrowserProfiles::firefoxMarkedDefault(const QStringList &roots)
{
    for (const QString &root : roots) {
        const IniSections profiles = m_iniFiles.value(root + QLatin1StringView("/profiles.ini"));
        for (auto section = profiles.cbegin(); section != profiles.cend(); ++section) {
            if (section.key().startsWith(QLatin1StringView("Profile"))
                && section->value(QStringLiteral("Default")) == QLatin1StringView("1")) {
                const QString path = section->value(QStringLiteral("Path"));
                const bool relative = section->value(QStringLiteral("IsRelative"), QStringLiteral("1")) == QLatin1StringView("1");
                return relative ? resolved(root, path) : QDir::cleanPath(path);
            }
        }
    }
    return std::nullopt;
}

std::optional<BrowserProfile> BrowserProfiles::locateChromium(const KnownBrowser &browser, const QStringList &commandLine,
                                                              const QString &classInstance)
{
    if (const auto directory = switchValue(commandLine, {QStringLiteral("--user-data-dir")}))
        return chromiumProfile(QDir::cleanPath(*directory), commandLine, QStringLiteral("--user-data-dir on the command line"));

    // A non-default user-data folder shows in the window class: "chromium (/path/to/folder)".
    static const QRegularExpression instanceFolder(QStringLiteral("^\\S+ \\((/.+)\\)$"));
    const QRegularExpressionMatch match = instanceFolder.match(classInstance);
    if (match.hasMatch())
        return chromiumProfile(QDir::cleanPath(match.captured(1)), commandLine, QStringLiteral("the user-data folder in WM_CLASS"));

    QList<BrowserProfile> candidates;
    for (const QString &directory : chromiumUserDataDirectories(browser))
        candidates.append(chromiumProfile(directory, commandLine, QStringLiteral("the usual user-data folder")));
    if (candidates.isEmpty())
        return std::nullopt;
    return newestSession(candidates);
}

BrowserProfile BrowserProfiles::chromiumProfile(const QString &userDataDirectory, const QStringList &commandLine, QString rule)
{
    QString profileName = switchValue(commandLine, {QStringLiteral("--profile-directory")}).value_or(QString());
    if (isPlainFolderName(profileName)) {
        rule += QLatin1StringView(", --profile-directory");
    } else {
        profileName = m_lastUsedProfiles.value(userDataDirectory + QLatin1StringView("/Local State"));
        if (isPlainFolderName(profileName)) {
            rule += QLatin1StringView(", profile.last_used in Local State");
        } else {
            profileName = QStringLiteral("Default");
        }
    }
    const QString directory = userDataDirectory + QLatin1Char('/') + profileName;
    return {directory, std::move(rule), newestChromiumSession(directory), directory + QLatin1StringView("/History")};
}

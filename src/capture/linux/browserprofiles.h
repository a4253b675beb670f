#pragma once

#include "knownbrowsers.h"
#include "linux/browserprofile.h"
#include "linux/stampedfilecache.h"

#include <QHash>
#include <QStringList>

#include <optional>

// Finds the profile a browser runs with, the way the browser itself does: the command line
// first, then Firefox's installs.ini/profiles.ini defaults or Chromium's Local State, in the
// folders of distribution packages, Snap and Flatpak installs.
class BrowserProfiles
{
public:
    BrowserProfiles();

    [[nodiscard]] std::optional<BrowserProfile> locate(const KnownBrowser &browser, const QStringList &commandLine,
                                                       const QString &classInstance);

private:
    using IniSections = QHash<QString, QHash<QString, QString>>;

    [[nodiscard]] std::optional<BrowserProfile> locateFirefox(const KnownBrowser &browser, const QStringList &commandLine);
    [[nodiscard]] std::optional<BrowserProfile> locateChromium(const KnownBrowser &browser, const QStringList &commandLine,
                                                               const QString &classInstance);
    [[nodiscard]] std::optional<QString> firefoxProfileNamed(const QStringList &roots, const QString &name);
    [[nodiscard]] QStringList firefoxInstallDefaults(const QStringList &roots);
    [[nodiscard]] std::optional<QString> firefoxMarkedDefault(const QStringList &roots);
    [[nodiscard]] BrowserProfile chromiumProfile(const QString &userDataDirectory, const QStringList &commandLine, QString rule);

    StampedFileCache<IniSections> m_iniFiles;
    StampedFileCache<QString> m_lastUsedProfiles;
};

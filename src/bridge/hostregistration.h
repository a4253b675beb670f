#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Registers the native host with every supported browser this user has: writes the host manifest
// into each browser's per-user native-messaging folder, and removes it again. A file of the same
// name that Corvane did not write is never touched.
class HostRegistration
{
public:
    enum class Family {
        Chromium,
        Firefox
    };
    struct Browser {
        QString browserId;
        Family family;
        // The browser's own folder under the home folder, present when the user has the browser.
        QString profileRoot;
        // Where the browser looks for host manifests, under the home folder.
        QString hostFolder;
    };
    enum class Outcome {
        Written,
        Unchanged,
        Removed,
        // A file Corvane did not write holds the name.
        Foreign,
        Failed
    };
    struct Result {
        QString browserId;
        QString path;
        Outcome outcome;
    };

    [[nodiscard]] static const QList<Browser> &browsers();

    // systemRoot is where the system-wide folders a package installs into are found.
    HostRegistration(QString homeFolder, QString hostExecutable, QString systemRoot = QStringLiteral("/"));

    [[nodiscard]] QList<Result> connectBrowsers() const;
    [[nodiscard]] QList<Result> disconnectBrowsers() const;
    // Whether this browser's folder holds the manifest as Corvane writes it now.
    [[nodiscard]] bool isRegistered(const Browser &browser) const;
    // Whether the browser can start the host: registered in one of its per-user folders, or a
    // manifest naming the host installed system-wide.
    [[nodiscard]] bool isRegistered(const QString &browserId) const;
    // Whether this user has the browser: one of its folders under the home folder is present.
    [[nodiscard]] bool hasBrowser(const QString &browserId) const;

    [[nodiscard]] QByteArray manifest(Family family) const;

private:
    [[nodiscard]] QString manifestPath(const Browser &browser) const;
    [[nodiscard]] bool isPresent(const Browser &browser) const;

    QString m_homeFolder;
    QString m_hostExecutable;
    QString m_systemRoot;
};

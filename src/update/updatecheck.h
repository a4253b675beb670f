#pragma once

#include "appversion.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkAccessManager;
class Workspace;

// Asks the backend for the latest version and compares it with the running one. Once a newer
// version is known, checking again opens the download page instead.
class UpdateCheck : public QObject
{
    Q_OBJECT

    Q_PROPERTY(bool isCheckingUpdate READ isCheckingUpdate NOTIFY isCheckingUpdateChanged)
    Q_PROPERTY(QString updateStatusText READ updateStatusText NOTIFY updateStatusTextChanged)
    Q_PROPERTY(bool hasUpdateAvailable READ hasUpdateAvailable NOTIFY hasUpdateAvailableChanged)

public:
    static constexpr QLatin1StringView currentAppVersion{CORVANE_APP_VERSION};

    UpdateCheck(QString webPortalURL, QNetworkAccessManager &network, Workspace &workspace, std::chrono::milliseconds timeout,
                QObject *parent = nullptr);

    [[nodiscard]] bool isCheckingUpdate() const { return m_isCheckingUpdate; }
    [[nodiscard]] const QString &updateStatusText() const { return m_updateStatusText; }
    [[nodiscard]] bool hasUpdateAvailable() const { return m_hasUpdateAvailable; }

    Q_INVOKABLE void checkForUpdates();

Q_SIGNALS:
    void isCheckingUpdateChanged();
    void updateStatusTextChanged();
    void hasUpdateAvailableChanged();

private:
    QCoro::Task<> fetchLatestVersion(QUrl address);
    void showResult(const std::optional<QString> &latestVersion);

    QString m_webPortalURL;
    QNetworkAccessManager &m_network;
    Workspace &m_workspace;
    std::chrono::milliseconds m_timeout;

    bool m_isCheckingUpdate = false;
    QString m_updateStatusText;
    bool m_hasUpdateAvailable = false;
};

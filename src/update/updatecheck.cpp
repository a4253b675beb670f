#include "updatecheck.h"

#include "published.h"
#include "requestpipeline.h"
#include "versionorder.h"
#include "workspace.h"

#include <QLoggingCategory>

#include <QTimer>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_LOGGING_CATEGORY(lcUpdate, "corvane.update", QtWarningMsg)

namespace
{
// An answer that names a version is a few dozen bytes; anything near this size is not one.
constexpr qsizetype kVersionAnswerSizeLimit = 64 * 1024;

// The text member "latestVersion" of a JSON object; nothing for any other answer.
std::optional<QString> latestVersionIn(const QByteArray &body)
{
    const RequestResult<QJsonValue> json = RequestPipeline::parseJson(body);
    if (!json)
        return std::nullopt;
    const QJsonValue latest = json.value().toObject().value("latestVersion"_L1);
    if (!latest.isString())
        return std::nullopt;
    return latest.toString();
}
}

UpdateCheck::UpdateCheck(QString webPortalURL, QNetworkAccessManager &network, Workspace &workspace, std::chrono::milliseconds timeout,
                         QObject *parent)
    : QObject(parent)
    , m_webPortalURL(std::move(webPortalURL))
    , m_network(network)
    , m_workspace(workspace)
    , m_timeout(timeout)
{ }

void UpdateCheck::checkForUpdates()
{
    if (m_hasUpdateAvailable) {
        const QUrl downloadPage(m_webPortalURL + "/download"_L1, QUrl::StrictMode);
        if (downloadPage.isValid())
            m_workspace.openUrl(downloadPage);
        return;
    }
    assignProperty(this, m_isCheckingUpdate, true, &UpdateCheck::isCheckingUpdateChanged);
    assignProperty(this, m_updateStatusText, tr("Checking for updates..."), &UpdateCheck::updateStatusTextChanged);

    const QUrl versionAddress(m_webPortalURL + "/api/version"_L1, QUrl::StrictMode);
    if (!versionAddress.isValid()) {
        // Reported after a moment, so the progress shows.
        QTimer::singleShot(600ms, this, [this] { showResult(std::nullopt); });
        return;
    }
    fetchLatestVersion(versionAddress);
}

// Sent past the pipeline: no token, no content type, a short time-out, and the status is not
// examined; only an answer that names the latest version counts.
QCoro::Task<> UpdateCheck::fetchLatestVersion(QUrl address)
{
    QNetworkRequest request(address);
    request.setTransferTimeout(int(m_timeout.count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    QPointer self(this);
    const RequestPipeline::ReplyPointer reply(m_network.get(request));
    const std::shared_ptr<RequestPipeline::ReceivedBody> received = RequestPipeline::collectBody(*reply, kVersionAnswerSizeLimit);
    co_await reply.get();
    if (!self)
        co_return;
    auto answer = RequestPipeline::readAnswer(*reply, std::move(*received), m_webPortalURL);
    const std::optional<QString> latest = answer ? latestVersionIn(answer.value().body) : std::nullopt;
    if (!latest)
        qCInfo(lcUpdate) << "the version check learnt nothing";
    showResult(latest);
}

// A check that learnt nothing says so: reading "up to date" after a failure would hide an
// update the user asked about.
void UpdateCheck::showResult(const std::optional<QString> &latestVersion)
{
    const bool newer = latestVersion && VersionOrder::compare(*latestVersion, QString(currentAppVersion)) > 0;
    assignProperty(this, m_hasUpdateAvailable, newer, &UpdateCheck::hasUpdateAvailableChanged);
    QString status = tr("Could not check for updates. Please try again later.");
    if (newer)
        status = tr("New version v%1 available!").arg(*latestVersion);
    else if (latestVersion)
        status = tr("Version %1 is up to date").arg(currentAppVersion);
    assignProperty(this, m_updateStatusText, status, &UpdateCheck::updateStatusTextChanged);
    assignProperty(this, m_isCheckingUpdate, false, &UpdateCheck::isCheckingUpdateChanged);
}

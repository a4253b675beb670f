#include "api/requestpipeline.h"
#include "state/appviewmodel.h"
#include "update/versionorder.h"

#include <QTimer>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace
{
// The text member "latestVersion" of a JSON object; nothing for any other answer.
std::optional<QString> latestVersionIn(const RequestPipeline::BodyPieces &body)
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

void AppViewModel::checkForUpdates()
{
    if (m_hasUpdateAvailable) {
        const QUrl downloadPage(m_webPortalURL + "/download"_L1, QUrl::StrictMode);
        if (downloadPage.isValid())
            m_workspace->openUrl(downloadPage);
        return;
    }
    assign(m_isCheckingUpdate, true, &AppViewModel::isCheckingUpdateChanged);
    assign(m_updateStatusText, u"Checking for updates..."_s, &AppViewModel::updateStatusTextChanged);

    const QUrl versionAddress(m_apiBaseURL + "/version"_L1, QUrl::StrictMode);
    if (!versionAddress.isValid()) {
        // Reported after a moment, so the progress shows.
        QTimer::singleShot(600ms, this, [this] { showUpdateCheckResult(std::nullopt); });
        return;
    }
    fetchLatestVersion(versionAddress);
}

// Sent past the pipeline: no token, no content type, a short time-out, and the status is not
// examined; only an answer that names the latest version counts.
QCoro::Task<> AppViewModel::fetchLatestVersion(QUrl address)
{
    QNetworkRequest request(address);
    request.setTransferTimeout(int(m_updateCheckTimeout.count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QPointer self(this);
    const RequestPipeline::ReplyPointer reply(m_network->get(request));
    const std::shared_ptr<RequestPipeline::BodyPieces> received = RequestPipeline::collectBody(*reply);
    co_await reply.get();
    if (!self)
        co_return;
    const auto answer = RequestPipeline::readAnswer(*reply, std::move(*received), m_webPortalURL);
    showUpdateCheckResult(answer ? latestVersionIn(answer.value().body) : std::nullopt);
}

// A check that learnt nothing says so: reading "up to date" after a failure would hide an
// update the user asked about.
void AppViewModel::showUpdateCheckResult(const std::optional<QString> &latestVersion)
{
    const bool newer = latestVersion && VersionOrder::compare(*latestVersion, QString(currentAppVersion)) > 0;
    assign(m_hasUpdateAvailable, newer, &AppViewModel::hasUpdateAvailableChanged);
    QString status = u"Could not check for updates. Please try again later."_s;
    if (newer)
        status = u"New version v%1 available!"_s.arg(*latestVersion);
    else if (latestVersion)
        status = u"Version %1 is up to date"_s.arg(currentAppVersion);
    assign(m_updateStatusText, status, &AppViewModel::updateStatusTextChanged);
    assign(m_isCheckingUpdate, false, &AppViewModel::isCheckingUpdateChanged);
}

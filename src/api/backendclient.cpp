#include "backendclient.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcApi, "corvane.api", QtWarningMsg)

BackendClient::BackendClient(QString webPortalURL, std::chrono::milliseconds requestTimeout, qsizetype answerSizeLimit, QObject *parent)
    : QObject(parent)
    , m_webPortalURL(std::move(webPortalURL))
    , m_apiBaseURL(m_webPortalURL + "/api"_L1)
    , m_requestTimeout(requestTimeout)
    , m_answerSizeLimit(answerSizeLimit)
    , m_network(std::make_unique<QNetworkAccessManager>())
{ }

BackendClient::~BackendClient() = default;

void BackendClient::revokeToken()
{
    if (!m_token || m_token->isEmpty())
        return;
    const RequestResult<QNetworkRequest> built = RequestPipeline::buildRequest(m_apiBaseURL + "/auth/logout"_L1, m_token, m_requestTimeout);
    if (!built)
        return;
    QNetworkReply *reply = RequestPipeline::send(*m_network, built.value(), "POST"_ba, std::nullopt);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

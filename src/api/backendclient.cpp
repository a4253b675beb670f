#include "backendclient.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcApi, "corvane.api", QtWarningMsg)

BackendClient::BackendClient(QString webPortalURL, std::chrono::milliseconds requestTimeout, QObject *parent)
    : QObject(parent)
    , m_webPortalURL(std::move(webPortalURL))
    , m_apiBaseURL(m_webPortalURL + "/api"_L1)
    , m_requestTimeout(requestTimeout)
    , m_network(std::make_unique<QNetworkAccessManager>())
{
}

BackendClient::~BackendClient() = default;

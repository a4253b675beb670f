#pragma once

#include "apirequest.h"
#include "apiresponse.h"

#include <QCoroTask>

#include <optional>

class Router;
class SessionStore;
class WebsiteStore;

// The /api/websites routes, each for the account that the bearer token belongs to.
class WebsitesApi
{
public:
    WebsitesApi(SessionStore &sessions, WebsiteStore &websites);

    void registerRoutes(Router &router);

private:
    QCoro::Task<ApiResponse> list(ApiRequest request);
    QCoro::Task<ApiResponse> create(ApiRequest request);
    QCoro::Task<ApiResponse> rename(ApiRequest request);
    QCoro::Task<ApiResponse> pin(ApiRequest request);
    QCoro::Task<ApiResponse> remove(ApiRequest request);

    SessionStore &m_sessions;
    WebsiteStore &m_websites;
};

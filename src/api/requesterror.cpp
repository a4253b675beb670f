#include "requesterror.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace
{
RequestError apiError(int code, QString message)
{
    return {.domain = u"API"_s, .code = code, .message = std::move(message)};
}
}

RequestError RequestError::invalidUrl()
{
    return apiError(kInvalidUrl, QCoreApplication::translate("RequestError", "Invalid API URL"));
}

RequestError RequestError::unreachable(const QString &serverAddress)
{
    return apiError(kUnreachable, QCoreApplication::translate("RequestError", "Server is unreachable (%1).").arg(serverAddress));
}

RequestError RequestError::invalidResponse()
{
    return apiError(kInvalidResponse, QCoreApplication::translate("RequestError", "Invalid server response."));
}

RequestError RequestError::unauthorized()
{
    return apiError(kUnauthorized, QCoreApplication::translate("RequestError", "Unauthorized"));
}

RequestError RequestError::failedStatus(int status, const std::optional<QString> &serverError)
{
    return apiError(status, serverError ? *serverError : QCoreApplication::translate("RequestError", "Request failed (%1)").arg(status));
}

RequestError RequestError::undecodable(const QString &reason)
{
    return {.domain = u"Decoding"_s,
            .code = 0,
            .message = QCoreApplication::translate("RequestError", "The server's answer could not be read (%1).").arg(reason)};
}

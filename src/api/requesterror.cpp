#include "requesterror.h"

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
    return apiError(kInvalidUrl, u"Invalid API URL"_s);
}

RequestError RequestError::unreachable(const QString &serverAddress)
{
    return apiError(kUnreachable, u"Server is unreachable (%1)."_s.arg(serverAddress));
}

RequestError RequestError::invalidResponse()
{
    return apiError(kInvalidResponse, u"Invalid server response."_s);
}

RequestError RequestError::unauthorized()
{
    return apiError(kUnauthorized, u"Unauthorized"_s);
}

RequestError RequestError::failedStatus(int status, const std::optional<QString> &serverError)
{
    return apiError(status, serverError ? *serverError : u"Request failed (%1)"_s.arg(status));
}

RequestError RequestError::undecodable(const QString &reason)
{
    return {.domain = u"Decoding"_s, .code = 0, .message = u"The server's answer could not be read (%1)."_s.arg(reason)};
}

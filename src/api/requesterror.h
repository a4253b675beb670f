#pragma once

#include <QString>

#include <optional>

// A failed backend request: where it failed (domain), a code and the sentence shown to the user.
// Failures of the request itself are in the "API" domain; a successful answer whose body does not
// decode into the expected record is in the "Decoding" domain with code 0.
struct RequestError {
    static constexpr int kInvalidUrl = -1;
    static constexpr int kUnreachable = -2;
    static constexpr int kInvalidResponse = -3;
    static constexpr int kUnauthorized = 401;

    QString domain;
    int code = 0;
    QString message;

    static RequestError invalidUrl();
    // serverAddress is the portal's base address, named in the message.
    static RequestError unreachable(const QString &serverAddress);
    static RequestError invalidResponse();
    static RequestError unauthorized();
    // Any other status outside 200-299: the backend's own error text when it sent one.
    static RequestError failedStatus(int status, const std::optional<QString> &serverError);
    static RequestError undecodable(const QString &reason);

    friend bool operator==(const RequestError &, const RequestError &) = default;
};

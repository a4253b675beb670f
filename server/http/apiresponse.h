#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

// One HTTP answer. API answers are JSON; failures carry {"error": "<sentence>"}.
struct ApiResponse {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    static ApiResponse json(const QJsonObject &object, int status = 200);
    static ApiResponse error(int status, const QString &message);
    static ApiResponse html(const QString &html, int status = 200);
    // An error that goes away with time (429, 503), with a Retry-After header.
    static ApiResponse retryLater(int status, const QString &message, qint64 seconds);

    // Status line and headers, up to and including the empty line.
    [[nodiscard]] QByteArray head(bool keepAlive) const;
    // head() followed by the body.
    [[nodiscard]] QByteArray serialize(bool keepAlive) const;
};

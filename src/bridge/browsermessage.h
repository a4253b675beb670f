#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// One message from the add-on, checked field by field: nothing a page or the browser writes is
// trusted. A state report says whether one of the browser's windows has the focus and what the
// focused window's active tab shows; a page-text answer carries the text Corvane asked for.
struct BrowserMessage {
    enum class Type {
        State,
        PageText
    };
    static constexpr qsizetype maximumUrlLength = 8192;
    static constexpr qsizetype maximumTitleLength = 1024;

    Type type = Type::State;
    // Rises with every message of one add-on, across its restarts.
    qint64 sequence = 0;
    bool focused = false;
    // Empty when the tab shows no http(s) page.
    QString url;
    QString title;
    qint64 requestId = 0;
    // Nothing when the add-on could not read the page (no permission, a browser page).
    std::optional<QString> text;

    // The message, or nothing (with a log line) when it is malformed, oversized or of an unknown
    // type. Addresses other than http and https are dropped, titles cut to their limit.
    [[nodiscard]] static std::optional<BrowserMessage> fromPayload(const QByteArray &payload);
    [[nodiscard]] QJsonObject toJson() const;
};

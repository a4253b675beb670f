#pragma once

#include "records.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// The address, title and icon address of a website about to be saved: a typed address wins over
// the detected tab. The page text is gathered afterwards and joins them in the request body.
struct TabSaveRequest {
    QString url;
    QString title;
    // Empty when the address has no host.
    QString screenshotUrl;

    // Nothing when there is no address to save (every placeholder tab has none) or the typed one is
    // no web address.
    [[nodiscard]] static std::optional<TabSaveRequest> build(const ActiveBrowserTab &tab, const QString &typedAddress,
                                                             const QString &faviconServiceBase);
    // The typed text as an http or https address, a bare host getting https; nothing for text with
    // a space, another scheme, credentials or no host with a dot in it.
    [[nodiscard]] static std::optional<QString> webAddress(const QString &typed);
    // The backend's own icon service, so that no outside party learns which sites are saved.
    [[nodiscard]] static QString faviconServiceBase(const QString &apiBaseUrl);

    // The body of the save request.
    [[nodiscard]] QJsonObject toJson(const QString &content) const;
};

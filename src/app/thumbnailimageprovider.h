#pragma once

#include <QQuickAsyncImageProvider>

class LocalStoreManager;

// Serves "image://thumbnail/<website id>/<percent-encoded thumbnail address>" from a local store:
// memory, then disk, then a download when the website has an address. A thumbnail that cannot be
// had is an empty image rather than an error, which the view would log; it keeps the logo.
class ThumbnailImageProvider : public QQuickAsyncImageProvider
{
public:
    static constexpr QLatin1StringView name{"thumbnail"};

    // The store outlives the engine the provider is installed in.
    explicit ThumbnailImageProvider(LocalStoreManager &store)
        : m_store(store)
    { }

    QQuickImageResponse *requestImageResponse(const QString &id, const QSize &requestedSize) override;

private:
    LocalStoreManager &m_store;
};

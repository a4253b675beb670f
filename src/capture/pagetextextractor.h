#pragma once

#include <QCoroTask>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class TabReader;

// The readable text of the page being saved: from the browser itself where its reader can give
// it, otherwise from an HTTP fetch of the page with its markup stripped.
class PageTextExtractor : public QObject
{
    Q_OBJECT

public:
    // In user-perceived characters, from either route.
    static constexpr qsizetype pageTextLimit = 500'000;
    static constexpr std::chrono::milliseconds defaultFetchTimeout{6000};
    // Plenty for the text that is kept; an endless answer stops here.
    static constexpr qint64 maximumDownloadSize = 8 * 1024 * 1024;
    static constexpr QLatin1StringView userAgent{
        "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.0 Safari/605.1.15"};

    explicit PageTextExtractor(std::shared_ptr<TabReader> reader, std::chrono::milliseconds fetchTimeout = defaultFetchTimeout,
                               QObject *parent = nullptr);

    // Never fails: the empty text when no route gives any.
    QCoro::Task<QString> extractPageText(QString url, QString browserName);

private:
    struct Download {
        QByteArray body;
        QByteArray contentType;
        bool truncated = false;
    };
    // The body of a status-200 answer, cut at maximumDownloadSize.
    QCoro::Task<std::optional<Download>> download(QUrl url);

    std::shared_ptr<TabReader> m_reader;
    std::chrono::milliseconds m_fetchTimeout;
    QNetworkAccessManager m_network;
};

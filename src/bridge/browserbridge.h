#pragma once

#include "nativemessaging.h"

#include <QHash>
#include <QJsonArray>
#include <QLocalServer>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLocalSocket;
struct BrowserMessage;

// What the add-on in one browser last reported.
struct BridgeBrowserState {
    using Clock = std::chrono::steady_clock;
    // Firefox may unload an idle add-on, so silence alone does not end a connection at once.
    static constexpr std::chrono::seconds silenceLimit{60};

    QString browserId;
    bool focused = false;
    QString url;
    QString title;
    qint64 sequence = -1;
    Clock::time_point lastMessage;
    // A host is attached now.
    bool open = false;

    // A browser whose host is attached and holds the focus is connected however long it has been
    // quiet; any other only while it spoke within the silence limit.
    [[nodiscard]] bool isConnected(Clock::time_point now) const { return (focused && open) || now - lastMessage < silenceLimit; }
};

// Corvane's end of the relay: the hosts the browsers start connect to its local socket. Keeps
// each browser's last state and asks a browser for its page text. States are read from any
// thread; the sockets live on the thread that owns this object.
class BrowserBridge : public QObject
{
    Q_OBJECT

public:
    explicit BrowserBridge(QString serverName, QObject *parent = nullptr);
    ~BrowserBridge() override;

    // The socket in this user's private runtime folder; empty when there is no such folder.
    [[nodiscard]] static QString sessionServerName();

    // Replaces a socket left behind by a Corvane that died; false when the name cannot be taken.
    bool listen();

    [[nodiscard]] std::optional<BridgeBrowserState> state(const QString &browserId) const;
    [[nodiscard]] QList<BridgeBrowserState> states() const;

    // Each browser's state with its age and whether it counts as connected, for the capture
    // report; the running Corvane gives the same to a client that says "report" instead of hello.
    [[nodiscard]] QJsonArray report() const;
    // The running Corvane's report, {"browsers": [...]}, with "pageText" (its length and start)
    // when pageTextOf names a browser; empty when none answers. Blocks for a few seconds at most.
    [[nodiscard]] static QJsonObject askRunning(const QString &serverName, const QString &pageTextOf = {});
    // A bridge that does not listen, holding the states of such a report.
    [[nodiscard]] static std::shared_ptr<BrowserBridge> fromReport(const QJsonArray &browsers);

    // Asks the browser's add-on for the text of its active tab and waits for it. Blocks: call it
    // from a worker thread, never from this object's own.
    [[nodiscard]] std::optional<QString> readPageText(const QString &browserId, std::chrono::milliseconds timeout);

Q_SIGNALS:
    // A browser's state changed: focus, address or title, or its host came or went.
    void stateChanged(const QString &browserId);

private:
    struct Connection {
        FrameReader reader{NativeMessaging::maximumPageTextMessage + NativeMessaging::maximumStateMessage};
        QString browserId;
    };
    using PageTextCallback = std::function<void(std::optional<QString>)>;

    void accept();
    void read(QLocalSocket *socket);
    void close(QLocalSocket *socket);
    void greet(QLocalSocket *socket, Connection &connection, const QByteArray &payload);
    void apply(QLocalSocket *socket, const QString &browserId, const BrowserMessage &message);
    // Calls done once, with the text or with nothing after the time-out.
    void requestPageText(const QString &browserId, std::chrono::milliseconds timeout, const PageTextCallback &done);
    void answer(qint64 requestId, std::optional<QString> text);
    void answerReport(QLocalSocket *socket, const QString &pageTextOf);

    QString m_serverName;
    QLocalServer m_server;
    QHash<QLocalSocket *, Connection> m_connections;
    // The newest host of each browser, which page-text requests go to.
    QHash<QString, QPointer<QLocalSocket>> m_hosts;

    QHash<qint64, PageTextCallback> m_pendingPageText;
    qint64 m_nextRequestId = 1;

    mutable QMutex m_mutex;
    QHash<QString, BridgeBrowserState> m_states;
};

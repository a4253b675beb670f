#pragma once

#include "nativemessaging.h"

#include <QLocalSocket>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <optional>

struct BrowserMessage;

// The program a browser starts for the add-on: reads the add-on's messages from standard input,
// relays those that pass the checks to the running Corvane over its local socket, and passes
// Corvane's requests back on standard output. While Corvane is not running it keeps only the
// latest state report and tries again every few seconds, so the report reaches a later start.
class NativeHost : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds reconnectInterval{2000};

    // browserId is the browser that started this host, as capture names it.
    NativeHost(QString browserId, QString serverName, int inputDescriptor = 0, int outputDescriptor = 1, QObject *parent = nullptr);

    void start();

Q_SIGNALS:
    // The browser closed standard input: the add-on's port is gone.
    void finished();

private:
    void readBrowser();
    void relay(const BrowserMessage &message);
    void connectToCorvane();
    void sendGreeting();
    void readCorvane();
    void writeToBrowser(const QByteArray &frame);

    QString m_browserId;
    QString m_serverName;
    int m_outputDescriptor;
    QSocketNotifier m_input;
    FrameReader m_fromBrowser{NativeMessaging::maximumPageTextMessage};
    QLocalSocket m_corvane;
    FrameReader m_fromCorvane{NativeMessaging::maximumToBrowser};
    QTimer m_reconnectTimer;
    std::optional<QByteArray> m_pendingState;
};

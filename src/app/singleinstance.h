#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One process per user session. A later launch finds the running process through a local
// socket, asks it to show its panel and quits.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QString serverName, QObject *parent = nullptr);

    // The socket of this user's session, inside a folder private to the user; empty when there
    // is none, and then every launch runs on its own.
    [[nodiscard]] static QString sessionServerName();

    // True when a running instance took the request.
    [[nodiscard]] bool notifyRunningInstance() const;

    // Starts answering later launches; call it once notifyRunningInstance() found nobody, so a
    // socket still in place was left behind by a process that died and is replaced. False when
    // the name cannot be taken at all.
    bool listen();

Q_SIGNALS:
    void activationRequested();

private:
    QString m_serverName;
    QLocalServer m_server;
};

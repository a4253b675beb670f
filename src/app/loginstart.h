#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// "Start at log-in" on desktops that follow the XDG autostart rules: an entry in the user's
// autostart folder that starts this program. The switch shows whether the entry is there, whoever
// wrote it.
class LogInStart : public QObject
{
    Q_OBJECT

    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setEnabled NOTIFY isEnabledChanged)
    // False where log-in items are not XDG entries (macOS).
    Q_PROPERTY(bool isAvailable READ isAvailable CONSTANT)

public:
    // $XDG_CONFIG_HOME/autostart, or ~/.config/autostart without it.
    [[nodiscard]] static QString defaultFolder();
    [[nodiscard]] static bool isAvailable();

    LogInStart(QString autostartFolder, QString executable, QObject *parent = nullptr);

    [[nodiscard]] bool isEnabled() const { return m_isEnabled; }
    // Writes or removes the entry; the switch then shows what the folder holds.
    void setEnabled(bool enabled);
    // Looks at the folder again, for an entry written or removed outside.
    Q_INVOKABLE void refresh();

    [[nodiscard]] QString entryPath() const;
    [[nodiscard]] QByteArray entry() const;

Q_SIGNALS:
    void isEnabledChanged();

private:
    QString m_autostartFolder;
    QString m_executable;
    bool m_isEnabled = false;
};

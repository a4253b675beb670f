#include "loginstart.h"

#include "platformlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace
{
// The Exec key's quoting: a path with a space or a reserved character is quoted, and inside the
// quotes ", `, $ and \ are escaped; the key's own string escaping then doubles every backslash.
QString execArgument(const QString &path)
{
    static const QString plain = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-"_s;
    QString quoted;
    bool needsQuotes = false;
    for (const QChar character : path) {
        needsQuotes = needsQuotes || !plain.contains(character);
        if (character == u'"' || character == u'`' || character == u'$' || character == u'\\')
            quoted += u'\\';
        quoted += character;
    }
    quoted.replace(u'%', u"%%"_s);
    if (!needsQuotes)
        return quoted;
    return u'"' + quoted.replace(u'\\', u"\\\\"_s) + u'"';
}
}

QString LogInStart::defaultFolder()
{
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The rules ignore a relative XDG_CONFIG_HOME.
    const QString base = QDir::isAbsolutePath(configHome) ? configHome : QDir::home().filePath(u".config"_s);
    return QDir(base).filePath(u"autostart"_s);
}

bool LogInStart::isAvailable()
{
#ifdef Q_OS_MACOS
    return false;
#else
    return true;
#endif
}

LogInStart::LogInStart(QString autostartFolder, QString executable, QObject *parent)
    : QObject(parent)
    , m_autostartFolder(std::move(autostartFolder))
    , m_executable(std::move(executable))
{
    refresh();
}

QString LogInStart::entryPath() const
{
    return QDir(m_autostartFolder).filePath(u"corvane.desktop"_s);
}

QByteArray LogInStart::entry() const
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Corvane\n"
           "Comment=Save web pages to your Corvane account\n"
           "Exec="
        + execArgument(m_executable).toUtf8()
        + "\n"
          "Icon=corvane\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
}

void LogInStart::setEnabled(bool enabled)
{
    bool done = false;
    if (enabled) {
        QSaveFile file(entryPath());
        done = QDir().mkpath(m_autostartFolder) && file.open(QIODevice::WriteOnly) && file.write(entry()) >= 0 && file.commit();
    } else {
        done = QFile::remove(entryPath()) || !QFileInfo::exists(entryPath());
    }
    if (!done)
        qCInfo(lcPlatform) << "could not change the start-at-log-in entry" << entryPath();
    refresh();
}

void LogInStart::refresh()
{
    const bool enabled = QFileInfo::exists(entryPath());
    if (enabled == m_isEnabled)
        return;
    m_isEnabled = enabled;
    Q_EMIT isEnabledChanged();
}

#include "fakeosascript.h"

#include <QFile>

using namespace Qt::StringLiterals;

FakeOsascript::FakeOsascript()
{
    qputenv("FAKE_OSASCRIPT_DIR", m_directory.path().toLocal8Bit());
}

std::unique_ptr<OsascriptTabReader> FakeOsascript::reader(std::chrono::milliseconds timeout)
{
    return std::make_unique<OsascriptTabReader>(ScriptRunner(QStringLiteral(CORVANE_FAKE_OSASCRIPT), timeout));
}

void FakeOsascript::answer(const QString &appName, const QByteArray &output, Script script)
{
    write(fixture(appName, script), output);
}

void FakeOsascript::delay(const QString &appName, double seconds)
{
    write(fixture(appName, Script::Tab) + ".delay"_L1, QByteArray::number(seconds));
}

void FakeOsascript::hang(const QString &appName, bool hanging)
{
    const QString marker = fixture(appName, Script::Tab) + ".hang"_L1;
    if (hanging)
        write(marker, {});
    else
        QFile::remove(marker);
}

QStringList FakeOsascript::calls() const
{
    QFile log(m_directory.filePath(u"calls.log"_s));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

QString FakeOsascript::fixture(const QString &appName, Script script) const
{
    return m_directory.filePath(appName + (script == Script::Tab ? ".tab"_L1 : ".text"_L1));
}

void FakeOsascript::write(const QString &path, const QByteArray &content) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        qFatal("FakeOsascript cannot write %s", qPrintable(path));
}

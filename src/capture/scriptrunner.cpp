#include "scriptrunner.h"

#include "capturelog.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

ScriptRunner::ScriptRunner(QString executable, std::chrono::milliseconds timeout)
    : m_executable(std::move(executable))
    , m_timeout(timeout)
{ }

ScriptRunner::Run ScriptRunner::runAppleScript(const QString &script) const
{
    Run result = run(script);
    if (result.answer && !result.answer->contains("|||"_L1))
        return {.outcome = Outcome::NoSeparator, .answer = std::nullopt};
    return result;
}

ScriptRunner::Run ScriptRunner::runAppleScriptDirect(const QString &script) const
{
    return run(script);
}

// Standard error is discarded and the exit status ignored: a refused permission or a script
// error shows up as an output that does not count.
ScriptRunner::Run ScriptRunner::run(const QString &script) const
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(m_executable, {u"-e"_s, script}, QIODevice::ReadOnly);
    if (!process.waitForStarted()) {
        qCDebug(lcCapture) << "cannot start" << m_executable;
        return {.outcome = Outcome::NotStarted};
    }

    const QDeadlineTimer deadline(m_timeout);
    QByteArray output;
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired() || output.size() > maximumOutputSize)
            break;
        process.waitForReadyRead(int(deadline.remainingTime()));
        output += process.readAllStandardOutput();
    }
    if (process.state() != QProcess::NotRunning) {
        const bool timedOut = deadline.hasExpired();
        process.kill();
        process.waitForFinished();
        qCDebug(lcCapture) << "script stopped:" << (timedOut ? "it passed its time-out" : "its output is too long");
        return {.outcome = timedOut ? Outcome::TimedOut : Outcome::TooLong};
    }
    output += process.readAllStandardOutput();
    if (output.size() > maximumOutputSize)
        return {.outcome = Outcome::TooLong};

    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = QString(decoder.decode(output)).trimmed();
    if (decoder.hasError())
        return {.outcome = Outcome::NotUtf8};
    if (text.isEmpty())
        return {.outcome = Outcome::Empty};
    return {.outcome = Outcome::Answered, .answer = text};
}

QString ScriptRunner::describe(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Answered:
        return u"answered"_s;
    case Outcome::NotStarted:
        return u"osascript could not be started"_s;
    case Outcome::TimedOut:
        return u"the script passed its time-out and was stopped"_s;
    case Outcome::TooLong:
        return u"the answer was too long and was not read"_s;
    case Outcome::NotUtf8:
        return u"the answer was not valid UTF-8"_s;
    case Outcome::Empty:
        return u"the answer was empty"_s;
    case Outcome::NoSeparator:
        return u"the answer held no \"|||\" separator"_s;
    }
    return {};
}

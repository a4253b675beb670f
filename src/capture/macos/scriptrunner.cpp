#include "scriptrunner.h"

#include "capturelog.h"

#include <QDeadlineTimer>
#include <QProcess>

using namespace Qt::StringLiterals;

ScriptRunner::ScriptRunner(QString executable, std::chrono::milliseconds timeout)
    : m_executable(std::move(executable))
    , m_timeout(timeout)
{ }

// Standard error is discarded and the exit status ignored: a refused permission or a script
// error shows up as an output that does not count.
ScriptAnswer ScriptRunner::run(const QString &script, ScriptAnswer::Script kind) const
{
    using Outcome = ScriptAnswer::Outcome;
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
        if (deadline.hasExpired() || output.size() > ScriptAnswer::maximumOutputSize)
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
    return ScriptAnswer::fromOutput(output, kind);
}

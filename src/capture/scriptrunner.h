#pragma once

#include <QString>

#include <chrono>
#include <optional>

// Runs one AppleScript text through osascript as a child process and blocks the calling worker
// thread until it answers, passes its time-out (the child is then killed) or writes too much.
class ScriptRunner
{
public:
    enum class Outcome {
        Answered,
        NotStarted,
        TimedOut,
        TooLong,
        NotUtf8,
        Empty,
        NoSeparator
    };

    struct Run {
        Outcome outcome = Outcome::NotStarted;
        // The answer trimmed, only when it counts.
        std::optional<QString> answer;
    };

    static constexpr QLatin1StringView defaultExecutable{"/usr/bin/osascript"};
    static constexpr std::chrono::milliseconds defaultTimeout{5000};
    // Far beyond any tab answer or the page text that is kept; a larger output is not read.
    static constexpr qint64 maximumOutputSize = 16 * 1024 * 1024;

    explicit ScriptRunner(QString executable = QString(defaultExecutable), std::chrono::milliseconds timeout = defaultTimeout);

    // A tab script: only an answer holding the separator "|||" counts.
    [[nodiscard]] Run runAppleScript(const QString &script) const;
    // A page-text script: any non-empty answer counts.
    [[nodiscard]] Run runAppleScriptDirect(const QString &script) const;

    [[nodiscard]] const QString &executable() const { return m_executable; }
    // How an outcome reads in the capture report.
    [[nodiscard]] static QString describe(Outcome outcome);

private:
    [[nodiscard]] Run run(const QString &script) const;

    QString m_executable;
    std::chrono::milliseconds m_timeout;
};

#pragma once

#include "scriptanswer.h"

#include <QString>

#include <chrono>

// Runs one AppleScript text through osascript as a child process and blocks the calling worker
// thread until it answers, passes its time-out (the child is then killed) or writes too much.
class ScriptRunner
{
public:
    static constexpr QLatin1StringView defaultExecutable{"/usr/bin/osascript"};
    static constexpr std::chrono::milliseconds defaultTimeout{5000};

    explicit ScriptRunner(QString executable = QString(defaultExecutable), std::chrono::milliseconds timeout = defaultTimeout);

    [[nodiscard]] ScriptAnswer run(const QString &script, ScriptAnswer::Script kind) const;

    [[nodiscard]] const QString &executable() const { return m_executable; }

private:
    QString m_executable;
    std::chrono::milliseconds m_timeout;
};

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What an AppleScript run printed, judged alike on every platform: it counts only as valid
// UTF-8 within the size limit, not blank once trimmed and, for a tab script, holding the
// separator "|||".
struct ScriptAnswer {
    enum class Outcome {
        Answered,
        NotStarted,
        TimedOut,
        TooLong,
        NotUtf8,
        Empty,
        NoSeparator
    };

    enum class Script {
        Tab,
        PageText
    };

    // Far beyond any tab answer or the page text that is kept; a larger output is not read.
    static constexpr qint64 maximumOutputSize = 16 * 1024 * 1024;

    Outcome outcome = Outcome::NotStarted;
    // The answer trimmed, only when it counts.
    std::optional<QString> answer;

    [[nodiscard]] static ScriptAnswer fromOutput(const QByteArray &output, Script script);
    // How an outcome reads in the capture report.
    [[nodiscard]] static QString describe(Outcome outcome);
};

#pragma once

#include "osascripttabreader.h"

#include <QTemporaryDir>

#include <memory>

// The answers of tests/fakeosascript.sh, written per application into a temporary folder, and
// the calls it received. One at a time: it points the script at its folder through the
// environment.
class FakeOsascript
{
public:
    enum class Script {
        Tab,
        Text
    };

    FakeOsascript();

    // A reader that runs the fake with the given time-out.
    [[nodiscard]] static std::unique_ptr<OsascriptTabReader> reader(std::chrono::milliseconds timeout = ScriptRunner::defaultTimeout);

    void answer(const QString &appName, const QByteArray &output, Script script = Script::Tab);
    // Tab scripts only.
    void delay(const QString &appName, double seconds);
    void hang(const QString &appName, bool hanging = true);
    // "<app> tab" or "<app> text" per call, in order.
    [[nodiscard]] QStringList calls() const;

private:
    [[nodiscard]] QString fixture(const QString &appName, Script script) const;
    void write(const QString &path, const QByteArray &content) const;

    QTemporaryDir m_directory;
};

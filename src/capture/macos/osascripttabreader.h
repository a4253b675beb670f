#pragma once

#include "macos/scriptrunner.h"
#include "tabreader.h"

#include <QMutex>

// Reads tabs and page text by AppleScript through osascript: the browsers' own scripting
// dictionaries, and System Events for the Firefox kind.
class OsascriptTabReader : public TabReader
{
public:
    explicit OsascriptTabReader(ScriptRunner runner = ScriptRunner());

    [[nodiscard]] std::optional<QString> readActiveTab(const KnownBrowser &browser) override;
    // Only Safari and the Chromium family named by the browser's name can give it.
    [[nodiscard]] std::optional<QString> readPageText(const QString &browserName) override;
    [[nodiscard]] QJsonObject lastReadReport() const override;

private:
    const ScriptRunner m_runner;
    mutable QMutex m_reportLock;
    QJsonObject m_lastReadReport;
};

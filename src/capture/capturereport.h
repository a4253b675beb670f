#pragma once

#include <QJsonDocument>

class TabReader;
class WindowList;
class Workspace;

// What one detection sees, as JSON, for a user whose browser is not detected: the running
// supported browsers, the frontmost application, the tracker, the topmost visible browser, every
// candidate in rank order with its reader's answer (or why there was none), and the result.
// It detects whatever the stored browser access switch says, since the user asked for it.
class CaptureReport
{
public:
    CaptureReport(const Workspace &workspace, const WindowList &windowList, TabReader &tabReader);

    // Seeds a tracker as start-up does (this process has seen no activation), then detects
    // once, blocking while the browsers answer.
    [[nodiscard]] QJsonDocument run() const;

private:
    const Workspace &m_workspace;
    const WindowList &m_windowList;
    TabReader &m_tabReader;
};

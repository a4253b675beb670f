#pragma once

#include <QString>

// The general pasteboard, reduced to what the application puts on it.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // Replaces whatever the clipboard held by plain text.
    virtual void setText(const QString &text) = 0;
};

class SystemClipboard : public Clipboard
{
public:
    void setText(const QString &text) override;
};

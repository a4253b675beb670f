#pragma once

#include "clipboard.h"

#include <QStringList>

// Records what the application put on the clipboard, newest last.
class FakeClipboard : public Clipboard
{
public:
    void setText(const QString &text) override { texts.append(text); }

    QStringList texts;
};

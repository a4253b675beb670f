#pragma once

#include "savedialog.h"

#include <QStringList>

// Answers every question with the path the test chose (nothing: the user cancelled) and records
// the file name each question proposed.
class FakeSaveDialog : public SaveDialog
{
public:
    std::optional<QString> askForSavePath(const QString & /*title*/, const QString &proposedFileName,
                                          const QString & /*nameFilter*/) override
    {
        questions.append(proposedFileName);
        return answer;
    }

    std::optional<QString> answer;
    QStringList questions;
};

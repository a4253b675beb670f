#pragma once

#include "savedialog.h"

#include <QList>

// Answers every question with the path the test chose (nothing: the user cancelled) and records
// what it was asked.
class FakeSaveDialog : public SaveDialog
{
public:
    struct Question {
        QString title;
        QString proposedFileName;
        QString nameFilter;
    };

    std::optional<QString> askForSavePath(const QString &title, const QString &proposedFileName, const QString &nameFilter) override
    {
        questions.append({title, proposedFileName, nameFilter});
        return answer;
    }

    std::optional<QString> answer;
    QList<Question> questions;
};

#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Texts the views show that are derived from the model's values.
class DisplayText : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // The first character the reader sees in an e-mail address, upper-cased, for the avatar.
    Q_INVOKABLE static QString avatarLetter(const QString &email);
    // The note under "Check for Updates": the last check's result, or the running version.
    Q_INVOKABLE static QString updateNote(const QString &updateStatusText);
};

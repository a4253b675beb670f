#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Texts the views show that are derived from the model's values, and the words that differ by
// platform.
class DisplayText : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    // The browsers whose tabs Corvane reads on this platform, as the permission texts list them.
    Q_PROPERTY(QString supportedBrowsers READ supportedBrowsers CONSTANT)
    // macOS asks for Automation and Accessibility in its own settings; elsewhere the browser
    // add-on's bridge takes their place.
    Q_PROPERTY(bool hasSystemPrivacySettings READ hasSystemPrivacySettings CONSTANT)

public:
    using QObject::QObject;

    [[nodiscard]] static QString supportedBrowsers();
    [[nodiscard]] static bool hasSystemPrivacySettings();
    // What the running program is called beside its version.
    [[nodiscard]] static QString platformName();

    // The first character the reader sees in an e-mail address, upper-cased, for the avatar.
    Q_INVOKABLE static QString avatarLetter(const QString &email);
    // The note under "Check for Updates": the last check's result, or the running version.
    Q_INVOKABLE static QString updateNote(const QString &updateStatusText);
};

#include "accountvalidation.h"

#include "textinputfilter.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

namespace
{
constexpr qsizetype kMinimumPasswordLength = 6;

// A carriage-return/line-feed pair is one character, as in the ASCII rule.
qsizetype characterCount(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

bool tooShort(const QString &password)
{
    return characterCount(password) < kMinimumPasswordLength;
}
}

namespace AccountValidation
{
std::optional<QString> checkSignIn(const QString &email, const QString &password, bool registering)
{
    if (email.isEmpty() || password.isEmpty())
        return QCoreApplication::translate("AccountValidation", "Please enter your email and password.");
    if (!TextInputFilter::isAscii(email) || !TextInputFilter::isAscii(password))
        return QCoreApplication::translate("AccountValidation", "Email and password must contain English characters only.");
    if (registering && tooShort(password))
        return QCoreApplication::translate("AccountValidation", "Password must be at least 6 characters.");
    return std::nullopt;
}

std::optional<QString> checkResetRequest(const QString &email)
{
    if (email.isEmpty())
        return QCoreApplication::translate("AccountValidation", "Please enter your email address.");
    if (!TextInputFilter::isAscii(email))
        return QCoreApplication::translate("AccountValidation", "Email must contain English characters only.");
    return std::nullopt;
}

std::optional<QString> checkResetConfirmation(const QString &email, const QString &code, const QString &newPassword)
{
    if (email.isEmpty())
        return QCoreApplication::translate("AccountValidation", "Email is required.");
    if (code.isEmpty())
        return QCoreApplication::translate("AccountValidation", "Please enter the 6-digit verification code.");
    if (!TextInputFilter::isAscii(email) || !TextInputFilter::isAscii(code) || !TextInputFilter::isAscii(newPassword))
        return QCoreApplication::translate("AccountValidation", "All fields must contain English characters only.");
    if (tooShort(newPassword))
        return QCoreApplication::translate("AccountValidation", "Password must be at least 6 characters.");
    return std::nullopt;
}

std::optional<QString> checkPasswordChange(const QString &current, const QString &newPassword, const QString &confirmation)
{
    if (current.isEmpty())
        return QCoreApplication::translate("AccountValidation", "Please enter your current password.");
    if (!TextInputFilter::isAscii(current) || !TextInputFilter::isAscii(newPassword) || !TextInputFilter::isAscii(confirmation))
        return QCoreApplication::translate("AccountValidation", "Passwords must contain English characters only.");
    if (tooShort(newPassword))
        return QCoreApplication::translate("AccountValidation", "New password must be at least 6 characters.");
    if (newPassword != confirmation)
        return QCoreApplication::translate("AccountValidation", "New passwords do not match.");
    return std::nullopt;
}
}

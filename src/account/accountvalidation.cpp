#include "accountvalidation.h"

#include "textinputfilter.h"

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
        return u"Please enter your email and password."_s;
    if (!TextInputFilter::isAscii(email) || !TextInputFilter::isAscii(password))
        return u"Email and password must contain English characters only."_s;
    if (registering && tooShort(password))
        return u"Password must be at least 6 characters."_s;
    return std::nullopt;
}

std::optional<QString> checkResetRequest(const QString &email)
{
    if (email.isEmpty())
        return u"Please enter your email address."_s;
    if (!TextInputFilter::isAscii(email))
        return u"Email must contain English characters only."_s;
    return std::nullopt;
}

std::optional<QString> checkResetConfirmation(const QString &email, const QString &code, const QString &newPassword)
{
    if (email.isEmpty())
        return u"Email is required."_s;
    if (code.isEmpty())
        return u"Please enter the 6-digit verification code."_s;
    if (!TextInputFilter::isAscii(email) || !TextInputFilter::isAscii(code) || !TextInputFilter::isAscii(newPassword))
        return u"All fields must contain English characters only."_s;
    if (tooShort(newPassword))
        return u"Password must be at least 6 characters."_s;
    return std::nullopt;
}

std::optional<QString> checkPasswordChange(const QString &current, const QString &newPassword, const QString &confirmation)
{
    if (current.isEmpty())
        return u"Please enter your current password."_s;
    if (!TextInputFilter::isAscii(current) || !TextInputFilter::isAscii(newPassword) || !TextInputFilter::isAscii(confirmation))
        return u"Passwords must contain English characters only."_s;
    if (tooShort(newPassword))
        return u"New password must be at least 6 characters."_s;
    if (newPassword != confirmation)
        return u"New passwords do not match."_s;
    return std::nullopt;
}
}

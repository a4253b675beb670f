#include "displaytext.h"

#include "updatecheck.h"

#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

#ifdef Q_OS_MACOS
QString DisplayText::supportedBrowsers()
{
    return u"Safari, Chrome, Firefox, Arc, Brave, Edge"_s;
}

bool DisplayText::hasSystemPrivacySettings()
{
    return true;
}

QString DisplayText::platformName()
{
    return tr("Native macOS App");
}
#else
// The browsers the Linux readers and the add-on's bridge know.
QString DisplayText::supportedBrowsers()
{
    return u"Firefox, Chrome, Chromium, Brave, Edge, Vivaldi, Opera"_s;
}

bool DisplayText::hasSystemPrivacySettings()
{
    return false;
}

QString DisplayText::platformName()
{
    return u"Linux"_s;
}
#endif

QString DisplayText::avatarLetter(const QString &email)
{
    // A letter can be several code points (a base and its accents, an emoji sequence).
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, email);
    const qsizetype end = graphemes.toNextBoundary();
    return end > 0 ? email.left(end).toUpper() : QString();
}

QString DisplayText::updateNote(const QString &updateStatusText)
{
    if (!updateStatusText.isEmpty())
        return updateStatusText;
    //: The running version and the platform's name, under "Check for Updates".
    return tr("Version %1 · %2").arg(UpdateCheck::currentAppVersion, platformName());
}

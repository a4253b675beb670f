#include "displaytext.h"

#include "updatecheck.h"

#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

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
    return u"Version "_s + UpdateCheck::currentAppVersion + u" · Native macOS App"_s;
}

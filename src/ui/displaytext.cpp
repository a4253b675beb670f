#include "displaytext.h"

#include <QTextBoundaryFinder>

QString DisplayText::avatarLetter(const QString &email)
{
    // A letter can be several code points (a base and its accents, an emoji sequence).
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, email);
    const qsizetype end = graphemes.toNextBoundary();
    return end > 0 ? email.left(end).toUpper() : QString();
}

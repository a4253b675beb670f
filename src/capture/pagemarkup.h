#pragma once

#include <QString>

// The readable text of a page's markup, and the cap on page text.
namespace PageMarkup
{
// Drops scripts, styles, noscript and svg elements and every other tag, decodes &nbsp; &quot;
// &#39; &lt; &gt; (and no other entity), folds white space and trims.
[[nodiscard]] QString toText(QString html);

// The first limit user-perceived characters (grapheme clusters) of text.
[[nodiscard]] QString firstCharacters(const QString &text, qsizetype limit);
}

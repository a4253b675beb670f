#pragma once

#include <QLocale>
#include <QTranslator>

#include <memory>

// The panel's words in the language of `locale`, in effect for as long as the result lives; none
// when no catalogue ships for that language, so the English texts stay.
std::unique_ptr<QTranslator> installTranslation(const QLocale &locale);

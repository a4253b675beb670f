#include "translation.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

std::unique_ptr<QTranslator> installTranslation(const QLocale &locale)
{
    auto translator = std::make_unique<QTranslator>();
    // The catalogues are built into the program beside the QML module.
    if (!translator->load(locale, u"corvane"_s, u"_"_s, u":/i18n"_s) || !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator;
}

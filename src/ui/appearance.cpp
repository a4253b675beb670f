#include "appearance.h"

#include <QEvent>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

Appearance::Appearance(QObject *parent)
    : QObject(parent)
    , m_forcedDark(forcedDark(qEnvironmentVariable("CORVANE_APPEARANCE")))
{
    qApp->installEventFilter(this);
    followPalette();
}

std::optional<bool> Appearance::forcedDark(const QString &value)
{
    const QString name = value.trimmed().toLower();
    if (name == "dark"_L1)
        return true;
    if (name == "light"_L1)
        return false;
    return std::nullopt;
}

bool Appearance::isDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

bool Appearance::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        followPalette();
    return QObject::eventFilter(watched, event);
}

void Appearance::followPalette()
{
    const bool dark = m_forcedDark.value_or(isDarkPalette(QGuiApplication::palette()));
    if (dark == m_isDark)
        return;
    m_isDark = dark;
    Q_EMIT isDarkChanged();
}

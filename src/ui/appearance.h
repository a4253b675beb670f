#pragma once

#include <QObject>
#include <QPalette>
#include <QtQml/qqmlregistration.h>

#include <optional>

// Light or dark, for every view. Qt has no colour-scheme setting of its own here, so the
// application palette decides and is followed when it changes; CORVANE_APPEARANCE=light|dark
// fixes one (screenshots, tests).
class Appearance : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(bool isDark READ isDark NOTIFY isDarkChanged)

public:
    explicit Appearance(QObject *parent = nullptr);

    [[nodiscard]] bool isDark() const { return m_isDark; }

    // The appearance an environment value forces, if it names one.
    [[nodiscard]] static std::optional<bool> forcedDark(const QString &value);
    [[nodiscard]] static bool isDarkPalette(const QPalette &palette);

Q_SIGNALS:
    void isDarkChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followPalette();

    std::optional<bool> m_forcedDark;
    bool m_isDark = false;
};

#pragma once

#include <QString>
#include <QVariant>

#include <optional>
#include <utility>

// The one way C++ writes a published property: compare, assign, notify.
template<typename Owner, typename T, typename V> void assignProperty(Owner *owner, T &member, V &&value, void (Owner::*changed)())
{
    if (member == value)
        return;
    member = std::forward<V>(value);
    Q_EMIT(owner->*changed)();
}

// An optional published value as QML sees it: undefined when absent.
template<typename T> QVariant optionalToVariant(const std::optional<T> &value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}

// assignProperty for a filtered text input: stores filter(typed), and notifies whenever that
// differs from what was typed even if the stored value stays the same, or the view that wrote
// the refused characters keeps showing them.
template<typename Owner>
void assignFiltered(Owner *owner, QString &member, const QString &typed, QString (*filter)(const QString &), void (Owner::*changed)())
{
    QString filtered = filter(typed);
    if (member == filtered && filtered == typed)
        return;
    member = std::move(filtered);
    Q_EMIT(owner->*changed)();
}

#pragma once

#include "tabreader.h"

#include <QHash>
#include <QMutex>
#include <QStringList>
#include <QWaitCondition>

// A tab reader answering what the test set, per browser id for tabs and per browser name for
// page text. It records every call ("<browser id>" or "text <browser name>"); while held, tab
// reads block their worker thread.
class FakeTabReader : public TabReader
{
    // Defined before its callers, which deduce their result from it.
    template<typename Step> auto locked(Step step) const
    {
        const QMutexLocker locker(&m_lock);
        return step();
    }

public:
    // A pending address: the reader has yet to learn the address the answer lacks.
    void answer(const QString &browserId, const std::optional<QString> &answer, bool addressPending = false)
    {
        locked([&] { m_tabs.insert(browserId, {answer, addressPending}); });
    }
    void answerPageText(const QString &browserName, const QString &text)
    {
        locked([&] { m_pageTexts.insert(browserName, text); });
    }
    void setHeld(bool held)
    {
        locked([&] { m_held = held; });
        m_released.wakeAll();
    }
    [[nodiscard]] QStringList calls() const
    {
        return locked([this] { return m_calls; });
    }

    std::optional<QString> readActiveTab(const KnownBrowser &browser) override
    {
        QMutexLocker locker(&m_lock);
        m_calls.append(browser.id);
        while (m_held)
            m_released.wait(&m_lock);
        m_lastBrowser = browser.id;
        return m_tabs.value(browser.id).first;
    }
    std::optional<QString> readPageText(const QString &browserName) override
    {
        return locked([&] {
            m_calls.append(QStringLiteral("text ") + browserName);
            return m_pageTexts.value(browserName);
        });
    }
    bool lastAddressPending() const override
    {
        return locked([this] { return m_tabs.value(m_lastBrowser).second; });
    }
    QJsonObject lastReadReport() const override
    {
        return locked([this] { return QJsonObject{{QStringLiteral("read"), m_lastBrowser}}; });
    }

private:
    mutable QMutex m_lock;
    QWaitCondition m_released;
    bool m_held = false;
    QHash<QString, std::pair<std::optional<QString>, bool>> m_tabs;
    QHash<QString, std::optional<QString>> m_pageTexts;
    QStringList m_calls;
    QString m_lastBrowser;
};

#include "websiteitemmenuhelper.h"

#include "symbolglyphs.h"

#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

using namespace Qt::StringLiterals;

WebsiteItemMenuHelper::WebsiteItemMenuHelper(QObject *parent)
    : QObject(parent)
    , m_presenter([](QMenu &menu, QPoint at) { menu.popup(at); })
{ }

void WebsiteItemMenuHelper::setPresenter(Presenter presenter)
{
    m_presenter = std::move(presenter);
}

void WebsiteItemMenuHelper::showMenu(qint64 websiteId, const QString &title, bool isPinned, QPointF at)
{
    // The previous menu goes once it has finished delivering whatever it is doing.
    if (m_menu)
        m_menu->deleteLater();
    m_menu = new QMenu(tr("Options"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    const QColor symbolColor = m_menu->palette().color(QPalette::Text);
    const auto add = [this, &symbolColor](const QString &text, const QString &symbol, auto handler) {
        QAction *action = m_menu->addAction(SymbolGlyphs::icon(symbol, symbolColor), text);
        action->setProperty("symbol", symbol);
        connect(action, &QAction::triggered, this, handler);
    };
    add(isPinned ? tr("Unpin Website") : tr("Pin to Top"), isPinned ? u"pin.slash"_s : u"pin"_s,
        [this, websiteId] { Q_EMIT pinChosen(websiteId); });
    add(tr("Share..."), u"square.and.arrow.up"_s, [this, websiteId] { Q_EMIT shareChosen(websiteId); });
    add(tr("Copy Link"), u"doc.on.doc"_s, [this, websiteId] { Q_EMIT copyChosen(websiteId); });
    add(tr("Edit Title"), u"pencil"_s, [this, websiteId, title] { Q_EMIT editChosen(websiteId, title); });
    m_menu->addSeparator();
    add(tr("Delete"), u"trash"_s, [this, websiteId] { Q_EMIT deleteChosen(websiteId); });
    m_presenter(*m_menu, at.toPoint());
}

bool WebsiteItemMenuHelper::openWebsite(const QString &url)
{
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.isRelative())
        return false;
    return QDesktopServices::openUrl(address);
}

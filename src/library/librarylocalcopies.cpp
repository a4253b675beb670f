#include "library/libraryorder.h"
#include "state/appviewmodel.h"

#include <QJsonDocument>

// Start-up seeding shows the last known library at once, before the network answers.
void AppViewModel::seedWebsitesFromLocalCopies()
{
    const auto stored = m_defaults->data(Preferences::kSavedWebsites);
    if (!stored)
        return;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*stored, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray())
        return;
    auto decoded = SavedWebsite::listFromJson(document.array());
    if (!decoded)
        return;
    assign(m_websites, LibraryOrder::sorted(std::move(decoded.value())), &AppViewModel::websitesChanged);
}

void AppViewModel::clearLocalLibrary()
{
}

QCoro::Task<> AppViewModel::fetchWebsites()
{
    co_return;
}

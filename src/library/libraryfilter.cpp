#include "library/librarysearch.h"
#include "state/appviewmodel.h"

QList<SavedWebsite> AppViewModel::filteredWebsites() const
{
    return m_librarySearch->filter(m_websites, m_searchQuery);
}

void AppViewModel::showMoreWebsites()
{
    assign(m_visibleLimit, m_visibleLimit <= 9 ? 10 : m_visibleLimit + 10, &AppViewModel::visibleLimitChanged);
}

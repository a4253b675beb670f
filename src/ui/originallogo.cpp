#include "originallogo.h"

#include "resourcefiles.h"

#include <QImageReader>

using namespace Qt::StringLiterals;

OriginalLogo::OriginalLogo(QObject *parent)
    : QObject(parent)
    , m_folders(ResourceFiles::standardFolders())
{ }

QUrl OriginalLogo::imageUrl(bool isDark)
{
    // Every thumbnail without a picture shows the logo; the files do not change while running.
    const auto found = m_found.constFind(isDark);
    if (found != m_found.cend())
        return *found;
    return *m_found.insert(isDark, lookup(isDark, m_folders));
}

QUrl OriginalLogo::lookup(bool isDark, const QStringList &folders)
{
    const QStringList names
        = isDark ? QStringList{u"icon128.png"_s, u"icon-light.png"_s} : QStringList{u"iconDark128.png"_s, u"icon-dark.png"_s};
    if (const QString file = ResourceFiles::findImage(folders, names); !file.isEmpty())
        return QUrl::fromLocalFile(file);
    if (const QString embedded = embeddedPath(isDark); !QImageReader(embedded).read().isNull())
        return QUrl(u"qrc"_s + embedded);
    return {};
}

QString OriginalLogo::embeddedPath(bool isDark)
{
    return isDark ? u":/qt/qml/Corvane/embedded/icon128.png"_s : u":/qt/qml/Corvane/embedded/iconDark128.png"_s;
}

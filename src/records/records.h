#pragma once

#include "decoded.h"

#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>

#include <memory>
#include <optional>

// Plain value records exchanged with the backend and kept on disk. One JSON coding serves the
// wire, the preferences store and the cache file.

struct User {
    Q_GADGET
    Q_PROPERTY(qint64 id MEMBER id CONSTANT)
    Q_PROPERTY(QString email MEMBER email CONSTANT)

public:
    qint64 id = 0;
    QString email;
    std::optional<QString> createdAt;

    static Decoded<User> fromJson(const QJsonValue &value);
    [[nodiscard]] QJsonObject toJson() const;
    friend bool operator==(const User &, const User &) = default;
};

// A page's text, kept as UTF-8: page text is most of a library's size, and UTF-8 holds it in half
// the memory a QString takes. Text that is not valid UTF-16 comes back with replacement
// characters where its lone surrogates were.
class PageText
{
public:
    PageText() = default;
    // Implicit: a page text is made from text wherever one is needed.
    PageText(const QString &text) // NOLINT(google-explicit-constructor)
        : m_utf8(text.toUtf8())
    {
        // The conversion allocates for the worst case, three bytes for each character.
        m_utf8.squeeze();
    }

    // Text kept elsewhere, such as a file mapped into memory; owner keeps it there for as long as
    // any copy refers to it.
    PageText(QByteArrayView utf8, std::shared_ptr<const void> owner)
        : m_utf8(QByteArray::fromRawData(utf8.data(), utf8.size()))
        , m_owner(std::move(owner))
    { }

    [[nodiscard]] const QByteArray &utf8() const { return m_utf8; }
    [[nodiscard]] QString toString() const { return QString::fromUtf8(m_utf8); }
    // Text at the same place is not read again: reading mapped text brings it into memory.
    friend bool operator==(const PageText &first, const PageText &second)
    {
        return first.m_utf8.size() == second.m_utf8.size()
            && (first.m_utf8.constData() == second.m_utf8.constData() || first.m_utf8 == second.m_utf8);
    }

private:
    QByteArray m_utf8;
    std::shared_ptr<const void> m_owner;
};

struct SavedWebsite {
    Q_GADGET
    Q_PROPERTY(qint64 id MEMBER id CONSTANT)
    Q_PROPERTY(QString url MEMBER url CONSTANT)
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(bool pinned READ pinned CONSTANT)
    Q_PROPERTY(QString formattedDomain READ formattedDomain CONSTANT)

public:
    qint64 id = 0;
    QString url;
    QString title;
    std::optional<QString> screenshotUrl;
    std::optional<PageText> content;
    std::optional<bool> isPinned;
    std::optional<QString> createdAt;
    std::optional<QString> updatedAt;

    // An absent flag counts as not pinned wherever it is read.
    [[nodiscard]] bool pinned() const { return isPinned.value_or(false); }
    // The host without a leading "www." label; the address unchanged when it has no host.
    [[nodiscard]] QString formattedDomain() const;

    static Decoded<SavedWebsite> fromJson(const QJsonValue &value);
    [[nodiscard]] QJsonObject toJson() const;
    static QJsonArray listToJson(const QList<SavedWebsite> &websites);
    // A list straight from and to JSON text, one website at a time: a library is never held as
    // JSON values whole, which would take twice its page text again. Reading gives nothing when the
    // text is not JSON; writing gives what QJsonDocument writes.
    static std::optional<Decoded<QList<SavedWebsite>>> listFromJsonText(QByteArrayView json);
    static QByteArray listToJsonText(const QList<SavedWebsite> &websites, QJsonDocument::JsonFormat format);
    friend bool operator==(const SavedWebsite &, const SavedWebsite &) = default;
};

struct ActiveBrowserTab {
    Q_GADGET
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(QString url MEMBER url CONSTANT)
    Q_PROPERTY(QString browserName MEMBER browserName CONSTANT)
    Q_PROPERTY(QString domain READ domain CONSTANT)
    Q_PROPERTY(bool isAddressPending MEMBER isAddressPending CONSTANT)

public:
    QString title;
    QString url;
    QString browserName;
    // The browser shows a web page whose address is not known yet (url is empty meanwhile).
    bool isAddressPending = false;

    // The host without a leading "www." label; the address unchanged when it has no host.
    [[nodiscard]] QString domain() const;

    friend bool operator==(const ActiveBrowserTab &, const ActiveBrowserTab &) = default;
};

struct AuthResponse {
    QString token;
    User user;

    static Decoded<AuthResponse> fromJson(const QJsonValue &value);
    [[nodiscard]] QJsonObject toJson() const;
};

struct WebsitesResponse {
    QList<SavedWebsite> websites;

    static Decoded<WebsitesResponse> fromJson(const QJsonValue &value);
    // As fromJson on the parsed text, without holding the list as JSON values; nothing when the
    // text is not JSON.
    static std::optional<Decoded<WebsitesResponse>> fromJsonText(QByteArrayView json);
    [[nodiscard]] QJsonObject toJson() const;
};

struct SingleWebsiteResponse {
    SavedWebsite website;

    static Decoded<SingleWebsiteResponse> fromJson(const QJsonValue &value);
    [[nodiscard]] QJsonObject toJson() const;
};

struct DeleteWebsiteResponse {
    qint64 deletedId = 0;

    static Decoded<DeleteWebsiteResponse> fromJson(const QJsonValue &value);
    [[nodiscard]] QJsonObject toJson() const;
};

// A one-time code that opens the account page signed in, in place of the session token.
struct PortalCodeResponse {
    QString code;

    static Decoded<PortalCodeResponse> fromJson(const QJsonValue &value);
    [[nodiscard]] QJsonObject toJson() const;
};

struct SimpleMessageResponse {
    std::optional<bool> success;
    std::optional<QString> message;
    std::optional<QString> error;

    static Decoded<SimpleMessageResponse> fromJson(const QJsonValue &value);
    [[nodiscard]] QJsonObject toJson() const;
};

struct APIErrorResponse {
    std::optional<QString> error;

    static Decoded<APIErrorResponse> fromJson(const QJsonValue &value);
    [[nodiscard]] QJsonObject toJson() const;
};

Q_DECLARE_METATYPE(User)
Q_DECLARE_METATYPE(SavedWebsite)
Q_DECLARE_METATYPE(ActiveBrowserTab)

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>

// The library's page text and its lowered search form, kept in a file mapped into memory rather
// than on the heap: page text is most of a library's size. The file is derived from the library,
// so it lives in the cache folder and is rebuilt whenever it is missing or does not match.
//
// A file is never changed once written: a new one replaces it by rename, so a mapping in use stays
// valid, and text read from it stays readable for as long as anything holds the file object.
class PageTextFile
{
public:
    struct Text {
        qint64 id = 0;
        // Identifies the page text, so that a file left by an earlier run can be checked without
        // reading it.
        QByteArray digest;
        QByteArrayView text;
        QByteArrayView lowered;
    };

    ~PageTextFile() = default;
    PageTextFile(const PageTextFile &) = delete;
    PageTextFile &operator=(const PageTextFile &) = delete;

    [[nodiscard]] static QByteArray digestOf(QByteArrayView text);

    // The file at path, or nothing when it is missing or not a complete file of this kind.
    [[nodiscard]] static std::shared_ptr<const PageTextFile> open(const QString &path);
    // Writes count texts, each asked of textAt once and in turn, to a new file that then replaces
    // path; textBytes is the size of all their texts together, which the lowered forms follow.
    // Nothing when it cannot be written; path is left as it was then.
    [[nodiscard]] static std::shared_ptr<const PageTextFile> write(const QString &path, qsizetype count, qint64 textBytes,
                                                                   const std::function<Text(qsizetype)> &textAt);

    // The text kept for the website with this id, or nothing.
    [[nodiscard]] const Text *find(qint64 id) const;
    [[nodiscard]] qsizetype count() const { return m_texts.size(); }
    // Lets the system take back the memory of texts read so far; they are read from the file again
    // when needed. Comparing a library reads all of its text, which a search never needs.
    void releaseText() const;

private:
    PageTextFile() = default;
    bool map(std::unique_ptr<QFile> file);

    std::unique_ptr<QFile> m_file;
    // The start of the mapping and the size of its part before the lowered forms.
    const uchar *m_mapping = nullptr;
    qint64 m_textEnd = 0;
    QHash<qint64, Text> m_texts;
};

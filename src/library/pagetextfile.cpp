#include "pagetextfile.h"

#include "library.h"
#include "privatefiles.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace
{
constexpr QByteArrayView kMagic{"CVPGTXT1"};
constexpr qsizetype kDigestSize = 16;

// The file starts with kMagic and the count, then one record per text, then the texts.
struct Record {
    qint64 id = 0;
    quint64 textOffset = 0;
    quint64 textSize = 0;
    quint64 loweredOffset = 0;
    quint64 loweredSize = 0;
    char digest[kDigestSize] = {};
};
constexpr qint64 kHeaderSize = qint64(kMagic.size() + sizeof(quint64));

bool writeAll(QFile &file, QByteArrayView bytes)
{
    return file.write(bytes.data(), bytes.size()) == bytes.size();
}
}

QByteArray PageTextFile::digestOf(QByteArrayView text)
{
    // Tells a user's own texts apart, not texts made to collide, so the quickest digest will do.
    return QCryptographicHash::hash(text, QCryptographicHash::Md5);
}

std::shared_ptr<const PageTextFile> PageTextFile::open(const QString &path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    auto opened = std::shared_ptr<PageTextFile>(new PageTextFile);
    if (!opened->map(std::move(file))) {
        qCInfo(lcLibrary) << "the page text file is not usable and will be written anew";
        return nullptr;
    }
    return opened;
}

std::shared_ptr<const PageTextFile> PageTextFile::write(const QString &path, qsizetype count, qint64 textBytes,
                                                        const std::function<Text(qsizetype)> &textAt)
{
    // A new file beside the old one: the old one may be mapped, and truncating it would pull the
    // text out from under whoever reads it.
    const QString staging = path + ".new"_L1;
    QFile::remove(staging);
    auto file = std::make_unique<QFile>(staging);
    const auto fail = [&staging, &file] {
        qCInfo(lcLibrary) << "the page text file could not be written:" << file->errorString();
        file->close();
        QFile::remove(staging);
        return nullptr;
    };
    if (!PrivateFiles::makeFolder(QFileInfo(path).absolutePath()) || !PrivateFiles::makeFile(staging) || !file->open(QIODevice::ReadWrite))
        return fail();

    QList<Record> records(count);
    const qint64 tableSize = qint64(count) * qint64(sizeof(Record));
    // All texts first, then all lowered forms, so that the texts' memory can be let go of at once.
    qint64 textOffset = kHeaderSize + tableSize;
    qint64 loweredOffset = textOffset + textBytes;
    for (qsizetype position = 0; position < count; ++position) {
        const Text text = textAt(position);
        Record &record = records[position];
        record.id = text.id;
        std::memcpy(record.digest, text.digest.constData(), size_t(std::min(text.digest.size(), kDigestSize)));
        record.textOffset = quint64(textOffset);
        record.textSize = quint64(text.text.size());
        record.loweredOffset = quint64(loweredOffset);
        record.loweredSize = quint64(text.lowered.size());
        if (!file->seek(textOffset) || !writeAll(*file, text.text) || !file->seek(loweredOffset) || !writeAll(*file, text.lowered))
            return fail();
        textOffset += text.text.size();
        loweredOffset += text.lowered.size();
    }
    const auto storedCount = quint64(count);
    if (!file->seek(0) || !writeAll(*file, kMagic) || !writeAll(*file, {reinterpret_cast<const char *>(&storedCount), sizeof storedCount})
        || !writeAll(*file, {reinterpret_cast<const char *>(records.constData()), tableSize}) || !file->flush())
        return fail();

    auto written = std::shared_ptr<PageTextFile>(new PageTextFile);
    if (!written->map(std::move(file))) {
        QFile::remove(staging);
        return nullptr;
    }
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(staging).toStdString(), QFile::encodeName(path).toStdString(), error);
    if (error) {
        qCInfo(lcLibrary) << "the page text file could not be replaced:" << error.message().c_str();
        QFile::remove(staging);
        return nullptr;
    }
    return written;
}

bool PageTextFile::map(std::unique_ptr<QFile> file)
{
    const qint64 size = file->size();
    if (size < kHeaderSize)
        return false;
    const uchar *data = file->map(0, size);
    if (!data)
        return false;
    const auto bytes = QByteArrayView(reinterpret_cast<const char *>(data), size);
    quint64 count = 0;
    std::memcpy(&count, bytes.data() + kMagic.size(), sizeof count);
    if (!bytes.startsWith(kMagic) || count > quint64(size - kHeaderSize) / sizeof(Record))
        return false;
    m_texts.reserve(qsizetype(count));
    m_mapping = data;
    m_textEnd = size;
    for (quint64 position = 0; position < count; ++position) {
        Record record;
        std::memcpy(&record, bytes.data() + kHeaderSize + qint64(position * sizeof(Record)), sizeof record);
        const auto fits = [size](quint64 offset, quint64 length) { return offset <= quint64(size) && length <= quint64(size) - offset; };
        if (!fits(record.textOffset, record.textSize) || !fits(record.loweredOffset, record.loweredSize))
            return false;
        m_textEnd = std::min(m_textEnd, qint64(record.loweredOffset));
        m_texts.insert(record.id,
                       {.id = record.id,
                        .digest = QByteArray(record.digest, kDigestSize),
                        .text = bytes.sliced(qsizetype(record.textOffset), qsizetype(record.textSize)),
                        .lowered = bytes.sliced(qsizetype(record.loweredOffset), qsizetype(record.loweredSize))});
    }
    m_file = std::move(file);
    return true;
}

void PageTextFile::releaseText() const
{
    // Whole pages only; the texts' last one stays.
    const qint64 pageSize = ::sysconf(_SC_PAGESIZE);
    if (m_textEnd >= pageSize)
        ::madvise(const_cast<uchar *>(m_mapping), size_t(m_textEnd / pageSize * pageSize), MADV_DONTNEED);
}

const PageTextFile::Text *PageTextFile::find(qint64 id) const
{
    const auto found = m_texts.constFind(id);
    return found == m_texts.cend() ? nullptr : &*found;
}

#pragma once

#include "records.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTest>

// Small helpers that several tests need alike.

inline QList<qint64> idsOf(const QList<SavedWebsite> &websites)
{
    QList<qint64> ids;
    for (const SavedWebsite &website : websites)
        ids.append(website.id);
    return ids;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Creates the folders on the way.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A square of one colour, uncompressed where the format allows, so that its size follows its side.
inline QByteArray imageBytes(int side, const QColor &colour = Qt::darkCyan, const char *format = "PNG")
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    return bytes;
}

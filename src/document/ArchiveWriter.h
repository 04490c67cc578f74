#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class PackedStringArray;
class QIODevice;

// Writes the archive items of the document files, little-endian, through a
// buffer, to a device. A failed device write is remembered; the caller
// checks ok() after finish().
class ArchiveWriter
{
public:
    explicit ArchiveWriter(QIODevice *device);
    ~ArchiveWriter();

    void writeInt32(qint32 value);
    void writeCount(quint32 count);
    // The text encoded in code page 950 with its length prefix.
    void writeString(QStringView text);
    void writeEncodedString(const char *bytes, qsizetype length);
    void writeStringArray(const QStringList &strings);
    void writeStringArray(const PackedStringArray &strings);

    // Sends what is buffered; returns ok().
    bool finish();
    bool ok() const { return m_ok; }
    QString errorString() const { return m_error; }

    // The length prefix alone (1, 3 or 7 bytes), for tests and sizing.
    static QByteArray lengthPrefix(quint32 length);

private:
    void put(const char *data, qsizetype size);
    void flush();

    QIODevice *m_device;
    QByteArray m_buffer;
    QByteArray m_scratch;
    bool m_ok = true;
    QString m_error;
};

#pragma once

#include <QString>

#include <stdexcept>

// A file that cannot be read as what its name says: where and why.
class ArchiveError : public std::runtime_error
{
public:
    ArchiveError(qint64 offset, const QString &reason)
        : std::runtime_error(reason.toStdString()), m_offset(offset), m_reason(reason)
    {
    }
    qint64 offset() const { return m_offset; }
    const QString &reason() const { return m_reason; }
    // "<reason> at byte <offset>"
    QString describe() const { return QStringLiteral("%1 at byte %2").arg(m_reason).arg(m_offset); }

private:
    qint64 m_offset;
    QString m_reason;
};

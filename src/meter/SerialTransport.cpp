#include "meter/SerialTransport.h"

#include <QStringList>

bool SerialLineSettings::parse(const QString &text, SerialLineSettings *out, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Invalid settings text \"%1\": %2").arg(text, why);
        return false;
    };

    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return fail(QStringLiteral("expected baud,parity,data bits,stop bits (for example 9600,n,8,1)."));

    SerialLineSettings s;
    bool ok = false;
    const qlonglong baud = parts[0].trimmed().toLongLong(&ok);
    if (!ok || baud <= 0 || baud > 0x7fffffff)
        return fail(QStringLiteral("the baud rate must be a positive whole number."));
    s.baudRate = qint32(baud);

    const QString parity = parts[1].trimmed().toLower();
    if (parity == QLatin1String("n"))
        s.parity = Parity::None;
    else if (parity == QLatin1String("e"))
        s.parity = Parity::Even;
    else if (parity == QLatin1String("o"))
        s.parity = Parity::Odd;
    else if (parity == QLatin1String("m"))
        s.parity = Parity::Mark;
    else if (parity == QLatin1String("s"))
        s.parity = Parity::Space;
    else
        return fail(QStringLiteral("the parity must be n, e, o, m or s."));

    const int data = parts[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8)
        return fail(QStringLiteral("the data bits must be 5, 6, 7 or 8."));
    s.dataBits = data;

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = StopBits::One;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = StopBits::OneAndHalf;
    else if (stop == QLatin1String("2"))
        s.stopBits = StopBits::Two;
    else
        return fail(QStringLiteral("the stop bits must be 1, 1.5 or 2."));

    if (out)
        *out = s;
    return true;
}

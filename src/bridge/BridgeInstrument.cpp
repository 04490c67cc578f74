#include "bridge/BridgeInstrument.h"

namespace {

QString nr3(double v)
{
    return QString::asprintf("%+.5E", v);
}

QString nr3Fine(double v)
{
    return QString::asprintf("%+.6E", v);
}

// A token in long or short form ("SHORt": SHORT or SHOR), as its short form.
QString token(const QString &param, const QStringList &mnemonics)
{
    for (const QString &m : mnemonics) {
        QString shortForm;
        for (QChar c : m)
            if (!c.isLower())
                shortForm += c;
        if (param.compare(m, Qt::CaseInsensitive) == 0 || param.compare(shortForm, Qt::CaseInsensitive) == 0)
            return shortForm;
    }
    return {};
}

const QStringList &functionTokens()
{
    static const QStringList t = {"CPD", "CPQ", "CPG", "CPRP", "CSD", "CSQ", "CSRS", "LPD", "LPQ", "LPG", "LPRP",
        "LSD", "LSQ", "LSRS", "ZTD", "YTD", "RX", "GB"};
    return t;
}

} // namespace

BridgeInstrument::BridgeInstrument(BridgeMeter &meter, const QString &version, QObject *parent)
    : QObject(parent), m_meter(meter), m_version(version)
{
    struct Row { Command id; const char *pattern; bool set, query; };
    static const Row rows[] = {
        {Idn, "*IDN", false, true}, {Rst, "*RST", true, false}, {Cls, "*CLS", true, false},
        {Opc, "*OPC", true, true}, {Wai, "*WAI", true, false}, {Trg, "*TRG", true, false},
        {Esr, "*ESR", false, true}, {Ese, "*ESE", true, true}, {Stb, "*STB", false, true},
        {Frequency, "[SOURce:]FREQuency[:CW]", true, true},
        {Voltage, "[SOURce:]VOLTage[:LEVel]", true, true},
        {Current, "[SOURce:]CURRent[:LEVel]", true, true},
        {Function, "[SENSe:]FUNCtion:IMPedance[:TYPE]", true, true},
        {Aperture, "[SENSe:]APERture", true, true},
        {TriggerSource, "TRIGger:SOURce", true, true},
        {TriggerNow, "TRIGger[:IMMediate]", true, false},
        {Initiate, "INITiate[:IMMediate]", true, false},
        {Continuous, "INITiate:CONTinuous", true, true},
        {Format, "FORMat[:DATA]", true, true},
        {DisplayPage, "DISPlay:PAGE", true, true},
        {Fetch, "FETCh[:IMPedance][:FORMatted]", false, true},
        {ListFrequency, "LIST:FREQuency", true, true},
        {ListMode, "LIST:MODE", true, true},
        {SystemError, "SYSTem:ERRor[:NEXT]", false, true},
    };
    for (const Row &r : rows)
        m_table.add(r.id, QString::fromLatin1(r.pattern), r.set, r.query);
    connect(&m_meter, &BridgeMeter::measured, this, &BridgeInstrument::onMeasured);
    connect(&m_meter, &BridgeMeter::failed, this, &BridgeInstrument::onFailed);
    reset();
}

void BridgeInstrument::reset()
{
    m_settings = BridgeSettings();
    m_triggerSource = QStringLiteral("INT");
    m_continuous = true;
    m_page = QStringLiteral("MEAS");
    m_list.clear();
    m_listSequential = false;
    m_readings.clear();
    m_unfetched = false;
    m_failed = false;
}

void BridgeInstrument::receive(const QByteArray &line)
{
    const QVector<Scpi::Unit> units = m_table.parse(line);
    for (int i = 0; i < units.size(); ++i)
        m_units.enqueue({units[i], i == units.size() - 1});
    process();
}

void BridgeInstrument::dropClient()
{
    m_units.clear();
    m_response.clear();
    m_answerWhenDone = false;
    m_opcWhenDone = false;
}

void BridgeInstrument::process()
{
    if (m_processing)
        return;
    m_processing = true;
    while (!m_units.isEmpty() && !m_measuring) {
        const Pending &p = m_units.head();
        if (!execute(p.unit)) {
            if (m_measuring)
                break; // this unit runs again once the measurement is done
            continue;  // the meter answered at once
        }
        const bool end = p.endOfMessage;
        m_units.dequeue();
        if (end && !m_measuring && !m_response.isEmpty()) {
            emit reply(m_response.join(QLatin1Char(';')).toLatin1());
            m_response.clear();
        }
    }
    m_processing = false;
    if (m_units.isEmpty() && !m_measuring)
        emit drained();
}

bool BridgeInstrument::oneParam(const Scpi::Unit &u)
{
    if (u.params.isEmpty() || u.params.first().isEmpty()) {
        m_errors.push(-109);
        return false;
    }
    if (u.params.size() > 1) {
        m_errors.push(-108);
        return false;
    }
    return true;
}

void BridgeInstrument::setting(const Scpi::Unit &u, const std::function<int(BridgeSettings &)> &apply)
{
    BridgeSettings next = m_settings;
    int error = apply(next);
    if (error == -1)
        return; // said already
    if (!error)
        error = m_meter.check(next);
    if (error)
        m_errors.push(error);
    else
        m_settings = next;
}

bool BridgeInstrument::execute(const Scpi::Unit &u)
{
    if (u.error) {
        m_errors.push(u.error);
        return true;
    }
    auto noParams = [&] {
        if (!u.params.isEmpty())
            m_errors.push(-108);
        return u.params.isEmpty();
    };
    auto numeric = [&](const QString &unit, double low, double high, double &out) {
        if (!oneParam(u))
            return -1;
        int error = 0;
        const std::optional<double> v = Scpi::number(u.params.first(), unit, &error);
        if (!v)
            return error;
        if (!(*v >= low && *v <= high))
            return -222;
        out = *v;
        return 0;
    };
    switch (Command(u.id)) {
    case Idn: {
        QString meter = m_meter.identity();
        meter.replace(QLatin1Char(','), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        m_response << QStringLiteral("QEL,Bridge,%1,%2").arg(meter.trimmed(), m_version);
        break;
    }
    case Rst:
        if (noParams())
            reset();
        break;
    case Cls:
        if (noParams())
            m_errors.clear();
        break;
    case Opc:
        if (u.query)
            m_response << QStringLiteral("1"); // reached only when nothing is pending
        else
            m_errors.setOperationComplete();
        break;
    case Wai:
        break; // units already wait for a measurement under way
    case Trg:
        if (!noParams())
            break;
        if (m_readings.isEmpty() || !m_answerWhenDone) {
            startMeasurement(true);
            return false;
        }
        m_answerWhenDone = false;
        m_unfetched = false;
        m_response << fetched();
        break;
    case Esr:
        m_response << QString::number(m_errors.takeEventStatus());
        break;
    case Ese:
        if (u.query) {
            m_response << QString::number(m_ese);
        } else {
            double v = 0;
            const int error = numeric(QString(), 0, 255, v);
            if (error == 0)
                m_ese = int(v);
            else if (error != -1)
                m_errors.push(error);
        }
        break;
    case Stb:
        m_response << QString::number((m_errors.isEmpty() ? 0 : 0x04) | ((m_errors.eventStatus() & m_ese) ? 0x20 : 0));
        break;
    case Frequency:
        if (u.query)
            m_response << nr3Fine(m_settings.frequency);
        else
            setting(u, [&](BridgeSettings &s) { return numeric(QStringLiteral("HZ"), 1e-3, 1e9, s.frequency); });
        break;
    case Voltage:
        if (u.query)
            m_response << nr3Fine(m_settings.voltage);
        else
            setting(u, [&](BridgeSettings &s) {
                s.currentLevel = false;
                return numeric(QStringLiteral("V"), 0, 1000, s.voltage);
            });
        break;
    case Current:
        if (u.query)
            m_response << nr3Fine(m_settings.current);
        else
            setting(u, [&](BridgeSettings &s) {
                s.currentLevel = true;
                return numeric(QStringLiteral("A"), 0, 10, s.current);
            });
        break;
    case Function:
        if (u.query)
            m_response << m_settings.function;
        else
            setting(u, [&](BridgeSettings &s) {
                if (!oneParam(u))
                    return -1;
                const QString t = u.params.first().toUpper();
                if (!functionTokens().contains(t))
                    return -224;
                s.function = t;
                return 0;
            });
        break;
    case Aperture:
        if (u.query) {
            m_response << QStringLiteral("%1,%2").arg(m_settings.aperture).arg(m_settings.averages);
            break;
        }
        setting(u, [&](BridgeSettings &s) {
            if (u.params.isEmpty() || u.params.size() > 2)
                return u.params.isEmpty() ? -109 : -108;
            const QString t = token(u.params[0], {QStringLiteral("SHORt"), QStringLiteral("MEDium"), QStringLiteral("LONG")});
            if (t.isEmpty())
                return -224;
            int averages = 1;
            if (u.params.size() == 2) {
                int error = 0;
                const std::optional<double> n = Scpi::number(u.params[1], QString(), &error);
                if (!n)
                    return error;
                if (*n < 1 || *n > 256 || *n != int(*n))
                    return -222;
                averages = int(*n);
            }
            s.aperture = t;
            s.averages = averages;
            return 0;
        });
        break;
    case TriggerSource:
        if (u.query) {
            m_response << m_triggerSource;
        } else if (oneParam(u)) {
            const QString t = token(u.params.first(),
                {QStringLiteral("INTernal"), QStringLiteral("EXTernal"), QStringLiteral("BUS"), QStringLiteral("HOLD")});
            t.isEmpty() ? m_errors.push(-224) : void(m_triggerSource = t);
        }
        break;
    case TriggerNow:
        if (noParams()) {
            m_units.head().unit.id = Wai; // started: nothing answers for it
            startMeasurement(false);
            return false;
        }
        break;
    case Initiate:
        if (noParams() && m_triggerSource == QLatin1String("INT")) {
            m_units.head().unit.id = Wai;
            startMeasurement(false);
            return false;
        }
        break;
    case Continuous:
        if (u.query) {
            m_response << (m_continuous ? QStringLiteral("1") : QStringLiteral("0"));
        } else if (oneParam(u)) {
            const QString p = u.params.first().toUpper();
            if (p == QLatin1String("ON") || p == QLatin1String("1"))
                m_continuous = true;
            else if (p == QLatin1String("OFF") || p == QLatin1String("0"))
                m_continuous = false;
            else
                m_errors.push(-224);
        }
        break;
    case Format:
        if (u.query)
            m_response << QStringLiteral("ASC");
        else if (oneParam(u) && token(u.params.first(), {QStringLiteral("ASCii")}).isEmpty())
            m_errors.push(-224);
        break;
    case DisplayPage:
        if (u.query)
            m_response << m_page;
        else if (oneParam(u))
            m_page = u.params.first().toUpper();
        break;
    case Fetch:
        if (m_readings.isEmpty() || m_failed
            || (!m_unfetched && m_triggerSource == QLatin1String("INT") && m_continuous)) {
            if (m_triggerSource == QLatin1String("INT") && m_continuous && !m_failed) {
                startMeasurement(false);
                return false;
            }
            m_errors.push(-230);
            m_failed = false;
            break;
        }
        m_unfetched = false;
        m_response << fetched();
        break;
    case ListFrequency:
        if (u.query) {
            QStringList f;
            for (double v : m_list)
                f << nr3Fine(v);
            m_response << f.join(QLatin1Char(','));
            break;
        }
        if (u.params.isEmpty()) {
            m_errors.push(-109);
        } else if (u.params.size() > MaxListPoints) {
            m_errors.push(-108);
        } else {
            QVector<double> list;
            for (const QString &p : u.params) {
                int error = 0;
                const std::optional<double> v = Scpi::number(p, QStringLiteral("HZ"), &error);
                BridgeSettings at = m_settings;
                if (v)
                    at.frequency = *v;
                if (!error && (!v || !(*v > 0)))
                    error = -222;
                if (!error)
                    error = m_meter.check(at);
                if (error) {
                    m_errors.push(error);
                    list.clear();
                    break;
                }
                list << *v;
            }
            if (!list.isEmpty())
                m_list = list;
        }
        break;
    case ListMode:
        if (u.query)
            m_response << QStringLiteral("SEQ");
        else if (oneParam(u)) {
            if (token(u.params.first(), {QStringLiteral("SEQuence")}).isEmpty())
                m_errors.push(-224);
            else
                m_listSequential = true;
        }
        break;
    case SystemError:
        m_response << m_errors.pop();
        break;
    }
    return true;
}

void BridgeInstrument::startMeasurement(bool answer)
{
    m_measuring = true;
    m_answerWhenDone = answer;
    m_failed = false;
    m_taken = m_settings;
    m_readings.clear();
    m_listReadings = m_listSequential && !m_list.isEmpty();
    m_points = m_listReadings ? m_list : QVector<double>{m_settings.frequency};
    measureNext();
}

void BridgeInstrument::measureNext()
{
    BridgeSettings s = m_taken;
    s.frequency = m_points.at(m_readings.size());
    m_meter.measure(s);
}

void BridgeInstrument::onMeasured(const BridgeReading &reading)
{
    if (!m_measuring)
        return;
    BridgeSettings s = m_taken;
    s.frequency = m_points.at(m_readings.size());
    m_readings << reading;
    emit measurement(s, reading);
    if (m_readings.size() < m_points.size()) {
        measureNext();
        return;
    }
    m_measuring = false;
    m_unfetched = true;
    m_errors.setOperationComplete();
    process();
}

void BridgeInstrument::onFailed(const QString &why)
{
    if (!m_measuring)
        return;
    m_measuring = false;
    m_failed = true;
    m_readings.clear();
    m_answerWhenDone = false;
    m_errors.push(-240);
    emit meterFailed(why);
    // *TRG that waited answers nothing; the rest goes on.
    if (!m_units.isEmpty() && m_units.head().unit.id == Trg)
        m_units.head().unit.id = Wai;
    process();
}

QString BridgeInstrument::fetched() const
{
    QStringList out;
    for (const BridgeReading &r : m_readings) {
        out << nr3(r.a) << nr3(r.b) << QString::asprintf("%+d", r.status);
        if (m_listReadings)
            out << QStringLiteral("+0");
    }
    return out.join(QLatin1Char(','));
}

// A script's view of the bridge over a real socket: the common set's
// grammar, settings, readings and list sweep, the error queue, one
// controller at a time and what a hostile client can make it hold. The
// meter behind it is an ideal capacitor that answers on the next turn of
// the event loop, as a real one answers later.

#include "bridge/BridgeInstrument.h"
#include "bridge/BridgeServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double Capacitance = 100e-9;

class IdealCapacitor : public BridgeMeter
{
public:
    QVector<BridgeSettings> taken;
    QString identity() const override { return QStringLiteral("LCR,44,1.0"); }
    int check(const BridgeSettings &s) const override
    {
        if (s.frequency < 20 || s.frequency > 2e6)
            return -222;
        return s.function == QLatin1String("GB") ? -224 : 0; // a function this meter lacks
    }
    void measure(const BridgeSettings &s) override
    {
        taken << s;
        QTimer::singleShot(0, this, [this, s] {
            const double d = 1e-4 * s.frequency / 1000;
            emit measured({Capacitance, s.function.endsWith(QLatin1Char('D')) ? d : 1 / d, 0});
        });
    }
};

bool waitUntil(const std::function<bool()> &cond, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!cond() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return cond();
}

struct Client
{
    QTcpSocket s;
    explicit Client(quint16 port) { s.connectToHost(QStringLiteral("127.0.0.1"), port); }
    bool connected() { return waitUntil([&] { return s.state() == QAbstractSocket::ConnectedState; }); }
    QString line()
    {
        waitUntil([&] { return s.canReadLine() || s.state() == QAbstractSocket::UnconnectedState; });
        return QString::fromLatin1(s.readLine()).trimmed();
    }
    QString ask(const QByteArray &message)
    {
        s.write(message + '\n');
        return line();
    }
    QStringList errors()
    {
        QStringList out;
        for (QString e; (e = ask("SYST:ERR?")) != QLatin1String("0,\"No error\"") && !e.isEmpty();)
            out << e.section(QLatin1Char(','), 0, 0);
        return out;
    }
};

struct Rig
{
    IdealCapacitor meter;
    BridgeInstrument instrument{meter, QStringLiteral("9.9")};
    BridgeServer server{instrument};
    QStringList log;
    Rig()
    {
        QObject::connect(&server, &BridgeServer::logged, [this](const QString &l) { log << l; });
        QString error;
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0, &error)) << qPrintable(error);
    }
};

} // namespace

TEST(BridgeServer, AScriptSetsMeasuresAndSweepsInTheCommonSet)
{
    Rig rig;
    Client c(rig.server.port());
    ASSERT_TRUE(c.connected());
    EXPECT_EQ(c.ask("*IDN?"), QStringLiteral("QEL,Bridge,LCR 44 1.0,9.9"));

    // Long and short forms, optional nodes, suffixes, compound messages
    // with a relative header, answers joined by ';'.
    c.s.write("FORM ASC;:sour:frequency:cw 10 kHz;:VOLTage:LEV 500mV\n"
              "FUNC:IMP:TYPE CSD;:FUNC:IMP?;:FREQ?;VOLT?\n");
    EXPECT_EQ(c.line(), QStringLiteral("CSD;+1.000000E+04;+5.000000E-01"));
    EXPECT_EQ(c.ask(":APER SHORT, 4;:APER?"), QStringLiteral("SHOR,4"));
    EXPECT_EQ(c.ask("FUNCtion:IMPedance:TYPE?;TYPE?"), QStringLiteral("CSD;CSD"));

    // Internal trigger: every fetch is a fresh reading at the settings sent before it.
    EXPECT_EQ(c.ask(":FETCH?"), QStringLiteral("+1.00000E-07,+1.00000E-03,+0"));
    ASSERT_EQ(rig.meter.taken.size(), 1);
    EXPECT_EQ(rig.meter.taken[0].frequency, 1e4);
    EXPECT_FALSE(rig.meter.taken[0].currentLevel);
    EXPECT_EQ(rig.meter.taken[0].voltage, 0.5);
    EXPECT_EQ(rig.meter.taken[0].aperture, QStringLiteral("SHOR"));
    EXPECT_EQ(c.ask("CURR 10MA;*TRG"), QStringLiteral("+1.00000E-07,+1.00000E-03,+0"));
    EXPECT_TRUE(rig.meter.taken.last().currentLevel);
    EXPECT_DOUBLE_EQ(rig.meter.taken.last().current, 0.01);

    // The list sweep: one trigger measures every point, four numbers each.
    c.s.write("TRIG:SOUR BUS;:DISP:PAGE LIST;:LIST:MODE SEQ;:LIST:FREQ 1.000000e+03,2e3,4KHZ\n"
              "INIT:CONT ON;:TRIG:IMM\n");
    EXPECT_EQ(c.ask(":FETCh:IMPedance:FORMatted?"),
        QStringLiteral("+1.00000E-07,+1.00000E-04,+0,+0,+1.00000E-07,+2.00000E-04,+0,+0,+1.00000E-07,+4.00000E-04,+0,+0"));
    EXPECT_EQ(c.ask("LIST:FREQ?"), QStringLiteral("+1.000000E+03,+2.000000E+03,+4.000000E+03"));
    // Bus trigger: a fetch gives the last readings, it does not measure again.
    const qsizetype measured = rig.meter.taken.size();
    EXPECT_EQ(c.ask("FETC?").count(QLatin1Char(',')), 11);
    EXPECT_EQ(rig.meter.taken.size(), measured);
    EXPECT_EQ(c.ask("*OPC?"), QStringLiteral("1"));
    EXPECT_TRUE(c.errors().isEmpty());

    // Refusals go to the error queue and leave the settings as they were.
    c.s.write("FREQ -5;:FREQ 5 MHZ;:FREQ 10 V;:FUNC:IMP XYZ;:FUNC:IMP GB;:BOGUS 1;:APER MED,0;:FREQ\n");
    EXPECT_EQ(c.errors(), (QStringList{"-222", "-222", "-131", "-224", "-224", "-113", "-222", "-109"}));
    EXPECT_EQ(c.ask("FREQ?;:FUNC:IMP?;:APER?"), QStringLiteral("+1.000000E+04;CSD;SHOR,4"));
    EXPECT_EQ(c.ask("*ESR?"), QStringLiteral("49")); // command and execution errors, operation complete
    EXPECT_EQ(c.ask("*ESR?"), QStringLiteral("0"));

    // *RST: the power-on settings; the queue keeps ten, the last telling of overflow.
    c.s.write("*RST;*CLS\n");
    EXPECT_EQ(c.ask("FREQ?;VOLT?;FUNC:IMP?;APER?;TRIG:SOUR?;LIST:FREQ?"),
        QStringLiteral("+1.000000E+03;+1.000000E+00;CPD;MED,1;INT;"));
    c.s.write(QByteArray("NOPE;").repeated(15) + '\n');
    const QStringList overflow = c.errors();
    ASSERT_EQ(overflow.size(), 10);
    EXPECT_EQ(overflow.last(), QStringLiteral("-350"));
}

TEST(BridgeServer, OneControllerAtATimeAndHostileClientsCannotHurtIt)
{
    Rig rig;
    auto first = std::make_unique<Client>(rig.server.port());
    ASSERT_TRUE(first->connected());
    EXPECT_EQ(first->ask("*IDN?").left(11), QStringLiteral("QEL,Bridge,"));

    // A second client is told who controls, and closed.
    Client second(rig.server.port());
    EXPECT_TRUE(second.line().startsWith(QStringLiteral("ERROR: 127.0.0.1:")));
    EXPECT_TRUE(waitUntil([&] { return second.s.state() == QAbstractSocket::UnconnectedState; }));

    // A 1 MB line, binary junk: errors in the queue, the line after still answered.
    first->s.write(QByteArray(1024 * 1024, 'A') + "\n");
    QByteArray junk(4096, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 37 + 11) % 256);
    first->s.write(junk.replace('\n', ' ') + "\n");
    EXPECT_EQ(first->ask("FREQ?"), QStringLiteral("+1.000000E+03"));
    const QStringList errors = first->errors();
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_EQ(errors.first(), QStringLiteral("-363"));

    // A flood of queries never read: the unread answers stay bounded and
    // the excess is reported, not kept.
    first->s.write(QByteArray("*IDN?\n").repeated(200000));
    waitUntil([&] { return first->s.bytesToWrite() == 0; }, 30000);
    qint64 received = 0;
    EXPECT_TRUE(waitUntil([&] {
        received += first->s.readAll().size();
        return first->s.bytesAvailable() == 0 && rig.instrument.backlog() == 0 && !first->s.waitForReadyRead(200);
    }, 60000));
    EXPECT_LT(received, 200000 * 30);
    EXPECT_TRUE(first->errors().contains(QStringLiteral("-410")));

    // The controller vanishes in the middle of a list sweep: the next
    // client takes over and finds the meter answering.
    QStringList points;
    for (int i = 1; i <= 50; ++i)
        points << QString::number(i * 1000);
    const qsizetype before = rig.meter.taken.size();
    first->s.write("TRIG:SOUR BUS;:LIST:MODE SEQ;:LIST:FREQ " + points.join(QLatin1Char(',')).toLatin1() + ";:TRIG\n");
    ASSERT_TRUE(waitUntil([&] { return rig.meter.taken.size() > before; }));
    first->s.abort();
    first.reset();
    Client next(rig.server.port());
    ASSERT_TRUE(next.connected());
    EXPECT_EQ(next.ask("*OPC?"), QStringLiteral("1"));
    EXPECT_EQ(next.ask("FETC?").count(QLatin1Char(',')), 50 * 4 - 1);
    EXPECT_EQ(rig.meter.taken.size(), before + 50);
    EXPECT_TRUE(rig.log.filter(QStringLiteral("left.")).size() >= 1) << qPrintable(rig.log.join('\n'));
}

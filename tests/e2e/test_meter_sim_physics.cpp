// The simulated meter's readings: the component model seen through the
// command set, over the pseudo-terminal.

#include "../support/MeterSim.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A bare client on the line, without the program's link in between.
class RawLine
{
public:
    explicit RawLine(const QString &device)
    {
        m_fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (m_fd >= 0) {
            termios t;
            tcgetattr(m_fd, &t);
            cfmakeraw(&t);
            tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    ~RawLine()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    void send(const QByteArray &lines) { ASSERT_EQ(::write(m_fd, lines.constData(), lines.size()), lines.size()); }

    // Sends the lines and returns the one reply line (empty on time-out).
    QByteArray ask(const QByteArray &lines, int timeoutMs = 3000)
    {
        send(lines);
        QByteArray got;
        while (!got.endsWith('\n')) {
            pollfd p {m_fd, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0)
                return QByteArray();
            char c;
            if (::read(m_fd, &c, 1) != 1)
                return QByteArray();
            got += c;
        }
        return got;
    }

private:
    int m_fd = -1;
};

struct Reading
{
    double primary = NAN;
    double secondary = NAN;
    QByteArray raw;
};

// Sets the meter up and triggers once.
Reading measure(RawLine &line, const QByteArray &function, double hz, const QByteArray &circuit = "SER")
{
    Reading r;
    r.raw = line.ask("MEAS:TEST:AC\nMEAS:FREQ " + QByteArray::number(hz, 'f', 6) + "\nMEAS:FUNC:" + function
                     + "\nMEAS:EQU-CCT " + circuit + "\nMEAS:TRIG\n");
    const QList<QByteArray> parts = r.raw.trimmed().split(',');
    bool ok = false;
    r.primary = parts.value(0).toDouble(&ok);
    if (!ok)
        r.primary = NAN;
    if (parts.size() > 1)
        r.secondary = parts.at(1).toDouble();
    return r;
}

testing::AssertionResult near(double actual, double expected, double relative)
{
    if (std::fabs(actual - expected) <= std::fabs(expected) * relative)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << actual << " is not within " << relative * 100 << "% of " << expected;
}

const double kTwoPi = 2 * M_PI;

} // namespace

TEST(MeterSimPhysics, IdealCapacitor)
{
    MeterSim sim({"--component", "C=100n"});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    RawLine line(sim.devicePath());
    ASSERT_TRUE(line.isOpen());

    const Reading cd = measure(line, "C;D", 1000);
    EXPECT_TRUE(near(cd.primary, 1e-7, 1e-5)) << cd.raw.constData();
    EXPECT_LT(std::fabs(cd.secondary), 1e-9) << "a lossless capacitor has no dissipation";
    EXPECT_TRUE(QRegularExpression("^-?\\d\\.\\d{5}E[+-]\\d{2},-?\\d\\.\\d{5}E[+-]\\d{2}\\n$")
                    .match(QString::fromLatin1(cd.raw))
                    .hasMatch())
        << cd.raw.constData();

    EXPECT_TRUE(near(measure(line, "C", 1000, "PAR").primary, 1e-7, 1e-5));
    const Reading z = measure(line, "Z;Angle", 1000);
    EXPECT_TRUE(near(z.primary, 1.0 / (kTwoPi * 1000 * 1e-7), 1e-5)); // 1.59 kOhm
    EXPECT_TRUE(near(z.secondary, -90, 1e-4));
    EXPECT_TRUE(near(measure(line, "X", 1000).primary, -1591.55, 1e-5));
    EXPECT_TRUE(near(measure(line, "Y;Angle", 1000).secondary, 90, 1e-4)) << "Y's angle is Z's negated";
    EXPECT_TRUE(near(measure(line, "B", 1000).primary, kTwoPi * 1000 * 1e-7, 1e-5));
    EXPECT_TRUE(near(measure(line, "Z", 10000).primary, 159.155, 1e-5)) << "the impedance falls with frequency";

    const Reading single = measure(line, "C", 1000);
    EXPECT_TRUE(std::isnan(single.secondary)) << "no second item, no comma: " << single.raw.constData();

    const QByteArray rdc = line.ask("MEAS:TEST:RDC\nMEAS:FUNC:Rdc\nMEAS:TRIG\n");
    EXPECT_GE(rdc.trimmed().toDouble(), 1e30) << rdc.constData();
    EXPECT_FALSE(rdc.contains(','));
}

TEST(MeterSimPhysics, LossyCapacitorSeriesAndParallel)
{
    // 1 uF with 100 Ohm in series: at 1 kHz X = -159.15 Ohm, D = 0.6283.
    MeterSim sim({"--component", "C=1u,esr=100,leak=1G"});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    RawLine line(sim.devicePath());
    const double d = kTwoPi * 1000 * 1e-6 * 100;

    const Reading s = measure(line, "C;D", 1000, "SER");
    EXPECT_TRUE(near(s.primary, 1e-6, 1e-4));
    EXPECT_TRUE(near(s.secondary, d, 1e-4));
    const Reading q = measure(line, "C;Q", 1000, "SER");
    EXPECT_TRUE(near(q.secondary, 1 / d, 1e-4));
    const Reading rs = measure(line, "C;R", 1000, "SER");
    EXPECT_TRUE(near(rs.secondary, 100, 1e-4));

    const Reading p = measure(line, "C;D", 1000, "PAR");
    EXPECT_TRUE(near(p.primary, 1e-6 / (1 + d * d), 1e-4)) << "Cp = Cs / (1 + D^2)";
    EXPECT_TRUE(near(p.secondary, d, 1e-4)) << "D does not depend on the circuit";
    const Reading rp = measure(line, "C;R", 1000, "PAR");
    EXPECT_TRUE(near(rp.secondary, 100 * (1 + 1 / (d * d)), 1e-4)) << "Rp = Rs (1 + Q^2)";
    const Reading g = measure(line, "C;G", 1000, "PAR");
    EXPECT_TRUE(near(g.secondary, 1 / rp.secondary, 1e-4));

    const QByteArray rdc = line.ask("MEAS:TEST:RDC\nMEAS:FUNC:Rdc\nMEAS:TRIG\n");
    EXPECT_TRUE(near(rdc.trimmed().toDouble(), 1e9 + 100, 1e-6)) << "leakage and esr in series at DC";
}

TEST(MeterSimPhysics, CapacitorSelfResonance)
{
    // 100 nF with 10 nH of leads resonates at 1/(2 pi sqrt(LC)) = 5.03 MHz.
    MeterSim sim({"--component", "C=100n,esr=0.02,esl=10n"});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    RawLine line(sim.devicePath());
    const double f0 = 1 / (kTwoPi * std::sqrt(10e-9 * 100e-9));

    const Reading below = measure(line, "X;Angle", f0 / 10);
    const Reading at = measure(line, "Z;Angle", f0);
    const Reading above = measure(line, "X;Angle", f0 * 10);
    EXPECT_LT(below.primary, 0);
    EXPECT_NEAR(below.secondary, -90, 0.5);
    EXPECT_TRUE(near(at.primary, 0.02, 1e-3)) << "only the esr is left at resonance";
    EXPECT_NEAR(at.secondary, 0, 0.5);
    EXPECT_GT(above.primary, 0);
    EXPECT_NEAR(above.secondary, 90, 0.5);

    // Below resonance the apparent capacitance rises: C / (1 - (f/f0)^2).
    const double f = f0 / 2;
    EXPECT_TRUE(near(measure(line, "C", f).primary, 100e-9 / (1 - 0.25), 1e-3));
    EXPECT_TRUE(near(measure(line, "L", f0 * 10).primary, 10e-9 * (1 - 0.01), 1e-3));
}

TEST(MeterSimPhysics, InductorAndResistor)
{
    {
        MeterSim sim({"--component", "L=1m,rw=0.5,cp=20p"});
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        RawLine line(sim.devicePath());
        const Reading l = measure(line, "L;Q", 1000);
        EXPECT_TRUE(near(l.primary, 1e-3, 1e-4));
        EXPECT_TRUE(near(l.secondary, kTwoPi * 1000 * 1e-3 / 0.5, 1e-3));
        EXPECT_GT(measure(line, "X", 1000).primary, 0);
        EXPECT_LT(measure(line, "B", 1000).primary, 0) << "an inductor's susceptance is negative";
        // Past its resonance (1.125 MHz) the coil looks like a capacitor.
        EXPECT_LT(measure(line, "X", 5e6).primary, 0);
        EXPECT_TRUE(near(line.ask("MEAS:TEST:RDC\nMEAS:TRIG\n").trimmed().toDouble(), 0.5, 1e-6));
    }
    {
        MeterSim sim({"--component", "R=100"});
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        RawLine line(sim.devicePath());
        const Reading z = measure(line, "Z;Angle", 1000);
        EXPECT_TRUE(near(z.primary, 100, 1e-9));
        EXPECT_NEAR(z.secondary, 0, 1e-9);
        EXPECT_TRUE(near(measure(line, "Y", 1000).primary, 0.01, 1e-9));
        EXPECT_TRUE(near(line.ask("MEAS:FUNC:Rdc\nMEAS:TRIG\n").trimmed().toDouble(), 100, 1e-9));
    }
}

TEST(MeterSimPhysics, SettingsPersistAndBadSettingsAreIgnored)
{
    MeterSim sim({"--component", "C=100n"});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    RawLine line(sim.devicePath());

    EXPECT_EQ(line.ask("MEAS:FUNC?\n"), QByteArray("C;D\n")) << "power-on function";
    line.send("meas:func:z;angle\nMEAS:FREQ abc\nMEAS:FUNC:Q\nMEAS:EQU-CCT XYZ\nMEAS:SPEED FAST\n");
    EXPECT_EQ(line.ask("MEAS:FUNC?\n"), QByteArray("Z;Angle\n")) << "headers are case-insensitive";
    EXPECT_EQ(line.ask("MEAS:FREQ?\n"), QByteArray("1.00000E+03\n")) << "a bad number leaves the frequency";
    EXPECT_EQ(line.ask("MEAS:EQU-CCT?\n"), QByteArray("SER\n"));
    EXPECT_EQ(line.ask("MEAS:SPEED?\n"), QByteArray("FAST\n"));
    EXPECT_EQ(line.ask("*IDN?\n").contains("44"), true);
    // Set commands are silent: the next reply is the trigger's.
    EXPECT_TRUE(line.ask("MEAS:LEV 0.500000\nMEAS:TRIG\n").startsWith("1.59155E+03,"));
}

TEST(MeterSimPhysics, NoiseIsRepeatableForASeed)
{
    auto readings = [](const QString &seed) {
        MeterSim sim({"--component", "C=100n", "--noise", "0.001", "--seed", seed});
        RawLine line(sim.devicePath());
        QList<double> out;
        for (int i = 0; i < 5; ++i)
            out << line.ask("MEAS:TRIG\n").split(',').at(0).toDouble();
        return out;
    };
    const QList<double> a = readings("3"), b = readings("3"), c = readings("4");
    ASSERT_EQ(a.size(), 5);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    for (double v : a)
        EXPECT_TRUE(near(v, 1e-7, 0.01)) << "0.1 % noise stays well inside 1 %";
    EXPECT_NE(a.at(0), a.at(1)) << "noise varies from reading to reading";
}

TEST(MeterSimPhysics, MeasuringTimeAndPacingDelayTheReply)
{
    // Lower bounds only: the reply may come later on a busy machine, never earlier.
    MeterSim sim({"--meas-time", "FAST=200", "--meas-time", "MAX=0", "--pace", "--baud", "1200"}, false);
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    RawLine line(sim.devicePath());
    ASSERT_FALSE(line.ask("MEAS:SPEED FAST\nMEAS:TRIG\n").isEmpty());
    ASSERT_FALSE(line.ask("MEAS:SPEED MAX\nMEAS:TRIG\n").isEmpty());
    // The simulator logs a reply just after writing it: wait for the entry.
    ASSERT_TRUE(sim.waitForLog([](const QList<MeterSim::Entry> &log) {
        int sent = 0;
        for (const MeterSim::Entry &e : log)
            sent += e.kind == '<';
        return sent >= 2;
    }));

    QList<double> trig, reply;
    for (const MeterSim::Entry &e : sim.entries()) {
        if (e.kind == '>' && e.bytes == "MEAS:TRIG")
            trig << e.time;
        if (e.kind == '<')
            reply << e.time;
    }
    ASSERT_EQ(trig.size(), 2);
    ASSERT_EQ(reply.size(), 2);
    const double charTime = 10.0 / 1200;
    // Measuring time, then the trigger's own 10 bytes and the 24-byte reply at 1200 baud.
    EXPECT_GE(reply[0] - trig[0], 0.200 + 24 * charTime);
    EXPECT_GE(reply[1] - trig[1], 24 * charTime);
}

TEST(MeterSimPhysics, BadComponentIsRefusedWithAReason)
{
    QProcess p;
    p.start(MeterSim::program(), {"--component", "Q=5"});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("C=, L= or R="));
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty()) << "no device is offered";

    p.start(MeterSim::program(), {"--help"});
    ASSERT_TRUE(p.waitForFinished(5000));
    const QByteArray help = p.readAllStandardOutput();
    for (const char *word : {"--component", "--log", "--zero-time", "--pace", "--no-idn", "--split", "--flood-after",
                             "--hangup-after", "--nul-every", "--garbage-every", "--ack", "--drop-every", "--link"})
        EXPECT_TRUE(help.contains(word)) << word;
}

TEST(MeterSimPhysics, LinkPathFollowsTheDevice)
{
    const QString link = QDir::tempPath() + "/qel-meter-test-" + QString::number(QCoreApplication::applicationPid());
    {
        MeterSim sim({"--link", link});
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.devicePath());
        RawLine line(link);
        EXPECT_TRUE(line.ask("*IDN?\n").contains("44"));
    }
    EXPECT_FALSE(QFileInfo::exists(link)) << "the link goes with the simulator";
}

namespace {

// Primary readings of n triggers (secondary too, if asked).
QList<double> triggers(RawLine &line, int n, QList<double> *secondary = nullptr)
{
    QList<double> out;
    for (int i = 0; i < n; ++i) {
        const QList<QByteArray> parts = line.ask("MEAS:TRIG\n").trimmed().split(',');
        out << parts.value(0).toDouble();
        if (secondary)
            *secondary << parts.value(1).toDouble();
    }
    return out;
}

double sampleStdev(const QList<double> &v)
{
    double mean = 0;
    for (double x : v)
        mean += x / v.size();
    double ss = 0;
    for (double x : v)
        ss += (x - mean) * (x - mean);
    return std::sqrt(ss / (v.size() - 1));
}

} // namespace

TEST(MeterSimParts, PartsChangeEveryNTriggersAndRepeatForASeed)
{
    auto run = [](const QString &seed, QList<double> *d) {
        MeterSim sim({"--component", "C=100n,esr=0.5", "--spread", "C=2%,esr=10%", "--part-every", "3", "--seed", seed});
        EXPECT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        RawLine line(sim.devicePath());
        return triggers(line, 12, d);
    };
    QList<double> d1, d2, d3;
    const QList<double> a = run("5", &d1), b = run("5", &d2), c = run("6", &d3);
    ASSERT_EQ(a.size(), 12);
    EXPECT_EQ(a, b);
    EXPECT_EQ(d1, d2);
    EXPECT_NE(a, c);
    for (int part = 0; part < 4; ++part) {
        // No noise: the three triggers of a part read it identically.
        EXPECT_EQ(a[3 * part], a[3 * part + 1]);
        EXPECT_EQ(a[3 * part], a[3 * part + 2]);
        EXPECT_EQ(d1[3 * part], d1[3 * part + 2]);
        EXPECT_TRUE(near(a[3 * part], 1e-7, 0.12)) << a[3 * part];
    }
    EXPECT_NE(a[0], a[3]);
    EXPECT_NE(d1[0], d1[3]) << "the esr varies too, so D does";
}

TEST(MeterSimParts, NoiseGrowsWithSpeedAndSpreadsFollowTheirLaw)
{
    {
        MeterSim sim({"--component", "C=100n", "--noise", "1%", "--seed", "2"});
        RawLine line(sim.devicePath());
        line.send("MEAS:SPEED SLOW\n");
        const double slow = sampleStdev(triggers(line, 200));
        line.send("MEAS:SPEED FAST\n");
        const double fast = sampleStdev(triggers(line, 200));
        // 0.5 % and 2 % of 100 nF: a factor four, allowing for sampling.
        EXPECT_TRUE(near(slow, 0.5e-9, 0.2)) << slow;
        EXPECT_TRUE(near(fast, 2e-9, 0.2)) << fast;
    }
    {
        MeterSim sim({"--component", "C=100n", "--spread", "C=1%", "--uniform", "--seed", "3"});
        RawLine line(sim.devicePath());
        const QList<double> v = triggers(line, 300);
        for (double x : v)
            EXPECT_TRUE(near(x, 1e-7, 0.0100001)) << x;
        // Uniform within +-1 %: sigma 1 % / sqrt(3).
        EXPECT_TRUE(near(sampleStdev(v), 1e-9 / std::sqrt(3.0), 0.15)) << sampleStdev(v);
    }
    {
        MeterSim sim({"--component", "C=100n", "--drift", "C=1%", "--outliers", "50%", "--outlier-size", "30%"});
        RawLine line(sim.devicePath());
        const QList<double> v = triggers(line, 40);
        int outliers = 0;
        for (int k = 0; k < v.size(); ++k) {
            const double drifted = 1e-7 * (1 + 0.01 * k);
            if (near(v[k], drifted, 1e-5))
                continue;
            ++outliers;
            EXPECT_TRUE(near(v[k], drifted * 1.3, 1e-5) || near(v[k], drifted * 0.7, 1e-5)) << k << " " << v[k];
        }
        EXPECT_GT(outliers, 8);
        EXPECT_LT(outliers, 32);
    }
}

TEST(MeterSimParts, BadSpreadIsRefusedWithAReason)
{
    for (const QStringList &args : {QStringList{"--spread", "esr=abc"}, QStringList{"--spread", "L=2%"},
                                    QStringList{"--noise", "-1%"}, QStringList{"--outliers", "150%"}}) {
        QProcess p;
        p.start(MeterSim::program(), QStringList{"--component", "C=100n"} + args);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_TRUE(err.startsWith("qel-meter-sim: --")) << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    }
}

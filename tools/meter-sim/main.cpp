// qel-meter-sim: a simulated impedance meter on a pseudo-terminal.

#include "CommandInterpreter.h"
#include "ComponentModel.h"
#include "FaultPlan.h"
#include "PartPlan.h"
#include "PtyMeter.h"
#include "ScpiInterpreter.h"
#include "SimLog.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

const char *const kDescription = R"(A simulated impedance (LCR) meter for Qel, on a pseudo-terminal.

The first line printed on standard output is the device to open, for example
/dev/pts/7; with --link a fixed symlink points to it as well. With --tcp PORT
it serves on 127.0.0.1:PORT instead (0: a free port), one client at a time,
and the first line is tcp://127.0.0.1:PORT. The simulator keeps running when
a client closes the line, so the program can reconnect. SIGINT or SIGTERM
end it.

--profile chooses the command set (default legacy, described below):
  scpi-lcr        LF; *IDN?, :TRIG:SOUR BUS, :FREQ <Hz>, :VOLT <V>, :CURR <A>,
                  :FUNC:IMP CSD|CSQ|CSRS|CPD|CPQ|CPRP|CPG|LSD|LSQ|LSRS|LPD|LPQ|
                  LPRP|LPG|ZTD|YTD|RX|GB, :APER SHOR|MED|LONG; *TRG answers
                  <A>,<B>,<status> in NR3 (+1.00000E-07,+1.23456E-03,+0);
                  status +1 is an overload (values 9.9E37). RX and GB give
                  R and G as A. Identification "...LCR-E2000...".
  scpi-lcr-slots  CR LF; *IDN?, :TRIG EXT, :FREQ, :LEV V|CC, :LEV:VOLT,
                  :LEV:CURR, :PAR1 CS|CP|LS|LP|Z|Y|X|B|RDC, :PAR2 D|Q|RS|RP|G|
                  PHASE|OFF, :SPEE FAST|MED|SLOW; "*TRG;:MEAS?" answers
                  <PAR1>[,<PAR2>]. Identification "...LCR-S300...".
--status-at N --status-code C (scpi-lcr): the Nth trigger answers status C.

Commands (one a line, ended by a line feed):
  *IDN?                     the identification (contains the model digits 44)
  *LOC, *RST                silent (RST restores the power-on settings)
  MEAS:FREQ <Hz>            silent; also MEAS:LEV <V>, MEAS:FUNC:<p>[;<s>],
  MEAS:EQU-CCT SER|PAR      MEAS:SPEED SLOW|MED|FAST|MAX, MEAS:TEST:RDC|AC
  MEAS:TRIG                 one reply line: primary[,secondary] in base units,
                            e.g. 1.00000E-07,1.23456E-04 (with --engineering
                            100.000E-09,123.456E-06, so the exponent names
                            a unit prefix)
  MEAS:FREQ? ... MEAS:TEST? the current setting
Primary items C L X B Z Y Rdc; secondary items off Q D R G Angle. Series
quantities come from Z = R + jX, parallel ones from Y = 1/Z = G + jB; X and B
are signed, Z and Y magnitudes, Angle in degrees. Rdc (or test mode RDC)
reads the DC resistance, without a second item. An infinite value reads as
9.90000E+37. Power-on settings: 1 kHz, 1 V, C;D, SER, MED, AC.

The component (--component):
  C=<F>[,esr=<Ohm>][,esl=<H>][,leak=<Ohm>]   capacitor; esr, esl in series,
                                             leak across it
  L=<H>[,rw=<Ohm>][,cp=<F>]                  inductor; winding resistance,
                                             capacitance across it
  R=<Ohm>[,ls=<H>][,cp=<F>]                  resistor; lead inductance,
                                             capacitance across it
  Values take p n u m k K M G suffixes or an exponent, e.g.
  --component C=100n,esr=0.05,esl=10n   (self-resonant near 5 MHz)

Timing: each trigger takes the measuring time of the current speed
(default SLOW 400, MED 150, FAST 60, MAX 25 ms; change with --meas-time).
With --pace, bytes cross the line at the rate the client set on it (or
--baud), 1 start + data + parity + stop bits each, in both directions.
--zero-time answers at once without pacing, for tests and benchmarks.

The log (--log FILE) has one entry a line, flushed at once:
  <seconds> > <text>   a command received with its line feed
  <seconds> + <text>   bytes received without a line feed
  <seconds> < <text>   bytes sent (a line feed shows as \n)
  <seconds> # <text>   a note: client opened or closed the line, hang-up
Bytes outside printable ASCII are escaped: \\ \r \n \t \xHH.

Faults (counts run from the first trigger after start):
  --no-idn, --idn-delay MS        never / late identification
  --drop-every N                  no reply to every Nth trigger
  --split N --split-pause MS      each reply in N pieces with pauses
  --nul-every N                   a NUL byte inside every Nth reply
  --garbage-every N               junk bytes (--garbage-bytes) before it
  --ack TEXT                      answer every set command with a line
  --hangup-after N                close the line after the Nth reply
  --flood-after N                 from the Nth trigger on, endless bytes
                                  without a line feed

Parts that vary and readings that scatter (all repeatable with --seed):
  --spread C=2%,esr=10%           each part's values drawn around the
                                  component's: normal with that relative
                                  standard deviation, or with --uniform
                                  evenly within +-that fraction; names as in
                                  --component (C L R esr esl leak rw cp ls);
                                  a plain number is a fraction (C=0.02)
  --part-every N                  a new part every N triggers (default 1;
                                  the number of steps of a pass tests one
                                  part per pass)
  --drift C=0.01%                 part k's value moves by k times that
  --outliers 1%                   that fraction of parts is off by
                                  --outlier-size (default 20%) either way
  --noise 0.1%                    measurement noise: normal, relative, on
                                  every reading; times 0.5 at SLOW, 1 at MED,
                                  2 at FAST, 4 at MAX (a plain number is a
                                  fraction: 0.001)
Without --spread, --drift, --outliers and --noise every trigger reads the
same component exactly.)";

bool positive(const QCommandLineParser &p, const QString &name, int *out)
{
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < 0) {
        std::fprintf(stderr, "qel-meter-sim: --%s needs a whole number of 0 or more\n", qPrintable(name));
        return false;
    }
    *out = v;
    return true;
}

bool applyMeasureTime(const QString &setting, MeterTiming *timing)
{
    const int eq = setting.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    const QString speed = setting.left(eq).trimmed().toUpper();
    bool ok = false;
    const double ms = setting.mid(eq + 1).toDouble(&ok);
    if (!ok || ms < 0)
        return false;
    const QStringList names {"SLOW", "MED", "FAST", "MAX"};
    const int i = names.indexOf(speed);
    if (i < 0)
        return false;
    timing->measureSeconds[i] = ms / 1000.0;
    return true;
}

void makeLink(const std::string &link, const std::string &target)
{
    // Replace atomically so a client never sees the link missing.
    const std::string tmp = link + ".tmp" + std::to_string(getpid());
    ::unlink(tmp.c_str());
    if (::symlink(target.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "qel-meter-sim: cannot create the link %s: %s\n", link.c_str(), std::strerror(errno));
        ::unlink(tmp.c_str());
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qel-meter-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QEL_VERSION));

    QCommandLineParser p;
    p.setApplicationDescription(QString::fromUtf8(kDescription));
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({
        {"component", "The component under test (default C=100n).", "model", "C=100n"},
        {"idn", "The identification reply.", "text"},
        {"profile", "The command set: legacy, scpi-lcr or scpi-lcr-slots.", "name", "legacy"},
        {"tcp", "Serve on 127.0.0.1:PORT instead of a pseudo-terminal (0: any free port).", "port"},
        {"status-at", "The Nth trigger answers with --status-code (scpi-lcr).", "n"},
        {"status-code", "The status of that trigger, e.g. -1 (default), 3, 4.", "code", "-1"},
        {"log", "Log every byte received and sent to this file.", "file"},
        {"link", "Keep a symlink at this path pointing to the device.", "path"},
        {"zero-time", "No measuring time and no pacing."},
        {"engineering", "Write readings in engineering notation (100.000E-09) instead of 1.00000E-07."},
        {"meas-time", "Measuring time of a speed, e.g. FAST=10 (repeatable).", "speed=ms"},
        {"pace", "Pace bytes at the line's rate."},
        {"baud", "The rate to pace at, instead of the client's.", "rate"},
        {"noise", "Relative noise on every reading at MED, e.g. 0.1% or 0.001.", "fraction"},
        {"seed", "Seed of the parts, the noise and the junk bytes (default 1).", "n", "1"},
        {"spread", "Part-to-part spread per value, e.g. C=2%,esr=10%.", "name=pct,..."},
        {"uniform", "Spread evenly within +-the amount instead of normally."},
        {"part-every", "A new part every N triggers (default 1).", "n"},
        {"drift", "Relative change per part, e.g. C=0.01%.", "name=pct,..."},
        {"outliers", "Fraction of parts that are outliers, e.g. 1%.", "fraction"},
        {"outlier-size", "How far an outlier's main value is off (default 20%).", "fraction"},
        {"once", "Exit when the first client closes the line."},
        {"no-idn", "Never answer *IDN?."},
        {"idn-delay", "Answer *IDN? this many ms late.", "ms"},
        {"drop-every", "Send no reply to every Nth trigger.", "n"},
        {"split", "Send each reply in N pieces.", "n"},
        {"split-pause", "Pause between reply pieces (default 20).", "ms"},
        {"nul-every", "Put a NUL byte inside every Nth reply.", "n"},
        {"garbage-every", "Send junk bytes before every Nth reply.", "n"},
        {"garbage-bytes", "How many junk bytes (default 8).", "n"},
        {"ack", "Answer every set command with this line.", "text"},
        {"hangup-after", "Close the line after the Nth trigger's reply.", "n"},
        {"flood-after", "From the Nth trigger on, send bytes without a line feed.", "n"},
    });
    p.process(app);

    ComponentModel component;
    std::string error;
    if (!ComponentModel::parse(p.value("component").toStdString(), &component, &error)) {
        std::fprintf(stderr, "qel-meter-sim: %s\n", error.c_str());
        return 2;
    }

    FaultOptions faults;
    faults.noIdentification = p.isSet("no-idn");
    faults.acknowledge = p.value("ack").toStdString();
    if (!positive(p, "idn-delay", &faults.identificationDelayMs) || !positive(p, "drop-every", &faults.dropEvery)
        || !positive(p, "split", &faults.splitPieces) || !positive(p, "split-pause", &faults.splitPauseMs)
        || !positive(p, "nul-every", &faults.nulEvery) || !positive(p, "garbage-every", &faults.garbageEvery)
        || !positive(p, "garbage-bytes", &faults.garbageBytes) || !positive(p, "hangup-after", &faults.hangupAfter)
        || !positive(p, "flood-after", &faults.floodAfter))
        return 2;

    MeterTiming timing;
    timing.pace = p.isSet("pace");
    if (!positive(p, "baud", &timing.baud))
        return 2;
    for (const QString &setting : p.values("meas-time")) {
        if (!applyMeasureTime(setting, &timing)) {
            std::fprintf(stderr, "qel-meter-sim: --meas-time wants SLOW|MED|FAST|MAX=ms, got %s\n", qPrintable(setting));
            return 2;
        }
    }
    MeterReading::setEngineeringNotation(p.isSet("engineering"));
    if (p.isSet("zero-time")) {
        for (double &s : timing.measureSeconds)
            s = 0;
        timing.pace = false;
    }

    double noise = 0.0;
    if (p.isSet("noise") && !PartOptions::parseRelative(p.value("noise").toStdString(), &noise)) {
        std::fprintf(stderr, "qel-meter-sim: --noise needs a fraction of 0 or more (0.001 or 0.1%%)\n");
        return 2;
    }
    const unsigned seed = p.value("seed").toUInt();

    PartOptions parts;
    parts.uniform = p.isSet("uniform");
    for (const char *name : {"spread", "drift"}) {
        if (!p.isSet(name))
            continue;
        PartOptions::Amounts *out = std::string(name) == "spread" ? &parts.spread : &parts.drift;
        if (!PartOptions::parseAmounts(p.value(name).toStdString(), component.kind, out, &error)) {
            std::fprintf(stderr, "qel-meter-sim: --%s: %s\n", name, error.c_str());
            return 2;
        }
    }
    if (!positive(p, "part-every", &parts.partEvery))
        return 2;
    for (const char *name : {"outliers", "outlier-size"}) {
        double *out = std::string(name) == "outliers" ? &parts.outlierFraction : &parts.outlierSize;
        if (p.isSet(name) && !PartOptions::parseRelative(p.value(name).toStdString(), out)) {
            std::fprintf(stderr, "qel-meter-sim: --%s needs a fraction of 0 or more (0.01 or 1%%)\n", name);
            return 2;
        }
    }
    if (parts.outlierFraction > 1) {
        std::fprintf(stderr, "qel-meter-sim: --outliers cannot exceed 100%%\n");
        return 2;
    }

    SimLog log;
    if (p.isSet("log") && !log.open(p.value("log").toStdString(), &error)) {
        std::fprintf(stderr, "qel-meter-sim: %s\n", error.c_str());
        return 2;
    }

    const QString profile = p.value("profile");
    std::unique_ptr<CommandInterpreter> owned;
    if (profile == QLatin1String("legacy")) {
        owned = std::make_unique<CommandInterpreter>(component,
            p.isSet("idn") ? p.value("idn").toStdString() : std::string("QEL,SIMULATED LCR-4410,SIM0001,1.00"));
    } else if (profile == QLatin1String("scpi-lcr") || profile == QLatin1String("scpi-lcr-slots")) {
        const bool slotted = profile == QLatin1String("scpi-lcr-slots");
        const std::string id = p.isSet("idn") ? p.value("idn").toStdString()
            : slotted ? std::string("QEL,SIMULATED LCR-S300,SIM0003,1.00") : std::string("QEL,SIMULATED LCR-E2000,SIM0002,1.00");
        auto scpi = std::make_unique<ScpiInterpreter>(slotted ? ScpiInterpreter::Dialect::Slots : ScpiInterpreter::Dialect::Lcr,
            component, id);
        int at = 0;
        if (!positive(p, "status-at", &at))
            return 2;
        bool ok = false;
        const int code = p.value("status-code").toInt(&ok);
        if (!ok) {
            std::fprintf(stderr, "qel-meter-sim: --status-code needs a whole number\n");
            return 2;
        }
        scpi->setStatusFault(at, code);
        owned = std::move(scpi);
    } else {
        std::fprintf(stderr, "qel-meter-sim: --profile must be legacy, scpi-lcr or scpi-lcr-slots\n");
        return 2;
    }
    CommandInterpreter &interpreter = *owned;
    interpreter.setNoise(noise, seed);
    PartPlan partPlan(component, parts, seed);
    if (parts.varies())
        interpreter.setParts(&partPlan);
    FaultPlan plan(faults, seed);
    PtyMeter meter(interpreter, plan, timing, log);
    int tcpPort = -1;
    if (p.isSet("tcp")) {
        bool ok = false;
        tcpPort = p.value("tcp").toInt(&ok);
        if (!ok || tcpPort < 0 || tcpPort > 65535) {
            std::fprintf(stderr, "qel-meter-sim: --tcp needs a port from 0 to 65535\n");
            return 2;
        }
    }
    if (tcpPort >= 0 ? !meter.openTcp(tcpPort, &error) : !meter.open(&error)) {
        std::fprintf(stderr, "qel-meter-sim: %s\n", error.c_str());
        return 1;
    }

    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal; // no SA_RESTART: poll must wake up
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const std::string link = p.value("link").toStdString();
    if (!link.empty() && tcpPort < 0)
        makeLink(link, meter.devicePath());

    std::printf("%s\n", meter.devicePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "qel-meter-sim: %s on %s\n", component.describe().c_str(), meter.devicePath().c_str());
    log.note("device " + meter.devicePath() + ", " + component.describe());

    const int rc = meter.run(&g_stop, p.isSet("once"));
    if (!link.empty())
        ::unlink(link.c_str());
    return rc;
}

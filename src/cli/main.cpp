#include "cli/CliCommands.h"

#include <QGuiApplication>
#include <QDir>
#include <QFile>

#include <unistd.h>

#include <cstdio>

namespace {

const char *const Help = R"(qel-cli: headless automation of Qel (runs, sweeps, files, exports, reports)

Usage:
  qel-cli show FILE [--procedure PRO]
      Prints a .pro, .rpt or .pic file as JSON (UTF-8) on stdout:
        procedure: {"type":"procedure","steps":[{"Step":"1","F-Item":"C",...,"Delay":"0"}]}
        report:    {"type":"report","rowCount":N,"rows":[[cell,...]],"dates":[...],"times":[...]}
                   with --procedure also "columns":["Seq.","C1","P/F",...]
                   (a row not ending in a line feed is one raw string)
        plot:      {"type":"plot","rowCount":N,"columnCount":K,"firstItem":"C",
                    "secondItem":"off","spare":"10","rows":[[cell,...]]}
  qel-cli convert IN OUT
      From that JSON to the binary file and back, by the names' types
      (.json <-> .pro/.rpt/.pic). A round trip keeps the file byte for byte.
  qel-cli run PROCEDURE.pro --port DEVICE [--meter PROFILE|auto] [--settings 9600,n,8,1] [--loops N]
              [--serials FILE]
              [--report OUT.rpt] [--stats OUT.json] [--reply-timeout MS] [--db URL | --no-db]
              [--operator NAME] [--company C] [--customer C] [--instrument I]
              [--part-no P] [--lot-no L] [--quantity Q] [--remark R]
              [--bins PLAN.json]
      Connects as the program does (identification included; DEVICE is a
      path, relative ones from the working folder, or a name under /dev),
      runs N passes
      (default 1), prints a header line (column titles, "Date", "Time") and one
      tab-separated line per completed row, and writes the report file if asked.
      --stats writes the statistics of the run's rows, from the readings as
      judged (as qel-cli stats --json prints them).
      --bins sorts every row by a bin plan (docs/bins.md) and prints its bin
      (BIN1..BIN9, AUX, OUT) in a last column "Bin".
      Every row is recorded in the results database as it is judged (see
      "Results history" below); the texts go into the run's record.
      --serials: one part serial number a line (blanks around it and blank
      lines left out); one pass a serial, each row recorded with its serial.
      --loops, if given too, must equal the number of serials (otherwise
      refused before the meter is touched). A serial listed twice, or
      already recorded in the --lot-no lot, is warned about on stderr and
      measured all the same.
  qel-cli sweep --port DEVICE [--meter PROFILE|auto] [--settings ...] --item C [--second off]
              [--circuit SER] [--speed MED] --kind freq|volt --start 20 --end 100
              --points 10 [--unit Hz] [--fixed-freq 20 --fixed-freq-unit Hz]
              [--fixed-level 10 --fixed-level-unit mV] [--draws K] [--pic OUT.pic]
              [--xlsx OUT.xlsx] [--png OUT.png] [--reply-timeout MS]
              [--db URL | --no-db] [--operator NAME]
              [--log] [--log-y] [--csv OUT.csv] [--mask MASK.json]
      Runs K Draws (default 1; at most 4, or 2 with a second item, as the
      graph has four lines) of a frequency or voltage sweep, prints the
      result list as tab-separated lines (titles first), and writes the plot
      file, the sweep export and the graph picture when asked.
      --log steps geometrically from Start to End (both above 0) and draws the
      picture's X axis logarithmic; --log-y draws its Y axes logarithmic.
      --csv writes the result list as CSV. --mask judges every point against
      the limit lines of a mask file (docs/sweep-mask.md): exit 1 when a point
      fails, each failing point named on stderr.
  qel-cli meters [--json]
      The meter profiles found: the built-in legacy one, the installed ones
      and the user's (~/.local/share/Qel/meters, a file of the same name
      wins); --json prints [{"name","file","identity","terminator","items",
      "transports"}]. A broken profile file is named on stderr and left out.
  qel-cli export REPORT.rpt --procedure PROCEDURE.pro [--xlsx OUT.xlsx]
              [--csv OUT.csv] [--bins PLAN.json]
      The result export to a workbook file (the results sheet, then a sheet
      "Statistics"; with --bins a sheet "Bins" after it), a CSV file (UTF-8,
      the title row and the data rows), or both.
  qel-cli print REPORT.rpt --procedure PROCEDURE.pro --pdf OUT.pdf [--title T]
              [--company C] [--customer C] [--instrument I] [--date D]
              [--part-no P] [--lot-no L] [--quantity Q] [--remark R] [--statistics]
              [--bins PLAN.json]
      The printed test report, to PDF; --statistics adds a statistics page
      after the report's last page, --bins a page of the bin counts after
      that.
  qel-cli stats REPORT.rpt --procedure PROCEDURE.pro [--json]
              [--control [--subgroup N] [--baseline K | --limits FILE]]
      Statistics of the report's result columns: count, mean, sample standard
      deviation, minimum, maximum, Cp, Cpk, fails and yield per measured item,
      and the first-pass yield of the rows. --json prints
        {"rows":N,"firstPassYield":F,"columns":[{"step":1,"item":"C","n":N,
         "mean":..,"stdev":..,"min":..,"max":..,"cp":..,"cpk":..,"fails":N,
         "yield":F},...]}
      in SI base units (D and Q plain), yields as fractions, null where a
      figure is undefined. Formulas: docs/statistics.md.
      --control adds each column's control chart: I-MR, or X-bar R over
      subgroups of N consecutive readings (2..10); limits from all points,
      the first K subgroups, or a limits file; Western Electric rules 1-4:
        "control":{"chart":"I-MR"|"Xbar-R","subgroup":N,"center":..,"ucl":..,
         "lcl":..,"rangeCenter":..,"rangeUcl":..,"rangeLcl":..,
         "violations":[{"point":I,"rule":R},...]}
      (I: 0-based subgroup). Formulas and the limits file: docs/bins.md.
  qel-cli bins REPORT.rpt --procedure PROCEDURE.pro --bins PLAN.json [--json]
      Counts the report's rows by bin plan (docs/bins.md); --json prints
        {"rows":N,"bins":[{"name":"BIN1","low":..,"high":..,"count":N,
         "share":F},...],"aux":{"count":N,"share":F},"out":{"count":N,"share":F}}
      (low, high in SI base units; share = count / rows).
  qel-cli print-graph PLOT.pic --pdf OUT.pdf [--landscape] [--description TEXT]
              [--log-x] [--log-y]
      The graph print, to PDF ("<newline>" in TEXT breaks a line); --log-x and
      --log-y draw the X or the Y axes logarithmic.
  qel-cli fit PLOT.pic --model capacitor|inductor|resistor [--draw N] [--json]
              [--circuit SER|PAR]
      Fits an equivalent circuit to draw N (default: the first whose two items
      fix the impedance) of a frequency sweep: capacitor C, ESR, ESL in series;
      inductor L, R in series with Cp across; resistor R, Ls in series with Cp
      across. Prints each value with its standard uncertainty, the
      self-resonant frequency and the residual; --json prints
        {"model":"capacitor","points":N,"parameters":{"C":{"value":V,
         "uncertainty":U},"ESR":{...},"ESL":{...}},"srf":HZ,"residual":R}
      in SI base units. --circuit: how C or L readings with R were measured
      (default SER). A sweep that cannot determine the model is refused (2).
  qel-cli history runs [--db URL] [--since ISO-DATE] [--until ISO-DATE]
              [--procedure NAME] [--lot LOT] [--station HOST] [--serial S] [--json]
      Recorded runs, newest first: a header line and one tab-separated line a
      run, or a JSON array of {"id","started","finished","station","operator",
      "meter","procedure","lot","rows","fails","outcome"}; outcome is
      completed, stopped, meter-lost, timeout or recording-interrupted
      (then "unrecorded": the rows that could not be recorded); null while
      unknown. A run on a meter profile other than legacy adds
      "meterProfile".
  qel-cli history rows (RUN-ID | --lot LOT | --serial S | --since ISO-DATE ...)
              [--db URL] (--json | --csv OUT | --xlsx OUT)
      The rows of the selected runs with their readings and verdicts. JSON:
      [{"run":ID,"seq":N,"measuredAt":ISO-TIME,"verdict":"pass"|"fail",
        "cells":[{"step":N,"item":"C","text":"100nF","value":1e-07,
                  "verdict":"pass"|"fail"|""},...],"serial":S|null,"bin":B|null},...]
      (value in SI base units, null without a number; serial: the part's,
      null when none was named; bin: the row's bin when the run sorted by a
      bin plan (run --bins), else null). CSV/XLSX: run, seq, measuredAt, verdict,
      then per step and item its text, value and P/F. OUT "-" is stdout.
      --serial S: every row of that part (in every run; with runs, the runs
      that measured it).
  qel-cli history report RUN-ID --rpt OUT.rpt --pro OUT.pro [--db URL]
      A recorded run written again as a procedure file and a report file
      (the run's rows, dated as the run dated them in this machine's time
      zone), the bytes the run's own save would have written. The report
      name must begin with the procedure's name, so the pair opens together.
  qel-cli history sync --db URL
      Forwards the rows waiting in the local spool for that server and says
      how many went.
  qel-cli history stats (RUN-ID | --lot LOT | --since ISO-DATE ...) [--db URL]
              [--json] [--control [--subgroup N] [--baseline K | --limits FILE]]
      The statistics of the selected rows, as qel-cli stats prints them for a
      report, against the limits of the oldest selected run's procedure (rows
      of runs with other steps are left out and counted on stderr).
  qel-cli serve [--db URL] [--listen HOST:PORT] [--token-file FILE]
      The line dashboard: a web page and a JSON API over the results
      database, opened read-only. Prints the page's address on its first
      line and serves until SIGINT or SIGTERM. HOST:PORT defaults to
      127.0.0.1:8080; any other than a loopback address needs a token file
      (one line), and then every API request needs "Authorization: Bearer
      TOKEN". API: GET /api/runs?since=&until=&procedure=&lot=&station=&serial=
      &limit= (as history runs --json), /api/rows?serial=S (as history rows
      --serial S --json), /api/runs/ID/rows?offset=&limit= (a page of
      history rows ID --json: 1000 rows unless limit says, at most 10000;
      X-Total-Count and a Link rel="next" header tell what follows),
      /api/stations; errors are {"error": "..."} with 400, 401 or 404.
  qel-cli bridge --port CONNECTION [--meter PROFILE|auto] [--settings ...]
              [--listen HOST:PORT] [--allow CIDR ...] [--db URL | --no-db]
              [--operator NAME] [--lot-no LOT]
      The connected meter on the network as a common SCPI LCR meter
      (docs/bridge.md): one controlling client at a time. Prints
      tcp://HOST:PORT on its first line and serves until SIGINT or SIGTERM.
      HOST:PORT defaults to 127.0.0.1:5025; any other than a loopback
      address needs --allow (loopback clients are always allowed). Every
      reading is a row of one history run (procedure "remote").

Results history: run and sweep record into a results database by default:
results.sqlite in the user's data folder (~/.local/share/Qel/). --db URL or
the QEL_DB variable chooses another, --no-db records nothing. URL is a file
path, sqlite:PATH, or postgresql://user@host:port/dbname. While a PostgreSQL
server cannot be reached, rows wait in the local spool (spool.sqlite beside
the default database) and are forwarded when it answers, never twice. A
database that cannot be written is said in one sentence; the run goes on.
history opens the database read-only. ISO-DATE: 2026-12-07 or
2026-12-07T14:30:00 (local time unless it ends in Z or an offset).

DEVICE is a serial device path (/dev/ttyUSB0, /dev/ttyS0, or the pseudo-terminal
printed by qel-meter-sim), tcp://HOST[:PORT] (a raw socket, port 5025 unless
given) or /dev/usbtmc* (USB); --settings applies to serial lines only.
--meter chooses the meter profile (default legacy; see qel-cli meters); auto
identifies the meter by its *IDN? reply. A step the profile cannot measure is
refused (2) before anything is sent; a meter error status ends the run (4). --reply-timeout: milliseconds to wait for each reply
(default 10000; 0 waits for ever).

Exit status: 0 success (all rows passed), 1 some verdict "fail", 2 usage or file
error, 3 connection or identification failure, 4 run interrupted (no reply in
time, or the device hung up; rows completed before are still printed and written).
)";

} // namespace

int main(int argc, char **argv)
{
    // Graph pictures and PDFs need a GUI application (no widgets), but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session (cron, CI, ssh) Qt would warn on every run; a private
    // folder of our own keeps stderr for our messages.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray dir = QDir::tempPath().toLocal8Bit() + "/qel-runtime-" + QByteArray::number(getuid());
        QDir().mkpath(QString::fromLocal8Bit(dir));
        QFile::setPermissions(QString::fromLocal8Bit(dir), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", dir);
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Qel"));
    QGuiApplication::setApplicationVersion(QStringLiteral(QEL_VERSION));
    Q_INIT_RESOURCE(qel);

    QStringList args = QGuiApplication::arguments().mid(1);
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")
        || args[0] == QLatin1String("help")) {
        std::fputs(Help, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? ExitUsage : ExitOk;
    }
    if (args[0] == QLatin1String("--version")) {
        std::printf("qel-cli %s\n", QEL_VERSION);
        return ExitOk;
    }
    const QString command = args.takeFirst();
    try {
        if (command == QLatin1String("show"))
            return cliShow(args);
        if (command == QLatin1String("convert"))
            return cliConvert(args);
        if (command == QLatin1String("run"))
            return cliRun(args);
        if (command == QLatin1String("sweep"))
            return cliSweep(args);
        if (command == QLatin1String("export"))
            return cliExport(args);
        if (command == QLatin1String("print"))
            return cliPrint(args);
        if (command == QLatin1String("stats"))
            return cliStats(args);
        if (command == QLatin1String("bins"))
            return cliBins(args);
        if (command == QLatin1String("print-graph"))
            return cliPrintGraph(args);
        if (command == QLatin1String("history"))
            return cliHistory(args);
        if (command == QLatin1String("fit"))
            return cliFit(args);
        if (command == QLatin1String("serve"))
            return cliServe(args);
        if (command == QLatin1String("meters"))
            return cliMeters(args);
        if (command == QLatin1String("bridge"))
            return cliBridge(args);
        throw CliError(ExitUsage, QStringLiteral("Unknown command \"%1\"; see qel-cli --help.").arg(command));
    } catch (const CliError &e) {
        std::fprintf(stderr, "qel-cli: %s\n", qPrintable(asSentence(QString::fromStdString(e.what()))));
        return e.status;
    } catch (const std::exception &e) {
        // Never a crash: whatever the core threw ends the command as a file or usage error.
        std::fprintf(stderr, "qel-cli: %s failed: %s\n", qPrintable(command), qPrintable(asSentence(QString::fromStdString(e.what()))));
        return ExitUsage;
    }
}

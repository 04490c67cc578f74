// What qel-cli makes of every file it reads: the examples and the hostile
// corpus of tests/fuzz, each file under all three names, through convert,
// show, export and stats. Exit status, stdout, stderr and the files written
// are compared byte for byte with tests/cli/read-outputs/, which an earlier
// build wrote; only the workbook's creation time is left out. To write them
// anew from a given build (before a change to the read path):
//   QEL_READ_OUTPUTS_FROM=/path/to/qel-cli build/bin/cli_test_cli_read_outputs

#include "CliHarness.h"

#include <QDirIterator>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

struct Input
{
    QString name; // under which it is read, with its type's ending
    QByteArray bytes;
};

const QStringList Endings{QStringLiteral("pro"), QStringLiteral("rpt"), QStringLiteral("pic")};

QString examples()
{
    return qelSourceDir() + QStringLiteral("/examples/");
}

QString corpus()
{
    return qelSourceDir() + QStringLiteral("/tests/fuzz/corpus/");
}

QList<Input> inputs()
{
    QList<Input> out;
    for (const QString &name : QDir(examples()).entryList({"*.pro", "*.rpt", "*.pic"}, QDir::Files, QDir::Name))
        out.append({QStringLiteral("example-") + name, readBytes(examples() + name)});
    for (const QString &target : QStringList{"procedure", "report", "plot", "load"}) {
        const QDir dir(corpus() + target);
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QByteArray bytes = readBytes(dir.filePath(name));
            // A load input's first byte picks its type; the file is the rest.
            if (target == QLatin1String("load"))
                bytes.remove(0, 1);
            const QString stem = QStringLiteral("%1-%2").arg(target, QString(name).replace(QLatin1Char('.'), QLatin1Char('-')));
            for (const QString &ending : Endings)
                out.append({stem + QLatin1Char('.') + ending, bytes});
        }
    }
    // Made here: entries past the row count, rows shorter and longer than
    // the procedure's cells, a Big5 cell, a UTF-16 row, no line feed at the end.
    const QString wideText = QStringLiteral("100 nF\npass \n");
    QByteArray wide = QByteArray("\xff\xfe\xff", 3) + char(wideText.size());
    for (const QChar c : wideText)
        wide += char(c.unicode() & 0xff) + QByteArray(1, char(c.unicode() >> 8));
    QByteArray rows = Archive::count(5) + Archive::string(QStringLiteral("98.7nF\npass\n0.01\npass\n"))
        + Archive::string(QString::fromUtf8("\xe9\x9b\xbb\xe5\xae\xb9\nfail\n")) + wide
        + Archive::string(QStringLiteral("1\npass\n2\npass\n3\npass\n4\npass\n5\npass\n6\npass\n7\npass\n8\npass\n9\nfail\n10"))
        + Archive::string(QStringLiteral("past the count\n"));
    out.append({QStringLiteral("made-odd-rows.rpt"), Archive::int32(4) + rows
            + Archive::stringArray({"2012/3/7/", "2012/3/7/"}) + Archive::stringArray({"9:5:3"})});
    return out;
}

void frame(QByteArray &record, const QByteArray &label, const QByteArray &bytes)
{
    record += label + ' ' + QByteArray::number(bytes.size()) + '\n' + bytes + '\n';
}

// A workbook's parts, each framed, but for the creation time in docProps/core.xml.
QByteArray workbookParts(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"), QStringLiteral("import sys, zipfile\n"
                                              "z = zipfile.ZipFile(sys.argv[1])\n"
                                              "for n in z.namelist():\n"
                                              "    b = b'' if n == 'docProps/core.xml' else z.read(n)\n"
                                              "    sys.stdout.buffer.write(b'%s %d\\n' % (n.encode(), len(b)) + b + b'\\n')\n"),
            path});
    p.waitForFinished(60000);
    return p.readAllStandardOutput() + p.readAllStandardError();
}

struct Runner
{
    QString program;
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }

    // One command, with the files it may write named in outputs.
    QByteArray run(const QStringList &args, const QStringList &outputs)
    {
        for (const QString &o : outputs)
            QFile::remove(path(o));
        QProcess p;
        p.setProcessEnvironment(cliEnvironment());
        p.start(program, args);
        const bool finished = p.waitForStarted(10000) && p.waitForFinished(120000);
        QString shown = args.join(QLatin1Char(' '));
        shown.replace(dir.path(), QStringLiteral("<dir>"));
        shown.replace(qelSourceDir(), QStringLiteral("<src>"));
        QByteArray record = "$ qel-cli " + shown.toUtf8() + '\n';
        record += finished && p.exitStatus() == QProcess::NormalExit ? "exit " + QByteArray::number(p.exitCode()) + '\n'
                                                                      : QByteArray("did not end by itself\n");
        QByteArray err = p.readAllStandardError();
        err.replace(dir.path().toUtf8(), "<dir>");
        err.replace(qelSourceDir().toUtf8(), "<src>");
        frame(record, "stdout", p.readAllStandardOutput());
        frame(record, "stderr", err);
        for (const QString &o : outputs) {
            const QString file = path(o);
            if (!QFileInfo::exists(file))
                record += o.toUtf8() + " absent\n";
            else if (o.endsWith(QLatin1String(".xlsx")))
                frame(record, o.toUtf8(), workbookParts(file));
            else
                frame(record, o.toUtf8(), readBytes(file));
        }
        return record;
    }

    // Everything qel-cli does with one input file.
    QByteArray outputsOf(const Input &input)
    {
        const QString in = path(input.name);
        writeBytes(in, input.bytes);
        const QString examplePro = examples() + QStringLiteral("capacitor.pro");
        const QString corpusPro = corpus() + QStringLiteral("procedure/steps.pro");
        const QString exampleRpt = examples() + QStringLiteral("capacitor_202612695.rpt");
        QByteArray record = run({"convert", in, path("out.json")}, {"out.json"});
        record += run({"show", in}, {});
        const auto reportWith = [&](const QString &report, const QString &pro) {
            record += run({"show", report, "--procedure", pro}, {});
            record += run({"export", report, "--procedure", pro, "--csv", path("out.csv"), "--xlsx", path("out.xlsx")},
                {"out.csv", "out.xlsx"});
            record += run({"stats", report, "--procedure", pro}, {});
            record += run({"stats", report, "--procedure", pro, "--json"}, {});
        };
        if (input.name.endsWith(QLatin1String(".rpt"))) {
            reportWith(in, examplePro);
            reportWith(in, corpusPro);
        } else if (input.name.endsWith(QLatin1String(".pro"))) {
            reportWith(exampleRpt, in);
        }
        // And back from its JSON, when there was one.
        if (QFileInfo::exists(path("out.json"))) {
            const QString back = path(QStringLiteral("back.") + input.name.right(3));
            record += run({"convert", path("out.json"), back}, {QStringLiteral("back.") + input.name.right(3)});
        }
        QFile::remove(in);
        return record;
    }
};

QString storedPath(const Input &input)
{
    return qelSourceDir() + QStringLiteral("/tests/cli/read-outputs/") + input.name + QStringLiteral(".txt");
}

// The first line where two records part, for a readable failure.
std::string firstDifference(const QByteArray &expected, const QByteArray &actual)
{
    const QList<QByteArray> e = expected.split('\n');
    const QList<QByteArray> a = actual.split('\n');
    for (qsizetype i = 0; i < qMax(e.size(), a.size()); ++i)
        if (e.value(i) != a.value(i))
            return QStringLiteral("line %1\n expected: %2\n actual:   %3")
                .arg(i + 1)
                .arg(QString::fromUtf8(e.value(i).left(300)), QString::fromUtf8(a.value(i).left(300)))
                .toStdString();
    return "equal";
}

} // namespace

TEST(CliReadOutputs, EveryFileReadGivesTheOutputsOfTheEarlierBuild)
{
    const QList<Input> all = inputs();
    // Three examples, at least the 22 corpus files under three names each, one made here.
    ASSERT_GE(all.size(), 3 + 22 * 3 + 1);
    Runner runner;
    ASSERT_TRUE(runner.dir.isValid());
    const QString writeFrom = qEnvironmentVariable("QEL_READ_OUTPUTS_FROM");
    runner.program = writeFrom.isEmpty() ? cliProgram() : writeFrom;
    int seenReports = 0;
    int seenRefusals = 0;
    for (const Input &input : all) {
        SCOPED_TRACE(input.name.toStdString());
        const QByteArray record = runner.outputsOf(input);
        if (!writeFrom.isEmpty()) {
            QDir().mkpath(QFileInfo(storedPath(input)).path());
            ASSERT_TRUE(writeBytes(storedPath(input), record));
            continue;
        }
        const QByteArray stored = readBytes(storedPath(input));
        ASSERT_FALSE(stored.isEmpty()) << "no stored outputs: " << storedPath(input).toStdString();
        EXPECT_TRUE(record == stored) << firstDifference(stored, record);
        seenReports += record.contains("out.csv ") && !record.contains("out.csv absent") ? 1 : 0;
        seenRefusals += record.contains("exit 2\n") ? 1 : 0;
    }
    if (writeFrom.isEmpty()) {
        // The corpus must exercise both sides: reports read and exported, files refused.
        EXPECT_GE(seenReports, 10);
        EXPECT_GE(seenRefusals, 10);
    }
}

// Writes the seed corpus of the fuzz targets: real files saved by the
// document, plus a few written by hand in the forms only older files use
// (UTF-16 strings, long length prefixes). Usage: fuzz_seeds <corpus folder>.

#include "../support/RecordingPrompter.h"

#include "document/Document.h"
#include "document/PlotPageAccess.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <cstdio>

namespace {

ProcedureStep step(const QString &fItem, const QString &fUnit, const QString &sItem, const QString &sUnit,
    const QString &delay = QStringLiteral("0"))
{
    ProcedureStep s;
    const bool rdc = fItem == QLatin1String("Rdc");
    const QStringList texts{"", fItem, "100", "-5%", "+5%", fUnit, sItem, sItem == "off" ? "" : "0.01", "-5",
        "+5", sUnit, rdc ? "" : "1KHz", "1V", rdc ? "" : "SER", "MED", "%", delay};
    for (int c = 0; c < ProcedureStep::ColumnCount; ++c)
        s.fields[size_t(c)] = texts.at(c);
    s.picture = ProcedureStep::pictureFor(fItem, s[ProcedureStep::Circuit]);
    return s;
}

class Plot : public PlotPageAccess
{
public:
    QString first = QStringLiteral("C"), second = QStringLiteral("off");
    int counter = 1;
    QStringList rows;
    QString firstItemText() const override { return first; }
    QString secondItemText() const override { return second; }
    int columnCounter() const override { return counter; }
    QStringList joinedRows() const override { return rows; }
    void restoreFromDocument(const QStringList &, int, const QString &, const QString &) override {}
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString &dir, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(dir);
    QFile f(dir + QLatin1Char('/') + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
}

QByteArray int32(qint32 v)
{
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

// A string in the UTF-16 form: FF, FE FF, a length in units, the text.
QByteArray wide(const QString &text)
{
    QByteArray b("\xff\xfe\xff", 3);
    b += char(text.size());
    for (QChar c : text) {
        b += char(c.unicode() & 0xff);
        b += char(c.unicode() >> 8);
    }
    return b;
}

// A string with the three-byte length prefix although it is short.
QByteArray longForm(const QByteArray &text)
{
    QByteArray b("\xff", 1);
    b += char(text.size() & 0xff);
    b += char(text.size() >> 8);
    return b + text;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <corpus folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString scratch = out + QStringLiteral("/.scratch");
    QDir().mkpath(scratch);

    ProcedureModel procedure;
    ResultTableModel results;
    Plot plot;
    RecordingPrompter prompter;
    Document doc(&procedure, &results, &prompter);
    doc.setPlotPage(&plot);
    doc.onNewDocument();
    QList<QPair<QString, QByteArray>> files; // name, bytes
    auto save = [&](const QString &name) {
        const QString path = scratch + QLatin1Char('/') + name;
        if (!doc.saveDocument(path))
            std::fprintf(stderr, "cannot save %s: %s\n", qPrintable(name), qPrintable(doc.lastError()));
        files.append({name, readAll(path)});
    };

    save("empty.pro");
    save("empty.rpt");
    save("empty.pic");

    procedure.setSteps({step("C", "nF", "D", "D"), step("L", "uH", "off", ""), step("Z", "KO", "Angle", "\u00b0", "500"),
        step("Rdc", "O", "off", "")});
    procedure.renumber();
    results.rebuildColumns(procedure);
    const QList<QStringList> rows{{"100nF", "pass", "0.01D", "pass", "1uH", "pass", "1KO", "pass", "1.5\u00b0",
                                      "pass", "100O", "pass"},
        {"98.7654nF", "pass", "0D", "fail", "0uH", "fail", "0KO", "", "0\u00b0", "", "99.9O", "pass"},
        {"1e-7nF", "fail"}};
    for (int r = 0; r < rows.size(); ++r) {
        results.appendRow(rows[r], r == 0 ? ResultTableModel::Passed : ResultTableModel::Failed);
        results.setRowDateTime(r, QStringLiteral("2012/3/%1/").arg(r + 7), QStringLiteral("9:5:%1").arg(r));
    }
    plot.counter = 5;
    plot.second = "Q";
    plot.rows = QStringList{"1.000000KHz\n1.234000n\n12.5\n0.250000n\n13\n", "50.500000KHz\n2.5E-10\n\n\n\n",
        "100KHz\n-3\n1e308\nnan\n\n"};
    save("steps.pro");
    save("rows.rpt");
    save("lines.pic");

    plot.counter = 3;
    plot.second = "off";
    plot.first = "L";
    plot.rows = QStringList{"1V\n10u\n20u\n\n\n"};
    save("one.pic");

    // Older forms: a UTF-16 item text and a long length prefix.
    QByteArray pro = int32(1);
    for (int k = 0; k < 16; ++k)
        pro += QByteArray("\x01\x00", 2) + (k == 0 ? wide(QStringLiteral("C")) : k == 9 ? longForm("\xa2\x58") : QByteArray("\x01" "1", 2));
    files.append({"forms.pro", pro});
    QByteArray rpt = int32(1) + QByteArray("\x01\x00", 2) + longForm("1.5\npass\n") + QByteArray("\x00\x00\x00\x00", 4);
    files.append({"forms.rpt", rpt});

    int written = 0;
    for (const auto &f : files) {
        const QString type = f.first.right(3);
        const QString target = type == "pro" ? "procedure" : type == "rpt" ? "report" : "plot";
        put(out + QLatin1Char('/') + target, f.first, f.second);
        // The load target takes a type byte first: 0 another procedure,
        // 1 the same procedure name, 2 a report, 3 a plot.
        const char selector = type == "pro" ? char(written % 2) : type == "rpt" ? char(2) : char(3);
        put(out + QStringLiteral("/load"), f.first, QByteArray(1, selector) + f.second);
        ++written;
    }
    QDir(scratch).removeRecursively();
    std::printf("%d seed files in %s\n", written, qPrintable(out));
    return 0;
}

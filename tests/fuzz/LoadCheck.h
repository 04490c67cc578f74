#pragma once
// The whole open path: name checks, the read into a separate copy, the
// rebuild of the procedure list, the result table and the plotter. The first
// byte picks the file's type; the rest is the file. A file that does not
// read must leave the document and every page exactly as they were; one
// that reads must come back the same after a save and a second open.

#include "FuzzSupport.h"

#include "../support/RecordingPrompter.h"

#include "document/Document.h"
#include "document/PlotterStateAccess.h"
#include "execution/ResultTableModel.h"
#include "plotter/PlotterState.h"
#include "procedure/ProcedureModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace LoadCheckDetail {

inline ProcedureStep step(const QString &fItem, const QString &fUnit, const QString &sItem, const QString &sUnit)
{
    ProcedureStep s;
    const QStringList texts{"", fItem, "100", "-5%", "+5%", fUnit, sItem, "0.01", "-5%", "+5%", sUnit, "1KHz",
        "1V", "SER", "MED", "%", "0"};
    for (int c = 0; c < ProcedureStep::ColumnCount; ++c)
        s.fields[size_t(c)] = texts.at(c);
    s.picture = ProcedureStep::pictureFor(fItem, QStringLiteral("SER"));
    return s;
}

// The pages as the operator sees them, cell by cell.
struct Pages
{
    QVector<QStringList> steps;
    QStringList titles;
    QVector<QStringList> rows; // visible cells of the result table
    QStringList dates, times;
    QStringList plotTitles;
    QVector<QStringList> plotRows; // visible cells of the plot list
    QString first, second;

    static Pages of(const ProcedureModel &p, const ResultTableModel &r, const PlotterState &plot)
    {
        Pages s;
        for (int i = 0; i < p.stepCount(); ++i)
            s.steps << QStringList(p.step(i).fields.begin(), p.step(i).fields.end());
        s.titles = r.columnTitles();
        for (int i = 0; i < r.resultCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < r.columnCount(); ++c)
                cells << r.cell(i, c);
            s.rows << cells;
        }
        s.dates = r.reportDates();
        s.times = r.reportTimes();
        const PlotTableModel &t = plot.table();
        s.plotTitles = t.columnTitles();
        for (int i = 0; i < t.tableRowCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < t.columnCount(); ++c)
                cells << t.cell(i, c);
            s.plotRows << cells;
        }
        s.first = plot.firstItemText();
        s.second = plot.secondItemText();
        return s;
    }
    // The pages as a save writes them (see FuzzSupport::asSaved).
    Pages asSaved() const
    {
        Pages s = *this;
        for (QStringList &l : s.steps)
            l = FuzzSupport::asSaved(l);
        for (QStringList &l : s.rows)
            l = FuzzSupport::asSaved(l);
        for (QStringList &l : s.plotRows)
            l = FuzzSupport::asSaved(l);
        for (QStringList *l : {&s.titles, &s.dates, &s.times, &s.plotTitles})
            *l = FuzzSupport::asSaved(*l);
        s.first = FuzzSupport::asSaved(s.first);
        s.second = FuzzSupport::asSaved(s.second);
        return s;
    }
    // Whether every line column is titled with the selected items, as a sweep titles them.
    bool titlesFollowItems() const
    {
        const bool oneItem = second == QLatin1String("off");
        for (int k = 2; k < plotTitles.size(); ++k) {
            const QString &item = oneItem || k % 2 == 0 ? first : second;
            if (plotTitles[k] != item + QString::number(k - 1))
                return false;
        }
        return true;
    }
    // Names the first part that differs, for the crash report. After a load
    // the plotter's line counter reads 5, so a save and a second open may
    // add empty line columns: with linesMayGrow the cells shown before must
    // still be there, and may be followed by more.
    const char *difference(const Pages &o, bool linesMayGrow = false) const
    {
        if (steps != o.steps)
            return "procedure steps";
        if (titles != o.titles)
            return "result columns";
        if (rows != o.rows)
            return "result rows";
        if (dates != o.dates || times != o.times)
            return "result dates or times";
        if (linesMayGrow) {
            // A file may name an item the selectors do not offer; its line
            // titles show the file's text, but a save stores what the
            // selector shows, so only those titles may change.
            const int kept = o.titlesFollowItems() ? int(o.plotTitles.size()) : 2;
            if (plotTitles.mid(0, kept) != o.plotTitles.mid(0, kept) || plotRows.size() != o.plotRows.size())
                return "plot columns or rows";
            for (int r = 0; r < plotRows.size(); ++r)
                if (plotRows[r].mid(0, o.plotRows[r].size()) != o.plotRows[r])
                    return "plot rows";
        } else if (plotTitles != o.plotTitles) {
            return "plot columns";
        } else if (plotRows != o.plotRows) {
            return "plot rows";
        }
        if (first != o.first || second != o.second)
            return "plot items";
        return nullptr;
    }
};

// One open program: pages, document, and a procedure "abc.pro" loaded with
// two result rows, so that report files of its name may be opened.
struct Program
{
    ProcedureModel procedure;
    ResultTableModel results;
    PlotterState plotter;
    PlotterStateAccess access{&plotter};
    RecordingPrompter prompter;
    Document doc{&procedure, &results, &prompter};

    explicit Program(const QString &base)
    {
        doc.setPlotPage(&access);
        doc.onNewDocument();
        FUZZ_CHECK(doc.openDocument(base), "the base procedure opens");
    }
};

// A second "abc.pro" lives in b/: same name as the loaded one, so opening it
// keeps the result rows.
inline const QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    static const bool made = QDir().mkpath(dir.filePath(QStringLiteral("b")));
    FUZZ_CHECK(dir.isValid() && made, "a scratch folder");
    return dir;
}

inline QString baseProcedure()
{
    static const QString path = [] {
        const QString p = folder().filePath(QStringLiteral("abc.pro"));
        ProcedureModel procedure;
        ResultTableModel results;
        procedure.setSteps({step("C", "nF", "D", "D"), step("L", "uH", "off", "")});
        procedure.renumber();
        results.rebuildColumns(procedure);
        results.appendRow({"100nF", "pass", "0.01D", "pass", "1uH", "pass"}, ResultTableModel::Passed);
        results.appendRow({"90nF", "fail", "0.01D", "pass", "1uH", "pass"}, ResultTableModel::Failed);
        results.setRowDateTime(1, "2012/3/7/", "9:5:3");
        RecordingPrompter prompter;
        Document doc(&procedure, &results, &prompter);
        doc.onNewDocument();
        FUZZ_CHECK(doc.saveDocument(p), "the base procedure saves");
        return p;
    }();
    return path;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace LoadCheckDetail

inline void checkLoad(const uint8_t *data, size_t size)
{
    using namespace LoadCheckDetail;
    if (size == 0)
        return;
    static const QStringList names{"abc2.pro", "abc.pro", "abc_1.rpt", "abc.pic"};
    const QString name = names.at(data[0] % names.size());
    const QString base = baseProcedure();
    const QString path = folder().filePath(name == QLatin1String("abc.pro") ? QStringLiteral("b/abc.pro") : name);
    FUZZ_CHECK(writeFile(path, QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1))),
        "the input file is written");

    Program program(base);
    const Pages before = Pages::of(program.procedure, program.results, program.plotter);
    const QString pathBefore = program.doc.pathName();
    program.prompter.clear();

    if (!program.doc.openDocument(path)) {
        const char *what = Pages::of(program.procedure, program.results, program.plotter).difference(before);
        if (what)
            std::fprintf(stderr, "changed by a failed open: %s\n", what);
        FUZZ_CHECK(!what, "a failed open changes no page");
        FUZZ_CHECK(program.doc.pathName() == pathBefore, "a failed open keeps the document's name");
        FUZZ_CHECK(program.prompter.said.size() == 1, "a failed open says so once");
        FUZZ_CHECK(program.prompter.said.at(0).caption == QLatin1String("Warning"), "under the Warning caption");
        return;
    }
    FUZZ_CHECK(program.prompter.said.isEmpty(), "an open that works says nothing");
    FUZZ_CHECK(program.doc.pathName() == path, "the document takes the file's name");
    const Pages loaded = Pages::of(program.procedure, program.results, program.plotter);

    // Save over the same file and open it again: the pages come back as shown.
    FUZZ_CHECK(program.doc.saveDocument(path), "a loaded document saves");
    FUZZ_CHECK(program.doc.openDocument(path), "a saved document opens");
    const Pages reloaded = Pages::of(program.procedure, program.results, program.plotter);
    const char *what = reloaded.difference(loaded.asSaved(), true);
    if (what)
        std::fprintf(stderr, "differs after the second open: %s\n", what);
    FUZZ_CHECK(!what, "a save and a second open show the same pages");
}

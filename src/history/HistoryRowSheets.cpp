#include "history/HistoryRowSheets.h"

#include "sheets/CsvWriter.h"
#include "sheets/XlsxWorkbook.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QVarLengthArray>

#include <cstdio>

using namespace History;

namespace HistoryRowSheets {

namespace {

// Asked before each row: whether the export stops here (and stays stopped).
std::function<bool()> stopper(const qint64 &count, const KeepGoing &keepGoing, bool &stopped)
{
    return [&count, &keepGoing, &stopped] {
        if (keepGoing && count % 256 == 0 && !keepGoing(count))
            stopped = true;
        return stopped;
    };
}

// Result columns of all selected runs: by step and item, in order of appearance.
struct Layout
{
    QVector<Column> columns;
    QHash<QString, int> index;
    static QString key(const Column &c) { return QString::number(c.step) + QLatin1Char('\x1f') + c.item; }
    QStringList headers() const
    {
        QStringList h = {QStringLiteral("run"), QStringLiteral("seq"), QStringLiteral("measuredAt"), QStringLiteral("verdict")};
        for (const Column &c : columns) {
            const QString name = c.item + QString::number(c.step);
            h << name << name + QStringLiteral(" value") << name + QStringLiteral(" P/F");
        }
        return h;
    }
};

bool layoutOf(HistoryDatabase &db, const HistoryDatabase::Filter &filter, Layout &layout, QString *error)
{
    QVector<HistoryDatabase::RunSummary> runs;
    if (!db.listRuns(filter, runs, error))
        return false;
    // Oldest first, as the rows come.
    for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
        QVector<Column> cols;
        if (!db.runColumns(it->id, cols, error))
            return false;
        for (const Column &c : cols) {
            const QString k = Layout::key(c);
            if (!layout.index.contains(k)) {
                layout.index.insert(k, int(layout.columns.size()));
                layout.columns.append(c);
            }
        }
    }
    return true;
}

// The row's cells placed in the layout's columns: text, value, verdict each.
QStringList placed(const Layout &layout, const HistoryDatabase::StoredRow &r, QVector<int> &placement)
{
    QStringList out(int(layout.columns.size()) * 3);
    const QVector<Column> &cols = *r.columns;
    placement.resize(cols.size());
    for (int i = 0; i < cols.size(); ++i) {
        const int at = layout.index.value(Layout::key(cols[i]), -1);
        placement[i] = at;
        if (at < 0)
            continue;
        out[3 * at] = r.texts.value(i);
        out[3 * at + 1] = r.values.value(i);
        out[3 * at + 2] = r.verdicts.value(i);
    }
    return out;
}

QStringView listed(const QStringList &list, int i)
{
    return i < list.size() ? QStringView(list.at(i)) : QStringView();
}

// The CSV sheet of the selected rows: the header, then a line per row with
// its cells in the layout's columns (empty where its run has none).
bool csvRows(HistoryDatabase &db, const HistoryDatabase::Filter &filter, const Layout &layout, const QString &out,
             qint64 &count, const KeepGoing &keepGoing, QString *error)
{
    bool stopped = false;
    const auto stop = stopper(count, keepGoing, stopped);
    QSaveFile file;
    QFile console;
    QIODevice *device = &file;
    if (out == QLatin1String("-")) {
        console.open(stdout, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
        device = &console;
    } else {
        file.setFileName(out);
        if (!file.open(QIODevice::WriteOnly)) {
            if (error)
                *error = QStringLiteral("Cannot write %1: %2.").arg(out, file.errorString());
            return false;
        }
    }
    CsvWriter sheet(device, {}, CsvWriter::Quote::SeparatorsOnly);
    int line = 1;
    sheet.writeRow(line, layout.headers());
    // Per run, where each layout column's cell sits in the row (-1: none).
    const QVector<Column> *seen = nullptr;
    QVector<int> source;
    QVarLengthArray<QStringView, 64> cells;
    QString seq;
    const bool ok = db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &r) {
        if (stop())
            return false;
        if (r.columns != seen) {
            seen = r.columns;
            source.fill(-1, layout.columns.size());
            for (int i = 0; i < seen->size(); ++i) {
                const int at = layout.index.value(Layout::key(seen->at(i)), -1);
                if (at >= 0)
                    source[at] = i;
            }
        }
        const bool escaped = r.rawTexts.contains(QLatin1Char('\\')) || r.rawVerdicts.contains(QLatin1Char('\\'));
        const QStringList texts = escaped ? splitList(r.rawTexts) : QStringList();
        const QStringList verdicts = escaped ? splitList(r.rawVerdicts) : QStringList();
        const QList<QStringView> t = QStringView(r.rawTexts).split(QLatin1Char('\t'));
        const QList<QStringView> v = QStringView(r.rawValues).split(QLatin1Char('\t'));
        const QList<QStringView> p = QStringView(r.rawVerdicts).split(QLatin1Char('\t'));
        seq = QString::number(r.seq);
        cells.clear();
        cells << r.runId << seq << r.measuredAt << r.verdict;
        for (int k = 0; k < source.size(); ++k) {
            const int i = source[k];
            if (i < 0) {
                cells << QStringView() << QStringView() << QStringView();
                continue;
            }
            cells << (escaped ? listed(texts, i) : t.value(i)) << v.value(i) << (escaped ? listed(verdicts, i) : p.value(i));
        }
        sheet.writeRow(++line, cells.constData(), cells.size());
        ++count;
        return true;
    }, error, 0, -1, true);
    if (!ok || !sheet.close() || (device == &file ? !file.commit() : !console.flush()) || stopped) {
        if (stopped) {
            QFile::remove(out);
            if (error)
                *error = QStringLiteral("The export was stopped.");
        } else if (ok && error) {
            *error = QStringLiteral("Cannot write %1: %2.").arg(out, device->errorString());
        }
        return false;
    }
    if (device == &console)
        std::fflush(stdout);
    return true;
}

// The workbook of the selected rows, sheet "Rows": seq and the values as
// numbers, every other cell as text.
bool xlsxRows(HistoryDatabase &db, const HistoryDatabase::Filter &filter, const Layout &layout, const QString &out,
              qint64 &count, const KeepGoing &keepGoing, QString *error)
{
    bool stopped = false;
    const auto stop = stopper(count, keepGoing, stopped);
    // Written beside the target and renamed, as every save.
    const QFileInfo target(out);
    const QString part = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".part");
    bool ok = false;
    bool closed = false;
    {
        XlsxWorkbook book(part, QStringLiteral("Rows"));
        if (!book.errorText().isEmpty()) {
            if (error)
                *error = QStringLiteral("Cannot write %1.").arg(out);
            return false;
        }
        book.writeRow(1, layout.headers());
        const auto numeric = [](int column) { return column == 1 || (column >= 4 && (column - 4) % 3 == 1); };
        QVector<int> placement;
        int line = 1;
        ok = db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &r) {
            if (stop())
                return false;
            ++line;
            book.writeRow(line, QStringList{r.runId, QString::number(r.seq), r.measuredAt, r.verdict}
                                    + placed(layout, r, placement));
            book.numberCells(line, numeric);
            ++count;
            return line < XlsxWorkbook::MaxRows;
        }, error);
        closed = book.close();
    }
    if (!ok || !closed || stopped || std::rename(QFile::encodeName(part).constData(), QFile::encodeName(out).constData()) != 0) {
        QFile::remove(part);
        if (error && stopped)
            *error = QStringLiteral("The export was stopped.");
        else if (error && ok)
            *error = QStringLiteral("Cannot write %1.").arg(out);
        return false;
    }
    return true;
}

} // namespace

bool writeCsv(HistoryDatabase &db, const HistoryDatabase::Filter &filter, const QString &out, qint64 &count,
              const KeepGoing &keepGoing, QString *error)
{
    Layout layout;
    return layoutOf(db, filter, layout, error) && csvRows(db, filter, layout, out, count, keepGoing, error);
}

bool writeXlsx(HistoryDatabase &db, const HistoryDatabase::Filter &filter, const QString &out, qint64 &count,
               const KeepGoing &keepGoing, QString *error)
{
    Layout layout;
    return layoutOf(db, filter, layout, error) && xlsxRows(db, filter, layout, out, count, keepGoing, error);
}

} // namespace HistoryRowSheets

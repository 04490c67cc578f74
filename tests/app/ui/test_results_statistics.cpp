// The Statistics window in the whole desktop program: opened from the
// Results menu, it follows a run of a meter whose parts vary, row by row,
// and its check box adds a statistics page after the printed report; it
// also shows the figures of a lot recorded by qel-cli, as qel-cli does. A
// run recorded into the results history has the same figures, to the last
// digit, in the window, the sheet, the printed page and the history.

#include "DesktopRig.h"

#include "components/ui/PictureButton.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/ProcedureView.h"
#include "reports/ReportLayout.h"
#include "reports/ui/ReportPrinting.h"
#include "sheets/WorkbookWriter.h"
#include "session/SessionOutputs.h"
#include "statistics/StatisticsJson.h"
#include "statistics/StatisticsOutputs.h"
#include "statistics/ui/HistogramView.h"
#include "statistics/ui/StatisticsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QMenuBar>
#include <QPrinter>

namespace {

using F = MainWindow;

class ResultsStatistics : public DesktopRig
{
protected:
    QAction *resultsCommand(const QString &text) const
    {
        for (QAction *menu : mainWindow()->menuBar()->actions())
            if (menu->text() == QLatin1String("&Results") && menu->menu())
                for (QAction *a : menu->menu()->actions())
                    if (a->text() == text)
                        return a;
        return nullptr;
    }

    // qel-cli as its own process: exit code and stdout, or -1 and why.
    static std::pair<int, QByteArray> runCli(const QStringList &args)
    {
        QProcess p;
        p.start(qelBinDir() + QStringLiteral("/qel-cli"), args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
            return {-1, p.readAllStandardError()};
        return {p.exitCode(), p.exitCode() <= 1 ? p.readAllStandardOutput() : p.readAllStandardError()};
    }

    QString printedText(const QString &pdf)
    {
        QPrinter *printer = app->printing()->printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        app->printing()->setDialogRunner([](QDialog *) { return int(QDialog::Accepted); });
        EXPECT_TRUE(app->printing()->print());
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};

// Keeps the rows of the sheet named, as texts.
class SheetRows : public WorkbookWriter
{
public:
    explicit SheetRows(const QString &sheet) : m_wanted(sheet) {}
    void centreColumn(int) override {}
    void boldRow(int) override {}
    void blueRow(int) override {}
    void writeRow(int, const QStringList &cells) override
    {
        if (m_in)
            rows << cells;
    }
    bool addSheet(const QString &name) override
    {
        m_in = name == m_wanted;
        return true;
    }
    bool close() override { return true; }
    QString errorText() const override { return {}; }
    QList<QStringList> rows;

private:
    QString m_wanted;
    bool m_in = false;
};

} // namespace

TEST_F(ResultsStatistics, ARecordedRunHasTheHistorysFiguresInTheWindowTheSheetAndThePage)
{
    // D1 of 100 nF with 0.05 ohm at 120 Hz is about 3.8e-6: its cell text
    // "0.000004" keeps one digit of it.
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--spread"),
                            QStringLiteral("C=2%"), QStringLiteral("--part-every"), QStringLiteral("1"),
                            QStringLiteral("--seed"), QStringLiteral("11")}));
    const QString db = dir.path() + QStringLiteral("/live.sqlite");
    QSettings().setValue(QStringLiteral("Results/Database"), db);
    const bool started = startApp(example(QStringLiteral("capacitor.pro")));
    QSettings().remove(QStringLiteral("Results/Database"));
    ASSERT_TRUE(started);

    runLoops(QStringLiteral("40"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return runActive(); }, 10000));
    ASSERT_TRUE(Desktop::waitUntil([this] { return !runActive(); }, 60000));
    ASSERT_EQ(results()->rowCount(), 40);

    const QStringList historyStats = {QStringLiteral("history"), QStringLiteral("stats"), QStringLiteral("--since"),
                                      QDate::currentDate().addDays(-1).toString(Qt::ISODate), QStringLiteral("--db"),
                                      db, QStringLiteral("--json")};
    std::pair<int, QByteArray> history;
    ASSERT_TRUE(Desktop::waitUntil([&] {
        history = runCli(historyStats);
        return history.first == 0 && QJsonDocument::fromJson(history.second).object().value("rows").toInt() == 40;
    }, 30000)) << history.second.toStdString();
    const QJsonObject recorded = QJsonDocument::fromJson(history.second).object();
    const QJsonObject d1 = recorded.value("columns").toArray().at(1).toObject();
    ASSERT_EQ(d1.value("item").toString(), QStringLiteral("D"));
    ASSERT_NEAR(d1.value("mean").toDouble(), 3.8e-6, 0.5e-6);

    // The window, opened once the run is over.
    resultsCommand(QStringLiteral("&Statistics..."))->trigger();
    auto *window = mainWindow()->findChild<StatisticsWindow *>();
    ASSERT_NE(window, nullptr);
    window->refreshNow();
    EXPECT_EQ(StatisticsJson::toJson(window->statistics()).trimmed().toStdString(), history.second.trimmed().toStdString());

    // The sheet "Statistics" of the result workbook: every figure as the history has it.
    const ResultOutputs outputs(*app->procedureView()->procedureModel(), *results());
    SheetRows sheet(QStringLiteral("Statistics"));
    outputs.writeWorkbook(sheet);
    const QJsonArray columns = recorded.value("columns").toArray();
    ASSERT_GE(sheet.rows.size(), columns.size() + 1);
    ASSERT_EQ(sheet.rows.first().mid(5, 6), (QStringList{"Mean", "Std. dev.", "Min", "Max", "Cp", "Cpk"}));
    for (int i = 0; i < columns.size(); ++i) {
        const QStringList &row = sheet.rows.at(i + 1);
        const QJsonObject c = columns.at(i).toObject();
        int at = 5;
        for (const char *k : {"mean", "stdev", "min", "max", "cp", "cpk"}) {
            const QString want = c.value(k).isNull() ? QString() : StatisticsJson::number(c.value(k).toDouble());
            EXPECT_EQ(row.value(at++), want) << row.first().toStdString() << " " << k;
        }
    }

    // The printed statistics page shows the history's D1 mean.
    window->printCheckBox()->setChecked(true);
    const QString printed = printedText(dir.path() + QStringLiteral("/live.pdf"));
    const ColumnStatistics &d = window->statistics().columns().at(1);
    const QString mean = StatisticsOutputs::display(d, Figure::of(d1.value("mean").toDouble()));
    EXPECT_TRUE(printed.contains(mean)) << mean.toStdString();
}

TEST_F(ResultsStatistics, TheWindowFollowsARunLiveAndAddsItsPageToThePrint)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--spread"),
                            QStringLiteral("C=2%"), QStringLiteral("--part-every"), QStringLiteral("6"),
                            QStringLiteral("--seed"), QStringLiteral("7")}));
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    ASSERT_EQ(app->procedureView()->procedureModel()->stepCount(), 6);

    QAction *open = resultsCommand(QStringLiteral("&Statistics..."));
    ASSERT_NE(open, nullptr) << "a Statistics command in the Results menu";
    open->trigger();
    auto *window = mainWindow()->findChild<StatisticsWindow *>();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    // Ten result columns (C1 D1 C2 D2 C3 L4 Q4 Z5 Angle5 Rdc6), nothing
    // measured yet: empty cells that say why.
    ASSERT_EQ(window->tableModel()->rowCount(), 10);
    const QModelIndex cp = window->tableModel()->index(0, StatisticsTableModel::Cp);
    EXPECT_TRUE(cp.data().toString().isEmpty());
    EXPECT_FALSE(cp.data(Qt::ToolTipRole).toString().isEmpty());

    runLoops(QStringLiteral("60"));
    // Live: the window has rows while the run still goes on.
    EXPECT_TRUE(Desktop::waitUntil([&] { return window->statistics().rows() >= 5 && runActive(); }, 20000));
    ASSERT_TRUE(Desktop::waitUntil([this] { return !runActive(); }, 60000));
    window->refreshNow();
    ASSERT_EQ(results()->rowCount(), 60);

    // Taken from the judged readings; the same figures as from the table's texts.
    TableStatistics fromTable;
    fromTable.setSteps(app->procedureView()->procedureModel()->steps());
    fromTable.addTable(*results());
    const TableStatistics &live = window->statistics();
    EXPECT_EQ(live.rows(), 60);
    EXPECT_EQ(live.passedRows(), fromTable.passedRows());
    ASSERT_EQ(live.columns().size(), fromTable.columns().size());
    for (int i = 0; i < live.columns().size(); ++i) {
        const ColumnStatistics &a = live.columns()[i], &b = fromTable.columns()[i];
        EXPECT_EQ(a.stats.n, b.stats.n) << i;
        EXPECT_EQ(a.fails, b.fails) << i;
        // The texts keep six decimals in the step's unit; the judged readings all their digits.
        EXPECT_NEAR(a.stats.mean, b.stats.mean, 0.5e-6 * a.toBase + std::fabs(b.stats.mean) * 1e-12) << i;
    }
    // C1 spreads as the parts do (2 % of 100 nF, sixty parts).
    const double sd = *live.columns()[0].stdev().value;
    EXPECT_GT(sd, 1.4e-9);
    EXPECT_LT(sd, 2.6e-9);
    EXPECT_TRUE(window->tableModel()->index(0, StatisticsTableModel::Cp).data().toString().contains('.'));

    // The histogram of the first column is shown, every reading in a bin.
    int total = 0;
    for (int c : window->histogram()->histogram().counts)
        total += c;
    EXPECT_EQ(total, 60);
    // Its axis ticks in nanofarads, ending on whole ticks around the limits.
    const AxisTicks::Scale c1 = window->histogram()->valueScale();
    ASSERT_GE(c1.labels.size(), 3);
    for (const QString &label : c1.labels)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+(\\.\\d+)? nF$")).match(label).hasMatch()) << qPrintable(label);
    EXPECT_LE(c1.lo, 95e-9);
    EXPECT_GE(c1.hi, 105e-9);
    // Rdc of a capacitor reads "infinite": no numbers, no figures, no bins.
    const ColumnStatistics &rdc = live.columns()[9];
    EXPECT_EQ(rdc.stats.n, 0);
    EXPECT_TRUE(window->tableModel()->index(9, StatisticsTableModel::Mean).data().toString().isEmpty());
    EXPECT_FALSE(window->tableModel()->index(9, StatisticsTableModel::Mean).data(Qt::ToolTipRole).toString().isEmpty());
    window->selectColumn(9);
    EXPECT_TRUE(window->histogram()->histogram().counts.isEmpty());
    window->selectColumn(7); // Z5
    total = 0;
    for (int c : window->histogram()->histogram().counts)
        total += c;
    EXPECT_EQ(total, 60);
    for (const QString &label : window->histogram()->valueScale().labels)
        EXPECT_TRUE(label.endsWith(QStringLiteral("\u03a9")) && !label.contains(QLatin1String("e+"))) << qPrintable(label);

    // Printing: the report alone, then with the statistics page after it.
    const QString without = printedText(dir.path() + QStringLiteral("/a.pdf"));
    EXPECT_FALSE(without.contains(QStringLiteral("First-pass yield")));
    window->printCheckBox()->setChecked(true);
    const QString with = printedText(dir.path() + QStringLiteral("/b.pdf"));
    EXPECT_TRUE(with.contains(QStringLiteral("First-pass yield"))) << with.toStdString();
    EXPECT_TRUE(with.contains(QStringLiteral("Rows: 60")));
    // The report's own pages keep their numbers "p/T"; the added page has none.
    const int pages = ReportLayout::prepare(*app->procedureView()->procedureModel(), *results()).pageCount();
    const QString last = QStringLiteral("%1/%1").arg(pages);
    EXPECT_EQ(with.count(QStringLiteral("/%1\n").arg(pages)), without.count(QStringLiteral("/%1\n").arg(pages)));
    EXPECT_TRUE(with.contains(last));
    EXPECT_EQ(with.count(QLatin1Char('\f')), without.count(QLatin1Char('\f')) + 1) << "one page more";
}

TEST_F(ResultsStatistics, TheWindowShowsALotFromTheResultsHistoryAsTheCliDoes)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--spread"),
                            QStringLiteral("C=2%"), QStringLiteral("--part-every"), QStringLiteral("1"),
                            QStringLiteral("--seed"), QStringLiteral("7")}));
    const QString db = dir.path() + QStringLiteral("/results.sqlite");
    const QString pro = example(QStringLiteral("capacitor.pro"));
    for (const auto &[lot, loops] : {std::pair{"L1", "6"}, std::pair{"L2", "3"}, std::pair{"L1", "4"}}) {
        const auto r = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim->devicePath(),
                                    QStringLiteral("--loops"), QLatin1String(loops), QStringLiteral("--db"), db,
                                    QStringLiteral("--lot-no"), QLatin1String(lot)});
        // 1: some part out of its limits, as a spread of 2 % makes likely.
        ASSERT_TRUE(r.first == 0 || r.first == 1) << r.second.toStdString();
    }
    const auto cli = runCli({QStringLiteral("history"), QStringLiteral("stats"), QStringLiteral("--lot"),
                                  QStringLiteral("L1"), QStringLiteral("--db"), db, QStringLiteral("--json")});
    ASSERT_EQ(cli.first, 0) << cli.second.toStdString();
    const QJsonObject expected = QJsonDocument::fromJson(cli.second).object();
    ASSERT_EQ(expected.value(QStringLiteral("rows")).toInt(), 10);

    QSettings().setValue(QStringLiteral("Results/Database"), db);
    const bool started = startApp(pro);
    QSettings().remove(QStringLiteral("Results/Database"));
    ASSERT_TRUE(started);
    resultsCommand(QStringLiteral("&Statistics..."))->trigger();
    auto *window = mainWindow()->findChild<StatisticsWindow *>();
    ASSERT_TRUE(window && window->isVisible());
    // Opened on the Executive View, empty: the history is a choice away.
    EXPECT_FALSE(window->historyShown());
    EXPECT_TRUE(window->sourceBox()->isVisible());
    EXPECT_FALSE(window->showButton()->isEnabled());
    EXPECT_EQ(window->statistics().rows(), 0);

    window->sourceBox()->setCurrentIndex(1);
    ASSERT_TRUE(window->showButton()->isEnabled());
    GuiDriver::type(window->lotEdit(), QStringLiteral("L1"));
    GuiDriver::click(window->showButton());
    const TableStatistics &shown = window->shown();
    EXPECT_EQ(shown.rows(), 10);
    EXPECT_TRUE(window->summaryLabel()->text().startsWith(QStringLiteral("Rows: 10"))) << qPrintable(window->summaryLabel()->text());
    const QJsonArray columns = expected.value(QStringLiteral("columns")).toArray();
    ASSERT_EQ(window->tableModel()->rowCount(), columns.size());
    ASSERT_EQ(columns.size(), 10);
    for (int i = 0; i < columns.size(); ++i) {
        const QJsonObject c = columns[i].toObject();
        EXPECT_EQ(window->tableModel()->index(i, StatisticsTableModel::N).data().toString(),
                  QString::number(c.value(QStringLiteral("n")).toInt())) << i;
        const Figure mean = shown.columns()[i].mean();
        if (c.value(QStringLiteral("mean")).isNull()) {
            EXPECT_FALSE(mean.defined()) << i;
            continue;
        }
        ASSERT_TRUE(mean.defined()) << i;
        const double m = c.value(QStringLiteral("mean")).toDouble();
        EXPECT_NEAR(*mean.value, m, std::fabs(m) * 1e-9) << i;
        EXPECT_FALSE(window->tableModel()->index(i, StatisticsTableModel::Mean).data().toString().isEmpty()) << i;
    }
    int total = 0;
    for (int c : window->histogram()->histogram().counts)
        total += c;
    EXPECT_EQ(total, 10) << "the first column's readings of lot L1";

    // A lot never recorded, and days after the runs: a sentence, no figures.
    GuiDriver::retype(window->lotEdit(), QStringLiteral("L9"));
    GuiDriver::click(window->showButton());
    EXPECT_EQ(window->tableModel()->rowCount(), 0);
    EXPECT_EQ(window->summaryLabel()->text(), QStringLiteral("No recorded rows of lot \"L9\"."));
    GuiDriver::clearEdit(window->lotEdit());
    window->fromEdit()->setDate(QDate::currentDate().addDays(1));
    GuiDriver::click(window->showButton());
    EXPECT_TRUE(window->summaryLabel()->text().startsWith(QStringLiteral("No recorded rows of any lot from ")))
        << qPrintable(window->summaryLabel()->text());
    window->fromEdit()->setDate(QDate::currentDate());
    GuiDriver::click(window->showButton());
    EXPECT_EQ(window->shown().rows(), 13) << "every lot recorded today";

    // A database that is gone says so.
    ASSERT_TRUE(QFile::remove(db));
    GuiDriver::click(window->showButton());
    EXPECT_EQ(window->tableModel()->rowCount(), 0);
    EXPECT_TRUE(window->summaryLabel()->text().contains(QStringLiteral("does not exist")))
        << qPrintable(window->summaryLabel()->text());

    // Back to the Executive View: its live table, untouched.
    window->sourceBox()->setCurrentIndex(0);
    EXPECT_FALSE(window->lotEdit()->isEnabled());
    EXPECT_EQ(window->tableModel()->rowCount(), 10);
    EXPECT_EQ(window->shown().rows(), 0);
    EXPECT_TRUE(window->summaryLabel()->text().startsWith(QStringLiteral("Rows: 0")));
}

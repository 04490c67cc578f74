// Results > Bins... and the control chart of the Statistics window in the
// whole desktop program, following a run of a meter whose parts spread and
// sometimes come out far off: the plan is kept beside the procedure, the
// counts are those of the table's texts counted here by hand, the large
// label shows the last part's bin, Reset counts starts again; the chart's
// limits and violations are those qel-cli prints for the saved report.

#include "DesktopRig.h"

#include "components/ui/PictureButton.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "procedure/ui/ProcedureView.h"
#include "document/Document.h"
#include "reports/ui/ReportPrinting.h"
#include "session/SessionOutputs.h"
#include "sheets/WorkbookWriter.h"
#include "statistics/BinPlan.h"
#include "statistics/ui/BinsWindow.h"
#include "statistics/ui/ControlChartView.h"
#include "statistics/ui/StatisticsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPrinter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

namespace {

using F = MainWindow;

class ResultsBins : public DesktopRig
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

    bool runLoops(int loops)
    {
        DesktopRig::runLoops(QString::number(loops));
        return Desktop::waitUntil([this] { return runActive(); }, 10000)
            && Desktop::waitUntil([this] { return !runActive(); }, 60000);
    }

    // C1 of each row from its text ("99.3891nF"), binned against 100 nF
    // +-1 %, +-2 %, +-5 % in hundredths of a nanofarad, so no rounding of
    // a product decides an edge.
    QMap<QString, int> countByHand(int from) const
    {
        QMap<QString, int> counts;
        for (int r = from; r < results()->rowCount(); ++r) {
            const QString text = results()->cell(r, 1);
            EXPECT_TRUE(text.endsWith(QLatin1String("nF"))) << text.toStdString();
            const qint64 centi = qRound64(text.chopped(2).toDouble() * 1e4); // 1e-4 nF steps
            QString bin = QStringLiteral("OUT");
            for (int i = 0; i < 3; ++i) {
                const qint64 half = QList<qint64>{10000, 20000, 50000}[i];
                if (centi >= 1000000 - half && centi <= 1000000 + half) {
                    bin = QStringLiteral("BIN%1").arg(i + 1);
                    break;
                }
            }
            ++counts[bin];
        }
        return counts;
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
        names << name;
        m_in = name == m_wanted;
        return true;
    }
    bool close() override { return true; }
    QString errorText() const override { return {}; }
    QList<QStringList> rows;
    QStringList names;

private:
    QString m_wanted;
    bool m_in = false;
};

} // namespace

TEST_F(ResultsBins, TheBinsWindowCountsARunLiveKeepsItsPlanAndResets)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--spread"),
                            QStringLiteral("C=2%"), QStringLiteral("--outliers"), QStringLiteral("15%"),
                            QStringLiteral("--part-every"), QStringLiteral("6"), QStringLiteral("--seed"),
                            QStringLiteral("21")}));
    const QString pro = example(QStringLiteral("capacitor.pro"));
    ASSERT_TRUE(startApp(pro));

    QAction *open = resultsCommand(QStringLiteral("&Bins..."));
    ASSERT_NE(open, nullptr) << "a Bins command in the Results menu";
    open->trigger();
    auto *window = mainWindow()->findChild<BinsWindow *>();
    ASSERT_TRUE(window && window->isVisible());
    // No plan kept yet: one from step 1's standard (100 nF), +-1, 2, 5 %.
    EXPECT_TRUE(window->hasPlan());
    EXPECT_EQ(window->nominalEdit()->text(), QStringLiteral("1e-07"));
    EXPECT_EQ(window->binTable()->item(2, 1)->text(), QStringLiteral("5"));
    EXPECT_EQ(window->currentLabel()->text(), QStringLiteral("-"));

    // A typed plan that cannot be used is refused naming the key.
    GuiDriver::clearEdit(window->nominalEdit());
    GuiDriver::click(window->saveButton());
    EXPECT_TRUE(window->messageLabel()->text().contains(QLatin1String("\"nominal\""))) << qPrintable(window->messageLabel()->text());
    const QString planPath = dir.path() + QStringLiteral("/capacitor.bins.json");
    EXPECT_FALSE(QFile::exists(planPath));
    GuiDriver::type(window->nominalEdit(), QStringLiteral("100n"));
    GuiDriver::click(window->saveButton());
    ASSERT_TRUE(QFile::exists(planPath)) << qPrintable(window->messageLabel()->text());
    QString error;
    const std::optional<BinPlan> kept = BinPlan::load(planPath, &error);
    ASSERT_TRUE(kept) << qPrintable(error);
    EXPECT_EQ(kept->step, 1);
    EXPECT_DOUBLE_EQ(kept->nominal, 100e-9);
    EXPECT_EQ(kept->bins, (QVector<std::pair<double, double>>{{-1, 1}, {-2, 2}, {-5, 5}}));

    ASSERT_TRUE(runLoops(40));
    ASSERT_EQ(results()->rowCount(), 40);
    window->refreshNow();
    const QMap<QString, int> hand = countByHand(0);
    const BinSorter &s = window->sorter();
    EXPECT_EQ(s.rows(), 40);
    for (int i = 0; i <= s.plan().out(); ++i)
        EXPECT_EQ(s.countOf(i), hand.value(s.plan().name(i))) << qPrintable(s.plan().name(i));
    EXPECT_GT(hand.value(QStringLiteral("OUT")), 0) << "outliers at 15 % of parts";
    EXPECT_GT(hand.value(QStringLiteral("BIN1")), 0);
    // The large label: the bin of the last part.
    const QMap<QString, int> lastPart = countByHand(39);
    ASSERT_EQ(lastPart.size(), 1);
    EXPECT_EQ(window->currentLabel()->text(), lastPart.firstKey());
    EXPECT_GE(window->currentLabel()->font().pointSize(), 72);

    // The workbook gains the sheet "Bins" after "Statistics", with these counts.
    SheetRows sheet(QStringLiteral("Bins"));
    app->session().resultOutputs().writeWorkbook(sheet);
    EXPECT_EQ(sheet.names, (QStringList{QStringLiteral("Statistics"), QStringLiteral("Bins")}));
    ASSERT_GE(sheet.rows.size(), 6);
    for (int i = 0; i <= s.plan().out(); ++i) {
        EXPECT_EQ(sheet.rows.at(i + 1).value(0), s.plan().name(i));
        EXPECT_EQ(sheet.rows.at(i + 1).value(3), QString::number(hand.value(s.plan().name(i))));
    }

    // The print's bins page, when asked for, after the report.
    window->printCheckBox()->setChecked(true);
    QPrinter *printer = app->printing()->printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir.path() + QStringLiteral("/bins.pdf");
    printer->setOutputFileName(pdf);
    app->printing()->setDialogRunner([](QDialog *) { return int(QDialog::Accepted); });
    ASSERT_TRUE(app->printing()->print());
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    const QString lastPage = printed.section(QLatin1Char('\f'), -2, -2);
    EXPECT_TRUE(lastPage.contains(QStringLiteral("Bins"))) << lastPage.toStdString();
    EXPECT_TRUE(lastPage.contains(QStringLiteral("Rows: 40")));

    // Reset: the next run alone is counted.
    GuiDriver::click(window->resetButton());
    EXPECT_EQ(window->sorter().rows(), 0);
    EXPECT_EQ(window->currentLabel()->text(), QStringLiteral("-"));
    ASSERT_TRUE(runLoops(10));
    window->refreshNow();
    // Whether the table kept the earlier rows or not, the last ten are counted.
    const QMap<QString, int> again = countByHand(results()->rowCount() - 10);
    EXPECT_EQ(window->sorter().rows(), 10);
    for (int i = 0; i <= s.plan().out(); ++i)
        EXPECT_EQ(window->sorter().countOf(i), again.value(s.plan().name(i))) << qPrintable(s.plan().name(i));
}

TEST_F(ResultsBins, TheStatisticsWindowDrawsTheControlChartQelCliComputes)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--spread"),
                            QStringLiteral("C=2%"), QStringLiteral("--drift"), QStringLiteral("C=0.2%"),
                            QStringLiteral("--part-every"), QStringLiteral("6"), QStringLiteral("--seed"),
                            QStringLiteral("5")}));
    const QString pro = example(QStringLiteral("capacitor.pro"));
    ASSERT_TRUE(startApp(pro));
    resultsCommand(QStringLiteral("&Statistics..."))->trigger();
    auto *window = mainWindow()->findChild<StatisticsWindow *>();
    ASSERT_TRUE(window && window->isVisible());
    ASSERT_TRUE(runLoops(40));
    window->refreshNow();
    window->selectColumn(0);
    ControlChartView *view = window->controlChart();
    EXPECT_EQ(view->chart().points(), 40);
    EXPECT_EQ(view->chart().kind(), QStringLiteral("I-MR"));
    window->subgroupBox()->setValue(5);
    EXPECT_EQ(view->chart().points(), 8);

    const QString rpt = dir.path() + QStringLiteral("/capacitor_1.rpt");
    ASSERT_TRUE(app->document()->saveDocument(rpt));
    QProcess p;
    p.start(qelBinDir() + QStringLiteral("/qel-cli"), {QStringLiteral("stats"), rpt, QStringLiteral("--procedure"), pro,
                                                      QStringLiteral("--json"), QStringLiteral("--control"),
                                                      QStringLiteral("--subgroup"), QStringLiteral("5")});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QJsonObject c = QJsonDocument::fromJson(p.readAllStandardOutput())
                              .object()
                              .value("columns")
                              .toArray()
                              .at(0)
                              .toObject()
                              .value("control")
                              .toObject();
    const std::optional<ControlLimits> l = view->chart().limits();
    ASSERT_TRUE(l);
    // C1's texts hold every digit the meter sent: the same numbers.
    EXPECT_NEAR(l->center, c.value("center").toDouble(), 1e-20);
    EXPECT_NEAR(l->ucl, c.value("ucl").toDouble(), 1e-20);
    EXPECT_NEAR(l->lcl, c.value("lcl").toDouble(), 1e-20);
    QVector<RuleViolation> expected;
    for (const QJsonValue &v : c.value("violations").toArray())
        expected.append({v.toObject().value("point").toInt(), v.toObject().value("rule").toInt()});
    EXPECT_EQ(view->violations(), expected);
    // A drift of 0.2 % a part over forty parts walks off the center.
    EXPECT_FALSE(expected.isEmpty());

    // Live: more rows, more points.
    ASSERT_TRUE(runLoops(10));
    window->refreshNow();
    EXPECT_EQ(view->chart().points(), results()->rowCount() / 5);
    EXPECT_GT(results()->rowCount(), 0);
}

// A plan kept beside the procedure sorts the runs of a session that never
// opened the Bins window; one that does not fit the steps sorts nothing.
TEST_F(ResultsBins, APlanKeptBesideTheProcedureSortsWithoutTheWindow)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05")}));
    const QString pro = example(QStringLiteral("capacitor.pro"));
    QFile plan(dir.path() + QStringLiteral("/capacitor.bins.json"));
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
    plan.write(R"({"step": 1, "mode": "nested", "nominal": 1e-7, "bins": [[-1, 1], [-5, 5]]})");
    plan.close();
    ASSERT_TRUE(startApp(pro));
    ASSERT_TRUE(Desktop::waitUntil([this] { return app->session().binPlan().has_value(); }, 10000));
    EXPECT_EQ(app->session().binPlan()->bins.size(), 2);
    EXPECT_EQ(mainWindow()->findChild<BinsWindow *>(), nullptr);
    ASSERT_TRUE(runLoops(3));
    SheetRows sheet(QStringLiteral("Bins"));
    app->session().resultOutputs().writeWorkbook(sheet);
    EXPECT_EQ(sheet.names, (QStringList{QStringLiteral("Statistics"), QStringLiteral("Bins")}));
    ASSERT_GE(sheet.rows.size(), 2);
    EXPECT_EQ(sheet.rows.at(1).value(0), QStringLiteral("BIN1"));
    EXPECT_EQ(sheet.rows.at(1).value(3), QStringLiteral("3"));

    // Step 9 is not in the procedure: no plan.
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly | QIODevice::Truncate));
    plan.write(R"({"step": 9, "mode": "nested", "nominal": 1e-7, "bins": [[-1, 1]]})");
    plan.close();
    app->session().document().onNewDocument();
    ASSERT_TRUE(app->openFile(pro));
    EXPECT_TRUE(Desktop::waitUntil([this] { return !app->session().binPlan().has_value(); }, 10000));
}

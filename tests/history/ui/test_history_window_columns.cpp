// The Results History window's run list sizes its columns to their texts:
// at a wide window every text is whole; where they cannot all fit, the
// widest columns give way, lose the middle of their texts and keep the
// whole text as the tooltip.

#include "history/HistoryDatabase.h"
#include "history/HistoryModels.h"
#include "history/ui/ResultsHistoryWindow.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString LongMeter = QStringLiteral("QEL,SIMULATED LCR METER WITH A LONG IDENTITY,SERIAL 0123456789-ABCDEF,"
                                         "FIRMWARE 4.07.2026-12-01 BUILD 7731 (CALIBRATED 2026-11-30)");

bool fillHistory(const HistoryTarget &target, const QString &meter)
{
    HistoryDatabase db;
    QString error;
    if (!db.open(target, HistoryDatabase::Mode::ReadWrite, &error))
        return false;
    for (int i = 1; i <= 3; ++i) {
        History::RunRecord run;
        run.id = QStringLiteral("run-%1").arg(i);
        run.started = QDateTime::currentDateTimeUtc().addSecs(i);
        run.procedure = QStringLiteral("capacitor-incoming-inspection-%1.pro").arg(i);
        run.meter = meter;
        run.station = QStringLiteral("bench-7");
        run.operatorName = QStringLiteral("Operator");
        run.lotNo = QStringLiteral("L%1").arg(i);
        run.columns = {{1, QStringLiteral("C"), QStringLiteral("F")}};
        if (!db.insertRun(run, &error))
            return false;
        if (i < 3 && !db.finishRun(run.id, run.started.addSecs(1), QStringLiteral("completed"), &error))
            return false;
    }
    return true;
}

struct Shown
{
    explicit Shown(const QString &meter)
    {
        target.kind = HistoryTarget::Kind::SQLite;
        target.path = dir.filePath(QStringLiteral("runs.sqlite"));
        filled = fillHistory(target, meter);
        window.setTarget(target);
    }
    void showAt(int width)
    {
        window.resize(width, 640);
        window.show();
        QApplication::processEvents();
        QApplication::processEvents();
    }
    QTableView *view() const { return window.runsView(); }
    // The width the column's texts and title need.
    int needed(int column) const
    {
        return std::max(static_cast<QAbstractItemView *>(view())->sizeHintForColumn(column),
                        view()->horizontalHeader()->sectionSizeHint(column));
    }

    QTemporaryDir dir;
    HistoryTarget target;
    bool filled = false;
    ResultsHistoryWindow window{nullptr};
};

} // namespace

TEST(HistoryWindowColumns, EveryTextIsWholeAtAWideWindow)
{
    Shown s(QStringLiteral("QEL,SIMULATED,0,1.0"));
    ASSERT_TRUE(s.filled);
    s.showAt(1750);
    ASSERT_EQ(s.window.runsModel()->rowCount(), 3);
    EXPECT_EQ(s.view()->textElideMode(), Qt::ElideMiddle);
    for (int c : {RunListModel::Started, RunListModel::Procedure, RunListModel::Lot, RunListModel::Outcome,
                  RunListModel::Station, RunListModel::Operator, RunListModel::Meter})
        EXPECT_GE(s.view()->columnWidth(c), s.needed(c)) << "column " << c;
    // "running or cut off", the longest outcome, fits too.
    EXPECT_EQ(s.window.runsModel()->index(0, RunListModel::Outcome).data().toString(), QStringLiteral("running or cut off"));
    if (!qEnvironmentVariableIsEmpty("QEL_SCREENSHOT_DIR"))
        s.window.grab().save(qEnvironmentVariable("QEL_SCREENSHOT_DIR") + QStringLiteral("/history-1750.png"));
}

TEST(HistoryWindowColumns, ALongTextGivesWayFirstAndKeepsItsWholeTextAsTheTooltip)
{
    Shown s(LongMeter);
    ASSERT_TRUE(s.filled);
    s.showAt(1000);
    const int room = s.view()->viewport()->width();
    int total = 0;
    for (int c = 0; c < RunListModel::ColumnCount; ++c)
        total += s.view()->columnWidth(c);
    EXPECT_LE(total, room + 2) << "no scrolling sideways for one long text";
    // The short columns keep their texts whole; the meter gives way.
    for (int c : {RunListModel::Started, RunListModel::Lot, RunListModel::Rows, RunListModel::Outcome})
        EXPECT_GE(s.view()->columnWidth(c), s.needed(c)) << "column " << c;
    EXPECT_LT(s.view()->columnWidth(RunListModel::Meter), s.needed(RunListModel::Meter));
    const QModelIndex meter = s.window.runsModel()->index(0, RunListModel::Meter);
    EXPECT_EQ(meter.data(Qt::ToolTipRole).toString(), LongMeter);
    if (!qEnvironmentVariableIsEmpty("QEL_SCREENSHOT_DIR"))
        s.window.grab().save(qEnvironmentVariable("QEL_SCREENSHOT_DIR") + QStringLiteral("/history-1000.png"));
}

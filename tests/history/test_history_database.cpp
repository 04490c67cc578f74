// What a run keeps beyond its readings (the meter profile, each part's
// serial number and bin) survives the write and the read on a file and on
// a server, and a row without them reads back as without.

#include "history/HistoryDatabase.h"
#include "history/HistoryTarget.h"

#include "../support/PostgresServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(HistoryDatabase, ProfileSerialAndBinAreKeptOnAFileAndAServer)
{
    PostgresServer &pg = PostgresServer::shared();
    ASSERT_TRUE(pg.isRunning()) << qPrintable(pg.errorText());
    ASSERT_EQ(pg.query(QStringLiteral("CREATE DATABASE qelkept")), QStringList{QStringLiteral("CREATE DATABASE")});
    QTemporaryDir dir;
    for (const QString &url : {dir.filePath(QStringLiteral("kept.sqlite")), pg.url(QStringLiteral("qelkept"))}) {
        SCOPED_TRACE(url.toStdString());
        QString error;
        const HistoryTarget target = HistoryTarget::parse(url, &error);
        ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
        {
            HistoryDatabase db;
            ASSERT_TRUE(db.open(target, HistoryDatabase::Mode::ReadWrite, &error)) << qPrintable(error);
            History::RunRecord run;
            run.id = QStringLiteral("r1");
            run.started = QDateTime::currentDateTimeUtc();
            run.columns = {{1, QStringLiteral("C"), QStringLiteral("F")}};
            run.meterProfile = QStringLiteral("scpi-lcr");
            ASSERT_TRUE(db.insertRun(run, &error)) << qPrintable(error);
            for (int seq = 1; seq <= 3; ++seq) {
                History::RowRecord r;
                r.runId = run.id;
                r.seq = seq;
                r.measuredAt = run.started;
                r.verdict = QStringLiteral("pass");
                r.cells = {{QStringLiteral("100nF"), 1e-7, QStringLiteral("pass")}};
                if (seq < 3) {
                    r.serial = QStringLiteral("SN-%1\tx").arg(seq);
                    r.bin = seq == 1 ? QStringLiteral("BIN1") : QStringLiteral("AUX");
                }
                ASSERT_TRUE(db.insertRow(r, &error)) << qPrintable(error);
            }
        }
        HistoryDatabase db;
        ASSERT_TRUE(db.open(target, HistoryDatabase::Mode::ReadOnly, &error)) << qPrintable(error);
        QVector<HistoryDatabase::RunSummary> runs;
        ASSERT_TRUE(db.listRuns({}, runs, &error)) << qPrintable(error);
        ASSERT_EQ(runs.size(), 1);
        EXPECT_EQ(runs[0].meterProfile, QStringLiteral("scpi-lcr"));
        QStringList kept;
        ASSERT_TRUE(db.forEachRow({}, [&](const HistoryDatabase::StoredRow &r) {
            kept << QStringLiteral("%1|%2|%3").arg(r.seq).arg(r.serial, r.bin);
            return true;
        }, &error)) << qPrintable(error);
        EXPECT_EQ(kept, (QStringList{QStringLiteral("1|SN-1\tx|BIN1"), QStringLiteral("2|SN-2\tx|AUX"), QStringLiteral("3||")}));
    }
}

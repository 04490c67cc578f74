// How qel-cli serve serves: a run's rows in pages that add up to what
// qel-cli history rows gives, a request answered while another waits on a
// locked table, requests that are not HTTP refused at once, and the kept
// answers bounded by bytes and age.
#include "DashboardHarness.h"

#include "dashboard/DashboardApi.h"

#include "../support/MeterSim.h"
#include "../support/PostgresServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QByteArray cliRows(const QString &db, const QString &run)
{
    const CliResult r = runCli({QStringLiteral("history"), QStringLiteral("rows"), run, QStringLiteral("--db"), db, QStringLiteral("--json")});
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    return r.out;
}

// The JSON rows of history rows --json, one per line.
QList<QByteArray> rowLines(const QByteArray &json)
{
    QList<QByteArray> out;
    for (QByteArray line : json.split('\n')) {
        if (!line.startsWith('{'))
            continue;
        if (line.endsWith(','))
            line.chop(1);
        out << line;
    }
    return out;
}

// The bytes history rows --json gives for these rows.
QByteArray asCli(const QList<QByteArray> &rows)
{
    QByteArray out = "[";
    for (int i = 0; i < rows.size(); ++i)
        out += (i ? ",\n" : "\n") + rows[i];
    return out + (rows.isEmpty() ? "]\n" : "\n]\n");
}

// Every page from offset 0 on, following the answers' next links.
QList<QByteArray> followPages(quint16 port, const QByteArray &first, qint64 total, int *pages)
{
    QList<QByteArray> rows;
    QByteArray next = first;
    *pages = 0;
    while (!next.isEmpty() && *pages < 100) {
        const HttpReply r = httpGet(port, next);
        EXPECT_EQ(r.status, 200) << next.constData() << r.body.constData();
        EXPECT_EQ(r.header("X-Total-Count").toLongLong(), total) << next.constData();
        const QList<QByteArray> page = rowLines(r.body);
        EXPECT_EQ(r.body, asCli(page)) << "a page is in the form of history rows --json";
        rows += page;
        ++*pages;
        const QByteArray link = r.header("Link");
        next.clear();
        if (!link.isEmpty()) {
            EXPECT_TRUE(link.startsWith('<') && link.endsWith(">; rel=\"next\"")) << link.constData();
            next = link.mid(1, link.indexOf('>') - 1);
        }
    }
    return rows;
}

// psql holding a lock until told to let go.
class LockHolder
{
public:
    LockHolder(const PostgresServer &pg, const QString &db, const QString &table)
    {
        const QString port = pg.url().section(QLatin1Char(':'), -1).section(QLatin1Char('/'), 0, 0);
        m_psql.start(QStringLiteral("psql"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), port,
            QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"), db, QStringLiteral("-At")});
        m_psql.write(QStringLiteral("BEGIN; LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE; SELECT 'held';\n").arg(table).toUtf8());
        QElapsedTimer clock;
        clock.start();
        while (!m_out.contains("held") && clock.elapsed() < 30000 && m_psql.state() != QProcess::NotRunning) {
            m_psql.waitForReadyRead(200);
            m_out += m_psql.readAllStandardOutput();
        }
    }
    bool held() const { return m_out.contains("held"); }
    void release()
    {
        if (m_psql.state() == QProcess::NotRunning)
            return;
        m_psql.write("COMMIT;\n");
        m_psql.closeWriteChannel();
        m_psql.waitForFinished(30000);
    }
    ~LockHolder()
    {
        release();
        if (m_psql.state() != QProcess::NotRunning)
            m_psql.kill(), m_psql.waitForFinished(5000);
    }

private:
    QProcess m_psql;
    QByteArray m_out;
};

} // namespace

TEST(DashboardServing, RowsComeInPagesAndOneRequestNeverWaitsForAnotherOverPostgres)
{
    PostgresServer &pg = PostgresServer::shared();
    ASSERT_TRUE(pg.isRunning()) << qPrintable(pg.errorText());
    ASSERT_EQ(pg.query(QStringLiteral("CREATE DATABASE paging")), QStringList{QStringLiteral("CREATE DATABASE")});
    const QString db = pg.url(QStringLiteral("paging"));
    {
        MeterSim sim;
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        const CliResult r = runCli({QStringLiteral("run"), qelSourceDir() + QStringLiteral("/examples/capacitor.pro"), QStringLiteral("--port"),
            sim.devicePath(), QStringLiteral("--db"), db, QStringLiteral("--loops"), QStringLiteral("23")});
        ASSERT_TRUE(r.finished && r.exitCode <= 1) << r.describe();
    }
    const QJsonArray runs = QJsonDocument::fromJson(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db,
                                                           QStringLiteral("--json")}).out).array();
    ASSERT_EQ(runs.size(), 1);
    const QByteArray id = runs[0].toObject().value(QStringLiteral("id")).toString().toUtf8();
    const QList<QByteArray> all = rowLines(cliRows(db, QString::fromUtf8(id)));
    ASSERT_EQ(all.size(), 23);

    DashboardProcess serve({QStringLiteral("--db"), db, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    ASSERT_NE(serve.port(), 0) << qPrintable(serve.errText());
    const QByteArray rows = "/api/runs/" + id + "/rows";

    // Pages of 10 follow each other to the end: 10, 10, 3, with no next after the last.
    int pages = 0;
    EXPECT_EQ(followPages(serve.port(), rows + "?limit=10", 23, &pages), all);
    EXPECT_EQ(pages, 3);
    const HttpReply middle = httpGet(serve.port(), rows + "?offset=7&limit=5");
    EXPECT_EQ(middle.body, asCli(all.mid(7, 5)));
    EXPECT_EQ(middle.header("Link"), "</api/runs/" + id + "/rows?offset=12&limit=5>; rel=\"next\"");
    const HttpReply past = httpGet(serve.port(), rows + "?offset=40");
    EXPECT_EQ(past.status, 200);
    EXPECT_EQ(past.body, "[]\n");
    EXPECT_EQ(past.header("Link"), QByteArray());
    // Without paging parameters: the first page, whole here, as history rows gives it.
    EXPECT_EQ(httpGet(serve.port(), rows).body, asCli(all));
    for (const char *bad : {"?limit=0", "?limit=10001", "?offset=-1", "?offset=first", "?limit=", "?offset=", "?page=2"})
        EXPECT_EQ(httpGet(serve.port(), rows + bad).status, 400) << bad;

    // Rows missing from the middle (as a run cut off leaves its counts to
    // its rows): offsets still count the rows there are.
    ASSERT_EQ(pg.query(QStringLiteral("DELETE FROM result_rows WHERE seq IN (4, 9)"), QStringLiteral("paging")),
        QStringList{QStringLiteral("DELETE 2")});
    ASSERT_EQ(pg.query(QStringLiteral("UPDATE runs SET row_count = NULL, fail_count = NULL"), QStringLiteral("paging")),
        QStringList{QStringLiteral("UPDATE 1")});
    const QList<QByteArray> left = rowLines(cliRows(db, QString::fromUtf8(id)));
    ASSERT_EQ(left.size(), 21);
    EXPECT_EQ(followPages(serve.port(), rows + "?limit=6", 23 - 2, &pages), left);
    EXPECT_EQ(pages, 4);

    // A request for a run's statistics waits on a locked table; other requests are answered meanwhile.
    {
        LockHolder lock(pg, QStringLiteral("paging"), QStringLiteral("result_rows"));
        ASSERT_TRUE(lock.held());
        QTcpSocket waiting;
        waiting.connectToHost(QStringLiteral("127.0.0.1"), serve.port());
        ASSERT_TRUE(waiting.waitForConnected(10000));
        waiting.write("GET /api/stats?run=" + id + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        ASSERT_TRUE(waiting.waitForBytesWritten(10000));
        QElapsedTimer clock;
        clock.start();
        while (pg.query(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'"), QStringLiteral("paging"))
                   != QStringList{QStringLiteral("1")}
               && clock.elapsed() < 30000)
            QThread::msleep(50);
        ASSERT_LT(clock.elapsed(), 30000) << "the statistics request never reached the lock";
        const HttpReply other = httpExchange(serve.port(), "GET /api/runs?colour=red HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 30000);
        EXPECT_EQ(other.status, 400) << "answered while the statistics request waits";
        EXPECT_EQ(httpGet(serve.port(), "/").status, 200);
        EXPECT_EQ(waiting.bytesAvailable(), 0) << "the lock is still held";
        lock.release();
        QByteArray got;
        clock.restart();
        const QByteArray stats = runCli({QStringLiteral("history"), QStringLiteral("stats"), QString::fromUtf8(id), QStringLiteral("--db"), db,
            QStringLiteral("--json")}).out;
        while (!got.endsWith(stats) && clock.elapsed() < 30000) {
            waiting.waitForReadyRead(200);
            got += waiting.readAll();
        }
        EXPECT_TRUE(got.startsWith("HTTP/1.1 200")) << got.constData();
        EXPECT_TRUE(got.endsWith(stats));
    }
    EXPECT_EQ(serve.terminate(), 0);
}

TEST(DashboardServing, RequestsThatAreNotHttpAndEmptySelectionsAreRefusedAtOnce)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("line.sqlite"));
    {
        MeterSim sim;
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        const CliResult r = runCli({QStringLiteral("run"), qelSourceDir() + QStringLiteral("/examples/capacitor.pro"), QStringLiteral("--port"),
            sim.devicePath(), QStringLiteral("--db"), db, QStringLiteral("--lot-no"), QStringLiteral("A")});
        ASSERT_TRUE(r.finished && r.exitCode <= 1) << r.describe();
    }
    DashboardProcess serve({QStringLiteral("--db"), db, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    ASSERT_NE(serve.port(), 0) << qPrintable(serve.errText());

    // Answered and closed well within the 30 s a silent connection is given.
    auto refused = [&](const QByteArray &request, int status) {
        const HttpReply r = httpExchange(serve.port(), request, 10000);
        EXPECT_EQ(r.status, status) << request.left(60).toHex().constData();
        EXPECT_EQ(r.header("Connection"), "close");
        EXPECT_TRUE(QJsonDocument::fromJson(r.body).object().value(QStringLiteral("error")).toString().endsWith(QLatin1Char('.')))
            << r.body.constData();
    };
    refused(QByteArray::fromHex("160301020001000001fc0303") + QByteArray(40, '\x01'), 400); // a TLS hello
    refused("hello there\r\n\r\n", 400);
    refused("GET\r\n\r\n", 400);
    refused("GET /api/runs\r\n", 400);
    refused("GET api/runs HTTP/1.1\r\n\r\n", 400);
    refused("GET /api/runs HTTP/9.9\r\n\r\n", 400);
    refused("GET /api/runs HTTP/1.1\r\nno colon here\r\n\r\n", 400);
    refused(QByteArray(5000, 'G'), 400);
    refused("GET /api/runs HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: " + QByteArray(300000, 'a') + "\r\n\r\n", 431);
    refused("GET /api/runs HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: " + QByteArray(70000, 'a'), 431); // no end in sight

    // An empty selection is no selection: refused, never the whole database.
    for (const char *empty : {"/api/stats?run=", "/api/stats?lot=", "/api/stats?station=", "/api/stats?lot=A&run=", "/api/runs?lot=",
             "/api/histogram?lot=&column=0"}) {
        const HttpReply r = httpGet(serve.port(), empty);
        EXPECT_EQ(r.status, 400) << empty << r.body.constData();
    }
    EXPECT_EQ(httpGet(serve.port(), "/api/stats?lot=A").status, 200);

    // Two requests on one connection: both answered in order.
    const HttpReply two = httpExchange(serve.port(), "GET /api/nothing HTTP/1.1\r\n\r\nGET /api/runs HTTP/1.1\r\n\r\n");
    EXPECT_EQ(two.status, 404);
    EXPECT_EQ(serve.terminate(), 0);
}

TEST(DashboardAnswers, KeepsAtMostItsBytesAndLetsGoOfOldAnswers)
{
    DashboardAnswers answers;
    answers.setReuseMs(600000);
    const DashboardReply big{200, "application/json", QByteArray(DashboardAnswers::MaxAnswerBytes / 2, 'x'), {}};
    for (int i = 0; i < 100; ++i)
        answers.keep("/api/runs/" + QByteArray::number(i) + "/rows?", big);
    EXPECT_LE(answers.bytes(), DashboardAnswers::MaxBytes);
    EXPECT_GT(answers.bytes(), DashboardAnswers::MaxBytes / 2);
    DashboardReply got;
    EXPECT_TRUE(answers.find("/api/runs/99/rows?", got)) << "the newest stays";
    EXPECT_EQ(got.body, big.body);
    EXPECT_FALSE(answers.find("/api/runs/0/rows?", got)) << "the oldest went first";
    answers.keep("/api/too-big?", DashboardReply{200, "application/json", QByteArray(DashboardAnswers::MaxAnswerBytes + 1, 'y'), {}});
    EXPECT_FALSE(answers.find("/api/too-big?", got));

    // Past the reuse time nothing is held, even with nothing more asked.
    answers.setReuseMs(1);
    QElapsedTimer clock;
    clock.start();
    while (answers.bytes() > 0 && clock.elapsed() < 30000) {
        QThread::msleep(5);
        answers.purge();
    }
    EXPECT_EQ(answers.bytes(), 0);
    EXPECT_FALSE(answers.find("/api/runs/99/rows?", got));
}

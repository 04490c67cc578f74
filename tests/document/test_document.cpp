#include "DocTestSupport.h"
#include "document/Document.h"
#include "../support/RecordingPrompter.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

class DocumentTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    ProcedureModel procedure;
    ResultTableModel results;
    RecordingPrompter prompter;
    FakePlotPage plot;
    Document doc{&procedure, &results, &prompter};

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        doc.setPlotPage(&plot);
        doc.setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(9, 5)); });
        doc.onNewDocument();
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    // C/D and L/off: one second item in two steps.
    void twoStepProcedure()
    {
        fillProcedure(procedure, {makeStep("C", "nF", "D", "D"), makeStep("L", "uH", "off", "")});
        results.rebuildColumns(procedure);
    }
    void addResult(const QStringList &cells, const QString &date, const QString &time)
    {
        const int row = results.appendRow(cells, ResultTableModel::Passed);
        results.setRowDateTime(row, date, time);
    }
    ModelSnapshot snapshot() const { return ModelSnapshot::of(procedure, results); }

    // Saves the current models under name; then empties the models.
    void saveAs(const QString &name)
    {
        ASSERT_TRUE(doc.saveDocument(path(name))) << doc.lastError().toStdString();
    }
    void expectRefused(const QString &text)
    {
        ASSERT_EQ(prompter.said.size(), 1);
        EXPECT_EQ(prompter.said.at(0).caption, QStringLiteral("Warning"));
        EXPECT_EQ(prompter.said.at(0).icon, Prompter::Icon::Error);
        EXPECT_EQ(prompter.said.at(0).text, text);
        prompter.clear();
    }
};

} // namespace

TEST_F(DocumentTest, NewDocumentTakesItsCreationTitleOnce)
{
    EXPECT_EQ(doc.title(), QStringLiteral("Untitled"));
    EXPECT_EQ(doc.creationTitle(), QStringLiteral("Untitled"));
    EXPECT_TRUE(doc.pathName().isEmpty());

    ProcedureModel p;
    ResultTableModel r;
    Document opened(&p, &r, &prompter);
    // Started by opening a file: the creation title stays empty.
    EXPECT_TRUE(opened.creationTitle().isEmpty());
}

TEST_F(DocumentTest, ProcedureRoundTripRebuildsRowsNumbersAndPictures)
{
    fillProcedure(procedure, {makeStep("C", "nF", "D", "D", "PAR"), makeStep("L", "uH", "Q", "Q"),
                                 makeStep("Z", "O", "Angle", QString(QChar(0x00B0)), QString()),
                                 makeStep("Rdc", "O", "off", "", QString())});
    const ModelSnapshot before = snapshot();
    saveAs("abc.pro");
    EXPECT_EQ(doc.pathName(), path("abc.pro"));
    EXPECT_EQ(doc.title(), QStringLiteral("abc.pro"));

    // The Angle step's unit is stored as Big5.
    EXPECT_TRUE(fileBytes(path("abc.pro")).contains(QByteArray("\x02\xa2\x58")));

    ProcedureModel p;
    ResultTableModel r;
    Document other(&p, &r, &prompter);
    PathSignalLog loaded(&other, &Document::documentLoaded);
    ASSERT_TRUE(other.openDocument(path("abc.pro"))) << other.lastError().toStdString();
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_EQ(loaded.paths.at(0), path("abc.pro"));
    const ModelSnapshot after = ModelSnapshot::of(p, r);
    EXPECT_EQ(after.steps, before.steps);
    EXPECT_EQ(after.pictures, (QVector<int>{ProcedureStep::CPar, ProcedureStep::LSer, ProcedureStep::ROnly,
                                  ProcedureStep::ROnly}));
    EXPECT_EQ(p.text(3, ProcedureStep::Step), QStringLiteral("4"));
    EXPECT_EQ(r.stepColumnTitles(),
        QStringList({"C1", "P/F", "D1", "P/F", "L2", "P/F", "Q2", "P/F", "Z3", "P/F", "Angle3", "P/F", "Rdc4", "P/F"}));
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST_F(DocumentTest, EmptyProcedureIs36BytesAndLoadsBackEmpty)
{
    saveAs("empty.pro");
    EXPECT_EQ(fileBytes(path("empty.pro")), QByteArray(36, '\0'));
    fillProcedure(procedure, {makeStep("C", "nF", "off", "")});
    ASSERT_TRUE(doc.openDocument(path("empty.pro")));
    EXPECT_EQ(procedure.stepCount(), 0);
    EXPECT_EQ(results.columnTitles(), QStringList{"Seq."});
}

TEST_F(DocumentTest, ReportRowsHoldTwoCellsPerItem)
{
    twoStepProcedure();
    addResult({"100.2nF", "pass", "0.001", "pass", "1.2uH", "pass"}, "2026/12/6/", "9:5:1");
    // A row with more cells than the columns, and one with fewer.
    addResult({"99nF", "fail", "0.2", "fail", "1uH", "pass", "extra", "cells"}, "2026/12/6/", "9:5:2");
    addResult({"98nF", "fail"}, "2026/12/6/", "9:5:3");
    saveAs("abc_1.rpt");

    EXPECT_EQ(doc.data().reportRowCount, 3);
    QStringList rows;
    for (qsizetype i = 0; i < doc.data().reportEntryCount(); ++i)
        rows << doc.data().reportEntry(i);
    EXPECT_EQ(rows.at(0), QStringLiteral("100.2nF\npass\n0.001\npass\n1.2uH\npass\n"));
    EXPECT_EQ(rows.at(1), QStringLiteral("99nF\nfail\n0.2\nfail\n1uH\npass\n"));
    EXPECT_EQ(rows.at(2), QStringLiteral("98nF\nfail\n\n\n\n\n"));
    for (const QString &row : rows)
        EXPECT_EQ(row.count(QLatin1Char('\n')), 6);

    const QByteArray bytes = fileBytes(path("abc_1.rpt"));
    EXPECT_EQ(bytes.left(6), QByteArray::fromHex("03000000" "0300"));
    EXPECT_TRUE(bytes.endsWith(QByteArray("\x03\x00\x05" "9:5:1\x05" "9:5:2\x05" "9:5:3", 20)));
}

TEST_F(DocumentTest, ReportLoadRebuildsColumnsRowsImagesAndDates)
{
    twoStepProcedure();
    saveAs("abc.pro");
    addResult({"100.2nF", "pass", "0.001", "pass", "1.2uH", "pass"}, "2026/12/6/", "9:5:1");
    addResult({"99nF", "fail", "0.2", "pass", "1uH", "pass"}, "2026/12/6/", "9:5:2");
    saveAs("abc_202612695.rpt");
    const ModelSnapshot saved = snapshot();

    results.removeAllRows();
    results.setReportDates({});
    results.setReportTimes({});
    ASSERT_TRUE(doc.openDocument(path("abc_202612695.rpt")));
    const ModelSnapshot after = snapshot();
    EXPECT_EQ(after.titles, saved.titles);
    EXPECT_EQ(after.rows, saved.rows);
    EXPECT_EQ(after.images, (QVector<int>{ResultTableModel::Passed, ResultTableModel::Failed}));
    EXPECT_EQ(after.dates, saved.dates);
    EXPECT_EQ(after.times, saved.times);
    EXPECT_EQ(results.cell(1, 2), QStringLiteral("fail"));
    EXPECT_EQ(results.cell(1, 0), QStringLiteral("2"));
}

TEST_F(DocumentTest, RebuildSplitsAtMostFourCellsPerStep)
{
    // One step, a row with ten cells and no trailing line feed on the last.
    fillProcedure(procedure, {makeStep("C", "nF", "off", "")});
    saveAs("one.pro");
    QByteArray rpt = QByteArray::fromHex("02000000" "0200");
    const QByteArray row1("1\n2\n3\n4\n5\n6\nfail");
    const QByteArray row2("7\npass");
    rpt += char(row1.size()) + row1 + char(row2.size()) + row2 + QByteArray::fromHex("0000" "0000");
    ASSERT_TRUE(writeBytes(path("one_1.rpt"), rpt));
    ASSERT_TRUE(doc.openDocument(path("one_1.rpt"))) << doc.lastError().toStdString();
    ASSERT_EQ(results.resultCount(), 2);
    EXPECT_EQ(results.cells(0), QStringList({"1", "2", "3", "4"}));
    // "fail" was beyond the cells kept, but the row still reads as failed.
    EXPECT_EQ(results.image(0), ResultTableModel::Failed);
    EXPECT_EQ(results.cells(1), QStringList({"7", "pass"}));
    EXPECT_EQ(results.image(1), ResultTableModel::Passed);
}

TEST_F(DocumentTest, OpenChecksAfterAProcedure)
{
    twoStepProcedure();
    saveAs("abc.pro");
    addResult({"1nF", "pass", "0.1", "pass", "1uH", "pass"}, "d", "t");
    saveAs("abc_202612695.rpt");
    saveAs("xyz_1.rpt");
    ASSERT_TRUE(doc.openDocument(path("abc.pro")));

    ASSERT_TRUE(doc.openDocument(path("abc_202612695.rpt")));
    EXPECT_EQ(results.resultCount(), 1);

    ASSERT_TRUE(doc.openDocument(path("abc.pro")));
    const ModelSnapshot before = snapshot();
    PathSignalLog loaded(&doc, &Document::documentLoaded);
    EXPECT_FALSE(doc.openDocument(path("xyz_1.rpt")));
    expectRefused("Loading report file fail, the name is not corresponding with procedure's name");
    EXPECT_EQ(doc.pathName(), path("abc.pro"));
    EXPECT_TRUE(snapshot() == before);
    EXPECT_EQ(loaded.count(), 0);
}

TEST_F(DocumentTest, AReportBeforeAnyProcedureCannotBeOpened)
{
    twoStepProcedure();
    addResult({"1nF", "pass", "0.1", "pass", "1uH", "pass"}, "d", "t");
    saveAs("abc_1.rpt");

    ProcedureModel p;
    ResultTableModel r;
    Document fresh(&p, &r, &prompter);
    fresh.onNewDocument();
    EXPECT_FALSE(fresh.openDocument(path("abc_1.rpt")));
    expectRefused("Can't open the file.");
    EXPECT_EQ(r.resultCount(), 0);

    // After a clear the name ends in .qel: still no procedure.
    doc.clearDocument();
    EXPECT_FALSE(doc.openDocument(path("abc_1.rpt")));
    expectRefused("Can't open the file.");
}

TEST_F(DocumentTest, ReportToReportNeedsTheSameStem)
{
    twoStepProcedure();
    saveAs("abc.pro");
    addResult({"1nF", "pass", "0.1", "pass", "1uH", "pass"}, "d", "t1");
    saveAs("abc_1.rpt");
    saveAs("abd_2.rpt");
    addResult({"2nF", "pass", "0.1", "pass", "1uH", "pass"}, "d", "t2");
    saveAs("abc_3.rpt");
    ASSERT_TRUE(doc.openDocument(path("abc_1.rpt")));
    EXPECT_FALSE(doc.openDocument(path("abd_2.rpt")));
    expectRefused("Loading report file fail, the name type is not corresponding");
    EXPECT_EQ(results.resultCount(), 1);
    ASSERT_TRUE(doc.openDocument(path("abc_3.rpt")));
    EXPECT_EQ(results.resultCount(), 2);
}

TEST_F(DocumentTest, ProcedureAfterReportKeepsOrClearsTheReportData)
{
    twoStepProcedure();
    saveAs("abc.pro");
    saveAs("xyz.pro");
    addResult({"1nF", "pass", "0.1", "pass", "1uH", "pass"}, "d", "t1");
    saveAs("abc_1.rpt");

    ASSERT_TRUE(doc.openDocument(path("abc.pro")));
    EXPECT_EQ(results.resultCount(), 1);
    EXPECT_EQ(doc.data().reportRowCount, 1);

    ASSERT_TRUE(doc.openDocument(path("abc_1.rpt")));
    ASSERT_TRUE(doc.openDocument(path("xyz.pro")));
    EXPECT_EQ(results.resultCount(), 0);
    EXPECT_EQ(doc.data().reportRowCount, 0);
    EXPECT_TRUE(doc.data().reportDates.isEmpty());
    EXPECT_TRUE(results.reportTimes().isEmpty());
}

TEST_F(DocumentTest, SameProcedureAgainKeepsTheRowsAnotherEmptiesThem)
{
    twoStepProcedure();
    saveAs("other.pro");
    addResult({"1nF", "pass", "0.1", "pass", "1uH", "pass"}, "d", "t1");
    saveAs("abc.pro"); // the save's refresh copies the rows into the document

    ASSERT_TRUE(doc.openDocument(path("abc.pro")));
    EXPECT_EQ(results.resultCount(), 1);
    ASSERT_TRUE(doc.openDocument(path("other.pro")));
    EXPECT_EQ(results.resultCount(), 0);
    EXPECT_EQ(doc.data().reportRowCount, 0);
}

TEST_F(DocumentTest, UpperCaseEndingIsNoTypeAndIsNotOpened)
{
    twoStepProcedure();
    saveAs("abc.pro");
    ASSERT_TRUE(writeBytes(path("abc.PRO"), fileBytes(path("abc.pro"))));
    const ModelSnapshot before = snapshot();
    EXPECT_EQ(Document::fileType(path("abc.PRO")), Document::FileType::None);
    EXPECT_FALSE(doc.openDocument(path("abc.PRO")));
    expectRefused("Can't open the file.");
    EXPECT_TRUE(snapshot() == before);
    EXPECT_EQ(doc.pathName(), path("abc.pro"));
}

TEST_F(DocumentTest, TruncatedFilesLeaveDocumentAndModelsAsTheyWere)
{
    twoStepProcedure();
    saveAs("abc.pro");
    addResult({"100.2nF", "pass", "0.001", "pass", "1.2uH", "pass"}, "2026/12/6/", "9:5:1");
    addResult({"99nF", "fail", "0.2", "fail", "1uH", "pass"}, "2026/12/6/", "9:5:2");
    saveAs("abc_1.rpt");
    const QByteArray rpt = fileBytes(path("abc_1.rpt"));
    const QByteArray pro = fileBytes(path("abc.pro"));

    // A different state in the models than in either file.
    results.removeAllRows();
    addResult({"5nF", "pass", "0.3", "pass", "2uH", "pass"}, "x", "y");
    const ModelSnapshot before = snapshot();
    const QString pathBefore = doc.pathName();
    const int rowsInDocument = doc.data().reportRowCount;

    for (const auto &[name, full] : {std::pair{QStringLiteral("abc_2.rpt"), rpt}, std::pair{QStringLiteral("abc.pro"), pro}}) {
        for (qsizetype cut = 0; cut < full.size(); ++cut) {
            ASSERT_TRUE(writeBytes(path(name), full.left(cut)));
            PathSignalLog loaded(&doc, &Document::documentLoaded);
            EXPECT_FALSE(doc.openDocument(path(name))) << cut;
            EXPECT_EQ(loaded.count(), 0);
            ASSERT_EQ(prompter.said.size(), 1) << cut;
            EXPECT_TRUE(prompter.said.at(0).text.contains(path(name))) << prompter.said.at(0).text.toStdString();
            prompter.clear();
            ASSERT_TRUE(snapshot() == before) << name.toStdString() << " cut at " << cut;
            EXPECT_EQ(doc.pathName(), pathBefore);
            EXPECT_EQ(doc.data().reportRowCount, rowsInDocument);
            EXPECT_EQ(doc.data().stepCount, 2);
        }
    }
}

TEST_F(DocumentTest, ShortArraysAreReportedAndChangeNothing)
{
    twoStepProcedure();
    saveAs("abc.pro");
    QByteArray pro = fileBytes(path("abc.pro"));
    pro[0] = 5; // five steps announced, two stored
    ASSERT_TRUE(writeBytes(path("bad.pro"), pro));
    const ModelSnapshot before = snapshot();
    EXPECT_FALSE(doc.openDocument(path("bad.pro")));
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_TRUE(prompter.said.at(0).text.contains(QLatin1String("bad.pro")));
    EXPECT_TRUE(snapshot() == before);
    EXPECT_EQ(doc.data().stepCount, 2);
}

TEST_F(DocumentTest, MissingFileIsReported)
{
    EXPECT_FALSE(doc.openDocument(path("nothere.pro")));
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_TRUE(prompter.said.at(0).text.contains(QLatin1String("nothere.pro")));
    EXPECT_TRUE(doc.pathName().isEmpty());
}

TEST_F(DocumentTest, SavingUnderANameOfNoTypeWritesNothing)
{
    twoStepProcedure();
    ASSERT_TRUE(writeBytes(path("keep.PRO"), "previous"));
    EXPECT_FALSE(doc.saveDocument(path("keep.PRO")));
    EXPECT_EQ(fileBytes(path("keep.PRO")), QByteArray("previous"));
    EXPECT_FALSE(doc.saveDocument(path("Untitled.qel")));
    EXPECT_FALSE(QFile::exists(path("Untitled.qel")));
    ASSERT_EQ(prompter.said.size(), 2);
    EXPECT_EQ(prompter.said.at(0).caption, QStringLiteral("Warning"));
    EXPECT_TRUE(prompter.said.at(0).text.contains(QLatin1String("keep.PRO")));
    EXPECT_TRUE(doc.pathName().isEmpty());
}

TEST_F(DocumentTest, FailedWriteKeepsThePreviousFile)
{
    twoStepProcedure();
    saveAs("abc.pro");
    const QByteArray previous = fileBytes(path("abc.pro"));
    // Enough steps to need far more than the size limit set below.
    QVector<ProcedureStep> many;
    for (int i = 0; i < 2000; ++i)
        many << makeStep("C", "nF", "D", "D");
    fillProcedure(procedure, many);

    // Make the file system refuse writes past 4 KB, as a full disk would.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = doc.saveDocument(path("abc.pro"));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(fileBytes(path("abc.pro")), previous);
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_TRUE(prompter.said.at(0).text.contains(path("abc.pro")));
    // No temporary files are left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"abc.pro"});
}

TEST_F(DocumentTest, SaveIntoAMissingFolderFails)
{
    EXPECT_FALSE(doc.saveDocument(path("no/such/abc.pro")));
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_TRUE(prompter.said.at(0).text.contains(QLatin1String("abc.pro")));
}

TEST_F(DocumentTest, ClearKeepsTheFolderAndTakesTheCreationTitle)
{
    twoStepProcedure();
    saveAs("abc.pro");
    PathSignalLog recent(&doc, &Document::recentFileAdded);
    doc.clearDocument();
    EXPECT_EQ(doc.pathName(), dir.path() + QStringLiteral("/Untitled.qel"));
    EXPECT_EQ(doc.title(), QStringLiteral("Untitled"));
    ASSERT_EQ(recent.count(), 1);
    EXPECT_EQ(recent.paths.at(0), doc.pathName());
    // The copies stay; the pages are the editor's to empty.
    EXPECT_EQ(doc.data().stepCount, 2);

    ProcedureModel p;
    ResultTableModel r;
    Document fresh(&p, &r, &prompter);
    fresh.clearDocument();
    EXPECT_EQ(fresh.pathName(), QStringLiteral(".qel"));
    EXPECT_TRUE(fresh.title().isEmpty());
    fresh.onNewDocument();
    fresh.clearDocument();
    EXPECT_EQ(fresh.pathName(), QStringLiteral("Untitled.qel"));
}

TEST_F(DocumentTest, SaveNameIsProposedInTheDocumentsFolder)
{
    twoStepProcedure();
    saveAs("abc.pro");
    EXPECT_EQ(doc.proposedSaveName(2), path("abc_202612695.rpt"));
    EXPECT_EQ(doc.proposedSaveName(3), path("abc.pic"));
    EXPECT_EQ(doc.proposedSaveName(1), path("Untitled.pro"));

    // Another file of the proposed name is never overwritten without asking.
    ASSERT_TRUE(writeBytes(path("Untitled.pro"), "someone else's"));
    EXPECT_TRUE(doc.needsSaveAsPrompt(path("Untitled.pro")));
    EXPECT_TRUE(doc.needsSaveAsPrompt(path("abc_202612695.rpt")));
    EXPECT_FALSE(doc.needsSaveAsPrompt(path("abc.pro")));
    EXPECT_FALSE(doc.needsSaveAsPrompt(dir.path() + QStringLiteral("/./abc.pro")));
    QFile::remove(path("abc.pro"));
    EXPECT_TRUE(doc.needsSaveAsPrompt(path("abc.pro")));

    ProcedureModel p;
    ResultTableModel r;
    Document fresh(&p, &r, &prompter);
    fresh.onNewDocument();
    EXPECT_EQ(fresh.proposedSaveName(1), QStringLiteral("Untitled.pro"));
    EXPECT_TRUE(fresh.needsSaveAsPrompt(fresh.proposedSaveName(1)));
}

TEST_F(DocumentTest, PlotPartGoesThroughThePlotPage)
{
    // Untouched plotter: the 19-byte default plot file.
    saveAs("empty.pic");
    EXPECT_EQ(fileBytes(path("empty.pic")), QByteArray::fromHex("00000000" "01000000" "0143" "036f6666" "023130" "0000"));

    plot.first = "L";
    plot.second = "Q";
    plot.counter = 5;
    plot.rows = QStringList{"20.000000Hz\n1.2\n3.4\n1.3\n3.5\n", "100.000000Hz\n1.3\n3.9\n1.4\n4.0\n"};
    saveAs("sweep.pic");
    plot.rows.clear();
    plot.first = "C";

    ASSERT_TRUE(doc.openDocument(path("sweep.pic")));
    ASSERT_EQ(plot.restores.size(), 1);
    EXPECT_EQ(plot.restores.at(0).rows, (QStringList{"20.000000Hz\n1.2\n3.4\n1.3\n3.5\n",
                                            "100.000000Hz\n1.3\n3.9\n1.4\n4.0\n"}));
    EXPECT_EQ(plot.restores.at(0).columnCount, 5);
    EXPECT_EQ(plot.restores.at(0).first, QStringLiteral("L"));
    EXPECT_EQ(plot.restores.at(0).second, QStringLiteral("Q"));

    // Every load writes the document's plot part back, whatever its type.
    twoStepProcedure();
    ASSERT_TRUE(doc.saveDocument(path("p.pro")));
    plot.restores.clear();
    ASSERT_TRUE(doc.openDocument(path("p.pro")));
    ASSERT_EQ(plot.restores.size(), 1);
    EXPECT_EQ(plot.restores.at(0).first, QStringLiteral("C")); // refreshed by the save
    EXPECT_TRUE(plot.restores.at(0).rows.isEmpty());
}

// The sample files under examples/ are made by this test's builders: the
// test fails when the files and the writer disagree. With
// QEL_UPDATE_EXAMPLES=1 in the environment it rewrites them instead.
#include "DocTestSupport.h"
#include "document/Document.h"

#include "../support/RecordingPrompter.h"
#include "../support/TestPaths.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Capacitors at three frequencies, an inductor, an impedance with its phase
// angle and a DC resistance.
QVector<ProcedureStep> capacitorProcedure()
{
    const QString degree(QChar(0x00B0));
    return {
        stepFromRow({"C", "100", "-5%", "+5%", "nF", "D", "0.01", "-5%", "+5%", "D", "120Hz", "1V", "SER", "SLOW", "%", "0"}),
        stepFromRow({"C", "100", "-5%", "+5%", "nF", "D", "0.01", "-5%", "+5%", "D", "1KHz", "1V", "SER", "MED", "%", "0"}),
        stepFromRow({"C", "100", "-10", "+10", "nF", "off", "", "", "", "", "10KHz", "1V", "PAR", "FAST", "Absolute", "50"}),
        stepFromRow({"L", "10", "-5%", "+5%", "uH", "Q", "50", "-5%", "+5%", "Q", "100KHz", "1V", "SER", "MED", "%", "0"}),
        stepFromRow({"Z", "50", "-5%", "+5%", "O", "Angle", "-45", "-5%", "+5%", degree, "1KHz", "300mV", "", "MED", "%", "0"}),
        stepFromRow({"Rdc", "1", "-5%", "+5%", "KO", "off", "", "", "", "", "", "1V", "", "SLOW", "%", "100"}),
    };
}

void fillSampleResults(ResultTableModel &results)
{
    const QString degree(QChar(0x00B0));
    const QList<QStringList> rows = {
        {"99.8123nF", "pass", "0.01012", "pass", "100.0412nF", "pass", "0.009981", "pass", "101.2nF", "pass",
            "10.1234uH", "pass", "51.2", "pass", "50.987O", "pass", "-44.8" + degree, "pass", "1.0023KO", "pass"},
        {"99.7002nF", "pass", "0.0108", "fail", "99.9034nF", "pass", "0.01001", "pass", "98.5nF", "pass",
            "10.0987uH", "pass", "49.9", "pass", "51.002O", "pass", "-45.1" + degree, "pass", "0.9987KO", "pass"},
        {"94.5nF", "fail", "0.0102", "pass", "94.7nF", "fail", "0.0101", "pass", "94.9nF", "pass", "10.3uH",
            "pass", "48.7", "pass", "49.5O", "pass", "-46.2" + degree, "pass", "1.0101KO", "pass"},
    };
    const QStringList times = {"9:5:10", "9:5:14", "9:5:19"};
    for (int r = 0; r < rows.size(); ++r) {
        const int row = results.appendRow(rows.at(r), rows.at(r).contains(QLatin1String("fail")) ? 1 : 2);
        results.setRowDateTime(row, QStringLiteral("2026/12/6/"), times.at(r));
    }
}

void fillSampleSweep(FakePlotPage &plot)
{
    plot.first = QStringLiteral("C");
    plot.second = QStringLiteral("D");
    plot.counter = 3;
    plot.rows.clear();
    for (int i = 0; i < 10; ++i) {
        const int hz = 20 + i * 80 / 9;
        const double c = 101.5 - i * 0.12;
        const double d = 0.0095 + i * 0.0004;
        plot.rows << QString::number(i == 9 ? 100 : hz) + ".000000Hz\n" + QString::number(c, 'f', 6) + "pF\n"
                + QString::number(d, 'f', 6) + "\n\n\n";
    }
}

struct ExampleSet
{
    ProcedureModel procedure;
    ResultTableModel results;
    FakePlotPage plot;
    RecordingPrompter prompter;
    Document doc{&procedure, &results, &prompter};

    // Writes capacitor.pro, capacitor_202612695.rpt and sweep.pic into folder.
    bool writeInto(const QString &folder)
    {
        doc.setPlotPage(&plot);
        procedure.setSteps(capacitorProcedure());
        procedure.renumber();
        results.rebuildColumns(procedure);
        fillSampleResults(results);
        fillSampleSweep(plot);
        return doc.saveDocument(folder + "/capacitor.pro") && doc.saveDocument(folder + "/capacitor_202612695.rpt")
            && doc.saveDocument(folder + "/sweep.pic");
    }
};

const QStringList exampleNames = {"capacitor.pro", "capacitor_202612695.rpt", "sweep.pic"};

QString examplesDir()
{
    return qelSourceDir() + QStringLiteral("/examples");
}

} // namespace

TEST(Examples, FilesMatchTheirBuilders)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    ExampleSet set;
    if (qEnvironmentVariableIntValue("QEL_UPDATE_EXAMPLES") == 1) {
        ASSERT_TRUE(set.writeInto(examplesDir())) << set.doc.lastError().toStdString();
        return;
    }
    ASSERT_TRUE(set.writeInto(tmp.path())) << set.doc.lastError().toStdString();
    for (const QString &name : exampleNames) {
        const QByteArray committed = fileBytes(examplesDir() + "/" + name);
        ASSERT_FALSE(committed.isEmpty()) << name.toStdString();
        EXPECT_EQ(committed, fileBytes(tmp.filePath(name))) << name.toStdString();
    }
}

TEST(Examples, LoadInTheOrderADemoOpensThem)
{
    ProcedureModel procedure;
    ResultTableModel results;
    RecordingPrompter prompter;
    FakePlotPage plot;
    Document doc(&procedure, &results, &prompter);
    doc.setPlotPage(&plot);
    doc.onNewDocument();

    ASSERT_TRUE(doc.openDocument(examplesDir() + "/capacitor.pro")) << doc.lastError().toStdString();
    EXPECT_EQ(procedure.stepCount(), 6);
    EXPECT_EQ(procedure.text(4, ProcedureStep::SUnit), QString(QChar(0x00B0)));
    EXPECT_EQ(procedure.step(2).picture, ProcedureStep::CPar);

    ASSERT_TRUE(doc.openDocument(examplesDir() + "/capacitor_202612695.rpt")) << doc.lastError().toStdString();
    ASSERT_EQ(results.resultCount(), 3);
    // 6 steps, 4 of them with a second item: 20 cells a row.
    EXPECT_EQ(results.cells(0).size(), 20);
    EXPECT_EQ(results.image(0), ResultTableModel::Passed);
    EXPECT_EQ(results.image(1), ResultTableModel::Failed);
    EXPECT_EQ(results.reportTimes(), (QStringList{"9:5:10", "9:5:14", "9:5:19"}));

    ASSERT_TRUE(doc.openDocument(examplesDir() + "/sweep.pic")) << doc.lastError().toStdString();
    ASSERT_FALSE(plot.restores.isEmpty());
    EXPECT_EQ(plot.restores.last().rows.size(), 10);
    EXPECT_EQ(plot.restores.last().columnCount, 3);
    EXPECT_EQ(plot.restores.last().second, QStringLiteral("D"));
    EXPECT_TRUE(prompter.said.isEmpty());
}

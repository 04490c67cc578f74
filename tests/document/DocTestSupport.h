#pragma once

// Shared by the document tests: building procedures and results in the
// models, and a snapshot of everything the models show.

#include "../support/ProcedureSteps.h"

#include "document/PlotPageAccess.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QFile>
#include <QStringList>

// F-Item, F-Unit, S-Item, S-Unit, circuit: the rest as the editor fills it.
inline ProcedureStep makeStep(const QString &fItem, const QString &fUnit, const QString &sItem, const QString &sUnit,
    const QString &circuit = QStringLiteral("SER"))
{
    using S = ProcedureStep;
    const bool second = sItem != QLatin1String("off");
    return stepWith({{S::FItem, fItem}, {S::FStd, QStringLiteral("100")}, {S::FLow, QStringLiteral("-5%")},
        {S::FHigh, QStringLiteral("+5%")}, {S::FUnit, fUnit}, {S::SItem, sItem},
        {S::SStd, second ? QStringLiteral("0.01") : QString()}, {S::SLow, second ? QStringLiteral("-5%") : QString()},
        {S::SHigh, second ? QStringLiteral("+5%") : QString()}, {S::SUnit, sUnit},
        {S::Freq, fItem == QLatin1String("Rdc") ? QString() : QStringLiteral("1KHz")}, {S::Circuit, circuit}});
}

inline void fillProcedure(ProcedureModel &model, const QVector<ProcedureStep> &steps)
{
    model.setSteps(steps);
    model.renumber();
}

struct ModelSnapshot
{
    QVector<QStringList> steps;
    QVector<int> pictures;
    QStringList titles;
    QStringList rows;
    QVector<int> images;
    QStringList dates;
    QStringList times;

    static ModelSnapshot of(const ProcedureModel &p, const ResultTableModel &r)
    {
        ModelSnapshot s;
        for (int i = 0; i < p.stepCount(); ++i) {
            QStringList f;
            for (const QString &t : p.step(i).fields)
                f << t;
            s.steps << f;
            s.pictures << p.step(i).picture;
        }
        s.titles = r.columnTitles();
        for (int i = 0; i < r.resultCount(); ++i) {
            s.rows << r.joinedRow(i);
            s.images << r.image(i);
        }
        s.dates = r.reportDates();
        s.times = r.reportTimes();
        return s;
    }
    bool operator==(const ModelSnapshot &o) const
    {
        return steps == o.steps && pictures == o.pictures && titles == o.titles && rows == o.rows
            && images == o.images && dates == o.dates && times == o.times;
    }
};

// A plotter stand-in: answers a save from fixed state and records restores.
class FakePlotPage : public PlotPageAccess
{
public:
    QString first = QStringLiteral("C");
    QString second = QStringLiteral("off");
    int counter = 1;
    QStringList rows;

    struct Restore
    {
        QStringList rows;
        int columnCount;
        QString first;
        QString second;
    };
    QList<Restore> restores;

    QString firstItemText() const override { return first; }
    QString secondItemText() const override { return second; }
    int columnCounter() const override { return counter; }
    QStringList joinedRows() const override { return rows; }
    void restoreFromDocument(const QStringList &plotRows, int plotColumnCount, const QString &firstItem,
        const QString &secondItem) override
    {
        restores.append({plotRows, plotColumnCount, firstItem, secondItem});
    }
};

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Records the path of every emission of a Document path signal.
template<typename Signal>
struct PathSignalLog
{
    QStringList paths;
    QMetaObject::Connection connection;
    template<typename Sender>
    PathSignalLog(Sender *sender, Signal signal)
    {
        connection = QObject::connect(sender, signal, [this](const QString &p) { paths << p; });
    }
    ~PathSignalLog() { QObject::disconnect(connection); }
    int count() const { return int(paths.size()); }
};

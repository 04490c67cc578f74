#include "history/HistoryModels.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>

#include <algorithm>

namespace {

QString localTime(const QString &utcText)
{
    const QDateTime t = History::parseTime(utcText);
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

} // namespace

RunListModel::RunListModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void RunListModel::setSource(HistoryDatabase *db, const HistoryDatabase::Filter &filter)
{
    beginResetModel();
    m_db = db;
    m_filter = filter;
    m_runs.clear();
    m_error.clear();
    m_done = db == nullptr;
    endResetModel();
    if (canFetchMore({}))
        fetchMore({});
}

int RunListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_runs.size());
}

int RunListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

bool RunListModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_done;
}

void RunListModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_done || !m_db)
        return;
    QVector<HistoryDatabase::RunSummary> page;
    if (!m_db->listRuns(m_filter, page, &m_error, PageSize, int(m_runs.size()))) {
        m_done = true;
        return;
    }
    m_done = page.size() < PageSize;
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_runs.size()), int(m_runs.size() + page.size() - 1));
    m_runs += page;
    endInsertRows();
}

bool RunListModel::update()
{
    if (!m_db)
        return true;
    QVector<HistoryDatabase::RunSummary> fresh;
    const int want = std::max(int(PageSize), int(m_runs.size()));
    if (!m_db->listRuns(m_filter, fresh, &m_error, want, 0))
        return true;
    // Where the first run shown now stands: the runs before it are new.
    int added = m_runs.isEmpty() ? int(fresh.size()) : -1;
    for (int i = 0; added < 0 && i < fresh.size(); ++i)
        if (fresh[i].id == m_runs.first().id)
            added = i;
    bool aligned = added >= 0;
    for (int i = 0; aligned && added + i < fresh.size() && i < m_runs.size(); ++i)
        aligned = fresh[added + i].id == m_runs[i].id;
    if (!aligned) {
        beginResetModel();
        m_runs = fresh;
        m_done = fresh.size() < want;
        endResetModel();
        return false;
    }
    if (added > 0) {
        beginInsertRows({}, 0, added - 1);
        m_runs = fresh.mid(0, added) + m_runs;
        endInsertRows();
    }
    const int overlap = int(std::min(fresh.size(), m_runs.size()));
    for (int i = added; i < overlap; ++i)
        m_runs[i] = fresh[i];
    if (overlap > added)
        emit dataChanged(index(added, 0), index(overlap - 1, ColumnCount - 1));
    if (m_done && fresh.size() == want)
        m_done = false; // more than a page now: the rest comes as the view scrolls
    return true;
}

QVariant RunListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_runs.size())
        return {};
    const HistoryDatabase::RunSummary &r = m_runs.at(index.row());
    if (role == Qt::ForegroundRole && index.column() == Fails && r.fails > 0)
        return QBrush(QColor(Qt::red));
    if (role == Qt::TextAlignmentRole && (index.column() == Rows || index.column() == Fails))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Started:
        return localTime(r.started);
    case Procedure:
        return r.procedure;
    case Lot:
        return r.lot;
    case Rows:
        return QString::number(r.rows);
    case Fails:
        return QString::number(r.fails);
    case Outcome:
        return r.outcome.isEmpty() ? (r.finished.isEmpty() ? tr("running or cut off") : QString()) : r.outcome;
    case Station:
        return r.station;
    case Operator:
        return r.operatorName;
    case Meter:
        return r.meter;
    }
    return {};
}

QVariant RunListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *titles[] = {"Started", "Procedure", "Lot", "Rows", "Fails", "Outcome", "Station", "Operator", "Meter"};
    return section >= 0 && section < ColumnCount ? tr(titles[section]) : QVariant();
}

RunRowsModel::RunRowsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void RunRowsModel::setRun(HistoryDatabase *db, const QString &runId)
{
    beginResetModel();
    m_db = db;
    m_runId = runId;
    m_rows.clear();
    m_titles.clear();
    m_done = db == nullptr || runId.isEmpty();
    if (!m_done) {
        QVector<History::Column> columns;
        if (db->runColumns(runId, columns, nullptr))
            for (const History::Column &c : columns)
                m_titles << c.item + QString::number(c.step) << QStringLiteral("P/F");
    }
    endResetModel();
    if (canFetchMore({}))
        fetchMore({});
}

int RunRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RunRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || m_runId.isEmpty() ? 0 : int(m_titles.size()) + 2;
}

bool RunRowsModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_done;
}

void RunRowsModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_done || !m_db)
        return;
    HistoryDatabase::Filter f;
    f.runId = m_runId;
    QVector<Row> page;
    const int after = m_rows.isEmpty() ? 0 : m_rows.last().seq;
    const bool ok = m_db->forEachRow(f, [&](const HistoryDatabase::StoredRow &r) {
        Row row{r.seq, r.verdict, r.measuredAt, {}};
        for (int i = 0; i < r.texts.size(); ++i)
            row.cells << r.texts[i] << r.verdicts.value(i);
        page.append(row);
        return true;
    }, nullptr, after, PageSize);
    m_done = !ok || page.size() < PageSize;
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size() - 1));
    m_rows += page;
    endInsertRows();
}

void RunRowsModel::update()
{
    // Rows not yet fetched come as the view scrolls; only the end can grow.
    if (!m_db || m_runId.isEmpty() || canFetchMore({}))
        return;
    m_done = false;
    fetchMore({});
}

QString RunRowsModel::cell(int row, int column) const
{
    const Row &r = m_rows.at(row);
    if (column == 0)
        return QString::number(r.seq);
    if (column - 1 < r.cells.size())
        return r.cells.at(column - 1);
    if (column == columnCount() - 1)
        return localTime(r.measuredAt);
    return {};
}

QVariant RunRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const QString text = cell(index.row(), index.column());
    if (role == Qt::DisplayRole)
        return text;
    if (role == Qt::ForegroundRole && text == QLatin1String("fail"))
        return QBrush(QColor(Qt::red));
    if (role == Qt::ForegroundRole && index.column() == 0 && m_rows.at(index.row()).verdict == QLatin1String("fail"))
        return QBrush(QColor(Qt::red));
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

QVariant RunRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return QStringLiteral("Seq.");
    if (section - 1 < m_titles.size())
        return m_titles.at(section - 1);
    return tr("Measured");
}

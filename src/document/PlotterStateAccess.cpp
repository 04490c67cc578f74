#include "document/PlotterStateAccess.h"

#include "plotter/PlotterState.h"

QString PlotterStateAccess::firstItemText() const
{
    return m_state->firstItemText();
}

QString PlotterStateAccess::secondItemText() const
{
    return m_state->secondItemText();
}

int PlotterStateAccess::columnCounter() const
{
    return m_state->columnCounter();
}

QStringList PlotterStateAccess::joinedRows() const
{
    return m_state->joinedRows();
}

void PlotterStateAccess::restoreFromDocument(const QStringList &plotRows, int plotColumnCount,
    const QString &firstItem, const QString &secondItem)
{
    m_state->restoreFromDocument(plotRows, plotColumnCount, firstItem, secondItem);
}

#pragma once

#include <QString>
#include <QStringList>

// What the document needs of the Plotter View: its state for a save, and a
// way to write a loaded file back. The lead adapts the plotter's core state.
class PlotPageAccess
{
public:
    virtual ~PlotPageAccess() = default;

    virtual QString firstItemText() const = 0;
    virtual QString secondItemText() const = 0;
    // The used-line counter (1..5).
    virtual int columnCounter() const = 0;
    // One joined string per data-table row: cells 1 to 5, each followed by a line feed.
    virtual QStringList joinedRows() const = 0;

    // Refills the data table and the graph from a loaded document.
    virtual void restoreFromDocument(const QStringList &plotRows, int plotColumnCount, const QString &firstItem,
        const QString &secondItem)
        = 0;
};

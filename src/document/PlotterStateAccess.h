#pragma once

#include "document/PlotPageAccess.h"

class PlotterState;

// The document's view of the Plotter View's core state.
class PlotterStateAccess : public PlotPageAccess
{
public:
    explicit PlotterStateAccess(PlotterState *state) : m_state(state) {}

    QString firstItemText() const override;
    QString secondItemText() const override;
    int columnCounter() const override;
    QStringList joinedRows() const override;
    void restoreFromDocument(const QStringList &plotRows, int plotColumnCount, const QString &firstItem,
        const QString &secondItem) override;

private:
    PlotterState *m_state;
};

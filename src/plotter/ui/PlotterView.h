#pragma once

#include "common/LegacyIds.h"

#include <QHash>
#include <QWidget>

class Graph;
class PictureButton;
class PlotterCommands;
class PlotterState;
class ProgressSlide;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QTabBar;
class QTableView;

// The Plotter View page: the graph and the result list under a "Graph" /
// "Result" tab strip, the "X Coordinate" and "Y Coordinate" setup groups,
// "Running Progress", the three buttons and the "Visible" check boxes.
// It holds no state of its own: the controls mirror PlotterState, the
// operator's changes go to it, and the buttons say which was clicked.
// While the page exists the state draws into its graph.
class PlotterView : public QWidget
{
    Q_OBJECT
public:
    enum ControlId { GraphId = LegacyId::Plotter::Graph, ResultListId = LegacyId::Plotter::ResultList, TabsId = LegacyId::Plotter::Tabs };

    PlotterView(PlotterState *state, PlotterCommands *commands, QWidget *parent = nullptr);
    ~PlotterView() override;

    // A control by its id (1044 to 1070); null for an unknown id.
    QWidget *control(int id) const { return m_controls.value(id); }
    Graph *graph() const { return m_graph; }
    QTableView *resultList() const { return m_list; }
    QTabBar *tabs() const { return m_tabs; }
    ProgressSlide *progress() const { return m_progress; }
    PictureButton *drawButton() const { return m_draw; }
    PictureButton *stopResetButton() const { return m_stopReset; }
    PictureButton *exportButton() const { return m_export; }

signals:
    // Draw only once the points check has passed.
    void drawClicked();
    void stopResetClicked();
    void exportClicked();

private:
    QWidget *buildXGroup();
    QWidget *buildYGroup();
    QWidget *buildRunColumn();
    QWidget *buildVisibleGroup();
    QComboBox *makeCombo(int id, const char *name);
    QLineEdit *makeEdit(int id, const char *name);
    QCheckBox *makeCheck(int id, const char *name, const QString &caption, const QColor &colour);
    PictureButton *makeButton(int id, const char *name, const QString &caption, const QString &picture);
    void registerControl(int id, QWidget *w, const char *name);

    void syncControl(int id);
    void syncProgress();
    void showTab(int index);
    void draw();

    PlotterState *m_state;
    PlotterCommands *m_commands;
    QHash<int, QWidget *> m_controls;

    QTabBar *m_tabs = nullptr;
    Graph *m_graph = nullptr;
    QTableView *m_list = nullptr;
    ProgressSlide *m_progress = nullptr;
    PictureButton *m_draw = nullptr;
    PictureButton *m_stopReset = nullptr;
    PictureButton *m_export = nullptr;
};

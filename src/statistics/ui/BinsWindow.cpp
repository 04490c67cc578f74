#include "statistics/ui/BinsWindow.h"

#include "execution/ResultTableModel.h"
#include "procedure/FieldParsing.h"
#include "procedure/ProcedureModel.h"
#include "reports/ui/ReportPrinting.h"
#include "statistics/BinOutputs.h"
#include "statistics/StatisticsJson.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// A number as typed: plain, with an exponent, or with one SI prefix letter
// after it ("100n"); none when the text is not one.
std::optional<double> typedNumber(const QString &text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    double factor = 1;
    static const QString prefixes = QStringLiteral("pnumkKMG");
    static const double factors[] = {1e-12, 1e-9, 1e-6, 1e-3, 1e3, 1e3, 1e6, 1e9};
    const qsizetype at = prefixes.indexOf(t.back());
    if (at >= 0 && t.size() > 1) {
        factor = factors[at];
        t.chop(1);
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v * factor;
}

QString numberText(double v)
{
    return StatisticsJson::number(v);
}

QColor binColour(const QString &name)
{
    if (name == QLatin1String("OUT"))
        return QColor(200, 0, 0);
    if (name == QLatin1String("AUX"))
        return QColor(210, 120, 0);
    return QColor(0, 130, 0);
}

} // namespace

BinBarsView::BinBarsView(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(320, 180);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void BinBarsView::setCounts(const QStringList &names, const QVector<qint64> &counts, qint64 rows)
{
    m_names = names;
    m_counts = counts;
    m_rows = rows;
    update();
}

void BinBarsView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QFontMetrics fm(font());
    if (m_names.isEmpty()) {
        p.setPen(Qt::darkGray);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No bin plan yet."));
        return;
    }
    const QRect plot = rect().adjusted(12, 2 * fm.height() + 10, -12, -(fm.height() + 10));
    const qint64 most = std::max<qint64>(1, *std::max_element(m_counts.begin(), m_counts.end()));
    const int n = int(m_names.size());
    const double slot = double(plot.width()) / n;
    p.setPen(Qt::black);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    for (int i = 0; i < n; ++i) {
        const qint64 c = m_counts.value(i);
        const double h = double(c) / most * plot.height();
        const QRectF bar(plot.left() + i * slot + slot * 0.15, plot.bottom() - h, slot * 0.7, h);
        p.fillRect(bar, binColour(m_names[i]).lighter(130));
        p.setPen(binColour(m_names[i]));
        p.drawRect(bar);
        p.setPen(Qt::black);
        const QRectF column(plot.left() + i * slot, 0, slot, height());
        const QString share = m_rows > 0 ? QString::number(100.0 * double(c) / double(m_rows), 'f', 1) + QLatin1Char('%')
                                         : QStringLiteral("-");
        p.drawText(QRectF(column.left(), bar.top() - 2 * fm.height() - 4, slot, 2 * fm.height()),
                   Qt::AlignHCenter | Qt::AlignBottom, QString::number(c) + QLatin1Char('\n') + share);
        p.drawText(QRectF(column.left(), plot.bottom() + 4, slot, fm.height() + 4), Qt::AlignHCenter, m_names[i]);
    }
}

BinsWindow::BinsWindow(const ProcedureModel *procedure, const ResultTableModel *results,
                       std::function<QString()> planPath, QWidget *parent)
    : QWidget(parent, Qt::Window), m_procedure(procedure), m_results(results), m_planPath(std::move(planPath))
{
    setWindowTitle(QStringLiteral("Bins"));
    m_step = new QSpinBox;
    m_step->setRange(1, 9999);
    m_mode = new QComboBox;
    m_mode->addItems({QStringLiteral("nested (percent of the nominal)"), QStringLiteral("sequential (absolute values)")});
    m_nominal = new QLineEdit;
    m_nominal->setPlaceholderText(QStringLiteral("base units, e.g. 100n"));
    m_bins = new QTableWidget(BinPlan::MaxBins, 2);
    m_bins->setHorizontalHeaderLabels({QStringLiteral("Low"), QStringLiteral("High")});
    QStringList rows;
    for (int i = 1; i <= BinPlan::MaxBins; ++i)
        rows << QStringLiteral("BIN%1").arg(i);
    m_bins->setVerticalHeaderLabels(rows);
    m_bins->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_bins->setToolTip(QStringLiteral("Nested: percent of the nominal, e.g. -1 and 1. Sequential: values in base units. "
                                      "A part goes to the first bin that holds it; empty rows end the list."));
    m_secondaryLow = new QLineEdit;
    m_secondaryHigh = new QLineEdit;
    m_secondaryLow->setPlaceholderText(QStringLiteral("none"));
    m_secondaryHigh->setPlaceholderText(QStringLiteral("none"));
    m_save = new QPushButton(QStringLiteral("Save plan"));
    m_reset = new QPushButton(QStringLiteral("Reset counts"));
    m_message = new QLabel;
    m_message->setWordWrap(true);
    m_where = new QLabel;
    m_where->setWordWrap(true);
    m_current = new QLabel(QStringLiteral("-"));
    QFont big = m_current->font();
    big.setPointSize(96);
    big.setBold(true);
    m_current->setFont(big);
    m_current->setAlignment(Qt::AlignCenter);
    m_current->setMinimumHeight(QFontMetrics(big).height() + 8);
    m_bars = new BinBarsView;
    m_print = new QCheckBox(QStringLiteral("Print a bins page after the report"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Step:"), m_step);
    form->addRow(QStringLiteral("Mode:"), m_mode);
    form->addRow(QStringLiteral("Nominal:"), m_nominal);
    form->addRow(QStringLiteral("Secondary low:"), m_secondaryLow);
    form->addRow(QStringLiteral("Secondary high:"), m_secondaryHigh);
    auto *editor = new QWidget;
    auto *editorLayout = new QVBoxLayout(editor);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    editorLayout->addLayout(form);
    editorLayout->addWidget(m_bins, 1);
    editorLayout->addWidget(m_where);
    editorLayout->addWidget(m_message);
    editorLayout->addWidget(m_save);

    auto *live = new QWidget;
    auto *liveLayout = new QVBoxLayout(live);
    liveLayout->setContentsMargins(0, 0, 0, 0);
    liveLayout->addWidget(m_current);
    liveLayout->addWidget(m_bars, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_print);
    buttons->addStretch(1);
    buttons->addWidget(m_reset);
    liveLayout->addLayout(buttons);

    auto *split = new QSplitter(Qt::Horizontal);
    split->addWidget(editor);
    split->addWidget(live);
    split->setStretchFactor(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split);
    resize(1000, 600);

    connect(m_save, &QPushButton::clicked, this, &BinsWindow::savePlan);
    connect(m_reset, &QPushButton::clicked, this, &BinsWindow::resetCounts);
    m_timer.setSingleShot(true);
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &BinsWindow::refreshNow);
    connect(results, &QAbstractItemModel::rowsInserted, this, &BinsWindow::schedule);
    connect(results, &QAbstractItemModel::modelReset, this, [this] {
        m_from = 0;
        recount();
    });
    connect(results, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_from = 0;
        recount();
    });
    // Another procedure: its own plan (read once its name is known).
    connect(procedure, &QAbstractItemModel::modelReset, this, [this] { QTimer::singleShot(0, this, &BinsWindow::loadPlan); });
    // Steps edited: the plan is set up again over them (a step number may now mean another step).
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(procedure, signal, this, &BinsWindow::stepsChanged);
    connect(procedure, &QAbstractItemModel::dataChanged, this, &BinsWindow::stepsChanged);
    loadPlan();
}

std::function<void()> BinsWindow::opener(const ProcedureModel *procedure, const ResultTableModel *results,
                                         std::function<QString()> planPath, ReportPrinting *printing, QWidget *owner,
                                         std::function<void(const std::optional<BinPlan> &)> planInUse)
{
    auto window = std::make_shared<QPointer<BinsWindow>>();
    return [=] {
        if (!*window) {
            *window = new BinsWindow(procedure, results, planPath, owner);
            if (planInUse) {
                connect(*window, &BinsWindow::planInUse, *window, planInUse);
                planInUse((*window)->hasPlan() ? std::optional<BinPlan>((*window)->sorter().plan()) : std::nullopt);
            }
            if (printing)
                (*window)->attachPrinting(printing);
        }
        (*window)->show();
        (*window)->raise();
        (*window)->activateWindow();
    };
}

void BinsWindow::attachPrinting(ReportPrinting *printing)
{
    printing->setAppendix([this, guard = QPointer<BinsWindow>(this), before = printing->appendix()]() {
        const ReportPainter::Appendix others = before ? before() : ReportPainter::Appendix();
        if (!guard || !m_print->isChecked() || !m_planUsable)
            return others;
        refreshNow();
        return BinOutputs::chain(others, BinOutputs::appendix(m_sorter));
    });
}

void BinsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshNow();
}

void BinsWindow::loadPlan()
{
    const QString path = m_planPath ? m_planPath() : QString();
    m_where->setText(path.isEmpty() ? QStringLiteral("Save the procedure to keep a plan beside it.")
                                    : QStringLiteral("Kept in %1").arg(path));
    if (!path.isEmpty() && QFile::exists(path)) {
        QString error;
        const std::optional<BinPlan> plan = BinPlan::load(path, &error);
        if (plan) {
            showPlan(*plan);
            const QString misfit = plan->checkAgainst(m_procedure->steps());
            if (misfit.isEmpty()) {
                m_message->clear();
                use(*plan);
            } else {
                m_message->setText(misfit);
                m_planUsable = false;
                recount();
                emit planInUse(std::nullopt);
            }
            return;
        }
        m_message->setText(error);
    } else {
        m_message->clear();
    }
    // A first plan from the first step's standard: +-1, 2 and 5 %.
    BinPlan plan;
    plan.bins = {{-1, 1}, {-2, 2}, {-5, 5}};
    const QVector<ProcedureStep> steps = m_procedure->steps();
    if (!steps.isEmpty())
        // 100 times 1e-9 is a hair above 1e-7: the standard as it is written.
        plan.nominal = QString::number(
            FieldParsing::standardValue(steps[0][ProcedureStep::FStd], steps[0][ProcedureStep::FUnit]), 'g', 15).toDouble();
    showPlan(plan);
    if (!steps.isEmpty() && plan.nominal != 0 && std::isfinite(plan.nominal))
        use(plan);
    else {
        m_planUsable = false;
        recount();
        emit planInUse(std::nullopt);
    }
}

void BinsWindow::showPlan(const BinPlan &plan)
{
    m_step->setValue(plan.step);
    m_mode->setCurrentIndex(plan.mode == BinPlan::Mode::Nested ? 0 : 1);
    m_nominal->setText(plan.nominal != 0 || plan.mode == BinPlan::Mode::Nested ? numberText(plan.nominal) : QString());
    for (int i = 0; i < BinPlan::MaxBins; ++i) {
        for (int side = 0; side < 2; ++side) {
            QString text;
            if (i < plan.bins.size())
                text = numberText(side ? plan.bins[i].second : plan.bins[i].first);
            m_bins->setItem(i, side, new QTableWidgetItem(text));
        }
    }
    m_secondaryLow->setText(plan.secondaryLow ? numberText(*plan.secondaryLow) : QString());
    m_secondaryHigh->setText(plan.secondaryHigh ? numberText(*plan.secondaryHigh) : QString());
}

std::optional<BinPlan> BinsWindow::planFromFields(QString *error) const
{
    // The fields as a plan file, so the window refuses what a file would.
    auto json = [](double v) { return StatisticsJson::number(v); };
    auto field = [&](const QString &text, const QString &key, QString &out) {
        if (text.trimmed().isEmpty())
            return true;
        const std::optional<double> v = typedNumber(text);
        if (!v) {
            *error = QStringLiteral("The bin plan's \"%1\" must be a number, not \"%2\".").arg(key, text.trimmed());
            return false;
        }
        out = json(*v);
        return true;
    };
    QString nominal, low, high;
    if (!field(m_nominal->text(), QStringLiteral("nominal"), nominal) || !field(m_secondaryLow->text(), QStringLiteral("secondary"), low)
        || !field(m_secondaryHigh->text(), QStringLiteral("secondary"), high))
        return std::nullopt;
    QStringList pairs;
    for (int i = 0; i < BinPlan::MaxBins; ++i) {
        const QString lo = m_bins->item(i, 0) ? m_bins->item(i, 0)->text().trimmed() : QString();
        const QString hi = m_bins->item(i, 1) ? m_bins->item(i, 1)->text().trimmed() : QString();
        if (lo.isEmpty() && hi.isEmpty())
            break;
        const std::optional<double> l = typedNumber(lo), h = typedNumber(hi);
        if (!l || !h) {
            *error = QStringLiteral("The bin plan's \"bins\" entry %1 must be a [low, high] pair of numbers.").arg(i + 1);
            return std::nullopt;
        }
        pairs << QStringLiteral("[%1, %2]").arg(json(*l), json(*h));
    }
    QString text = QStringLiteral("{\"step\": %1, \"mode\": \"%2\"")
                       .arg(m_step->value())
                       .arg(m_mode->currentIndex() == 0 ? QStringLiteral("nested") : QStringLiteral("sequential"));
    if (!nominal.isEmpty())
        text += QStringLiteral(", \"nominal\": ") + nominal;
    text += QStringLiteral(", \"bins\": [") + pairs.join(QStringLiteral(", ")) + QLatin1Char(']');
    if (!low.isEmpty() || !high.isEmpty()) {
        QStringList s;
        if (!low.isEmpty())
            s << QStringLiteral("\"low\": ") + low;
        if (!high.isEmpty())
            s << QStringLiteral("\"high\": ") + high;
        text += QStringLiteral(", \"secondary\": {") + s.join(QStringLiteral(", ")) + QLatin1Char('}');
    }
    text += QLatin1Char('}');
    std::optional<BinPlan> plan = BinPlan::parse(text.toUtf8(), error);
    if (plan) {
        const QString misfit = plan->checkAgainst(m_procedure->steps());
        if (!misfit.isEmpty()) {
            *error = misfit;
            return std::nullopt;
        }
    }
    return plan;
}

bool BinsWindow::savePlan()
{
    QString error;
    const std::optional<BinPlan> plan = planFromFields(&error);
    if (!plan) {
        m_message->setText(error);
        return false;
    }
    use(*plan);
    const QString path = m_planPath ? m_planPath() : QString();
    if (path.isEmpty()) {
        m_message->setText(QStringLiteral("The plan is in use; save the procedure to keep it beside it."));
        return true;
    }
    QSaveFile f(path);
    const QByteArray bytes = plan->toJson();
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        m_message->setText(QStringLiteral("Cannot write %1: %2.").arg(path, f.errorString()));
        return false;
    }
    m_where->setText(QStringLiteral("Kept in %1").arg(path));
    m_message->setText(QStringLiteral("Saved."));
    return true;
}

void BinsWindow::use(const BinPlan &plan)
{
    m_sorter.setPlan(plan, m_procedure->steps());
    m_planUsable = true;
    recount();
    emit planInUse(plan);
}

void BinsWindow::stepsChanged()
{
    QString error;
    const std::optional<BinPlan> plan = planFromFields(&error);
    if (plan) {
        m_message->clear();
        use(*plan);
        return;
    }
    m_message->setText(error);
    m_planUsable = false;
    recount();
    emit planInUse(std::nullopt);
}

void BinsWindow::resetCounts()
{
    refreshNow();
    m_from = m_results->resultCount();
    recount();
}

void BinsWindow::recount()
{
    m_sorter.clear();
    m_taken = std::min(m_from, m_results->resultCount());
    m_last = -1;
    refreshNow();
}

void BinsWindow::schedule()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void BinsWindow::refreshNow()
{
    m_timer.stop();
    const int rows = m_results->resultCount();
    if (rows < m_taken) {
        m_from = 0;
        m_sorter.clear();
        m_taken = 0;
        m_last = -1;
    }
    if (m_planUsable) {
        for (; m_taken < rows; ++m_taken) {
            m_last = m_sorter.sortTableRow(*m_results, m_taken);
            m_sorter.count(m_last);
        }
    } else {
        m_taken = rows;
    }
    showCounts();
}

QString BinsWindow::currentBin() const
{
    return m_planUsable && m_last >= 0 ? m_sorter.plan().name(m_last) : QString();
}

void BinsWindow::showCounts()
{
    const QString bin = currentBin();
    m_current->setText(bin.isEmpty() ? QStringLiteral("-") : bin);
    QPalette p = m_current->palette();
    p.setColor(QPalette::WindowText, bin.isEmpty() ? QColor(Qt::darkGray) : binColour(bin));
    m_current->setPalette(p);
    if (!m_planUsable) {
        m_bars->setCounts({}, {}, 0);
        return;
    }
    QStringList names;
    QVector<qint64> counts;
    for (int i = 0; i <= m_sorter.plan().out(); ++i) {
        names << m_sorter.plan().name(i);
        counts << qint64(m_sorter.countOf(i));
    }
    m_bars->setCounts(names, counts, qint64(m_sorter.rows()));
}

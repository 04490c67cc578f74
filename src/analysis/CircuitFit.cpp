#include "analysis/CircuitFit.h"

#include "analysis/FitReport.h"
#include "analysis/ImpedanceItems.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/NonLinearOptimization>

#include <QSet>

#include <functional>

#include <algorithm>
#include <cmath>

namespace CircuitFit {

namespace {

using cd = std::complex<double>;
const double Pi = 3.14159265358979323846;
// The readings' printed digits understate a meter's error; below this the
// residual is judged against this floor.
constexpr double NoiseFloor = 0.005;

// Each point weighted by 1/|Z|, so every decade counts alike; a point whose
// printed digits are coarser than the noise floor counts that much less.
double weightOf(const Point &p)
{
    return NoiseFloor / (std::abs(p.z) * std::max(p.noise, NoiseFloor));
}
constexpr double ResidualLimit = 10.0;

cd parallelBranch(double w, double r, double l, double c)
{
    return 1.0 / (1.0 / cd(r, w * l) + cd(0, w * c));
}

double srfOf(double l, double c)
{
    return l > 0 && c > 0 ? 1.0 / (2 * Pi * std::sqrt(l * c)) : 0.0;
}

double rmsRelative(const QVector<Point> &points, const std::function<cd(double)> &model)
{
    double sum = 0;
    for (const Point &p : points)
        sum += std::norm(model(p.frequency) - p.z) / std::norm(p.z);
    return std::sqrt(sum / std::max<qsizetype>(1, points.size()));
}

// The (R + jwL) || C model in parameters scaled to about 1.
struct BranchFunctor
{
    typedef double Scalar;
    enum { InputsAtCompileTime = Eigen::Dynamic, ValuesAtCompileTime = Eigen::Dynamic };
    typedef Eigen::VectorXd InputType;
    typedef Eigen::VectorXd ValueType;
    typedef Eigen::MatrixXd JacobianType;

    const QVector<Point> *points;
    Eigen::Vector3d scale;

    int inputs() const { return 3; }
    int values() const { return int(points->size()) * 2; }

    int operator()(const Eigen::VectorXd &x, Eigen::VectorXd &f) const
    {
        const double r = x[0] * scale[0], l = x[1] * scale[1], c = x[2] * scale[2];
        for (int i = 0; i < points->size(); ++i) {
            const Point &p = (*points)[i];
            const double w = 2 * Pi * p.frequency;
            const cd d = (parallelBranch(w, r, l, c) - p.z) * weightOf(p);
            f[2 * i] = d.real();
            f[2 * i + 1] = d.imag();
        }
        return 0;
    }

    int df(const Eigen::VectorXd &x, Eigen::MatrixXd &j) const
    {
        const double r = x[0] * scale[0], l = x[1] * scale[1], c = x[2] * scale[2];
        for (int i = 0; i < points->size(); ++i) {
            const Point &p = (*points)[i];
            const double w = 2 * Pi * p.frequency;
            const cd s(r, w * l);
            const cd zm = parallelBranch(w, r, l, c);
            // dZ = -Z^2 dY, Y = 1/(R + jwL) + jwC.
            const cd k = -zm * zm * weightOf(p);
            const cd dr = k * (-1.0 / (s * s)) * scale[0];
            const cd dl = k * (cd(0, -w) / (s * s)) * scale[1];
            const cd dc = k * cd(0, w) * scale[2];
            j(2 * i, 0) = dr.real();
            j(2 * i + 1, 0) = dr.imag();
            j(2 * i, 1) = dl.real();
            j(2 * i + 1, 1) = dl.imag();
            j(2 * i, 2) = dc.real();
            j(2 * i + 1, 2) = dc.imag();
        }
        return 0;
    }
};

// Covariance of the scaled parameters from the weighted Jacobian; false when
// the data leave a combination of them undetermined.
bool covariance(const Eigen::MatrixXd &j, double rss, int dof, Eigen::MatrixXd *cov)
{
    const Eigen::MatrixXd jtj = j.transpose() * j;
    Eigen::JacobiSVD<Eigen::MatrixXd> svd(jtj, Eigen::ComputeFullU | Eigen::ComputeFullV);
    const Eigen::VectorXd s = svd.singularValues();
    if (s[0] <= 0 || s[s.size() - 1] <= s[0] * 1e-13)
        return false;
    const double sigma2 = dof > 0 ? rss / dof : 0.0;
    *cov = svd.matrixV() * s.cwiseInverse().asDiagonal() * svd.matrixU().transpose() * sigma2;
    return true;
}

// A part has no negative capacitance, inductance or resistance. A value
// below 0 by less than its uncertainty is 0 within the readings' noise.
QString impossible(const Result &r)
{
    for (const Parameter &p : r.parameters) {
        if (!std::isfinite(p.value) || !std::isfinite(p.uncertainty))
            return QStringLiteral("The sweep cannot determine the model: its %1 has no finite value "
                                  "(sweep wider, through the resonance).").arg(p.name);
        if (p.value < 0 && -p.value > p.uncertainty) {
            return QStringLiteral("The %1 model does not describe this sweep: its %2 comes out negative (%3%4), "
                                  "which no real part has.")
                .arg(modelName(r.model), p.name, FitReport::engineering(p.value, 3), p.unit);
        }
    }
    return {};
}

QString undetermined()
{
    return QStringLiteral("The sweep cannot determine the model: its points leave the parameters undetermined "
                          "(sweep wider, through the resonance).");
}

Result fitCapacitor(const QVector<Point> &points, Result r)
{
    // ESR + j(w ESL - S/w), S = 1/C: linear in (ESR, ESL, S).
    const int n = int(points.size());
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(2 * n, 3);
    Eigen::VectorXd b(2 * n);
    for (int i = 0; i < n; ++i) {
        const Point &p = points[i];
        const double w = 2 * Pi * p.frequency;
        const double s = weightOf(p);
        a(2 * i, 0) = s;
        b[2 * i] = p.z.real() * s;
        a(2 * i + 1, 1) = w * s;
        a(2 * i + 1, 2) = -s / w;
        b[2 * i + 1] = p.z.imag() * s;
    }
    // Columns scaled to unit norm keep the solve well conditioned.
    Eigen::Vector3d scale;
    for (int k = 0; k < 3; ++k) {
        scale[k] = a.col(k).norm();
        if (!(scale[k] > 0))
            return r.refusal = undetermined(), r;
        a.col(k) /= scale[k];
    }
    const Eigen::VectorXd x = a.colPivHouseholderQr().solve(b);
    const double rss = (a * x - b).squaredNorm();
    Eigen::MatrixXd cov;
    if (!covariance(a, rss, 2 * n - 3, &cov))
        return r.refusal = undetermined(), r;
    const double esr = x[0] / scale[0], esl = x[1] / scale[1], inv = x[2] / scale[2];
    const double uEsr = std::sqrt(cov(0, 0)) / scale[0];
    const double uEsl = std::sqrt(cov(1, 1)) / scale[1];
    const double uInv = std::sqrt(cov(2, 2)) / scale[2];
    if (!(inv > 0)) {
        r.refusal = QStringLiteral("The sweep does not show a capacitor: the fitted capacitance is not positive.");
        return r;
    }
    const double c = 1.0 / inv;
    r.parameters = {{QStringLiteral("C"), QStringLiteral("F"), c, uInv * c * c},
        {QStringLiteral("ESR"), QStringLiteral("Ohm"), esr, uEsr}, {QStringLiteral("ESL"), QStringLiteral("H"), esl, uEsl}};
    r.srf = srfOf(esl, c);
    r.ok = true;
    return r;
}

// A start for (R, L, C) from the linear form Z = R + jwL + w^2 LC Z - jw RC Z.
Eigen::Vector3d branchStart(const QVector<Point> &points, bool resistor)
{
    const int n = int(points.size());
    Eigen::MatrixXcd a(n, 4);
    Eigen::VectorXcd b(n);
    for (int i = 0; i < n; ++i) {
        const Point &p = points[i];
        const double w = 2 * Pi * p.frequency;
        const double s = weightOf(p);
        a(i, 0) = s;
        a(i, 1) = cd(0, w) * s;
        a(i, 2) = w * w * p.z * s;
        a(i, 3) = cd(0, -w) * p.z * s;
        b[i] = p.z * s;
    }
    Eigen::MatrixXd ar(2 * n, 4);
    Eigen::VectorXd br(2 * n);
    ar << a.real(), a.imag();
    br << b.real(), b.imag();
    Eigen::Vector4d scale;
    for (int k = 0; k < 4; ++k) {
        scale[k] = ar.col(k).norm();
        if (scale[k] > 0)
            ar.col(k) /= scale[k];
        else
            scale[k] = 1;
    }
    const Eigen::Vector4d x = ar.colPivHouseholderQr().solve(br).cwiseQuotient(scale);
    // Fallbacks from the lowest and highest frequency when the linear form
    // gives a sign a part cannot have.
    const Point &low = *std::min_element(points.begin(), points.end(),
        [](const Point &p, const Point &q) { return p.frequency < q.frequency; });
    const Point &high = *std::max_element(points.begin(), points.end(),
        [](const Point &p, const Point &q) { return p.frequency < q.frequency; });
    double rr = x[0] > 0 ? x[0] : std::max(std::fabs(low.z.real()), 1e-6);
    double l = x[1] > 0 ? x[1] : std::max(std::fabs(low.z.imag()) / (2 * Pi * low.frequency), 1e-15);
    double c = 0;
    if (x[2] > 0 && l > 0)
        c = x[2] / l;
    else if (x[3] > 0 && rr > 0)
        c = x[3] / rr;
    if (!(c > 0)) {
        const double wh = 2 * Pi * high.frequency;
        c = resistor ? 1e-3 / (wh * rr) : 1e-2 / (wh * wh * l);
    }
    return {rr, l, c};
}

Result fitBranch(const QVector<Point> &points, Result r)
{
    const bool resistor = r.model == Model::Resistor;
    const Eigen::Vector3d start = branchStart(points, resistor);
    BranchFunctor functor{&points, start};
    Eigen::VectorXd x = Eigen::VectorXd::Ones(3);
    Eigen::LevenbergMarquardt<BranchFunctor> lm(functor);
    lm.parameters.maxfev = 2000;
    lm.parameters.xtol = 1e-12;
    lm.parameters.ftol = 1e-14;
    lm.minimize(x);
    Eigen::VectorXd f(functor.values());
    functor(x, f);
    Eigen::MatrixXd j(functor.values(), 3);
    functor.df(x, j);
    Eigen::MatrixXd cov;
    if (!x.allFinite() || !covariance(j, f.squaredNorm(), functor.values() - 3, &cov))
        return r.refusal = undetermined(), r;
    const double rr = x[0] * start[0], l = x[1] * start[1], c = x[2] * start[2];
    const double ur = std::sqrt(cov(0, 0)) * start[0], ul = std::sqrt(cov(1, 1)) * start[1],
                 uc = std::sqrt(cov(2, 2)) * start[2];
    if (resistor)
        r.parameters = {{QStringLiteral("R"), QStringLiteral("Ohm"), rr, ur}, {QStringLiteral("Ls"), QStringLiteral("H"), l, ul},
            {QStringLiteral("Cp"), QStringLiteral("F"), c, uc}};
    else
        r.parameters = {{QStringLiteral("L"), QStringLiteral("H"), l, ul}, {QStringLiteral("R"), QStringLiteral("Ohm"), rr, ur},
            {QStringLiteral("Cp"), QStringLiteral("F"), c, uc}};
    r.srf = srfOf(l, c);
    r.ok = true;
    return r;
}

} // namespace

QString modelName(Model model)
{
    switch (model) {
    case Model::Capacitor: return QStringLiteral("capacitor");
    case Model::Inductor: return QStringLiteral("inductor");
    case Model::Resistor: return QStringLiteral("resistor");
    }
    return {};
}

bool modelFromName(const QString &name, Model *model)
{
    for (Model m : {Model::Capacitor, Model::Inductor, Model::Resistor})
        if (modelName(m) == name) {
            *model = m;
            return true;
        }
    return false;
}

Input fromColumns(const SweepColumns &columns, bool withSecondItem, bool parallel, int draw)
{
    Input in;
    const QVector<SweepColumns::Draw> draws = columns.draws(withSecondItem);
    if (draws.isEmpty()) {
        in.refusal = QStringLiteral("The plot holds no drawn line.");
        return in;
    }
    if (!withSecondItem || !ImpedanceItems::determines(draws[0].firstItem, draws[0].secondItem)) {
        in.refusal = QStringLiteral("The plot's items (%1%2) do not fix the impedance; sweep two items such as Z with "
                                    "Angle, or C with D.")
                         .arg(draws[0].firstItem,
                             withSecondItem ? QStringLiteral(" with ") + draws[0].secondItem : QString());
        return in;
    }
    if (!columns.isFrequencySweep()) {
        in.refusal = QStringLiteral("A voltage sweep measures at a single frequency, which cannot determine the model.");
        return in;
    }
    if (draw > draws.size()) {
        in.refusal = QStringLiteral("There is no draw %1; the plot holds %2.").arg(draw).arg(draws.size());
        return in;
    }
    const SweepColumns::Draw &d = draws[draw > 0 ? draw - 1 : 0];
    in.draw = d.number;
    for (int row = 0; row < columns.rows.size(); ++row) {
        double f = 0, p = 0, s = 0, rp = 0, rs = 0, printed = 0;
        cd z;
        // The numbers the list holds; the printed cells give their resolution.
        const bool read = columns.sweptValue(row, &f) && f > 0 && columns.lineValue(row, d.firstLine, &p)
            && CellValue::parse(columns.cell(row, d.firstLine), &printed, &rp)
            && columns.lineValue(row, d.secondLine, &s) && CellValue::parse(columns.cell(row, d.secondLine), &printed, &rs)
            && ImpedanceItems::impedance(d.firstItem, d.secondItem, parallel, 2 * Pi * f, p, s, &z);
        // A primary reading printed as 0 in the column's unit has lost every
        // digit; it gives no impedance, which is not the part's fault.
        if ((!read || z == cd(0)) && p == 0 && rp > 0 && f > 0 && columns.lineValue(row, d.secondLine, &s)) {
            ++in.roundedToZero;
            continue;
        }
        // A row a cut-short sweep never reached has no cells at all: not a point.
        if (!read) {
            if (!columns.cell(row, d.firstLine).isEmpty() || !columns.cell(row, d.secondLine).isEmpty())
                ++in.leftOut;
            continue;
        }
        Point pt;
        pt.frequency = f;
        pt.z = z;
        const double relP = p != 0 ? rp / std::fabs(p) : 1.0;
        // Half a unit in the third significant digit is 0.5 %.
        in.coarse += relP > 0.005;
        // An angle's resolution in radians is the relative error it causes.
        const double relS = d.secondItem == QLatin1String("Angle") ? rs * Pi / 180.0 : (s != 0 ? rs / std::fabs(s) : 0.0);
        pt.noise = std::sqrt(relP * relP + std::min(relS, 1.0) * std::min(relS, 1.0));
        in.points << pt;
    }
    return in;
}

double Result::value(const QString &name) const
{
    for (const Parameter &p : parameters)
        if (p.name == name)
            return p.value;
    return 0;
}

std::complex<double> Result::impedance(double frequency) const
{
    const double w = 2 * Pi * frequency;
    if (model == Model::Capacitor)
        return cd(value(QStringLiteral("ESR")), w * value(QStringLiteral("ESL")) - 1.0 / (w * value(QStringLiteral("C"))));
    if (model == Model::Inductor)
        return parallelBranch(w, value(QStringLiteral("R")), value(QStringLiteral("L")), value(QStringLiteral("Cp")));
    return parallelBranch(w, value(QStringLiteral("R")), value(QStringLiteral("Ls")), value(QStringLiteral("Cp")));
}

Result fit(Model model, const Input &in)
{
    Result r = fit(model, in.points, in.leftOut, in.roundedToZero);
    r.coarse = in.coarse;
    return r;
}

Result fit(Model model, const QVector<Point> &points, int leftOut, int roundedToZero)
{
    Result r;
    r.model = model;
    r.points = int(points.size());
    r.leftOut = leftOut;
    r.roundedToZero = roundedToZero;
    QStringList reasons;
    if (leftOut > 0)
        reasons << QStringLiteral("%1 unreadable left out").arg(leftOut);
    if (roundedToZero > 0)
        reasons << QStringLiteral("%1 printed as 0 in the column's unit left out").arg(roundedToZero);
    const QString counted = reasons.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reasons.join(QStringLiteral(", ")));
    if (points.size() < 5) {
        r.refusal = QStringLiteral("Too few points to fit a %1: %2 readable%3, at least 5 are needed.")
                        .arg(modelName(model))
                        .arg(points.size())
                        .arg(counted);
        return r;
    }
    QSet<double> frequencies;
    for (const Point &p : points)
        frequencies.insert(p.frequency);
    if (frequencies.size() < 3) {
        r.refusal = QStringLiteral("The points lie at %1 frequenc%2; a fit needs a sweep over at least three.")
                        .arg(frequencies.size() == 1 ? QStringLiteral("a single") : QStringLiteral("only two"))
                        .arg(frequencies.size() == 1 ? QStringLiteral("y") : QStringLiteral("ies"));
        return r;
    }
    r = model == Model::Capacitor ? fitCapacitor(points, r) : fitBranch(points, r);
    if (!r.ok)
        return r;
    r.refusal = impossible(r);
    if (!r.refusal.isEmpty()) {
        r.ok = false;
        return r;
    }
    r.residual = rmsRelative(points, [&](double f) { return r.impedance(f); });
    double noise2 = 0;
    for (const Point &p : points)
        noise2 += p.noise * p.noise;
    r.noise = std::max(std::sqrt(noise2 / points.size()), NoiseFloor);
    if (!(r.residual <= ResidualLimit * r.noise)) {
        r.ok = false;
        r.refusal = QStringLiteral("The %1 model does not describe this sweep: the residual is %2 %, far above the "
                                   "readings' noise of %3 %.")
                        .arg(modelName(model))
                        .arg(r.residual * 100, 0, 'g', 3)
                        .arg(r.noise * 100, 0, 'g', 2);
    }
    return r;
}

} // namespace CircuitFit

#pragma once

#include "analysis/SweepColumns.h"

#include <QString>
#include <QVector>

#include <complex>

// Fits an equivalent circuit to impedances measured at several frequencies
// by weighted least squares, each point weighted by 1/|Z| so every decade
// counts alike (less where its printed digits are coarse). capacitor: C
// with ESR and ESL in series (linear in ESR, ESL and 1/C); inductor: L with
// R in series, Cp across both; resistor: R with Ls in series, Cp across
// both (the last two iterate, Levenberg-Marquardt).
namespace CircuitFit {

enum class Model { Capacitor, Inductor, Resistor };

// "capacitor", "inductor", "resistor".
QString modelName(Model model);
bool modelFromName(const QString &name, Model *model);

struct Point
{
    double frequency = 0; // Hz
    std::complex<double> z;
    double noise = 0; // expected relative error of z, from the printed digits
};

// The points of one draw of a frequency sweep; rows whose cells are empty,
// unreadable or overloaded are left out and counted.
struct Input
{
    QVector<Point> points;
    int leftOut = 0;
    // The plot's cells keep six decimals in the unit of the column's first
    // reading, so small readings lose digits: those read to fewer than three
    // significant digits are counted, those rounded to 0 (no impedance)
    // left out and counted.
    int coarse = 0;
    int roundedToZero = 0;
    int draw = 0;
    QString refusal; // why the draw gives no points; empty when it does
};
// draw 0: the first draw whose two items fix the impedance.
Input fromColumns(const SweepColumns &columns, bool withSecondItem, bool parallel, int draw);

struct Parameter
{
    QString name; // C, ESR, ESL / L, R, Cp / R, Ls, Cp
    QString unit; // F, Ohm, H
    double value = 0;
    double uncertainty = 0;
};

struct Result
{
    bool ok = false;
    QString refusal; // one sentence when not ok
    Model model = Model::Capacitor;
    int points = 0;
    int leftOut = 0;
    int coarse = 0;
    int roundedToZero = 0;
    QVector<Parameter> parameters;
    double srf = 0;      // 1/(2 pi sqrt(L C)) of the model's L and C; 0 when not real
    double residual = 0; // RMS of |Zmodel - Z| / |Z| over the points
    double noise = 0;    // what the residual is judged against

    double value(const QString &name) const;
    std::complex<double> impedance(double frequency) const;
};

Result fit(Model model, const QVector<Point> &points, int leftOut = 0, int roundedToZero = 0);
// The points of an input, with its counts.
Result fit(Model model, const Input &in);

} // namespace CircuitFit

#pragma once

#include <QString>

#include <complex>

// Which pairs of meter items fix the complex impedance, and the impedance
// they give. Series items come from Z = R + jX, parallel ones from
// Y = 1/Z = G + jB; Q and D carry no sign, the primary item gives it.
namespace ImpedanceItems {

bool determines(const QString &firstItem, const QString &secondItem);

// primary and secondary in base units (an angle in degrees), at the
// angular frequency w; false when the pair or the values fix no impedance.
bool impedance(const QString &firstItem, const QString &secondItem, bool parallel, double w, double primary,
               double secondary, std::complex<double> *z);

// What the meter reads for one item of an impedance z at w (base units,
// angles in degrees): the model's curve drawn as the line it fits.
double reading(const QString &item, const QString &firstItem, bool parallel, double w, std::complex<double> z);

} // namespace ImpedanceItems

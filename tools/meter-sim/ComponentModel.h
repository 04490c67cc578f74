#pragma once

#include <complex>
#include <limits>
#include <string>

// The component under test: an ideal element with the parasitics that give a
// real part its frequency response (and its self-resonance).
//
//   C=<F>[,esr=<Ohm>][,esl=<H>][,leak=<Ohm>]   esr and esl in series, leak across C
//   L=<H>[,rw=<Ohm>][,cp=<F>]                  winding resistance in series, cp across the coil
//   R=<Ohm>[,ls=<H>][,cp=<F>]                  lead inductance in series, cp across
//
// Values take the suffixes p n u m k K M G, an exponent, or "inf".
class ComponentModel
{
public:
    enum class Kind { Capacitor, Inductor, Resistor };

    static bool parse(const std::string &text, ComponentModel *out, std::string *error);
    static bool parseValue(const std::string &text, double *value);

    // Impedance at the frequency in hertz (which must be above 0).
    std::complex<double> impedance(double frequency) const;
    // Resistance seen by a direct current; infinity for an open path.
    double dcResistance() const;
    std::string describe() const;

    Kind kind = Kind::Capacitor;
    double value = 100e-9;
    double seriesR = 0;  // esr / rw
    double seriesL = 0;  // esl / ls
    double parallelR = std::numeric_limits<double>::infinity(); // leak
    double parallelC = 0; // cp
};

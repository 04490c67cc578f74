#pragma once

#include "ComponentModel.h"

#include <string>

// What the meter is set to measure.
struct MeterSetup
{
    double frequency = 1000; // Hz
    double level = 1;        // V
    std::string primary = "C";   // C L X B Z Y Rdc
    std::string secondary = "D"; // off Q D R G Angle
    bool parallel = false;       // equivalent circuit PAR
    std::string speed = "MED";   // SLOW MED FAST MAX
    bool dcMode = false;         // test mode RDC
};

struct MeterReading
{
    double primary = 0;
    bool hasSecondary = false;
    double secondary = 0;

    // "1.00000E-07" or "1.00000E-07,1.23456E-04", then a line feed.
    std::string format() const;
    // Replies in engineering notation (exponent a multiple of three) instead
    // of plain scientific notation.
    static void setEngineeringNotation(bool on);
};

// The reading an ideal meter takes of the component: series quantities from
// Z = R + jX, parallel ones from Y = 1/Z = G + jB, X and B signed, Z and Y
// magnitudes, Angle in degrees (of Y for Y and B, of Z otherwise). An
// infinite or undefined value reads as the overload value 9.9E37.
MeterReading measure(const ComponentModel &component, const MeterSetup &setup);

const double kOverload = 9.9e37;
// Frequencies below this are measured here: a meter cannot do 0 Hz AC.
const double kMinimumFrequency = 1.0;

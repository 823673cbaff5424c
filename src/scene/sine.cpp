#include "scene/sine.h"

#include <cmath>
#include <limits>

namespace velmora {

namespace {

// Minimax polynomials for sin and cos on [-pi/4, pi/4] (the classic fdlibm coefficients).
constexpr double S1 = -1.66666666666666324348e-01;
constexpr double S2 = 8.33333333332248946124e-03;
constexpr double S3 = -1.98412698298579493134e-04;
constexpr double S4 = 2.75573137070700676789e-06;
constexpr double S5 = -2.50507602534068634195e-08;
constexpr double S6 = 1.58969099521155010221e-10;
constexpr double C1 = 4.16666666666666019037e-02;
constexpr double C2 = -1.38888888888741095749e-03;
constexpr double C3 = 2.48015872894767294178e-05;
constexpr double C4 = -2.75573143513906633035e-07;
constexpr double C5 = 2.08757232129817482790e-09;
constexpr double C6 = -1.13596475577881948265e-11;

double kernelSin(double x) {
    const double z = x * x;
    const double r = S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)));
    return x + x * z * (S1 + z * r);
}

double kernelCos(double x) {
    const double z = x * x;
    const double r = z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6)))));
    return 1.0 - 0.5 * z + z * r;
}

// pi/2 split in three parts (33 + 33 + 53 bits) so that n * part is exact for moderate n.
constexpr double kPio2Part1 = 1.57079632673412561417e+00;
constexpr double kPio2Part2 = 6.07710050650619224932e-11;
constexpr double kPio2Part3 = 2.02226624879595063154e-21;
constexpr double kInvPio2 = 6.36619772367581382433e-01;
constexpr double kTwoPi = 6.28318530717958623200e+00;

}  // namespace

float sineF(float x) {
    double t = static_cast<double>(x);
    if (!std::isfinite(t)) return std::numeric_limits<float>::quiet_NaN();
    if (std::fabs(t) < 1.0e-8) return x;  // sin x rounds to x there; keeps the sign of zero
    // Beyond this the three-part reduction loses exactness; fmod is exact on every platform,
    // and a wave position that far out needs only to be the same everywhere.
    if (std::fabs(t) > 1.0e5) t = std::fmod(t, kTwoPi);
    const double n = std::nearbyint(t * kInvPio2);
    const double r = ((t - n * kPio2Part1) - n * kPio2Part2) - n * kPio2Part3;
    const long long quadrant = static_cast<long long>(n) & 3;
    double s;
    switch (quadrant) {
        case 0: s = kernelSin(r); break;
        case 1: s = kernelCos(r); break;
        case 2: s = -kernelSin(r); break;
        default: s = -kernelCos(r); break;
    }
    return static_cast<float>(s);
}

}  // namespace velmora

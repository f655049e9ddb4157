#include "library/math_commands.h"

#include <cmath>

#include "library/full_precision.h"
#include "library/random.h"

namespace kr {

namespace {

// Both conversion factors are the float constants games have always seen, so
// Sin(90) is the sine of a value just below pi/2.
constexpr float kDegreesToRadians = 0.017453292f;
constexpr float kRadiansToDegrees = 57.29578f;
constexpr double kLn2 = 0.693147180559945309417;
constexpr double kLog10Of2 = 0.301029995663981195214;

using UnaryFunction = double (*)(double);

float ofDegrees(UnaryFunction f, float degrees) {
  FullPrecision scope;
  return roundToFloat(f(FullPrecision::pin(degrees) * kDegreesToRadians));
}

float toDegrees(UnaryFunction f, float x) {
  FullPrecision scope;
  return roundToFloat(f(FullPrecision::pin(x)) * kRadiansToDegrees);
}

float plain(UnaryFunction f, float x) {
  FullPrecision scope;
  return roundToFloat(f(FullPrecision::pin(x)));
}

double atanOf(double x) { return std::atan2(x, 1.0); }
double sine(double x) { return std::sin(x); }
double cosine(double x) { return std::cos(x); }
double tangent(double x) { return std::tan(x); }
double arcSine(double x) { return std::asin(x); }
double arcCosine(double x) { return std::acos(x); }
double squareRoot(double x) { return std::sqrt(x); }
double roundDown(double x) { return std::floor(x); }
double roundUp(double x) { return std::ceil(x); }
double exponential(double x) { return std::exp(x); }
double naturalLog(double x) { return std::log2(x) * kLn2; }
double decimalLog(double x) { return std::log2(x) * kLog10Of2; }

}  // namespace

float mathSin(float degrees) { return ofDegrees(sine, degrees); }
float mathCos(float degrees) { return ofDegrees(cosine, degrees); }
float mathTan(float degrees) { return ofDegrees(tangent, degrees); }
float mathASin(float x) { return toDegrees(arcSine, x); }
float mathACos(float x) { return toDegrees(arcCosine, x); }
float mathATan(float x) { return toDegrees(atanOf, x); }

float mathATan2(float y, float x) {
  FullPrecision scope;
  return roundToFloat(std::atan2(FullPrecision::pin(y), FullPrecision::pin(x)) * kRadiansToDegrees);
}

float mathSqr(float x) { return plain(squareRoot, x); }
float mathFloor(float x) { return plain(roundDown, x); }
float mathCeil(float x) { return plain(roundUp, x); }
float mathExp(float x) { return plain(exponential, x); }
float mathLog(float x) { return plain(naturalLog, x); }
float mathLog10(float x) { return plain(decimalLog, x); }

float mathRnd(float from, float to) { return randomBetween(from, to); }
void mathSeedRnd(int seed) { seedRandom(seed); }

}  // namespace kr

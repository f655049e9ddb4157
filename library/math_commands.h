// The maths commands: trigonometry in degrees, roots, rounding, exponentials,
// logarithms and the random generator. Float arguments and results are 4-byte
// floats; the work is done at full precision and rounded once on return.
#pragma once

namespace kr {

float mathSin(float degrees);
float mathCos(float degrees);
float mathTan(float degrees);
float mathASin(float x);
float mathACos(float x);
float mathATan(float x);
float mathATan2(float y, float x);
float mathSqr(float x);
float mathFloor(float x);
float mathCeil(float x);
float mathExp(float x);
float mathLog(float x);
float mathLog10(float x);
float mathRnd(float from, float to);
void mathSeedRnd(int seed);

}  // namespace kr

// The program's one pseudo-random generator: a multiplicative congruential
// generator modulo 2^31 - 1 with multiplier 48271.
#pragma once

namespace kr {

void seedRandom(int seed);    // only the low 16 bits count; 0 becomes 1
int randomState();            // always 1 .. 2147483646
float randomBetween(float from, float to);  // advances the state one step

constexpr int kStartupSeed = 4660;

}  // namespace kr

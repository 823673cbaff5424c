#pragma once
namespace velmora {

// Single-precision sine that gives the same bits on every platform: the C libraries of Linux
// and Windows round sinf differently in the last place, and the trace tool compares the two.
// Computed in double precision and rounded once to float, so it is almost always the correctly
// rounded result.
float sineF(float x);

}  // namespace velmora

// Random calls of every kernel, for comparing one build's bits with
// another's: inputs with NaNs, infinities and signed zeros among ordinary
// values, every mode and flag, empty images and a rejected call per kernel.
#ifndef ZEL_TESTS_RANDOM_CASES_H
#define ZEL_TESTS_RANDOM_CASES_H

#include "case_file.h"

namespace zelcases {

// Calls of a few dozen pixels each, grouped by kernel in the order blob,
// ridge, edge, height and width, orientation, curvature.
std::vector<std::vector<Case>> small_cases();

// Calls of thousands of pixels each, grouped likewise: enough calls of pow,
// atan and sin that the rare arguments on which two math libraries differ in
// the last bit turn up.
std::vector<std::vector<Case>> large_cases();

}  // namespace zelcases

#endif

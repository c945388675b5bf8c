// Random calls of every kernel, for comparing one build's bits with
// another's: inputs with NaNs (with payloads, of both signs), infinities,
// signed zeros and subnormals among ordinary values, every mode and flag,
// empty images, images larger than a run with a partial last run, 65534
// orientations and scales, a 5-D stack, a call in single precision with
// double index maps, and a rejected call per kernel. The filter bank: every
// image class, single precision, each order alone and both, too few
// orientations for the working planes to fit in the stacks, images narrower
// than the kernels' reach, and a rejected call per error; the index maps:
// stacks whose magnitudes tie often, with all-NaN pixels.
#ifndef ZEL_TESTS_RANDOM_CASES_H
#define ZEL_TESTS_RANDOM_CASES_H

#include "case_file.h"

namespace zelcases {

// Calls of a few dozen to a few hundred pixels each, grouped by kernel in the order blob,
// ridge, edge, height and width, orientation, curvature, filter bank, index maps.
std::vector<std::vector<Case>> small_cases();

// Calls of thousands of pixels each, grouped likewise: enough calls of pow,
// atan and sin that the rare arguments on which two math libraries differ in
// the last bit turn up.
std::vector<std::vector<Case>> large_cases();

}  // namespace zelcases

#endif

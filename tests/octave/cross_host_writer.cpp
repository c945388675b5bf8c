// Writes the cases of the cross-host check: for every built .mexa64, the
// small random calls of random_cases.h run through the stand-in host, kept
// together with the bits of every output, or the error identifier when the
// call is rejected (layout in case_file.h). zel_check_cross_host.m reads
// the file, makes the same calls to the .mex files in Octave and compares
// the bits.
#include "mex_loader.h"
#include "random_cases.h"

#include <cstdio>

int main(int argc, char** argv)
{
    using namespace zelcases;
    if (argc != 2) {
        fprintf(stderr, "usage: %s CASES_FILE\n", argv[0]);
        return 2;
    }
    std::vector<CaseRecord> records;
    bool sound = true;
    for (const std::vector<Case>& cases : small_cases()) {
        mexFunctionPointer entry = load_kernel(zeltest::built_mex_dir(), cases.front().kernel);
        if (!entry) return 1;
        printf("%s: %zu cases\n", cases.front().kernel.c_str(), cases.size());
        for (const Case& c : cases) {
            records.push_back({c, {}});
            sound = run_case(entry, c, records.back().outcome) && sound;
        }
    }
    if (!write_cases(argv[1], records)) return 1;
    return sound ? 0 : 1;
}

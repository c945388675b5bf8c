// Runs the fuzz target's calls and checks (fuzz/kernel_fuzzer.cpp) on the
// committed seed files without libFuzzer, so that any compiler builds it and
// ctest can run it in every mode of the stand-in host:
//
//   fuzz_replay FILE|FOLDER...             each file once, as it is
//   fuzz_replay --variants FILE|FOLDER...  each file with bytes of its header
//                                          and first inputs changed and cut
//                                          short: calls that mostly break the
//                                          contract, so that errors end them
//
// The target aborts at the first call that breaks its rules. With
// --variants, at least one call must end in an error and one must return.
#include "mex_host.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::string> files_under(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        std::fprintf(stderr, "fuzz_replay: no such file or folder: %s\n", path.c_str());
        return {};
    }
    if (!S_ISDIR(info.st_mode)) return {path};
    std::vector<std::string> files;
    if (DIR* dir = opendir(path.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            for (const std::string& f : files_under(path + "/" + entry->d_name)) files.push_back(f);
        }
        closedir(dir);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> contents(const std::string& file)
{
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(file.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
        std::fclose(f);
    }
    return bytes;
}

// The seed with one byte of its first 24 (after the kernel selector) set to
// each of a few values, and the seed cut to half and to a quarter.
std::vector<std::vector<uint8_t>> variants(const std::vector<uint8_t>& seed)
{
    std::vector<std::vector<uint8_t>> out;
    const uint8_t values[] = {0x00, 0x7f, 0xe0, 0xff};
    for (size_t k = 1; k < seed.size() && k < 25; ++k)
        for (uint8_t v : values) {
            if (seed[k] == v) continue;
            out.push_back(seed);
            out.back()[k] = v;
        }
    out.emplace_back(seed.begin(), seed.begin() + ptrdiff_t(seed.size() / 2));
    out.emplace_back(seed.begin(), seed.begin() + ptrdiff_t(seed.size() / 4));
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    bool with_variants = false;
    std::vector<std::string> files;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--variants") == 0) {
            with_variants = true;
            continue;
        }
        const std::vector<std::string> found = files_under(argv[k]);
        if (found.empty()) return 2;
        files.insert(files.end(), found.begin(), found.end());
    }
    long calls = 0, errors = 0;
    const auto run = [&](const std::vector<uint8_t>& bytes) {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++calls;
        if (*mexHostErrorMessage()) ++errors;  // kept from the call until the next one starts
    };
    for (const std::string& file : files) {
        const std::vector<uint8_t> seed = contents(file);
        if (!with_variants) run(seed);
        else
            for (const std::vector<uint8_t>& v : variants(seed)) run(v);
    }
    std::printf("fuzz_replay: %ld calls from %zu files (%s), %ld ended in an error, errors ending calls by %s\n",
                calls, files.size(), with_variants ? "variants" : "as they are", errors,
                mexHostLongJumpErrors() ? "a long jump" : "unwinding");
    if (files.empty()) return 2;
    if (with_variants && (errors == 0 || errors == calls)) {
        std::fprintf(stderr, "fuzz_replay: the variants should give both errors and returns\n");
        return 1;
    }
    return 0;
}

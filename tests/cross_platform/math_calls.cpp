#include "math_calls.h"

#include <cstdio>
#include <cstring>

namespace zelcases {

const char* const kMathFunctionNames[kMathFunctionCount] = {"pow", "atan", "sin"};

bool write_math_calls(const std::string& path, const std::vector<MathCall>& calls)
{
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) {
        perror(path.c_str());
        return false;
    }
    const uint64_t count = calls.size();
    bool ok = fwrite("ZELMATH1", 1, 8, out) == 8 && fwrite(&count, sizeof count, 1, out) == 1;
    for (const MathCall& c : calls) {
        const uint64_t fields[4] = {c.function, c.x, c.y, c.result};
        ok = ok && fwrite(fields, sizeof fields, 1, out) == 1;
    }
    ok = fclose(out) == 0 && ok;
    if (!ok) perror(path.c_str());
    return ok;
}

bool read_math_calls(const std::string& path, std::vector<MathCall>& calls)
{
    FILE* in = fopen(path.c_str(), "rb");
    if (!in) {
        perror(path.c_str());
        return false;
    }
    char magic[8];
    uint64_t count = 0;
    bool ok = fread(magic, 1, 8, in) == 8 && memcmp(magic, "ZELMATH1", 8) == 0 &&
              fread(&count, sizeof count, 1, in) == 1 && count <= (uint64_t(1) << 28);
    calls.clear();
    for (uint64_t k = 0; ok && k < count; ++k) {
        uint64_t fields[4];
        ok = fread(fields, sizeof fields, 1, in) == 1 && fields[0] < kMathFunctionCount;
        if (ok) calls.push_back(MathCall{fields[0], fields[1], fields[2], fields[3]});
    }
    fclose(in);
    if (!ok) fprintf(stderr, "%s: not a complete file of math calls\n", path.c_str());
    return ok;
}

}  // namespace zelcases

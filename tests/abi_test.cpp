// The built MEX files as the dynamic loader of a host sees them: what they
// export, what they import and at which versions, and what they need.
#include "kernel_support.h"
#include "platform/libm_binding.h"  // ZEL_LIBM_VERSION, the math functions' binding

#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>

namespace {

using namespace zeltest;

std::string run(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
    return output;
}

struct DynamicSymbol {
    std::string name;     // with its version, as readelf prints it
    bool defined;
};

std::vector<DynamicSymbol> dynamic_symbols(const std::string& file)
{
    std::vector<DynamicSymbol> symbols;
    std::istringstream lines(run("readelf --dyn-syms -W " + file));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string num, value, size, type, bind, visibility, index, name;
        if (!(fields >> num >> value >> size >> type >> bind >> visibility >> index >> name)) continue;
        if (num.empty() || num.back() != ':' || !isdigit(static_cast<unsigned char>(num[0])) || bind == "LOCAL") continue;
        if (index == "ABS" && name.find('@') == std::string::npos) continue;  // a version node's own name
        symbols.push_back({name, index != "UND"});
    }
    return symbols;
}

std::set<std::string> needed_libraries(const std::string& file)
{
    std::set<std::string> needed;
    std::istringstream lines(run("readelf -d -W " + file));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t open = line.find("(NEEDED)");
        if (open == std::string::npos) continue;
        const size_t start = line.find('[') + 1;
        needed.insert(line.substr(start, line.find(']') - start));
    }
    return needed;
}

std::string base_name(const std::string& versioned) { return versioned.substr(0, versioned.find('@')); }
std::string version_of(const std::string& versioned)
{
    const size_t at = versioned.find_last_of('@');
    return at == std::string::npos ? "" : versioned.substr(at + 1);
}

class BuiltKernel : public ::testing::TestWithParam<KernelFacts> {
protected:
    void SetUp() override
    {
#ifdef ZEL_SANITIZED_BUILD
        GTEST_SKIP() << "sanitizer build: its MEX files need the sanitizer runtimes, unlike the deliverables";
#endif
        ASSERT_TRUE(mex_file_exists(GetParam().name)) << mex_path(GetParam().name) << " is not built";
        file = mex_path(GetParam().name);
    }
    std::string file;
};

TEST_P(BuiltKernel, ExportsExactlyTheEntryPointsUnderTheMexNode)
{
    std::set<std::string> exported;
    for (const DynamicSymbol& s : dynamic_symbols(file))
        if (s.defined) exported.insert(s.name);
    EXPECT_EQ((std::set<std::string>{"mexFunction@@MEX", "mexfilerequiredapiversion@@MEX"}), exported);
}

// MATLAB's libmx has no ELF version nodes: the interface with 64-bit sizes
// is told apart by the suffix _730 on every operation that carries a size.
TEST_P(BuiltKernel, ImportsExactlyTheHostOperationsOfThe73InterfaceUnversioned)
{
    const std::set<std::string> expected(GetParam().host_operations.begin(), GetParam().host_operations.end());
    std::set<std::string> imported;
    for (const DynamicSymbol& s : dynamic_symbols(file)) {
        if (s.defined) continue;
        const std::string name = base_name(s.name);
        if (name.rfind("mx", 0) != 0 && name.rfind("mex", 0) != 0) continue;
        imported.insert(name);
        EXPECT_EQ(name, s.name) << "bound at an ELF version";
    }
    EXPECT_EQ(expected, imported);
}

TEST_P(BuiltKernel, NeedsOnlyTheHostLibrariesAndTheCLibrary)
{
    std::set<std::string> expected = {"libmx.so", "libmex.so", "libc.so.6"};
    if (GetParam().libm_function) expected.insert("libm.so.6");
    EXPECT_EQ(expected, needed_libraries(file));
}

// The math functions bind at their oldest version: GLIBC_2.2.5 on x86-64,
// GLIBC_2.17 on 64-bit ARM.
TEST_P(BuiltKernel, RequiresNoGlibcNewerThan217AndBindsMathAtTheOldestVersion)
{
    bool math_seen = false;
    for (const DynamicSymbol& s : dynamic_symbols(file)) {
        if (s.defined) continue;
        const std::string version = version_of(s.name);
        if (version.rfind("GLIBC_", 0) == 0) {
            int major = 0, minor = 0;
            std::sscanf(version.c_str(), "GLIBC_%d.%d", &major, &minor);
            EXPECT_TRUE(major < 2 || (major == 2 && minor <= 17)) << s.name;
        }
        if (GetParam().libm_function && base_name(s.name) == GetParam().libm_function) {
            math_seen = true;
            EXPECT_EQ(ZEL_LIBM_VERSION, version) << s.name;
        }
    }
    if (GetParam().libm_function) EXPECT_TRUE(math_seen) << GetParam().libm_function << " is not imported";
}

uint64_t hex(const std::string& text) { return std::stoull(text, nullptr, 16); }

// A host may end a call by unwinding a C++ exception through the MEX file's
// frames: every function on that path needs an unwind table entry.
TEST_P(BuiltKernel, HasUnwindTablesCoveringItsEntryPoint)
{
    uint64_t entry = 0;
    std::istringstream symbols(run("readelf --dyn-syms -W " + file));
    std::string line;
    while (std::getline(symbols, line))
        if (line.find(" mexFunction@@MEX") != std::string::npos) {
            std::istringstream fields(line);
            std::string num, value;
            fields >> num >> value;
            entry = hex(value);
        }
    ASSERT_NE(0u, entry) << "no mexFunction";
    bool covered = false;
    std::istringstream frames(run("readelf --debug-dump=frames -W " + file));
    while (std::getline(frames, line)) {
        const size_t at = line.find("pc=");
        if (line.find(" FDE ") == std::string::npos || at == std::string::npos) continue;
        const std::string range = line.substr(at + 3);
        const size_t dots = range.find("..");
        if (dots != std::string::npos && hex(range.substr(0, dots)) <= entry && entry < hex(range.substr(dots + 2)))
            covered = true;
    }
    EXPECT_TRUE(covered) << "no unwind table entry covers mexFunction";
}

// The host that loads the file supplies libmx and libmex: no search path of
// the build machine is recorded in it.
TEST_P(BuiltKernel, RecordsNoRunPath)
{
    const std::string dynamic = run("readelf -d -W " + file);
    EXPECT_EQ(std::string::npos, dynamic.find("(RUNPATH)")) << dynamic;
    EXPECT_EQ(std::string::npos, dynamic.find("(RPATH)")) << dynamic;
}

INSTANTIATE_TEST_SUITE_P(Abi, BuiltKernel, ::testing::ValuesIn(all_kernels()),
                         [](const ::testing::TestParamInfo<KernelFacts>& info) { return std::string(info.param.name); });

}  // namespace

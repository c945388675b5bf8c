// Inputs as users keep them: any real input in single precision and the index
// maps as doubles holding whole numbers. Each is read in place and widened as
// it is read, so a call gives the bits of the same call with double(...) of
// its single inputs and uint16(...) of its index maps.
#include "kernel_fixtures.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace zeltest;

float single_from_bits(uint32_t b)
{
    float x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

// The values of a double input made exact in single precision, with single
// subnormals and NaNs carrying payloads of both signs among them in arrays of
// four or more elements.
std::vector<float> single_values(const mxArray* array)
{
    const std::vector<double> v = values(array);
    const float specials[] = {single_from_bits(0x00000001u), single_from_bits(0x807fffffu),
                              single_from_bits(0x7fc12345u), single_from_bits(0xffd00001u), -0.0f};
    std::vector<float> out(v.size());
    for (size_t k = 0; k < v.size(); ++k)
        out[k] = v.size() >= 4 && k % 7 == 3 ? specials[(k / 7) % 5] : float(v[k]);
    return out;
}

Array singles(const std::vector<mwSize>& shape, const std::vector<float>& v)
{
    Array array = of_class(mxSINGLE_CLASS, shape);
    if (!v.empty()) std::memcpy(mxGetData(array.get()), v.data(), v.size() * sizeof(float));
    return array;
}

Array widened(const std::vector<mwSize>& shape, const std::vector<float>& v)
{
    return doubles(shape, std::vector<double>(v.begin(), v.end()));
}

Array index_map_as_doubles(const mxArray* map)
{
    const uint16_t* data = static_cast<const uint16_t*>(mxGetData(map));
    return doubles(dims(map), std::vector<double>(data, data + mxGetNumberOfElements(map)));
}

struct Variants {
    std::vector<Array> reference;  // doubles exact in single, uint16 maps
    std::vector<Array> single;     // the same values, the real inputs in single
    std::vector<Array> double_maps;
    std::vector<int> real_inputs;
};

Variants variants_of(const KernelFacts& kernel, const KernelCall& c)
{
    Variants v;
    for (size_t k = 0; k < c.inputs.size(); ++k) {
        const mxArray* input = c.inputs[k].get();
        v.double_maps.emplace_back();
        if (mxGetClassID(input) == mxDOUBLE_CLASS) {
            const std::vector<float> exact = single_values(input);
            v.reference.push_back(widened(dims(input), exact));
            v.single.push_back(singles(dims(input), exact));
            v.real_inputs.push_back(int(k));
            continue;
        }
        v.reference.emplace_back();  // kept as it is
        v.single.emplace_back();
        const std::vector<int>& maps = kernel.index_maps;
        if (std::find(maps.begin(), maps.end(), int(k) + 1) != maps.end())
            v.double_maps.back() = index_map_as_doubles(input);
    }
    return v;
}

// The handles of the call with the chosen replacements.
std::vector<const mxArray*> handles(const KernelCall& c, const Variants& v, const std::vector<int>& singles,
                                    bool double_maps)
{
    std::vector<const mxArray*> h = c.handles();
    for (size_t k = 0; k < h.size(); ++k) {
        if (v.reference[k]) h[k] = v.reference[k].get();
        if (double_maps && v.double_maps[k]) h[k] = v.double_maps[k].get();
    }
    for (int k : singles) h[size_t(k)] = v.single[size_t(k)].get();
    return h;
}

TEST(InputClasses, SingleInputsAndDoubleIndexMapsGiveTheBitsOfTheDoubleCall)
{
    for (const KernelFacts& kernel : all_kernels()) {
        if (takes_image(kernel)) continue;  // a single image makes single stacks: its own tests

        std::vector<KernelCall> calls = contract_calls(kernel.name);
        for (KernelCall& c : long_calls(kernel.name)) calls.push_back(std::move(c));
        for (const KernelCall& c : calls) {
            const Variants v = variants_of(kernel, c);
            const Outcome expected = outcome_of(call(c.kernel, c.nlhs, handles(c, v, {}, false)));
            ASSERT_FALSE(expected.failed) << c.kernel << ", " << c.what << ": " << expected.message;
            std::vector<std::pair<std::string, std::vector<const mxArray*>>> cases;
            for (int k : v.real_inputs)
                cases.push_back({"input " + std::to_string(k + 1) + " single", handles(c, v, {k}, false)});
            cases.push_back({"every real input single", handles(c, v, v.real_inputs, false)});
            cases.push_back({"index maps double", handles(c, v, {}, true)});
            cases.push_back({"all single, index maps double", handles(c, v, v.real_inputs, true)});
            for (const auto& k : cases) {
                const Outcome got = outcome_of(call(c.kernel, c.nlhs, k.second));
                EXPECT_TRUE(got == expected) << c.kernel << ", " << c.what << ", " << k.first << ": "
                                             << difference(expected, got);
            }
        }
    }
}

}  // namespace

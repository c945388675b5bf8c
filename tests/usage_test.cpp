// What a user meets besides the maps: more outputs than a function has,
// warnings for shapes that meet the contract but are most likely mistakes,
// empty images, and messages that say what is wrong.
#include "kernel_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using namespace zeltest;

// The first fixture call of the kernel that has pixels and scales.
KernelCall first_call_with_pixels(const std::string& kernel)
{
    for (KernelCall& c : contract_calls(kernel)) {
        const std::vector<mwSize> d = dims(c.inputs[0].get());
        if (d[0] * d[1] > 1 && d[0] != d[1] && (d.size() < 4 || d[3] > 0)) return std::move(c);
    }
    ADD_FAILURE() << kernel << " has no fixture with pixels";
    return KernelCall{};
}

// An array of the class and elements of another, with other sizes: its
// elements repeated as often as the new sizes need.
Array with_sizes(const mxArray* array, const std::vector<mwSize>& sizes)
{
    Array changed = of_class(mxGetClassID(array), sizes);
    const size_t element = mxGetClassID(array) == mxDOUBLE_CLASS ? 8 : 2;
    const size_t count = mxGetNumberOfElements(array), wanted = mxGetNumberOfElements(changed.get());
    for (size_t k = 0; k < wanted && count > 0; ++k)
        std::memcpy(static_cast<char*>(mxGetData(changed.get())) + k * element,
                    static_cast<const char*>(mxGetData(array)) + (k % count) * element, element);
    return changed;
}

std::vector<mwSize> with_more(std::vector<mwSize> sizes, size_t rank, mwSize last)
{
    sizes.resize(rank, 1);
    sizes.push_back(last);
    return sizes;
}

TEST(Usage, MoreOutputsThanTheFunctionHasEndTheCallBeforeAnythingIsComputed)
{
    for (const KernelFacts& kernel : all_kernels()) {
        const KernelCall c = first_call_with_pixels(kernel.name);
        const long live_before = mxHostLiveArrays();
        const CallResult result = call(c.kernel, kernel.outputs + 1, c.handles());
        expect_breach(result, kernel.name, "one output too many", "tooManyOutputs",
                      kernel.outputs == 1 ? "were requested; there is only 1." : "were requested; there are only 2.");
        EXPECT_EQ(live_before, mxHostLiveArrays()) << kernel.name;
        EXPECT_FALSE(call(c.kernel, kernel.outputs, c.handles()).failed) << kernel.name;
    }
}

std::vector<std::string> warning_ids(const CallResult& result)
{
    std::vector<std::string> ids;
    for (const auto& warning : result.warnings) ids.push_back(warning.first);
    return ids;
}

// The fixtures keep every shape the functions expect, but for first inputs
// with dimensions past those read, which warn; and a few reach the inputs
// that a function warns of whatever their shape.
TEST(Usage, InputsOfTheirExpectedShapesRaiseNoShapeWarning)
{
    const struct {
        const char* kernel;
        const char* what;
        const char* warning;
    } documented[] = {
        {"ZELgetOrientationMap", "arctangent with a zero divisor", "ZELgetOrientationMap:tooFewOrientations"},
        {"ZELgetOrientationMap", "two orientations", "ZELgetOrientationMap:tooFewOrientations"},
        {"ZELgetCurvatureMap", "seven by eight", "ZELgetCurvatureMap:noCurvePoints"},
    };
    for (const KernelFacts& kernel : all_kernels())
        for (const KernelCall& c : contract_calls(kernel.name)) {
            const CallResult result = call(c.kernel, c.nlhs, c.handles());
            const size_t read = size_t(kernel.first_input_rank);
            std::vector<std::string> expected;
            if (dims(c.inputs[0].get()).size() > read) expected.push_back(c.kernel + ":suspiciousShape");
            for (const auto& d : documented)
                if (c.kernel == d.kernel && c.what == d.what) expected.push_back(d.warning);
            EXPECT_EQ(expected, warning_ids(result))
                << c.kernel << ", " << c.what << ": " << (result.warnings.empty() ? "" : result.warnings[0].second);
        }
}

// A shape that meets the contract but not the image warns once, and the
// call gives the bits of the call with the expected shape.
TEST(Usage, SuspiciousShapesWarnAndChangeNothing)
{
    for (const KernelFacts& kernel : all_kernels()) {
        const KernelCall c = first_call_with_pixels(kernel.name);
        const CallResult unchanged = call(c.kernel, c.nlhs, c.handles());
        const Outcome expected = outcome_of(unchanged);
        // What the call warns of whatever the shapes, after the shape warning.
        const std::vector<std::string> other_warnings = warning_ids(unchanged);
        const std::vector<mwSize> stack = dims(c.inputs[0].get());
        struct Case {
            std::string what;
            int input;
            Array array;
            bool warns;
        };
        std::vector<Case> cases;
        for (int k : kernel.pixel_maps) {
            const mxArray* map = c.inputs[size_t(k - 1)].get();
            cases.push_back({"transposed", k, with_sizes(map, {stack[1], stack[0]}), true});
            cases.push_back({"with a further size of 2", k, with_sizes(map, {stack[0], stack[1], 1, 2}), true});
            cases.push_back({"a column of rows x cols", k, with_sizes(map, {stack[0] * stack[1], 1}), false});
            cases.push_back({"a row of rows x cols", k, with_sizes(map, {1, stack[0] * stack[1]}), false});
        }
        if (kernel.scale_table) {
            const mxArray* table = c.inputs[size_t(kernel.scale_table - 1)].get();
            const size_t count = mxGetNumberOfElements(table);
            cases.push_back({"scale table with a further size", kernel.scale_table,
                             with_sizes(table, {dims(table)[0], dims(table)[1], 1, 2}), true});
            cases.push_back({"scale table as a vector", kernel.scale_table, with_sizes(table, {1, count}), false});
        }
        // An image with a further dimension is an error, not a warning.
        const size_t rank = size_t(kernel.first_input_rank);
        if (!takes_image(kernel))
            cases.push_back({"first input with a further dimension", 1,
                             with_sizes(c.inputs[0].get(), with_more(stack, rank, 2)), true});
        for (const Case& k : cases) {
            std::vector<const mxArray*> inputs = c.handles();
            inputs[size_t(k.input - 1)] = k.array.get();
            // A penalty stack keeps the response stack's size.
            Array penalty;
            if (k.input == 1 && kernel.inputs >= 6 && kernel.index_maps.front() == 3) {
                penalty = with_sizes(c.inputs[1].get(), dims(k.array.get()));
                inputs[1] = penalty.get();
            }
            const std::string what = std::string(kernel.name) + ", input " + std::to_string(k.input) + " " + k.what;
            const CallResult result = call(c.kernel, c.nlhs, inputs);
            EXPECT_TRUE(outcome_of(result) == expected) << what << ": " << difference(expected, outcome_of(result));
            std::vector<std::string> ids = warning_ids(result);
            if (!k.warns) {
                EXPECT_EQ(other_warnings, ids) << what;
                continue;
            }
            ASSERT_EQ(1 + other_warnings.size(), ids.size()) << what;
            EXPECT_EQ(std::string(kernel.name) + ":suspiciousShape", ids[0]) << what;
            EXPECT_EQ(other_warnings, std::vector<std::string>(ids.begin() + 1, ids.end())) << what;
            EXPECT_EQ(0u, result.warnings[0].second.find("input " + std::to_string(k.input) + " ("))
                << what << ": " << result.warnings[0].second;
        }
    }
}

// A scalar input given as a vector or matrix is read as its first element,
// as the contract says, and warns: ones(16) for a penalty weight, [10 0.05]
// for c and b, uint16([3 1]) for a mode. The call gives the bits of the call
// with the scalar itself, and each input warns on its own.
TEST(Usage, ScalarsOfMoreThanOneElementWarnAndAreReadAsTheirFirst)
{
    for (const KernelFacts& kernel : all_kernels()) {
        const KernelCall c = first_call_with_pixels(kernel.name);
        const Outcome expected = outcome_of(call(c.kernel, c.nlhs, c.handles()));
        for (int k : kernel.scalars) {
            const mxArray* value = c.inputs[size_t(k - 1)].get();
            ASSERT_EQ(1u, mxGetNumberOfElements(value)) << kernel.name << ", input " << k;
            // The first element is the scalar's; the others would change the map.
            Array matrix = of_class(mxGetClassID(value), {2, 3});
            const size_t element = mxGetClassID(value) == mxUINT16_CLASS ? 2 : mxGetClassID(value) == mxSINGLE_CLASS ? 4 : 8;
            for (size_t e = 0; e < 6; ++e)
                std::memcpy(static_cast<char*>(mxGetData(matrix.get())) + e * element, mxGetData(value), element);
            for (size_t e = 1; e < 6; ++e) {
                void* data = mxGetData(matrix.get());
                if (element == 2) static_cast<uint16_t*>(data)[e] ^= 1;
                if (element == 4) static_cast<float*>(data)[e] = std::nanf("");
                if (element == 8) static_cast<double*>(data)[e] = std::nan("");
            }
            std::vector<const mxArray*> inputs = c.handles();
            inputs[size_t(k - 1)] = matrix.get();
            const std::string what = std::string(kernel.name) + ", input " + std::to_string(k);
            const CallResult result = call(c.kernel, c.nlhs, inputs);
            EXPECT_TRUE(outcome_of(result) == expected) << what << ": " << difference(expected, outcome_of(result));
            ASSERT_EQ(1u, result.warnings.size()) << what;
            EXPECT_EQ(std::string(kernel.name) + ":suspiciousShape", result.warnings[0].first) << what;
            const std::string message = result.warnings[0].second;
            EXPECT_EQ(0u, message.find("input " + std::to_string(k) + " (")) << what << ": " << message;
            EXPECT_NE(std::string::npos, message.find(") is 2 x 3, not a scalar; only its first element, ")) << what << ": " << message;
        }
    }
}

// However many inputs have a suspicious shape, a call warns once with an
// identifier, naming the first it finds: here every scalar, and an index
// or size map transposed.
TEST(Usage, EachWarningIsGivenOncePerCall)
{
    for (const KernelFacts& kernel : all_kernels()) {
        if (kernel.scalars.empty()) continue;
        const KernelCall c = first_call_with_pixels(kernel.name);
        std::vector<Array> changed;
        std::vector<const mxArray*> inputs = c.handles();
        for (int k : kernel.scalars) {
            changed.push_back(with_sizes(c.inputs[size_t(k - 1)].get(), {1, 2}));
            inputs[size_t(k - 1)] = changed.back().get();
        }
        const std::vector<mwSize> stack = dims(c.inputs[0].get());
        for (int k : kernel.pixel_maps) {
            changed.push_back(with_sizes(c.inputs[size_t(k - 1)].get(), {stack[1], stack[0]}));
            inputs[size_t(k - 1)] = changed.back().get();
        }
        const CallResult result = call(c.kernel, c.nlhs, inputs);
        ASSERT_FALSE(result.failed) << kernel.name << ": " << result.message;
        ASSERT_EQ(1u, result.warnings.size()) << kernel.name;
        EXPECT_EQ(std::string(kernel.name) + ":suspiciousShape", result.warnings[0].first);
        EXPECT_EQ(0u, result.warnings[0].second.find("input " + std::to_string(kernel.scalars.front()) + " ("))
            << kernel.name << ": " << result.warnings[0].second;
    }
}

// An image with no pixel reads no table, so none is required: empty inputs
// everywhere but the scalars give empty maps in every function that takes
// responses (a filter bank needs an image with a pixel).
TEST(Usage, EmptyImagesNeedNoTables)
{
    for (const KernelFacts& kernel : all_kernels()) {
        if (takes_image(kernel)) continue;
        KernelCall c = first_call_with_pixels(kernel.name);
        for (size_t k = 0; k < c.inputs.size(); ++k)
            if (mxGetNumberOfElements(c.inputs[k].get()) > 1) c.inputs[k] = of_class(mxGetClassID(c.inputs[k].get()), {0, 0});
        const CallResult result = call(c.kernel, kernel.outputs, c.handles());
        ASSERT_FALSE(result.failed) << kernel.name << ": " << result.message;
        for (const Array& output : result.outputs) EXPECT_EQ((std::vector<mwSize>{0, 0}), dims(output.get()));
    }
}

TEST(Usage, MessagesSayWhatIsWrongInTheUsersTerms)
{
    for (const KernelFacts& kernel : all_kernels()) {
        if (takes_image(kernel)) continue;  // an image of more than two dimensions is the wrong shape
        const KernelCall c = first_call_with_pixels(kernel.name);
        std::vector<const mxArray*> inputs = c.handles();
        std::vector<mwSize> emptied = dims(c.inputs[0].get());
        const size_t rank = size_t(kernel.first_input_rank);
        emptied = with_more(emptied, rank, 0);
        Array emptied_stack = of_class(mxDOUBLE_CLASS, emptied);
        inputs[0] = emptied_stack.get();
        if (kernel.index_maps.size() && kernel.index_maps.front() == 3) inputs[1] = emptied_stack.get();
        expect_breach(call(c.kernel, 1, inputs), kernel.name, "an emptied first input", "tooFewElements",
                      ("is empty: its size " + std::to_string(rank + 1) + " is 0, so it holds none of the").c_str());
    }
    // One element is one element.
    Array R = doubles({1, 1}, {1}), o = uint16s({1, 1}, {1}), P = doubles({1, 1}, {1}), g = scalar(1);
    Array empty = doubles({0, 0});
    expect_breach(call("ZELgetHeightAndWidthMap", 1, {R.get(), o.get(), o.get(), P.get(), g.get(), empty.get(), o.get()}),
                  "ZELgetHeightAndWidthMap", "no scale table", "tooFewElements",
                  "input 6 (scale table) must hold at least 1 element (orientations x scales of the response stack); found 0.");
    // An empty scalar: it has no element, and the call ends.
    for (const KernelFacts& kernel : all_kernels()) {
        const KernelCall c = first_call_with_pixels(kernel.name);
        for (int k : kernel.scalars) {
            std::vector<const mxArray*> inputs = c.handles();
            Array none = of_class(mxGetClassID(inputs[size_t(k - 1)]), {1, 0});
            inputs[size_t(k - 1)] = none.get();
            const std::string what = "input " + std::to_string(k) + " empty";
            expect_breach(call(c.kernel, c.nlhs, inputs), kernel.name, what.c_str(), "emptyInput",
                          ") has no element: its first element is its value, so the call ends here.");
        }
    }
    // Values as MATLAB and Octave print them: NaN, Inf and -Inf, not nan
    // and inf; any other value with the fewest digits that give it back.
    const struct {
        double value;
        const char* shown;
    } values_shown[] = {{std::nan(""), "NaN"},   {-std::nan(""), "NaN"}, {HUGE_VAL, "Inf"}, {-HUGE_VAL, "-Inf"},
                        {-0.0, "-0"},           {2.5, "2.5"},          {0.1, "0.1"},      {1 + 0x1p-52, "1.0000000000000002"},
                        {65536, "65536"},       {1e300, "1e+300"},     {10, "10"},        {-1e-5, "-1e-05"},
                        {123456789012345.0, "123456789012345"}};
    Array stack = doubles({1, 2, 3}, {1, 2, 3, 4, 5, 6}), scale = uint16s({1, 2}, {1, 1}), flag = uint16_scalar(0);
    for (const auto& v : values_shown) {
        Array map = doubles({1, 2}, {1, v.value});
        const std::string part = std::string("input 2 (orientation index map) holds ") + v.shown +
                                 " at pixel (1, 2); expected a whole number in 1..3 (the orientation count).";
        expect_breach(call("ZELgetOrientationMap", 1, {stack.get(), map.get(), scale.get(), flag.get()}),
                      "ZELgetOrientationMap", v.shown, "indexOutOfRange", part.c_str());
    }
}

}  // namespace

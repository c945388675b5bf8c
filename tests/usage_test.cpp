// What a user meets besides the maps: more outputs than a function has,
// warnings for shapes that meet the contract but are most likely mistakes,
// empty images, and messages that say what is wrong.
#include "kernel_fixtures.h"

#include <algorithm>
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

// The fixtures keep every shape the functions expect, but for first inputs
// with dimensions past those read, which warn.
TEST(Usage, InputsOfTheirExpectedShapesRaiseNoWarning)
{
    for (const KernelFacts& kernel : all_kernels())
        for (const KernelCall& c : contract_calls(kernel.name)) {
            const CallResult result = call(c.kernel, c.nlhs, c.handles());
            const size_t read = size_t(kernel.first_input_rank);
            const size_t expected = dims(c.inputs[0].get()).size() > read ? 1 : 0;
            EXPECT_EQ(expected, result.warnings.size())
                << c.kernel << ", " << c.what << ": " << (result.warnings.empty() ? "" : result.warnings[0].second);
        }
}

// A shape that meets the contract but not the image warns once, and the
// call gives the bits of the call with the expected shape.
TEST(Usage, SuspiciousShapesWarnAndChangeNothing)
{
    for (const KernelFacts& kernel : all_kernels()) {
        const KernelCall c = first_call_with_pixels(kernel.name);
        const Outcome expected = outcome_of(call(c.kernel, c.nlhs, c.handles()));
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
            if (!k.warns) {
                EXPECT_TRUE(result.warnings.empty()) << what << ": " << result.warnings.front().second;
                continue;
            }
            ASSERT_EQ(1u, result.warnings.size()) << what;
            EXPECT_EQ(std::string(kernel.name) + ":suspiciousShape", result.warnings[0].first) << what;
            EXPECT_EQ(0u, result.warnings[0].second.find("input " + std::to_string(k.input) + " ("))
                << what << ": " << result.warnings[0].second;
        }
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
}

}  // namespace

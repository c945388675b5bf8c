#include "kernel_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

namespace zeltest {

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

mwSize element_count(const std::vector<mwSize>& dims)
{
    mwSize count = 1;
    for (mwSize d : dims) count *= d;
    return count;
}

mwSize size_at(const std::vector<mwSize>& dims, size_t k) { return k < dims.size() ? dims[k] : 1; }

KernelCall make_call(const std::string& kernel, const std::string& what, int nlhs)
{
    KernelCall call;
    call.kernel = kernel;
    call.what = what;
    call.nlhs = nlhs;
    return call;
}

// Blob and ridge maps take the same ten inputs. Sizes, scale table entries
// and the gain are not negative, so no sampling fraction is; a zero scale
// table entry and infinite or NaN sizes give the fractions +inf and NaN.
KernelCall ten_input_call(const std::string& kernel, const std::string& what, const std::vector<mwSize>& dims,
                          uint16_t table_length, double gain, uint64_t seed)
{
    RandomValues data(seed);
    const mwSize rows = dims[0], cols = dims[1], nO = size_at(dims, 2), nS = size_at(dims, 3);
    const mwSize pixels = rows * cols;
    KernelCall call = make_call(kernel, what, 1);
    std::vector<double> size_map(pixels), scale_table(nO * nS);
    for (double& a : size_map) a = data.engine() % 10 == 0 ? (data.engine() % 2 ? kNaN : kInf) : data.uniform(0, 6);
    for (double& t : scale_table) t = data.engine() % 8 == 0 ? 0.0 : data.uniform(0.5, 4);
    call.inputs.push_back(doubles(dims, data.values(element_count(dims), -2, 2, 10)));
    call.inputs.push_back(doubles(dims, data.values(element_count(dims), -1, 1, 10)));
    call.inputs.push_back(uint16s({rows, cols}, data.indices(pixels, nO)));
    call.inputs.push_back(uint16s({rows, cols}, data.indices(pixels, nS)));  // not read
    call.inputs.push_back(scalar(0.25));
    call.inputs.push_back(doubles({1, table_length}, data.values(table_length, -3, 3, 8)));
    call.inputs.push_back(scalar(gain));
    call.inputs.push_back(doubles({rows, cols}, size_map));
    call.inputs.push_back(doubles({nO, nS}, scale_table));
    call.inputs.push_back(doubles({rows, cols}, data.values(pixels, -2, 2, 6)));
    return call;
}

std::vector<KernelCall> ten_input_calls(const std::string& kernel)
{
    std::vector<KernelCall> calls;
    calls.push_back(ten_input_call(kernel, "three orientations, three scales", {5, 4, 3, 3}, 7, 2.5, 11));
    calls.push_back(ten_input_call(kernel, "one scale, a table of one element", {4, 4, 2}, 1, 1.0, 12));
    calls.push_back(ten_input_call(kernel, "one orientation, two scales", {4, 3, 1, 2}, 5, 8.0, 13));
    calls.push_back(ten_input_call(kernel, "no scales", {3, 3, 2, 0}, 4, 1.0, 14));
    calls.push_back(ten_input_call(kernel, "no rows", {0, 4, 2, 2}, 4, 1.0, 15));
    return calls;
}

KernelCall edge_call(const std::string& what, const std::vector<mwSize>& dims, double c, double b, uint64_t seed)
{
    RandomValues data(seed);
    const mwSize rows = dims[0], cols = dims[1], pixels = rows * cols;
    KernelCall call = make_call("ZELgetEdgeMap", what, 1);
    call.inputs.push_back(doubles(dims, data.values(element_count(dims), -2, 2, 10)));
    call.inputs.push_back(doubles(dims, data.values(element_count(dims), -1, 1, 10)));
    call.inputs.push_back(uint16s({rows, cols}, data.indices(pixels, size_at(dims, 2))));
    call.inputs.push_back(uint16s({rows, cols}, data.indices(pixels, size_at(dims, 3))));
    call.inputs.push_back(scalar(c));
    call.inputs.push_back(scalar(b));
    return call;
}

std::vector<KernelCall> edge_calls()
{
    std::vector<KernelCall> calls;
    calls.push_back(edge_call("three orientations, four scales", {5, 4, 3, 4}, 0.3, -1.5, 21));
    calls.push_back(edge_call("one scale", {4, 3, 2}, -0.5, 2.0, 22));
    calls.push_back(edge_call("NaN penalty weight", {3, 3, 2, 2}, kNaN, 1.0, 23));
    // A stack with no scale has none for the scale index map to select: an
    // image with pixels is a breach, one without pixels an empty map.
    calls.push_back(edge_call("no scales, no rows", {0, 2, 2, 0}, 1.0, 1.0, 24));
    calls.push_back(edge_call("no rows", {0, 3, 2, 2}, 1.0, 1.0, 25));
    return calls;
}

// The selected scale holds the largest magnitude of its three scales at most
// pixels, so the refined position stays within half a scale of it and, with
// the gain and the scale ratio below, every sampling fraction lies in
// [0, 0.3]; some pixels hold NaN, infinities or three equal magnitudes.
KernelCall height_and_width_call(const std::string& what, const std::vector<mwSize>& dims, uint16_t mode,
                                 int nlhs, uint64_t seed)
{
    RandomValues data(seed);
    const mwSize rows = dims[0], cols = dims[1], nO = size_at(dims, 2), nS = size_at(dims, 3);
    const mwSize pixels = rows * cols, planes = nO * nS;
    std::vector<uint16_t> orientation = data.indices(pixels, nO), scale = data.indices(pixels, nS);
    std::vector<double> R = data.values(element_count(dims), -1, 1, 1000000);
    auto at = [&](mwSize p, mwSize o, mwSize s) -> double& { return R[p + pixels * (o - 1) + pixels * nO * (s - 1)]; };
    for (mwSize p = 0; p < pixels; ++p) {
        double& centre = at(p, orientation[p], scale[p]);
        switch (data.engine() % 10) {
        case 0: centre = data.special(); break;
        case 1:  // three equal magnitudes
            centre = 0.0;
            if (scale[p] > 1 && scale[p] < nS) at(p, orientation[p], scale[p] - 1) = at(p, orientation[p], scale[p] + 1) = -0.0;
            break;
        default: centre = (data.engine() % 2 ? 1.0 : -1.0) * data.uniform(1.0, 3.0);
        }
    }
    std::vector<double> table(planes);
    for (mwSize o = 0; o < nO; ++o)
        for (mwSize s = 0; s < nS; ++s) table[o + nO * s] = (1.0 + 0.25 * double(o)) * std::pow(1.5, double(s));
    if (planes > 3) table[planes - 2] = 0.0;
    KernelCall call = make_call("ZELgetHeightAndWidthMap", what, nlhs);
    call.inputs.push_back(doubles(dims, R));
    call.inputs.push_back(uint16s({rows, cols}, orientation));
    call.inputs.push_back(uint16s({rows, cols}, scale));
    call.inputs.push_back(doubles({9, 1}, {10, 9, -8, 7, 6.5, -5, 4, 3, 2}));
    call.inputs.push_back(scalar(4.0));
    call.inputs.push_back(doubles({nO, nS}, table));
    call.inputs.push_back(uint16_scalar(mode));
    return call;
}

std::vector<KernelCall> height_and_width_calls()
{
    std::vector<KernelCall> calls;
    calls.push_back(height_and_width_call("mode 1", {5, 4, 2, 4}, 1, 2, 31));
    calls.push_back(height_and_width_call("mode 3", {5, 4, 2, 4}, 3, 2, 31));
    calls.push_back(height_and_width_call("two-sample difference", {5, 4, 2, 4}, 2, 2, 31));
    calls.push_back(height_and_width_call("one scale, mode 3", {4, 3, 3}, 3, 2, 32));
    calls.push_back(height_and_width_call("two scales, difference", {3, 4, 2, 2}, 0, 2, 33));
    calls.push_back(height_and_width_call("one output requested", {3, 3, 2, 3}, 3, 1, 34));
    calls.push_back(height_and_width_call("no rows", {0, 2, 2, 3}, 3, 2, 35));
    return calls;
}

KernelCall orientation_call(const std::string& what, const std::vector<mwSize>& dims, uint16_t flag, uint64_t seed)
{
    RandomValues data(seed);
    const mwSize rows = dims[0], cols = dims[1], pixels = rows * cols;
    KernelCall call = make_call("ZELgetOrientationMap", what, 1);
    std::vector<double> R = data.values(element_count(dims), -2, 2, 12);
    // The first pixel is zero at every orientation: the interpolation is 0/0.
    for (mwSize k = 0; pixels > 0 && k < R.size(); k += pixels) R[k] = 0.0;
    call.inputs.push_back(doubles(dims, R));
    call.inputs.push_back(uint16s({rows, cols}, data.indices(pixels, size_at(dims, 2))));
    call.inputs.push_back(uint16s({rows, cols}, data.indices(pixels, size_at(dims, 3))));
    call.inputs.push_back(uint16_scalar(flag));
    return call;
}

std::vector<KernelCall> orientation_calls()
{
    std::vector<KernelCall> calls;
    calls.push_back(orientation_call("linear mapping, eight orientations", {5, 4, 8, 2}, 0, 41));
    calls.push_back(orientation_call("arctangent mapping, fourteen orientations", {4, 4, 14}, 1, 42));
    calls.push_back(orientation_call("flag 2, ten orientations", {3, 5, 10, 3}, 2, 43));
    calls.push_back(orientation_call("arctangent with a zero divisor", {3, 3, 6}, 1, 44));
    calls.push_back(orientation_call("two orientations", {4, 3, 2, 2}, 1, 45));
    calls.push_back(orientation_call("no rows", {0, 3, 4, 2}, 0, 46));
    return calls;
}

// Angle maps: curves one pixel wide among NaN, thick patches, junctions,
// infinities and differences past the half-turn wrap.
KernelCall curvature_call(const std::string& what, const std::vector<mwSize>& dims, uint64_t seed)
{
    RandomValues data(seed);
    std::vector<double> map(element_count(dims));
    for (double& angle : map) {
        const unsigned pick = unsigned(data.engine() % 20);
        angle = pick < 9 ? kNaN : pick == 9 ? data.special() : pick == 10 ? data.uniform(-1000, 1000) : data.uniform(0, 180);
    }
    KernelCall call = make_call("ZELgetCurvatureMap", what, 1);
    call.inputs.push_back(doubles(dims, map));
    return call;
}

std::vector<KernelCall> curvature_calls()
{
    std::vector<KernelCall> calls;
    calls.push_back(curvature_call("seven by eight", {7, 8}, 51));
    calls.push_back(curvature_call("three by three", {3, 3}, 52));
    calls.push_back(curvature_call("two rows", {2, 5}, 53));
    calls.push_back(curvature_call("one column", {6, 1}, 54));
    calls.push_back(curvature_call("three dimensions", {4, 5, 2}, 55));
    calls.push_back(curvature_call("no columns", {4, 0}, 56));
    calls.push_back(curvature_call("no rows", {0, 4}, 57));
    // A diagonal curve with an end, in a map of NaN.
    std::vector<double> curve(36, kNaN);
    for (int k = 0; k < 5; ++k) curve[size_t(k + 6 * k)] = 10.0 + 35.0 * k;
    KernelCall diagonal = make_call("ZELgetCurvatureMap", "a diagonal curve", 1);
    diagonal.inputs.push_back(doubles({6, 6}, curve));
    calls.push_back(std::move(diagonal));
    return calls;
}

// An image of the given class: values in [0, 1] (whole numbers for the
// integer classes), with NaN, infinities, zeros and subnormals among the
// real ones.
Array image_of(mxClassID class_id, mwSize rows, mwSize cols, uint64_t seed)
{
    RandomValues data(seed);
    Array image = of_class(class_id, {rows, cols});
    void* out = mxGetData(image.get());
    for (size_t p = 0; p < rows * cols; ++p) {
        const double v = data.special_or(data.uniform(0, 1), 12);
        switch (class_id) {
        case mxSINGLE_CLASS: static_cast<float*>(out)[p] = float(v); break;
        case mxUINT8_CLASS: static_cast<uint8_t*>(out)[p] = uint8_t(data.below(256)); break;
        case mxUINT16_CLASS: static_cast<uint16_t*>(out)[p] = uint16_t(data.below(65536)); break;
        case mxLOGICAL_CLASS: static_cast<uint8_t*>(out)[p] = uint8_t(data.below(2)); break;
        default: static_cast<double*>(out)[p] = v; break;
        }
    }
    return image;
}

Array text(const char* word)
{
    const std::vector<mwSize> shape = {1, std::strlen(word)};
    Array t = of_class(mxCHAR_CLASS, shape);
    for (size_t k = 0; k < shape[1]; ++k) static_cast<uint16_t*>(mxGetData(t.get()))[k] = uint16_t(word[k]);
    return t;
}

KernelCall filter_bank_call(const std::string& what, Array image, const std::vector<double>& sigmas,
                            double orientations, int nlhs, const std::vector<double>& orders = {},
                            const char* precision = nullptr)
{
    KernelCall call = make_call("ZELgetResponseStack", what, nlhs);
    call.inputs.push_back(std::move(image));
    call.inputs.push_back(doubles({1, sigmas.size()}, sigmas));
    call.inputs.push_back(scalar(orientations));
    if (!orders.empty() || precision) call.inputs.push_back(doubles({1, orders.size()}, orders));
    if (precision) call.inputs.push_back(text(precision));
    return call;
}

// Both orders, each order alone, too few orientations for the stacks to hold
// the passes (a working array), images narrower than the kernels (mirrored
// more than once), every image class, single precision asked for, no scales.
std::vector<KernelCall> filter_bank_calls()
{
    std::vector<KernelCall> calls;
    calls.push_back(filter_bank_call("both orders, 19 x 13", image_of(mxDOUBLE_CLASS, 19, 13, 61), {0.7, 1.5, 2.4}, 8, 2));
    calls.push_back(filter_bank_call("second order, 3 orientations", image_of(mxDOUBLE_CLASS, 11, 7, 62), {1, 2}, 3, 1));
    calls.push_back(filter_bank_call("first order, 2 orientations", image_of(mxDOUBLE_CLASS, 6, 9, 63), {1.5}, 2, 1, {1}));
    calls.push_back(filter_bank_call("orders 1 2, one orientation", image_of(mxDOUBLE_CLASS, 5, 4, 64), {0.5, 4}, 1, 2, {1, 2}));
    calls.push_back(filter_bank_call("one pixel", image_of(mxDOUBLE_CLASS, 1, 1, 65), {3}, 4, 2));
    calls.push_back(filter_bank_call("a row, wide kernels", image_of(mxDOUBLE_CLASS, 1, 9, 66), {2.5}, 4, 2));
    calls.push_back(filter_bank_call("single image", image_of(mxSINGLE_CLASS, 8, 10, 67), {1.2, 2}, 6, 2));
    calls.push_back(filter_bank_call("uint8 image", image_of(mxUINT8_CLASS, 9, 8, 68), {1}, 4, 1));
    calls.push_back(filter_bank_call("uint16 image, single asked for", image_of(mxUINT16_CLASS, 7, 6, 69), {1.1}, 5, 2,
                                     {2, 1}, "single"));
    calls.push_back(filter_bank_call("logical image", image_of(mxLOGICAL_CLASS, 6, 7, 70), {0.8}, 4, 2));
    calls.push_back(filter_bank_call("no scales", image_of(mxDOUBLE_CLASS, 4, 5, 71), {}, 8, 2));
    return calls;
}

KernelCall index_maps_call(const std::string& what, const std::vector<mwSize>& dims, uint64_t seed, int nlhs = 2)
{
    RandomValues data(seed);
    std::vector<double> R(element_count(dims));
    // Few distinct magnitudes, so that ties happen; NaN and infinities too.
    for (double& r : R) r = data.special_or(double(int(data.below(9)) - 4), 10);
    KernelCall call = make_call("ZELgetIndexMaps", what, nlhs);
    call.inputs.push_back(doubles(dims, R));
    return call;
}

std::vector<KernelCall> index_maps_calls()
{
    std::vector<KernelCall> calls;
    calls.push_back(index_maps_call("7 x 5 x 4 x 3", {7, 5, 4, 3}, 81));
    calls.push_back(index_maps_call("one orientation", {3, 6, 1, 4}, 82));
    calls.push_back(index_maps_call("one scale, orientation map only", {6, 4, 5}, 83, 1));
    calls.push_back(index_maps_call("past a run", {700, 2, 2, 2}, 84));
    calls.push_back(index_maps_call("no rows", {0, 4, 3, 2}, 85));
    // Every response of the first pixel NaN: orientation 1, scale 1.
    KernelCall nan = index_maps_call("a pixel of NaN only", {2, 2, 3, 2}, 86);
    for (size_t k = 0; k < 6; ++k) static_cast<double*>(mxGetData(nan.inputs[0].get()))[k * 4] = kNaN;
    calls.push_back(std::move(nan));
    return calls;
}

}  // namespace

bool takes_image(const KernelFacts& kernel) { return std::string(kernel.name) == "ZELgetResponseStack"; }

std::vector<const mxArray*> KernelCall::handles() const
{
    std::vector<const mxArray*> h;
    for (const Array& a : inputs) h.push_back(a.get());
    return h;
}

std::vector<KernelCall> contract_calls(const std::string& kernel)
{
    if (kernel == "ZELgetBlobMap" || kernel == "ZELgetRidgeMap") return ten_input_calls(kernel);
    if (kernel == "ZELgetEdgeMap") return edge_calls();
    if (kernel == "ZELgetHeightAndWidthMap") return height_and_width_calls();
    if (kernel == "ZELgetOrientationMap") return orientation_calls();
    if (kernel == "ZELgetCurvatureMap") return curvature_calls();
    if (kernel == "ZELgetResponseStack") return filter_bank_calls();
    if (kernel == "ZELgetIndexMaps") return index_maps_calls();
    ADD_FAILURE() << "no fixtures for " << kernel;
    return {};
}

std::vector<KernelCall> long_calls(const std::string& kernel)
{
    // 1100 pixels: past the distance the kernels prefetch ahead (64 pixels),
    // two runs of 512 and part of a third.
    const char* what = "1100 pixels";
    std::vector<KernelCall> calls;
    if (kernel == "ZELgetBlobMap" || kernel == "ZELgetRidgeMap")
        calls.push_back(ten_input_call(kernel, what, {1, 1100, 2, 2}, 7, 2.5, 16));
    else if (kernel == "ZELgetEdgeMap")
        calls.push_back(edge_call(what, {1, 1100, 2, 2}, 0.3, -1.5, 26));
    else if (kernel == "ZELgetHeightAndWidthMap")
        calls.push_back(height_and_width_call(what, {1, 1100, 2, 3}, 3, 2, 36));
    else if (kernel == "ZELgetOrientationMap")
        calls.push_back(orientation_call("1100 pixels, arctangent mapping", {1, 1100, 10, 2}, 1, 47));
    else if (kernel == "ZELgetCurvatureMap")
        calls.push_back(curvature_call("3 x 370 pixels", {3, 370}, 58));
    else if (kernel == "ZELgetIndexMaps")
        calls.push_back(index_maps_call(what, {1, 1100, 3, 2}, 87));
    return calls;
}

std::vector<KernelCall> breaching_calls(const KernelFacts& kernel)
{
    std::vector<KernelCall> calls;
    for (int count : {kernel.inputs + 1, kernel.required_inputs - 1}) {
        KernelCall arity = make_call(kernel.name, std::to_string(count) + " inputs", 1);
        for (int k = 0; k < count; ++k) arity.inputs.push_back(scalar(1.0));
        calls.push_back(std::move(arity));
    }
    KernelCall integer = std::move(contract_calls(kernel.name).front());
    integer.what = "an int32 first input";
    integer.inputs[0] = of_class(mxINT32_CLASS, dims(integer.inputs[0].get()));
    calls.push_back(std::move(integer));

    KernelCall tall = std::move(contract_calls(kernel.name).front());
    tall.what = "65535 rows";
    tall.inputs[0] = unbacked({65535, 2});
    calls.push_back(std::move(tall));
    return calls;
}

bool Outcome::operator==(const Outcome& other) const
{
    return failed == other.failed && id == other.id && message == other.message &&
           output_classes == other.output_classes && output_dims == other.output_dims &&
           output_bits == other.output_bits;
}

Outcome outcome_of(const CallResult& result)
{
    Outcome outcome;
    outcome.failed = result.failed;
    outcome.id = result.id;
    outcome.message = result.message;
    for (const Array& output : result.outputs) {
        outcome.output_classes.push_back(mxGetClassID(output.get()));
        outcome.output_dims.push_back(dims(output.get()));
        outcome.output_bits.push_back(element_bits(output.get()));
    }
    return outcome;
}

std::string difference(const Outcome& expected, const Outcome& got)
{
    std::ostringstream text;
    auto error = [](const Outcome& o) { return "error '" + o.id + "': " + o.message; };
    if (expected.failed || got.failed) {
        text << (got.failed ? error(got) : "outputs") << " instead of " << (expected.failed ? error(expected) : "outputs");
        return text.str();
    }
    if (expected.output_classes != got.output_classes) return "outputs of other classes";
    if (expected.output_dims != got.output_dims) return "outputs of other sizes";
    for (size_t k = 0; k < expected.output_bits.size(); ++k)
        for (size_t e = 0; e < expected.output_bits[k].size(); ++e)
            if (expected.output_bits[k][e] != got.output_bits[k][e]) {
                text << "output " << k + 1 << ", element " << std::dec << e << ": bits " << std::hex
                     << got.output_bits[k][e] << " instead of " << expected.output_bits[k][e];
                return text.str();
            }
    return "no difference";
}

namespace {
size_t element_size(mxClassID id)
{
    switch (id) {
    case mxLOGICAL_CLASS: case mxINT8_CLASS: case mxUINT8_CLASS: return 1;
    case mxCHAR_CLASS: case mxINT16_CLASS: case mxUINT16_CLASS: return 2;
    case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
    case mxDOUBLE_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
    default: return 0;
    }
}
}  // namespace

InputBytes input_bytes(const mxArray* array)
{
    InputBytes bytes{mxGetClassID(array), mxIsComplex(array), mxIsSparse(array), dims(array), mxGetData(array), {}};
    const unsigned char* data = static_cast<const unsigned char*>(mxGetData(array));
    // A sparse array holds fewer elements than its sizes imply.
    if (data && !bytes.sparse)
        bytes.elements.assign(data, data + mxGetNumberOfElements(array) * element_size(bytes.class_id));
    return bytes;
}

bool InputBytes::operator==(const InputBytes& other) const
{
    return class_id == other.class_id && complex == other.complex && sparse == other.sparse && dims == other.dims &&
           data == other.data && elements == other.elements;
}

}  // namespace zeltest

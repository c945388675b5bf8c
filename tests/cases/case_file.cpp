#include "case_file.h"

#include "mex_loader.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace zelcases {

size_t element_count(const Dims& dims)
{
    size_t n = 1;
    for (mwSize d : dims) n *= d;
    return n;
}

mexFunctionPointer load_kernel(const std::string& dir, const std::string& kernel)
{
    const std::string path = dir + "/" + kernel + zeltest::kMexExtension;
    if (!zeltest::file_exists(path)) {
        fprintf(stderr, "%s is not built\n", path.c_str());
        return nullptr;
    }
    std::string error;
    void* library = zeltest::open_mex_file(path, error);
    if (!library) {
        fprintf(stderr, "cannot load %s: %s\n", path.c_str(), error.c_str());
        return nullptr;
    }
    return reinterpret_cast<mexFunctionPointer>(zeltest::find_export(library, "mexFunction"));
}

namespace {

// Where an input's elements are, how many it holds, and how wide each is.
const void* elements_of(const Input& in)
{
    switch (in.class_id) {
    case mxUINT16_CLASS:
    case mxCHAR_CLASS: return in.indices.data();
    case mxSINGLE_CLASS: return in.singles.data();
    case mxUINT8_CLASS:
    case mxLOGICAL_CLASS: return in.bytes.data();
    default: return in.doubles.data();
    }
}

size_t stored_count(const Input& in)
{
    switch (in.class_id) {
    case mxUINT16_CLASS:
    case mxCHAR_CLASS: return in.indices.size();
    case mxSINGLE_CLASS: return in.singles.size();
    case mxUINT8_CLASS:
    case mxLOGICAL_CLASS: return in.bytes.size();
    default: return in.doubles.size();
    }
}

size_t element_width(mxClassID class_id)
{
    switch (class_id) {
    case mxUINT16_CLASS:
    case mxCHAR_CLASS: return 2;
    case mxSINGLE_CLASS: return 4;
    case mxUINT8_CLASS:
    case mxLOGICAL_CLASS: return 1;
    default: return 8;
    }
}

// Null when the input does not hold as many elements as its sizes say.
mxArray* host_array(const Input& in)
{
    const size_t count = element_count(in.dims);
    if (stored_count(in) != count) return nullptr;
    mxArray* array = mxCreateNumericArray(in.dims.size(), in.dims.data(), in.class_id, mxREAL);
    if (count > 0) memcpy(mxGetData(array), elements_of(in), count * element_width(in.class_id));
    return array;
}

// The outputs the file keeps, each element's bits widened to 64.
bool output_bits(const mxArray* array, Output& out)
{
    const size_t count = mxGetNumberOfElements(array);
    out.bits.assign(count, 0);
    const void* data = mxGetData(array);
    switch (out.class_id) {
    case mxDOUBLE_CLASS:
        if (count > 0) memcpy(out.bits.data(), data, count * sizeof(uint64_t));
        return true;
    case mxSINGLE_CLASS:
        for (size_t k = 0; k < count; ++k) {
            uint32_t b;
            memcpy(&b, static_cast<const char*>(data) + k * sizeof b, sizeof b);
            out.bits[k] = b;
        }
        return true;
    case mxUINT16_CLASS:
        for (size_t k = 0; k < count; ++k) out.bits[k] = static_cast<const uint16_t*>(data)[k];
        return true;
    default: return false;
    }
}

}  // namespace

bool same_call(const Case& a, const Case& b)
{
    if (a.kernel != b.kernel || a.nlhs != b.nlhs || a.inputs.size() != b.inputs.size()) return false;
    for (size_t k = 0; k < a.inputs.size(); ++k) {
        const Input &x = a.inputs[k], &y = b.inputs[k];
        if (x.class_id != y.class_id || x.dims != y.dims || stored_count(x) != stored_count(y)) return false;
        // Compared as bytes: NaN payloads and signed zeros count.
        const size_t size = stored_count(x) * element_width(x.class_id);
        if (size > 0 && memcmp(elements_of(x), elements_of(y), size) != 0) return false;
    }
    return true;
}

bool run_case(mexFunctionPointer entry, const Case& c, Outcome& outcome)
{
    std::vector<mxArray*> inputs;
    for (const Input& in : c.inputs) {
        inputs.push_back(host_array(in));
        if (!inputs.back()) {
            fprintf(stderr, "%s: input %zu holds %zu elements for %zu\n", c.kernel.c_str(), inputs.size(),
                    stored_count(in), element_count(in.dims));
            for (mxArray* made : inputs) mxDestroyArray(made);
            outcome = Outcome{"(not called)", {}};
            return false;
        }
    }
    const int slots = c.nlhs > 1 ? c.nlhs : 1;
    mxArray* outputs[8] = {};
    const int failed =
        mexHostCall(entry, c.nlhs, outputs, int(inputs.size()), const_cast<const mxArray**>(inputs.data()));
    bool sound = true;
    for (int k = slots; k < 8; ++k) {
        if (outputs[k]) {
            fprintf(stderr, "%s wrote output slot %d of %d\n", c.kernel.c_str(), k + 1, slots);
            sound = false;
        }
    }
    outcome = Outcome{failed ? mexHostErrorId() : "", {}};
    for (int k = 0; !failed && k < slots && outputs[k]; ++k) {
        const mwSize* dims = mxGetDimensions(outputs[k]);
        Output out{mxGetClassID(outputs[k]), Dims(dims, dims + mxGetNumberOfDimensions(outputs[k])), {}};
        if (!output_bits(outputs[k], out)) {
            fprintf(stderr, "%s gave output %d of class %d, which a case file cannot keep\n", c.kernel.c_str(),
                    k + 1, int(out.class_id));
            sound = false;
            break;
        }
        outcome.outputs.push_back(std::move(out));
    }
    // After an error the host has freed whatever the call created.
    if (!failed)
        for (mxArray* output : outputs) mxDestroyArray(output);
    for (mxArray* in : inputs) mxDestroyArray(in);
    return sound;
}

// --- the file ---

namespace {

const uint64_t kVersion = 3;

// The classes by their code in the file.
const mxClassID kClassByCode[] = {mxDOUBLE_CLASS, mxUINT16_CLASS, mxSINGLE_CLASS,
                                  mxUINT8_CLASS,  mxLOGICAL_CLASS, mxCHAR_CLASS};
constexpr uint64_t kClassCount = sizeof kClassByCode / sizeof kClassByCode[0];

// kClassCount for a class the file does not keep: no reader takes it.
uint64_t class_code(mxClassID class_id)
{
    uint64_t code = 0;
    while (code < kClassCount && kClassByCode[code] != class_id) ++code;
    return code;
}

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void put_u64(FILE* out, uint64_t value) { fwrite(&value, sizeof value, 1, out); }

void put_string(FILE* out, const std::string& text)
{
    put_u64(out, text.size());
    fwrite(text.data(), 1, text.size(), out);
}

void put_dims(FILE* out, const Dims& dims)
{
    put_u64(out, dims.size());
    for (mwSize d : dims) put_u64(out, d);
}

void put_input(FILE* out, const Input& in)
{
    put_u64(out, class_code(in.class_id));
    put_dims(out, in.dims);
    // The bit patterns as they are.
    fwrite(elements_of(in), element_width(in.class_id), stored_count(in), out);
}

void put_output(FILE* out, const Output& o)
{
    put_u64(out, class_code(o.class_id));
    put_dims(out, o.dims);
    // Each pattern's low bytes, little-endian as the machine.
    const size_t width = element_width(o.class_id);
    std::vector<unsigned char> narrow(o.bits.size() * width);
    for (size_t k = 0; k < o.bits.size(); ++k) memcpy(&narrow[k * width], &o.bits[k], width);
    fwrite(narrow.data(), 1, narrow.size(), out);
}

// Reading: every get fails softly on a short or implausible file.
struct Reader {
    FILE* in;
    bool ok = true;

    uint64_t u64()
    {
        uint64_t value = 0;
        ok = ok && fread(&value, sizeof value, 1, in) == 1;
        return value;
    }
    uint64_t count(uint64_t limit)
    {
        const uint64_t n = u64();
        ok = ok && n <= limit;
        return ok ? n : 0;
    }
    template <typename T>
    void elements(std::vector<T>& v, size_t n)
    {
        v.resize(ok ? n : 0);
        ok = ok && fread(v.data(), sizeof(T), v.size(), in) == v.size();
    }
    // n elements of the given width, each widened with zeros to 64 bits.
    void widened(std::vector<uint64_t>& bits, size_t n, size_t width)
    {
        std::vector<unsigned char> narrow;
        elements(narrow, n * width);
        bits.assign(ok ? n : 0, 0);
        for (size_t k = 0; k < bits.size(); ++k) memcpy(&bits[k], &narrow[k * width], width);
    }
    std::string string()
    {
        std::string text(count(1 << 16), '\0');
        ok = ok && fread(&text[0], 1, text.size(), in) == text.size();
        return text;
    }
    mxClassID class_id(uint64_t limit) { return kClassByCode[count(limit)]; }
    Dims dims()
    {
        Dims d(count(64));
        for (mwSize& size : d) size = count(uint64_t(1) << 32);
        ok = ok && element_count(d) <= (size_t(1) << 31);
        return d;
    }
};

}  // namespace

bool write_cases(const std::string& path, const std::vector<CaseRecord>& records)
{
    File out(fopen(path.c_str(), "wb"));
    if (!out) {
        perror(path.c_str());
        return false;
    }
    fwrite("ZELCASES", 1, 8, out.get());
    put_u64(out.get(), kVersion);
    put_u64(out.get(), records.size());
    for (const CaseRecord& r : records) {
        put_string(out.get(), r.call.kernel);
        put_u64(out.get(), uint64_t(r.call.nlhs));
        put_u64(out.get(), r.call.inputs.size());
        for (const Input& in : r.call.inputs) put_input(out.get(), in);
        put_string(out.get(), r.outcome.error_id);
        put_u64(out.get(), r.outcome.outputs.size());
        for (const Output& o : r.outcome.outputs) put_output(out.get(), o);
    }
    if (ferror(out.get()) || fclose(out.release()) != 0) {
        perror(path.c_str());
        return false;
    }
    return true;
}

bool read_cases(const std::string& path, std::vector<CaseRecord>& records)
{
    File file(fopen(path.c_str(), "rb"));
    if (!file) {
        perror(path.c_str());
        return false;
    }
    Reader in{file.get()};
    char magic[8];
    in.ok = fread(magic, 1, 8, file.get()) == 8 && memcmp(magic, "ZELCASES", 8) == 0;
    in.ok = in.ok && in.u64() == kVersion;
    records.resize(in.count(1 << 20));
    for (CaseRecord& r : records) {
        r.call.kernel = in.string();
        r.call.nlhs = int(in.count(8));
        r.call.inputs.resize(in.count(16));
        for (Input& input : r.call.inputs) {
            input.class_id = in.class_id(kClassCount - 1);
            input.dims = in.dims();
            const size_t n = element_count(input.dims);
            switch (input.class_id) {
            case mxUINT16_CLASS:
            case mxCHAR_CLASS: in.elements(input.indices, n); break;
            case mxSINGLE_CLASS: in.elements(input.singles, n); break;
            case mxUINT8_CLASS:
            case mxLOGICAL_CLASS: in.elements(input.bytes, n); break;
            default: in.elements(input.doubles, n); break;
            }
        }
        r.outcome.error_id = in.string();
        r.outcome.outputs.resize(in.count(8));
        for (Output& o : r.outcome.outputs) {
            o.class_id = in.class_id(2);  // double, uint16 or single
            o.dims = in.dims();
            in.widened(o.bits, element_count(o.dims), element_width(o.class_id));
        }
        if (!in.ok) break;
    }
    if (!in.ok) fprintf(stderr, "%s: not a complete case file\n", path.c_str());
    return in.ok;
}

}  // namespace zelcases

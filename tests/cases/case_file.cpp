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

mxArray* host_array(const Input& in)
{
    mxArray* array = mxCreateNumericArray(in.dims.size(), in.dims.data(), in.class_id, mxREAL);
    if (in.class_id == mxUINT16_CLASS)
        memcpy(mxGetData(array), in.indices.data(), in.indices.size() * sizeof(uint16_t));
    else if (in.class_id == mxSINGLE_CLASS)
        memcpy(mxGetData(array), in.singles.data(), in.singles.size() * sizeof(float));
    else
        memcpy(mxGetData(array), in.doubles.data(), in.doubles.size() * sizeof(double));
    return array;
}

}  // namespace

bool run_case(mexFunctionPointer entry, const Case& c, Outcome& outcome)
{
    std::vector<mxArray*> inputs;
    for (const Input& in : c.inputs) inputs.push_back(host_array(in));
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
        Output out{Dims(dims, dims + mxGetNumberOfDimensions(outputs[k])),
                   std::vector<uint64_t>(mxGetNumberOfElements(outputs[k]))};
        if (!out.bits.empty()) memcpy(out.bits.data(), mxGetPr(outputs[k]), out.bits.size() * sizeof(uint64_t));
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

const uint64_t kVersion = 2;

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
    put_u64(out, in.class_id == mxUINT16_CLASS ? 1 : in.class_id == mxSINGLE_CLASS ? 2 : 0);
    put_dims(out, in.dims);
    if (in.class_id == mxUINT16_CLASS)
        fwrite(in.indices.data(), sizeof(uint16_t), in.indices.size(), out);
    else if (in.class_id == mxSINGLE_CLASS)
        fwrite(in.singles.data(), sizeof(float), in.singles.size(), out);
    else
        fwrite(in.doubles.data(), sizeof(double), in.doubles.size(), out);  // the bit patterns as they are
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
    std::string string()
    {
        std::string text(count(1 << 16), '\0');
        ok = ok && fread(&text[0], 1, text.size(), in) == text.size();
        return text;
    }
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
        for (const Output& o : r.outcome.outputs) {
            put_dims(out.get(), o.dims);
            fwrite(o.bits.data(), sizeof(uint64_t), o.bits.size(), out.get());
        }
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
            const uint64_t class_code = in.count(2);
            input.class_id = class_code == 1 ? mxUINT16_CLASS : class_code == 2 ? mxSINGLE_CLASS : mxDOUBLE_CLASS;
            input.dims = in.dims();
            if (input.class_id == mxUINT16_CLASS)
                in.elements(input.indices, element_count(input.dims));
            else if (input.class_id == mxSINGLE_CLASS)
                in.elements(input.singles, element_count(input.dims));
            else
                in.elements(input.doubles, element_count(input.dims));
        }
        r.outcome.error_id = in.string();
        r.outcome.outputs.resize(in.count(8));
        for (Output& o : r.outcome.outputs) {
            o.dims = in.dims();
            in.elements(o.bits, element_count(o.dims));
        }
        if (!in.ok) break;
    }
    if (!in.ok) fprintf(stderr, "%s: not a complete case file\n", path.c_str());
    return in.ok;
}

}  // namespace zelcases

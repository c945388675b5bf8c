// The stand-in host's own behaviour, on which every other test relies: how a
// call that ends in an error, or in a fault of the MEX file, comes back.
#include "kernel_support.h"

#include <gtest/gtest-spi.h>

#include <stdexcept>

namespace {

using namespace zeltest;

// Sets how errors end calls for the length of a test, and puts it back.
class ErrorMode {
public:
    explicit ErrorMode(bool long_jump) : before_(mexHostLongJumpErrors()) { mexHostSetLongJumpErrors(long_jump); }
    ~ErrorMode() { mexHostSetLongJumpErrors(before_); }

private:
    int before_;
};

// Entry points standing in for MEX files. Each creates an array first, which
// the host must free when the call fails.
bool g_unwound = false;

void ends_in_an_error(int, mxArray*[], int, const mxArray*[])
{
    try {
        mxCreateDoubleMatrix(2, 3, mxREAL);  // not stored: the host frees it
        mexErrMsgIdAndTxt("fake:breach", "input %d is wrong", 4);
    } catch (...) {
        g_unwound = true;  // only an unwinding host passes through here
        throw;
    }
}

void throws_a_standard_exception(int, mxArray*[], int, const mxArray*[])
{
    mxCreateDoubleMatrix(2, 3, mxREAL);
    throw std::length_error("vector too long");
}

void throws_an_int(int, mxArray*[], int, const mxArray*[])
{
    mxCreateDoubleMatrix(1, 1, mxREAL);
    throw 7;
}

struct ErrorCase {
    const char* what;
    bool long_jump;
};

// The modes checked here. On Windows the C run time's longjmp unwinds the
// frames it leaves as an exception would, so the mode that skips them is
// checked where ctest runs the suite in it: on Linux.
#ifdef _WIN32
const ErrorCase kModes[] = {{"unwinding", false}};
#else
const ErrorCase kModes[] = {{"unwinding", false}, {"long jump", true}};
#endif

TEST(Host, AnErrorEndsTheCallByUnwindingOrByALongJumpAndFreesWhatTheCallCreated)
{
    for (const ErrorCase& c : kModes) {
        ErrorMode mode(c.long_jump);
        g_unwound = false;
        const long live = mxHostLiveArrays();
        mxArray* plhs[2] = {nullptr, nullptr};
        EXPECT_EQ(1, mexHostCall(ends_in_an_error, 1, plhs, 0, nullptr)) << c.what;
        EXPECT_STREQ("fake:breach", mexHostErrorId()) << c.what;
        EXPECT_STREQ("input 4 is wrong", mexHostErrorMessage()) << c.what;
        EXPECT_EQ(live, mxHostLiveArrays()) << c.what << ": the array the call created was not freed";
        // The long jump skips the MEX file's frames; unwinding passes through them.
        EXPECT_EQ(!c.long_jump, g_unwound) << c.what;
    }
}

struct EscapeCase {
    const char* what;
    mexFunctionPointer entry;
    const char* message;
};

TEST(Host, AnExceptionOtherThanTheHostsEndsTheCallAsAFaultOfTheMexFile)
{
    const EscapeCase cases[] = {{"a standard exception", throws_a_standard_exception, "vector too long"},
                                {"an int", throws_an_int, "an exception of a type the host does not know"}};
    for (const ErrorCase& m : kModes) {
        ErrorMode mode(m.long_jump);
        for (const EscapeCase& c : cases) {
            const std::string what = std::string(c.what) + ", " + m.what;
            const long live = mxHostLiveArrays();
            mxArray* plhs[2] = {nullptr, nullptr};
            EXPECT_EQ(2, mexHostCall(c.entry, 1, plhs, 0, nullptr)) << what;
            EXPECT_STREQ("host:exceptionEscaped", mexHostErrorId()) << what;
            EXPECT_STREQ(c.message, mexHostErrorMessage()) << what;
            EXPECT_EQ(live, mxHostLiveArrays()) << what;
            // Through the suite's call, such an escape is a test failure.
            EXPECT_NONFATAL_FAILURE(call(c.entry, "fake", 1, {}), "let an exception escape");
        }
    }
}

}  // namespace

// Opening a built MEX file and finding its exports, as a host does: dlopen
// on Linux, LoadLibrary on Windows. The host DLLs (libmx, libmex) are
// already loaded in the calling process, which is where the MEX file's
// imports find them.
#ifndef ZEL_TESTS_MEX_LOADER_H
#define ZEL_TESTS_MEX_LOADER_H

#include <string>

namespace zeltest {

// ".mexa64" or ".mexw64".
extern const char* const kMexExtension;

// The folder this build writes its MEX files to. On Windows it is found from
// the running program, so that the path means the same under Wine.
std::string built_mex_dir();

// Null when the file cannot be loaded; error then says why.
void* open_mex_file(const std::string& path, std::string& error);
void* find_export(void* library, const char* name);

bool file_exists(const std::string& path);

}  // namespace zeltest

#endif

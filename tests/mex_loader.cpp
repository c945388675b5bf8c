#include "mex_loader.h"

#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zeltest {

#ifdef _WIN32

const char* const kMexExtension = ".mexw64";

std::string built_mex_dir()
{
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string dir(program, length);
    dir.erase(dir.find_last_of("\\/") + 1);
    return dir + ZEL_MEX_DIR_FROM_PROGRAM;
}

void* open_mex_file(const std::string& path, std::string& error)
{
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) error = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(library);
}

void* find_export(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

#else

const char* const kMexExtension = ".mexa64";

std::string built_mex_dir() { return ZEL_MEX_DIR; }

void* open_mex_file(const std::string& path, std::string& error)
{
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) error = dlerror();
    return library;
}

void* find_export(void* library, const char* name) { return dlsym(library, name); }

#endif

bool file_exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

}  // namespace zeltest

#include "platform/automation/activation.h"

#include "platform/automation/registry.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include <dlfcn.h>
#include <sys/stat.h>

namespace kivo::automation {

namespace {

struct LoadedLibrary {
    std::string path;
    void* handle;
    DllCanUnloadNowFunction canUnloadNow;
    DllGetClassObjectFunction getClassObject;
};

// Libraries loaded by activation, one entry per library, for the life of the process unless
// freeUnusedLibraries unloads one.
std::mutex libraryMutex;
std::vector<LoadedLibrary> libraries;

HRESULT failWith(HRESULT hr, std::string* message, std::string text)
{
    if (message) {
        *message = std::move(text);
    }
    return hr;
}

std::string dlopenError()
{
    const char* e = ::dlerror();
    return e ? e : "unknown error";
}

template <class F> F symbol(void* handle, const char* name)
{
    return reinterpret_cast<F>(::dlsym(handle, name));
}

// Loads `path` (or finds it loaded) and gives its entry points.
HRESULT loadServer(const std::string& path, LoadedLibrary& out, std::string* message)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return failWith(CO_E_DLLNOTFOUND, message,
                        "the server library " + path + " is missing: " + std::strerror(errno));
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        return failWith(CO_E_DLLNOTFOUND, message,
                        "the server library " + path + " cannot be loaded: " + dlopenError());
    }
    const std::lock_guard lock(libraryMutex);
    for (const LoadedLibrary& loaded : libraries) {
        if (loaded.handle == handle) {
            // Already held once; keep a single reference per library.
            ::dlclose(handle);
            out = loaded;
            return S_OK;
        }
    }
    LoadedLibrary loaded{path, handle, symbol<DllCanUnloadNowFunction>(handle, "DllCanUnloadNow"),
                         symbol<DllGetClassObjectFunction>(handle, "DllGetClassObject")};
    if (!loaded.getClassObject) {
        ::dlclose(handle);
        return failWith(CO_E_ERRORINDLL, message,
                        "the server library " + path + " does not export DllGetClassObject");
    }
    libraries.push_back(loaded);
    out = loaded;
    return S_OK;
}

bool hasBackslash(std::string_view s)
{
    return s.find('\\') != std::string_view::npos;
}

HRESULT resolveProgId(const Registry& registry, std::string_view progId, int depth, CLSID& clsid,
                      std::string* message)
{
    const std::string name(progId);
    const std::string key = std::string(kClassesRoot) + "\\" + name;
    if (progId.empty() || hasBackslash(progId) || !registry.keyExists(key)) {
        return failWith(REGDB_E_CLASSNOTREG, message,
                        "the ProgID \"" + name + "\" is not registered");
    }
    // A version-independent ProgID names its current version; a few steps at most, so a loop of
    // CurVer keys ends.
    if (const auto current = registry.value(key + "\\CurVer"); current && depth < 4) {
        return resolveProgId(registry, *current, depth + 1, clsid, message);
    }
    const auto text = registry.value(key + "\\CLSID");
    if (!text) {
        return failWith(REGDB_E_CLASSNOTREG, message,
                        "the ProgID \"" + name + "\" is registered without a CLSID");
    }
    const auto parsed = parseGuid(*text);
    if (!parsed) {
        return failWith(REGDB_E_CLASSNOTREG, message,
                        "the ProgID \"" + name + "\" has a malformed CLSID \"" + *text + "\"");
    }
    clsid = *parsed;
    return S_OK;
}

} // namespace

HRESULT clsidFromProgId(std::string_view progId, CLSID& clsid, std::string* message)
{
    Registry registry;
    const HRESULT hr = RegistryFile().read(registry, message);
    if (failed(hr)) {
        return hr;
    }
    return resolveProgId(registry, progId, 0, clsid, message);
}

HRESULT getClassObject(const CLSID& clsid, const IID& iid, void** object, std::string* message)
{
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    Registry registry;
    HRESULT hr = RegistryFile().read(registry, message);
    if (failed(hr)) {
        return hr;
    }
    const std::string key =
        std::string(kClassesRoot) + "\\CLSID\\" + toString(clsid) + "\\InprocServer32";
    const auto path = registry.value(key);
    if (!path || path->empty()) {
        return failWith(REGDB_E_CLASSNOTREG, message,
                        "the class " + toString(clsid) + " is not registered (no InprocServer32)");
    }
    LoadedLibrary library;
    hr = loadServer(*path, library, message);
    if (failed(hr)) {
        return hr;
    }
    hr = library.getClassObject(clsid, iid, object);
    if (failed(hr)) {
        return failWith(hr, message,
                        "DllGetClassObject of " + *path + " refused the class " + toString(clsid) +
                            ": " + describeHresult(hr));
    }
    return hr;
}

HRESULT createInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object,
                       std::string* message)
{
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.put(), message);
    if (failed(hr)) {
        return hr;
    }
    hr = factory->CreateInstance(outer, iid, object);
    if (failed(hr)) {
        return failWith(hr, message,
                        "the class factory of " + toString(clsid) +
                            " failed: " + describeHresult(hr));
    }
    return hr;
}

void freeUnusedLibraries()
{
    std::vector<void*> unused;
    {
        const std::lock_guard lock(libraryMutex);
        for (auto it = libraries.begin(); it != libraries.end();) {
            if (it->canUnloadNow && it->canUnloadNow() == S_OK) {
                unused.push_back(it->handle);
                it = libraries.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (void* handle : unused) {
        ::dlclose(handle);
    }
}

HRESULT registerServerLibrary(const std::string& libraryPath, bool unregister, std::string* message)
{
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    // A damaged registry is reported as such before the library touches it.
    Registry registry;
    HRESULT hr = RegistryFile().read(registry, message);
    if (failed(hr)) {
        return hr;
    }
    // The library registers the path it was loaded from, so load it by its full path.
    char full[PATH_MAX];
    if (!::realpath(libraryPath.c_str(), full)) {
        return failWith(CO_E_DLLNOTFOUND, message,
                        "the library " + libraryPath + " is missing: " + std::strerror(errno));
    }
    void* handle = ::dlopen(full, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        return failWith(CO_E_DLLNOTFOUND, message,
                        "the library " + libraryPath + " cannot be loaded: " + dlopenError());
    }
    const auto function = symbol<DllRegisterServerFunction>(handle, entry);
    if (!function) {
        ::dlclose(handle);
        return failWith(CO_E_ERRORINDLL, message,
                        "the library " + libraryPath + " does not export " + entry);
    }
    hr = function();
    ::dlclose(handle);
    if (failed(hr)) {
        return failWith(hr, message,
                        std::string(entry) + " in " + full + " failed: " + describeHresult(hr));
    }
    return failWith(hr, message, std::string(entry) + " in " + full + " succeeded");
}

} // namespace kivo::automation

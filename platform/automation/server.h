// What a server library needs to be small: the module that counts its objects and locks, serves
// its class factories and registers it, and the macro that defines its four exports.
//
// A server library (built with kivo_add_automation_server in CMake) holds one ServerModule as a
// global object and exports the four entry points with C linkage:
//
//   namespace {
//   constexpr CLSID CLSID_Echo = guid("{...}");
//   constexpr const char* kScript = R"(HKCR { ... InprocServer32 = s '%MODULE%' ... })";
//   const TypeLibInfo kTypeLib{guid("{...}"), 1, 0, "Echo 1.0 Type Library"};
//   ServerModule module({creatable<Echo>(CLSID_Echo)}, kScript, &kTypeLib);
//   } // namespace
//   KIVO_AUTOMATION_SERVER_EXPORTS(module)
//
// DllCanUnloadNow answers S_OK only while no object (class factories included) lives and no
// LockServer lock is held. DllGetClassObject gives a new class factory for a CLSID the module
// serves, else CLASS_E_CLASSNOTAVAILABLE. DllRegisterServer / DllUnregisterServer apply the script
// and the type library to the registry file (updateServerRegistration) with the library's own
// full path.
#pragma once

#include "platform/automation/dispatch.h"
#include "platform/automation/interfaces.h"
#include "platform/automation/registration.h"

#include <atomic>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

namespace kivo::automation {

enum class Aggregation { Allowed, Refused };

class ServerModule {
public:
    // Creates an object for a factory: the object is given `context` and asked for `iid`.
    using CreateFunction = HRESULT (*)(const ObjectContext& context, const IID& iid, void** object);

    struct Class {
        CLSID clsid;
        CreateFunction create;
        Aggregation aggregation;
    };

    // `registrationScript` and `typeLib` must outlive the module (string literals and globals).
    ServerModule(std::initializer_list<Class> classes, const char* registrationScript,
                 const TypeLibInfo* typeLib = nullptr);
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    HRESULT canUnloadNow() const;
    HRESULT getClassObject(const CLSID& clsid, const IID& iid, void** object);
    HRESULT registerServer();
    HRESULT unregisterServer();

    // The full path of the shared library this module object lives in; "" when unknown.
    std::string modulePath() const;

    void objectCreated() { ++objects_; }
    void objectDestroyed() { --objects_; }
    void lockServer(bool lock)
    {
        if (lock) {
            ++locks_;
        } else {
            --locks_;
        }
    }
    long liveObjects() const { return objects_; }
    long serverLocks() const { return locks_; }

private:
    std::vector<Class> classes_;
    const char* script_;
    const TypeLibInfo* typeLib_;
    std::atomic<long> objects_{0};
    std::atomic<long> locks_{0};
};

// The factory entry of a dispatch class T, constructed as T(const ObjectContext&).
template <class T>
HRESULT createDispatchObject(const ObjectContext& context, const IID& iid, void** object)
{
    T* created = nullptr;
    try {
        created = new T(context);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        // Nothing may escape across the library boundary.
        return E_FAIL;
    }
    // Held once while asked for `iid`, so a refused interface frees the object again.
    IUnknown* inner = created->innerUnknown();
    inner->AddRef();
    const HRESULT hr = inner->QueryInterface(iid, object);
    inner->Release();
    return hr;
}

template <class T>
ServerModule::Class creatable(const CLSID& clsid, Aggregation aggregation = Aggregation::Allowed)
{
    return ServerModule::Class{clsid, &createDispatchObject<T>, aggregation};
}

} // namespace kivo::automation

#define KIVO_EXPORT extern "C" __attribute__((visibility("default")))

// Defines DllCanUnloadNow, DllGetClassObject, DllRegisterServer and DllUnregisterServer for the
// ServerModule `module`; use it once, at global scope, in the server library.
#define KIVO_AUTOMATION_SERVER_EXPORTS(module)                                                     \
    KIVO_EXPORT ::kivo::automation::HRESULT DllCanUnloadNow()                                      \
    {                                                                                              \
        return (module).canUnloadNow();                                                            \
    }                                                                                              \
    KIVO_EXPORT ::kivo::automation::HRESULT DllGetClassObject(                                     \
        const ::kivo::automation::CLSID& clsid, const ::kivo::automation::IID& iid, void** object) \
    {                                                                                              \
        return (module).getClassObject(clsid, iid, object);                                        \
    }                                                                                              \
    KIVO_EXPORT ::kivo::automation::HRESULT DllRegisterServer()                                    \
    {                                                                                              \
        return (module).registerServer();                                                          \
    }                                                                                              \
    KIVO_EXPORT ::kivo::automation::HRESULT DllUnregisterServer()                                  \
    {                                                                                              \
        return (module).unregisterServer();                                                        \
    }

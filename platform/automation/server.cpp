#include "platform/automation/server.h"

#include <climits>
#include <cstdlib>

#include <dlfcn.h>

namespace kivo::automation {

namespace {

class ClassFactory final : public IClassFactory {
public:
    ClassFactory(ServerModule& module, const ServerModule::Class& cls) : module_(module), cls_(cls)
    {
        module_.objectCreated();
    }
    ~ClassFactory() { module_.objectDestroyed(); }

    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        if (!object) {
            return E_POINTER;
        }
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override { return ++refs_; }
    std::uint32_t Release() override
    {
        const std::uint32_t left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override
    {
        if (!object) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer && (cls_.aggregation == Aggregation::Refused || iid != IID_IUnknown)) {
            return CLASS_E_NOAGGREGATION;
        }
        return cls_.create(ObjectContext{&module_, outer}, iid, object);
    }

    HRESULT LockServer(bool lock) override
    {
        module_.lockServer(lock);
        return S_OK;
    }

private:
    ServerModule& module_;
    ServerModule::Class cls_;
    std::atomic<std::uint32_t> refs_{0};
};

} // namespace

ServerModule::ServerModule(std::initializer_list<Class> classes, const char* registrationScript,
                           const TypeLibInfo* typeLib)
    : classes_(classes), script_(registrationScript), typeLib_(typeLib)
{
}

HRESULT ServerModule::canUnloadNow() const
{
    return objects_ == 0 && locks_ == 0 ? S_OK : S_FALSE;
}

HRESULT ServerModule::getClassObject(const CLSID& clsid, const IID& iid, void** object)
{
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    for (const Class& cls : classes_) {
        if (cls.clsid == clsid) {
            ClassFactory* factory = new (std::nothrow) ClassFactory(*this, cls);
            if (!factory) {
                return E_OUTOFMEMORY;
            }
            factory->AddRef();
            const HRESULT hr = factory->QueryInterface(iid, object);
            factory->Release();
            return hr;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

std::string ServerModule::modulePath() const
{
    // The module is a global of its library, so its address lies inside that library's image.
    Dl_info info{};
    if (::dladdr(this, &info) == 0 || !info.dli_fname || !*info.dli_fname) {
        return {};
    }
    char full[PATH_MAX];
    return ::realpath(info.dli_fname, full) ? full : info.dli_fname;
}

HRESULT ServerModule::registerServer()
{
    const std::string path = modulePath();
    if (path.empty()) {
        return E_FAIL;
    }
    return updateServerRegistration(script_, typeLib_, path, false);
}

HRESULT ServerModule::unregisterServer()
{
    return updateServerRegistration(script_, typeLib_, modulePath(), true);
}

} // namespace kivo::automation

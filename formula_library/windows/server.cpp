// In-process server entry points: class factory, unload check, the type-info cache.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include "classes.hpp"
#include "dispatch_object.hpp"
#include "registration.hpp"
#include "tracetap_ids.hpp"

#include <atomic>
#include <new>

namespace tw::tracetap {
namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};  // live objects and class factories
std::atomic<long> g_locks{0};    // IClassFactory::LockServer(TRUE) calls not yet undone

// The type library embedded in this module and the type information of each dual interface.
// Guarded by g_cacheLock; any apartment thread may ask.
SRWLOCK g_cacheLock = SRWLOCK_INIT;
ITypeLib* g_typeLib = nullptr;
struct CachedInfo {
    const GUID* iid;
    ITypeInfo* info;
};
CachedInfo g_infos[] = {{&kIidSend, nullptr},
                        {&kIidEnter, nullptr},
                        {&kIidExit, nullptr},
                        {&kIidAdd, nullptr},
                        {&kIidMessage, nullptr}};

// The interface (vtable) half of a dual interface's type information: Invoke calls through it.
ITypeInfo* LoadDualInfo(ITypeLib* lib, REFIID iid) {
    ITypeInfo* dispatchInfo = nullptr;
    if (FAILED(lib->GetTypeInfoOfGuid(iid, &dispatchInfo))) return nullptr;
    ITypeInfo* result = nullptr;
    HREFTYPE ref = 0;
    if (SUCCEEDED(dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref))) {
        if (FAILED(dispatchInfo->GetRefTypeInfo(ref, &result))) result = nullptr;
        dispatchInfo->Release();
    } else {
        result = dispatchInfo;  // not dual after all: the dispatch description is what there is
    }
    return result;
}

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(const CLSID& clsid) : m_clsid(clsid) { ObjectCreated(); }
    ~ClassFactory() { ObjectDestroyed(); }
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return tw::tracetap::CreateInstance(m_clsid, riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ++g_locks;
        } else {
            --g_locks;
        }
        return S_OK;
    }

  private:
    std::atomic<ULONG> m_refs{1};
    CLSID m_clsid;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

bool IsOurClass(REFCLSID clsid) {
    for (const ClassEntry& entry : kClasses) {
        if (IsEqualCLSID(clsid, *entry.clsid)) return true;
    }
    return false;
}

}  // namespace

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }

HMODULE ServerModule() { return g_module; }

ITypeInfo* DualInterfaceTypeInfo(REFIID iid) {
    AcquireSRWLockExclusive(&g_cacheLock);
    if (g_typeLib == nullptr) {
        wchar_t path[MAX_PATH];
        const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH || FAILED(LoadTypeLibEx(path, REGKIND_NONE, &g_typeLib))) {
            g_typeLib = nullptr;
        }
    }
    ITypeInfo* found = nullptr;
    if (g_typeLib != nullptr) {
        for (CachedInfo& entry : g_infos) {
            if (!IsEqualIID(iid, *entry.iid)) continue;
            if (entry.info == nullptr) entry.info = LoadDualInfo(g_typeLib, iid);
            found = entry.info;
            break;
        }
    }
    ReleaseSRWLockExclusive(&g_cacheLock);
    return found;
}

void ReleaseTypeInfoCache() {
    AcquireSRWLockExclusive(&g_cacheLock);
    for (CachedInfo& entry : g_infos) {
        if (entry.info != nullptr) entry.info->Release();
        entry.info = nullptr;
    }
    if (g_typeLib != nullptr) g_typeLib->Release();
    g_typeLib = nullptr;
    ReleaseSRWLockExclusive(&g_cacheLock);
}

}  // namespace tw::tracetap

using namespace tw::tracetap;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsOurClass(clsid)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) ClassFactory(clsid);
    if (factory == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, out);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (g_objects.load() != 0 || g_locks.load() != 0) return S_FALSE;
    ReleaseTypeInfoCache();
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return RegisterServer(g_module); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return UnregisterServer(g_module); }

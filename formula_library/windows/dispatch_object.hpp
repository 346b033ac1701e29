// A COM object that serves one dual interface: IUnknown, IDispatch from the embedded type
// library, and the interface's own methods (declared by the derived class).
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <atomic>

// COM interfaces have no virtual destructor (the vtable layout is fixed); objects delete
// themselves in Release.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace tw::tracetap {

// Counts live objects and server locks for DllCanUnloadNow.
void ObjectCreated();
void ObjectDestroyed();

// Type information of a dual interface, loaded from the type library embedded in this
// module. Returns nullptr when the type library cannot be loaded. Not AddRef'ed: the cache
// owns it until ReleaseTypeInfoCache.
ITypeInfo* DualInterfaceTypeInfo(REFIID iid);
// Drops the cached type library (called when the server may unload).
void ReleaseTypeInfoCache();

// Interface: a C++ abstract class deriving from IDispatch whose virtual methods are laid out
// as the type library's interface (IDispatch::Invoke calls them through that layout).
template <class Interface, const GUID& Iid>
class DispatchObject : public Interface {
  public:
    DispatchObject() { ObjectCreated(); }
    virtual ~DispatchObject() { ObjectDestroyed(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, Iid)) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
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

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (info == nullptr) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        ITypeInfo* ti = DualInterfaceTypeInfo(Iid);
        if (ti == nullptr) return TYPE_E_CANTLOADLIBRARY;
        ti->AddRef();
        *info = ti;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* ti = DualInterfaceTypeInfo(Iid);
        if (ti == nullptr) return TYPE_E_CANTLOADLIBRARY;
        return DispGetIDsOfNames(ti, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* ti = DualInterfaceTypeInfo(Iid);
        if (ti == nullptr) return TYPE_E_CANTLOADLIBRARY;
        return DispInvoke(static_cast<Interface*>(this), ti, id, flags, params, result, excep, argErr);
    }

  private:
    std::atomic<ULONG> m_refs{1};
};

}  // namespace tw::tracetap

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

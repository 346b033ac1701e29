// The five creatable classes of Tracetap and their dual interfaces. Each interface lists its
// methods in the order of the type library, so that IDispatch::Invoke finds them.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

// COM interfaces have no virtual destructor (the vtable layout is fixed); objects delete
// themselves in Release.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace tw::tracetap {

struct ISendDual : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Msg(BSTR message, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE MsgEx(BSTR message, LONG recordNumber, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Scratch(BSTR message, LONG id, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Note(BSTR message, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE NoteEx(BSTR message, LONG recordNumber, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Error(BSTR message, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ErrorEx(BSTR message, LONG recordNumber, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Warning(BSTR message, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE WarningEx(BSTR message, LONG recordNumber, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Object(BSTR objectName, BSTR objectValue, LONG recordNumber,
                                             BSTR* result) = 0;
};

struct IEnterDual : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Formula(BSTR formulaName, LONG recordNumber, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE SubReport(BSTR subReportName, BSTR* result) = 0;
};

struct IExitDual : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Formula(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE SubReport(BSTR* result) = 0;
};

struct IAddDual : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE CheckPoint(BSTR* result) = 0;
};

struct IMessageDual : IDispatch {};

// Creates a new instance of the class `clsid` and queries it for `riid`.
// CLASS_E_CLASSNOTAVAILABLE for a class this server does not have.
HRESULT CreateInstance(REFCLSID clsid, REFIID riid, void** out);

}  // namespace tw::tracetap

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

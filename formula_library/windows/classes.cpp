#include "classes.hpp"

#include "deliver.hpp"
#include "dispatch_object.hpp"
#include "tracetap_ids.hpp"
#include "tw/formula_library/functions.hpp"

#include <new>

namespace tw::tracetap {
namespace {

class SendObject final : public DispatchObject<ISendDual, kIidSend> {
  public:
    HRESULT STDMETHODCALLTYPE Msg(BSTR message, BSTR* result) override {
        return Run(result, [&] { return m_send.Msg(ToAnsi(message)); });
    }
    HRESULT STDMETHODCALLTYPE MsgEx(BSTR message, LONG recordNumber, BSTR* result) override {
        return Run(result, [&] { return m_send.MsgEx(ToAnsi(message), recordNumber); });
    }
    HRESULT STDMETHODCALLTYPE Scratch(BSTR message, LONG id, BSTR* result) override {
        return Run(result, [&] { return m_send.Scratch(ToAnsi(message), id); });
    }
    HRESULT STDMETHODCALLTYPE Note(BSTR message, BSTR* result) override {
        return Run(result, [&] { return m_send.Note(ToAnsi(message)); });
    }
    HRESULT STDMETHODCALLTYPE NoteEx(BSTR message, LONG recordNumber, BSTR* result) override {
        return Run(result, [&] { return m_send.NoteEx(ToAnsi(message), recordNumber); });
    }
    HRESULT STDMETHODCALLTYPE Error(BSTR message, BSTR* result) override {
        return Run(result, [&] { return m_send.Error(ToAnsi(message)); });
    }
    HRESULT STDMETHODCALLTYPE ErrorEx(BSTR message, LONG recordNumber, BSTR* result) override {
        return Run(result, [&] { return m_send.ErrorEx(ToAnsi(message), recordNumber); });
    }
    HRESULT STDMETHODCALLTYPE Warning(BSTR message, BSTR* result) override {
        return Run(result, [&] { return m_send.Warning(ToAnsi(message)); });
    }
    HRESULT STDMETHODCALLTYPE WarningEx(BSTR message, LONG recordNumber, BSTR* result) override {
        return Run(result, [&] { return m_send.WarningEx(ToAnsi(message), recordNumber); });
    }
    HRESULT STDMETHODCALLTYPE Object(BSTR objectName, BSTR objectValue, LONG recordNumber,
                                     BSTR* result) override {
        return Run(result,
                   [&] { return m_send.Object(ToAnsi(objectName), ToAnsi(objectValue), recordNumber); });
    }

  private:
    formula::Send m_send;
};

class EnterObject final : public DispatchObject<IEnterDual, kIidEnter> {
  public:
    HRESULT STDMETHODCALLTYPE Formula(BSTR formulaName, LONG recordNumber, BSTR* result) override {
        return Run(result, [&] { return m_enter.Formula(ToAnsi(formulaName), recordNumber); });
    }
    HRESULT STDMETHODCALLTYPE SubReport(BSTR subReportName, BSTR* result) override {
        return Run(result, [&] { return m_enter.SubReport(ToAnsi(subReportName)); });
    }

  private:
    formula::Enter m_enter;
};

class ExitObject final : public DispatchObject<IExitDual, kIidExit> {
  public:
    HRESULT STDMETHODCALLTYPE Formula(BSTR* result) override {
        return Run(result, [&] { return m_exit.Formula(); });
    }
    HRESULT STDMETHODCALLTYPE SubReport(BSTR* result) override {
        return Run(result, [&] { return m_exit.SubReport(); });
    }

  private:
    formula::Exit m_exit;
};

class AddObject final : public DispatchObject<IAddDual, kIidAdd> {
  public:
    HRESULT STDMETHODCALLTYPE CheckPoint(BSTR* result) override {
        return Run(result, [&] { return m_add.CheckPoint(); });
    }

  private:
    formula::Add m_add;
};

class MessageObject final : public DispatchObject<IMessageDual, kIidMessage> {};

template <class T>
HRESULT Make(REFIID riid, void** out) {
    T* object = new (std::nothrow) T();
    if (object == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
}

}  // namespace

HRESULT CreateInstance(REFCLSID clsid, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualCLSID(clsid, kClsidSend)) return Make<SendObject>(riid, out);
    if (IsEqualCLSID(clsid, kClsidEnter)) return Make<EnterObject>(riid, out);
    if (IsEqualCLSID(clsid, kClsidExit)) return Make<ExitObject>(riid, out);
    if (IsEqualCLSID(clsid, kClsidAdd)) return Make<AddObject>(riid, out);
    if (IsEqualCLSID(clsid, kClsidMessage)) return Make<MessageObject>(riid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace tw::tracetap

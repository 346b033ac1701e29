#include "automation.hpp"

#include <utility>

namespace tw::builder::automation {
namespace {

constexpr long kTypeMismatch = 13;

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

// What Basic says for the failures of its own late binding.
std::wstring KnownDescription(long number) {
    switch (number) {
        case 7:
            return L"Out of memory";
        case kTypeMismatch:
            return L"Type mismatch";
        case kObjectNotSet:
            return L"Object variable or With block variable not set";
        case kCannotCreateObject:
            return L"ActiveX component can't create object";
        case kNoSuchMember:
            return L"Object doesn't support this property or method";
        case 449:
            return L"Argument not optional";
        case 450:
            return L"Wrong number of arguments or invalid property assignment";
        default:
            return {};
    }
}

std::wstring SystemDescription(HRESULT hr) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring description = n > 0 && text != nullptr ? std::wstring(text, n) : L"Automation error";
    if (text != nullptr) LocalFree(text);
    while (!description.empty() && (description.back() == L'\n' || description.back() == L'\r' ||
                                    description.back() == L' ' || description.back() == L'.'))
        description.pop_back();
    return description;
}

DISPID IdOf(IDispatch* dispatch, const wchar_t* name) {
    std::wstring copy(name);
    LPOLESTR names[1] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) throw AutomationError(kNoSuchMember, KnownDescription(kNoSuchMember));
    return id;
}

}  // namespace

AutomationError::AutomationError(long number, std::wstring description)
    : std::runtime_error(Narrow(description)), m_number(number), m_description(std::move(description)) {}

AutomationError AutomationError::FromResult(HRESULT hr, const EXCEPINFO* info) {
    if (hr == DISP_E_EXCEPTION && info != nullptr) {
        EXCEPINFO filled = *info;
        if (filled.pfnDeferredFillIn != nullptr) filled.pfnDeferredFillIn(&filled);
        const HRESULT code = filled.scode != 0 ? filled.scode : static_cast<HRESULT>(filled.wCode);
        std::wstring description = filled.bstrDescription != nullptr ? filled.bstrDescription : L"";
        if (HRESULT_FACILITY(code) == FACILITY_CONTROL || filled.scode == 0) {
            const long number = filled.scode == 0 ? filled.wCode : HRESULT_CODE(code);
            return AutomationError(number, description.empty() ? KnownDescription(number) : description);
        }
        return AutomationError(code, description.empty() ? SystemDescription(code) : description);
    }
    long number = hr;
    switch (hr) {
        case E_OUTOFMEMORY:
            number = 7;
            break;
        case DISP_E_TYPEMISMATCH:
            number = kTypeMismatch;
            break;
        case DISP_E_MEMBERNOTFOUND:
        case DISP_E_UNKNOWNNAME:
            number = kNoSuchMember;
            break;
        case DISP_E_PARAMNOTOPTIONAL:
            number = 449;
            break;
        case DISP_E_BADPARAMCOUNT:
            number = 450;
            break;
        default:
            if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) number = HRESULT_CODE(hr);
            break;
    }
    std::wstring description = KnownDescription(number);
    if (description.empty()) description = SystemDescription(hr);
    return AutomationError(number, description);
}

Variant::Variant(const std::wstring& text) {
    VariantInit(&m_value);
    m_value.vt = VT_BSTR;
    m_value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (m_value.bstrVal == nullptr) throw AutomationError(7, KnownDescription(7));
}

Variant::Variant(long number) {
    VariantInit(&m_value);
    m_value.vt = VT_I4;
    m_value.lVal = number;
}

Variant::Variant(const Variant& other) {
    VariantInit(&m_value);
    VariantCopy(&m_value, const_cast<VARIANT*>(&other.m_value));
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) VariantCopy(&m_value, const_cast<VARIANT*>(&other.m_value));
    return *this;
}

Object::Object(const Object& other) : m_dispatch(other.m_dispatch) {
    if (m_dispatch != nullptr) m_dispatch->AddRef();
}

Object& Object::operator=(const Object& other) {
    if (this != &other) {
        if (other.m_dispatch != nullptr) other.m_dispatch->AddRef();
        Reset();
        m_dispatch = other.m_dispatch;
    }
    return *this;
}

Object& Object::operator=(Object&& other) noexcept {
    if (this != &other) {
        Reset();
        m_dispatch = std::exchange(other.m_dispatch, nullptr);
    }
    return *this;
}

void Object::Reset() {
    if (m_dispatch != nullptr) m_dispatch->Release();
    m_dispatch = nullptr;
}

Object Object::Create(std::initializer_list<const wchar_t*> progIds) {
    for (const wchar_t* progId : progIds) {
        CLSID clsid = {};
        if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
        IDispatch* dispatch = nullptr;
        if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                       IID_IDispatch, reinterpret_cast<void**>(&dispatch))) &&
            dispatch != nullptr) {
            return Object(dispatch);
        }
    }
    throw AutomationError(kCannotCreateObject, KnownDescription(kCannotCreateObject));
}

Variant Object::Invoke(const wchar_t* name, const std::vector<Variant>& args) const {
    if (m_dispatch == nullptr) throw AutomationError(kObjectNotSet, KnownDescription(kObjectNotSet));
    const DISPID id = IdOf(m_dispatch, name);
    // DISPPARAMS holds the arguments last first.
    std::vector<VARIANT> reversed(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) reversed[args.size() - 1 - i] = *args[i].get();
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                         static_cast<UINT>(reversed.size()), 0};
    Variant result;
    EXCEPINFO info = {};
    UINT argError = 0;
    const HRESULT hr =
        m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                           result.get(), &info, &argError);
    if (FAILED(hr)) {
        // A server may leave the exception information to be filled in on demand; filled in
        // here, its texts are freed below with the rest.
        if (hr == DISP_E_EXCEPTION && info.pfnDeferredFillIn != nullptr) {
            const auto fillIn = info.pfnDeferredFillIn;
            info.pfnDeferredFillIn = nullptr;
            fillIn(&info);
        }
        AutomationError error = AutomationError::FromResult(hr, &info);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        throw error;
    }
    return result;
}

Object Object::GetObject(const wchar_t* name, const std::vector<Variant>& args) const {
    return ToObject(Invoke(name, args));
}

std::wstring Object::GetText(const wchar_t* name) const { return ToText(Invoke(name)); }

long Object::GetNumber(const wchar_t* name) const { return ToNumber(Invoke(name)); }

Object ToObject(const Variant& value) {
    const VARIANT* v = value.get();
    if (v->vt == VT_DISPATCH) {
        if (v->pdispVal == nullptr) throw AutomationError(kObjectNotSet, KnownDescription(kObjectNotSet));
        v->pdispVal->AddRef();
        return Object(v->pdispVal);
    }
    if (v->vt == VT_UNKNOWN && v->punkVal != nullptr) {
        IDispatch* dispatch = nullptr;
        if (SUCCEEDED(v->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
            return Object(dispatch);
    }
    throw AutomationError(kTypeMismatch, KnownDescription(kTypeMismatch));
}

std::wstring ToText(const Variant& value) {
    Variant converted;
    if (FAILED(VariantChangeType(converted.get(), const_cast<VARIANT*>(value.get()), VARIANT_ALPHABOOL,
                                 VT_BSTR)))
        throw AutomationError(kTypeMismatch, KnownDescription(kTypeMismatch));
    const BSTR text = converted.get()->bstrVal;
    return std::wstring(text, SysStringLen(text));
}

long ToNumber(const Variant& value) {
    Variant converted;
    if (FAILED(VariantChangeType(converted.get(), const_cast<VARIANT*>(value.get()), 0, VT_I4)))
        throw AutomationError(kTypeMismatch, KnownDescription(kTypeMismatch));
    return converted.get()->lVal;
}

}  // namespace tw::builder::automation

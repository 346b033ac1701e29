// EngineStandin.dll: an in-process automation server that stands in for the report engine's
// runtime in tests. It serves the application object under the programmatic identifiers the
// Stepwrights create, and opens "NAME.rpt" by reading the report definition NAME.xml beside it.
//
// Objects and members (late-bound only, names without regard to case, collections from 1):
//   Application      OpenReport(FileName[, OpenMethod]) -> Report; Version
//   Report           Sections, Database, FormulaFields, OpenSubreport(Name) -> Report
//   Sections         Count, Item(i) -> Section { ReportObjects }
//   ReportObjects    Count, Item(i) -> report object { Kind; Field -> { Name }; SubreportName }
//   Database         Tables: Count, Item(i) -> { Name, Fields: Count, Item(i) -> { Name } }
//   FormulaFields    Count, Item(i) -> { Name, Text }
// Failures are exceptions (DISP_E_EXCEPTION with EXCEPINFO; a definition that cannot be read
// leaves its texts to the deferred fill-in); an unknown member is DISP_E_UNKNOWNNAME. Registered by regsvr32
// in a test prefix only; never installed.
// clang-format off
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
// clang-format on

#include "definition.hpp"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace tw::standin {
namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_live{0};

// The classes: one a runtime version; the version-independent identifier names the newest.
// {5B0C7E41-2F6A-4C1B-9E3D-7A1F00000009} and {...00000085}
const CLSID kClsid9 = {0x5B0C7E41, 0x2F6A, 0x4C1B, {0x9E, 0x3D, 0x7A, 0x1F, 0x00, 0x00, 0x00, 0x09}};
const CLSID kClsid85 = {0x5B0C7E41, 0x2F6A, 0x4C1B, {0x9E, 0x3D, 0x7A, 0x1F, 0x00, 0x00, 0x00, 0x85}};
struct Registration {
    const wchar_t* progId;
    const CLSID* clsid;
    const wchar_t* version;
};
const Registration kRegistrations[] = {{L"CrystalRuntime.Application.9", &kClsid9, L"9"},
                                       {L"CrystalRuntime.Application.8.5", &kClsid85, L"8.5"},
                                       {L"CrystalRuntime.Application", &kClsid9, L"9"}};

// Error codes of this runtime (interface-specific, so a client shows them as numbers of its own).
constexpr HRESULT kErrCannotOpen = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x1001);
constexpr HRESULT kErrInvalidDefinition = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x1002);
constexpr HRESULT kErrNoSubreport = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x1003);
// "Subscript out of range", in the numbering Basic clients show as it is.
constexpr HRESULT kErrSubscript = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 9);

using Args = std::vector<VARIANT>;  // in call order
// A member: fills the result or returns a failure (with the exception information filled).
using Member = std::function<HRESULT(const Args&, VARIANT* result, EXCEPINFO* info)>;

HRESULT Raise(EXCEPINFO* info, HRESULT code, const std::wstring& description) {
    if (info != nullptr) {
        *info = {};
        info->bstrSource = SysAllocString(L"EngineStandin");
        info->bstrDescription = SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
        info->scode = code;
    }
    return DISP_E_EXCEPTION;
}

// The same, but with the texts left for the client to fill in when it wants them.
// One text at a time: a client fills the information in before its next call.
std::wstring g_deferredDescription;
HRESULT STDAPICALLTYPE FillIn(EXCEPINFO* info) {
    info->bstrSource = SysAllocString(L"EngineStandin");
    info->bstrDescription =
        SysAllocStringLen(g_deferredDescription.data(), static_cast<UINT>(g_deferredDescription.size()));
    return S_OK;
}
HRESULT RaiseDeferred(EXCEPINFO* info, HRESULT code, const std::wstring& description) {
    if (info != nullptr) {
        *info = {};
        info->scode = code;
        info->pfnDeferredFillIn = FillIn;
        g_deferredDescription = description;
    }
    return DISP_E_EXCEPTION;
}

// An object made of named members.
class Object final : public IDispatch {
  public:
    Object() { ++g_live; }
    ~Object() { --g_live; }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    Object* Add(const wchar_t* name, Member member) {
        m_names.emplace_back(name);
        m_members.push_back(std::move(member));
        return this;
    }
    Object* Text(const wchar_t* name, std::wstring value) {
        return Add(name, [value = std::move(value)](const Args&, VARIANT* r, EXCEPINFO*) {
            r->vt = VT_BSTR;
            r->bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
            return S_OK;
        });
    }
    Object* Number(const wchar_t* name, long value, VARTYPE type) {
        return Add(name, [value, type](const Args&, VARIANT* r, EXCEPINFO*) {
            r->vt = type;
            if (type == VT_I2) {
                r->iVal = static_cast<SHORT>(value);
            } else {
                r->lVal = value;
            }
            return S_OK;
        });
    }
    // A member whose value is an object made when it is read.
    Object* Child(const wchar_t* name, std::function<Object*()> make) {
        return Add(name,
                   [make = std::move(make)](const Args&, VARIANT* r, EXCEPINFO*) { return Give(make(), r); });
    }

    static HRESULT Give(Object* object, VARIANT* r) {
        r->vt = VT_DISPATCH;
        r->pdispVal = object;  // the new object's one reference goes to the caller
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
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
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
        HRESULT hr = S_OK;
        for (UINT n = 0; n < count; ++n) ids[n] = DISPID_UNKNOWN;
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            if (lstrcmpiW(m_names[i].c_str(), names[0]) == 0) ids[0] = static_cast<DISPID>(i + 1);
        }
        if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;  // no named arguments
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT*) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (id < 1 || static_cast<std::size_t>(id) > m_members.size()) return DISP_E_MEMBERNOTFOUND;
        if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0)
            return DISP_E_MEMBERNOTFOUND;  // read only
        if (params == nullptr || params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        Args args;
        for (UINT i = params->cArgs; i > 0; --i) args.push_back(params->rgvarg[i - 1]);
        VARIANT scratch;
        VariantInit(&scratch);
        VARIANT* out = result != nullptr ? result : &scratch;
        VariantInit(out);
        const HRESULT hr = m_members[static_cast<std::size_t>(id) - 1](args, out, info);
        VariantClear(&scratch);
        return hr;
    }

  private:
    std::atomic<ULONG> m_refs{1};
    std::vector<std::wstring> m_names;
    std::vector<Member> m_members;
};

// Reads the argument at `index` as type; false when it is missing or does not convert.
bool Argument(const Args& args, std::size_t index, VARTYPE type, VARIANT& out) {
    VariantInit(&out);
    return index < args.size() &&
           SUCCEEDED(VariantChangeType(&out, const_cast<VARIANT*>(&args[index]), 0, type));
}

// A collection of `count` items made by make(i), i from 1. `claimed` is what Count answers.
Object* Collection(long count, std::function<Object*(long)> make, long claimed = -1) {
    auto* c = new Object;
    c->Number(L"Count", claimed < 0 ? count : claimed, VT_I4);
    c->Add(L"Item", [count, make = std::move(make)](const Args& args, VARIANT* r, EXCEPINFO* info) {
        if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT index;
        if (!Argument(args, 0, VT_I4, index)) return DISP_E_TYPEMISMATCH;
        if (index.lVal < 1 || index.lVal > count)
            return Raise(info, kErrSubscript, L"Subscript out of range");
        return Object::Give(make(index.lVal), r);
    });
    return c;
}

template <class T, class F>
Object* ListOf(const std::vector<T>& items, F make) {
    return Collection(static_cast<long>(items.size()),
                      [&items, make](long i) { return make(items[static_cast<std::size_t>(i - 1)]); });
}

Object* NameOnly(const std::wstring& name) { return (new Object)->Text(L"Name", name); }

Object* ReportObject(const ObjectData& data) {
    auto* o = (new Object)->Number(L"Kind", data.kind, VT_I2);
    if (data.hasField) o->Child(L"Field", [name = data.fieldName] { return NameOnly(name); });
    if (data.hasSubreportName) o->Text(L"SubreportName", data.subreportName);
    return o;
}

// Each object keeps the definition alive through the shared pointer its members hold.
Object* Report(std::shared_ptr<const ReportData> report, std::wstring source) {
    auto* r = new Object;
    r->Child(L"Sections", [report] {
        return ListOf(report->sections, [report](const SectionData& s) {
            return (new Object)->Child(L"ReportObjects", [report, &s] {
                return Collection(
                    static_cast<long>(s.objects.size()),
                    [report, &s](long i) { return ReportObject(s.objects[static_cast<std::size_t>(i - 1)]); },
                    s.claimedCount);
            });
        });
    });
    r->Child(L"Database", [report] {
        return (new Object)->Child(L"Tables", [report] {
            return ListOf(report->tables, [report](const TableData& t) {
                return NameOnly(t.name)->Child(L"Fields", [report, &t] {
                    return ListOf(t.fields, [report](const std::wstring& f) { return NameOnly(f); });
                });
            });
        });
    });
    r->Child(L"FormulaFields", [report] {
        return ListOf(report->formulas,
                      [report](const FormulaData& f) { return NameOnly(f.name)->Text(L"Text", f.text); });
    });
    r->Add(L"OpenSubreport", [report, source](const Args& args, VARIANT* out, EXCEPINFO* info) {
        if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT name;
        if (!Argument(args, 0, VT_BSTR, name)) return DISP_E_TYPEMISMATCH;
        const std::wstring wanted(name.bstrVal, SysStringLen(name.bstrVal));
        VariantClear(&name);
        // Names match without regard to case; an exact match wins.
        std::shared_ptr<const ReportData> found;
        for (const auto& sub : report->subreports) {
            if (sub->name == wanted) {
                found = sub;
                break;
            }
            if (!found && lstrcmpiW(sub->name.c_str(), wanted.c_str()) == 0) found = sub;
        }
        if (!found) return Raise(info, kErrNoSubreport, L"Invalid subreport name: " + wanted);
        if (found->sections.empty())
            return Raise(info, kErrInvalidDefinition,
                         source + L": the subreport " + found->name + L" has no sections.");
        return Object::Give(Report(found, source), out);
    });
    return r;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0 && size.QuadPart < (64 << 20);
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() ||
             (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) != 0 &&
              read == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

// NAME.rpt -> the definition NAME.xml beside it.
HRESULT OpenReport(const std::wstring& version, const Args& args, VARIANT* out, EXCEPINFO* info) {
    if (args.empty() || args.size() > 2) return DISP_E_BADPARAMCOUNT;
    VARIANT file;
    if (!Argument(args, 0, VT_BSTR, file)) return DISP_E_TYPEMISMATCH;
    const std::wstring path(file.bstrVal, SysStringLen(file.bstrVal));
    VariantClear(&file);
    const std::wstring who = L" (report engine stand-in " + version + L")";
    const std::size_t dot = path.find_last_of(L".\\/");
    if (dot == std::wstring::npos || path[dot] != L'.' || lstrcmpiW(path.c_str() + dot, L".rpt") != 0)
        return Raise(info, kErrCannotOpen, L"Not a report file: " + path + who);
    const std::wstring definition = path.substr(0, dot) + L".xml";
    std::string bytes;
    if (!ReadWholeFile(definition, bytes))
        return Raise(info, kErrCannotOpen, L"Cannot open the report file " + path + who);
    try {
        return Object::Give(Report(ReadDefinition(bytes), path), out);
    } catch (const DefinitionError& error) {
        return RaiseDeferred(info, kErrInvalidDefinition,
                             L"The report " + path + L" cannot be read: " + error.why());
    }
}

Object* Application(const wchar_t* version) {
    auto* app = new Object;
    const std::wstring v = version;
    app->Text(L"Version", v);
    app->Add(L"OpenReport",
             [v](const Args& args, VARIANT* out, EXCEPINFO* info) { return OpenReport(v, args, out, info); });
    return app;
}

class Factory final : public IClassFactory {
  public:
    explicit Factory(const wchar_t* version) : m_version(version) { ++g_live; }
    ~Factory() { --g_live; }
    Factory(const Factory&) = delete;
    Factory& operator=(const Factory&) = delete;
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
        Object* app = Application(m_version);
        const HRESULT hr = app->QueryInterface(riid, out);
        app->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ++g_live;
        } else {
            --g_live;
        }
        return S_OK;
    }

  private:
    std::atomic<ULONG> m_refs{1};
    const wchar_t* m_version;
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

}  // namespace
}  // namespace tw::standin

using namespace tw::standin;

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
    for (const Registration& r : kRegistrations) {
        if (!IsEqualCLSID(clsid, *r.clsid)) continue;
        auto* factory = new Factory(r.version);
        const HRESULT hr = factory->QueryInterface(riid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_live == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    for (const Registration& r : kRegistrations) {
        const std::wstring clsid = GuidText(*r.clsid), key = L"CLSID\\" + clsid;
        const bool ok = SetValue(key, nullptr, L"Report engine stand-in " + std::wstring(r.version)) &&
                        SetValue(key + L"\\InprocServer32", nullptr, path) &&
                        SetValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
                        SetValue(key + L"\\ProgID", nullptr, r.progId) &&
                        SetValue(std::wstring(r.progId) + L"\\CLSID", nullptr, clsid);
        if (!ok) return SELFREG_E_CLASS;
    }
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    for (const Registration& r : kRegistrations) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, r.progId);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(*r.clsid)).c_str());
    }
    return S_OK;
}

// The Stepwright's late-bound automation client against a small automation server of the
// test's own that mimics the engine runtime's members (application, report, sections, report
// objects, subreports, tables, formula fields); and the error 429 path with nothing registered.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include "automation.hpp"

#include "check.hpp"

#include <functional>
#include <map>
#include <string>
#include <vector>

using tw::builder::automation::AutomationError;
using tw::builder::automation::Object;
using tw::builder::automation::Variant;

namespace {

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// An automation object made of named members. Kept alive for the whole test (never deleted).
class FakeObject : public IDispatch {
  public:
    using Member = std::function<HRESULT(const std::vector<VARIANT>& args, VARIANT* result, EXCEPINFO* info)>;

    FakeObject& Add(const std::wstring& name, Member member) {
        m_names.push_back(name);
        m_members.push_back(std::move(member));
        return *this;
    }
    FakeObject& Text(const std::wstring& name, const std::wstring& value) {
        return Add(name, [value](const std::vector<VARIANT>&, VARIANT* r, EXCEPINFO*) {
            r->vt = VT_BSTR;
            r->bstrVal = SysAllocString(value.c_str());
            return S_OK;
        });
    }
    FakeObject& Number(const std::wstring& name, long value) {
        return Add(name, [value](const std::vector<VARIANT>&, VARIANT* r, EXCEPINFO*) {
            r->vt = VT_I2;  // the engine hands out small numbers as 16-bit integers
            r->iVal = static_cast<SHORT>(value);
            return S_OK;
        });
    }
    FakeObject& Child(const std::wstring& name, FakeObject* child) {
        return Add(name,
                   [child](const std::vector<VARIANT>&, VARIANT* r, EXCEPINFO*) { return Give(child, r); });
    }

    static HRESULT Give(FakeObject* object, VARIANT* r) {
        r->vt = VT_DISPATCH;
        r->pdispVal = object;
        if (object != nullptr) object->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1) return E_INVALIDARG;
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            if (lstrcmpiW(m_names[i].c_str(), names[0]) == 0) {
                ids[0] = static_cast<DISPID>(i + 1);
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT*) override {
        if (id < 1 || static_cast<std::size_t>(id) > m_members.size()) return DISP_E_MEMBERNOTFOUND;
        std::vector<VARIANT> args;
        for (UINT i = params->cArgs; i > 0; --i) args.push_back(params->rgvarg[i - 1]);
        VARIANT scratch;
        VariantInit(&scratch);
        return m_members[static_cast<std::size_t>(id) - 1](args, result != nullptr ? result : &scratch, info);
    }

  private:
    ULONG m_refs = 1;
    std::vector<std::wstring> m_names;
    std::vector<Member> m_members;
};

class FakeFactory : public IClassFactory {
  public:
    explicit FakeFactory(FakeObject* application) : m_application(application) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** out) override {
        return m_application->QueryInterface(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    FakeObject* m_application;
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

FakeObject* New() { return new FakeObject(); }

// A collection over `items`; Item outside 1..Count raises "Subscript out of range" (9).
FakeObject* Collection(std::vector<FakeObject*> items) {
    FakeObject* c = New();
    c->Number(L"Count", static_cast<long>(items.size()));
    c->Add(L"Item", [items](const std::vector<VARIANT>& args, VARIANT* r, EXCEPINFO* info) {
        VARIANT index;
        VariantInit(&index);
        if (args.size() != 1 || FAILED(VariantChangeType(&index, const_cast<VARIANT*>(&args[0]), 0, VT_I4)))
            return DISP_E_TYPEMISMATCH;
        if (index.lVal < 1 || static_cast<std::size_t>(index.lVal) > items.size()) {
            info->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 9);
            info->bstrDescription = SysAllocString(L"Subscript out of range");
            return DISP_E_EXCEPTION;
        }
        return FakeObject::Give(items[static_cast<std::size_t>(index.lVal) - 1], r);
    });
    return c;
}

FakeObject* Field(const wchar_t* name) { return &New()->Text(L"Name", name); }
FakeObject* FieldObject(const wchar_t* name) {
    return &New()->Number(L"Kind", 1).Child(L"Field", Field(name));
}
FakeObject* SubreportObject(const wchar_t* name) {
    return &New()->Number(L"Kind", 5).Text(L"SubreportName", name);
}
FakeObject* Formula(const wchar_t* name, const wchar_t* text) {
    return &New()->Text(L"Name", name).Text(L"Text", text);
}
FakeObject* Table(const wchar_t* name, std::vector<FakeObject*> fields) {
    return &New()->Text(L"Name", name).Child(L"Fields", Collection(std::move(fields)));
}
FakeObject* Section(std::vector<FakeObject*> objects) {
    return &New()->Child(L"ReportObjects", Collection(std::move(objects)));
}

constexpr HRESULT kLoadFailed = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x5F5);

// The runtime's application: OpenReport("...orders.rpt") gives a report with two sections,
// a subreport "Detail" placed twice, two tables of three fields and two formulas.
FakeObject* Application(const wchar_t* version) {
    FakeObject* detail = New();
    detail->Child(L"Sections", Collection({Section({FieldObject(L"{Lines.Qty}")})}))
        .Child(L"Database", &New()->Child(L"Tables", Collection({Table(L"Lines", {Field(L"{Lines.Qty}")})})))
        .Child(L"FormulaFields", Collection({Formula(L"{@LineTotal}", L"Local NumberVar t := 0;\r\nt")}));
    FakeObject* report = New();
    report
        ->Child(L"Sections",
                Collection({Section({FieldObject(L"{Orders.Amount}"), SubreportObject(L"Detail"),
                                     &New()->Number(L"Kind", 2)}),
                            Section({}), Section({FieldObject(L"{@Total}"), SubreportObject(L"Detail")})}))
        .Child(L"Database",
               &New()->Child(
                   L"Tables",
                   Collection({Table(L"Orders", {Field(L"{Orders.Id}"), Field(L"{Orders.Amount}"),
                                                 Field(L"{Orders.Date}")}),
                               Table(L"Customers", {Field(L"{Customers.Id}"), Field(L"{Customers.Name}"),
                                                    Field(L"{Customers.City}")})})))
        .Child(L"FormulaFields", Collection({Formula(L"{@Total}", L"NumberVar x := 1;\r\nx"),
                                             Formula(L"{@Title}", L"\"Orders\"")}))
        .Add(L"OpenSubreport", [detail](const std::vector<VARIANT>& args, VARIANT* r, EXCEPINFO* info) {
            if (args.size() == 1 && args[0].vt == VT_BSTR && lstrcmpW(args[0].bstrVal, L"Detail") == 0)
                return FakeObject::Give(detail, r);
            info->scode = kLoadFailed;
            info->bstrDescription = SysAllocString(L"Invalid subreport name.");
            return DISP_E_EXCEPTION;
        });
    FakeObject* app = New();
    app->Text(L"Version", version)
        .Add(L"OpenReport", [report](const std::vector<VARIANT>& args, VARIANT* r, EXCEPINFO* info) {
            const std::wstring path = args.size() == 1 && args[0].vt == VT_BSTR ? args[0].bstrVal : L"";
            if (path.size() >= 10 && path.compare(path.size() - 10, 10, L"orders.rpt") == 0)
                return FakeObject::Give(report, r);
            info->scode = kLoadFailed;
            info->bstrDescription = SysAllocString(L"Load report failed.");
            return DISP_E_EXCEPTION;
        });
    return app;
}

const CLSID kFakeClsid = {0x6A4E1C52, 0x1B1D, 0x4E0F, {0x9A, 0x61, 0x2C, 0x7B, 0x11, 0x5D, 0x40, 0x01}};
const CLSID kFakeClsid9 = {0x6A4E1C52, 0x1B1D, 0x4E0F, {0x9A, 0x61, 0x2C, 0x7B, 0x11, 0x5D, 0x40, 0x09}};

void SetProgId(const char* progId, const CLSID& clsid) {
    wchar_t wide[40];
    StringFromGUID2(clsid, wide, 40);
    char text[40];
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, 40, nullptr, nullptr);
    RegSetValueA(HKEY_CLASSES_ROOT, (std::string(progId) + "\\CLSID").c_str(), REG_SZ, text, 0);
}

void RemoveProgIds() {
    for (const char* id :
         {"CrystalRuntime.Application", "CrystalRuntime.Application.9", "CrystalRuntime.Application.8.5"})
        RegDeleteTreeA(HKEY_CLASSES_ROOT, id);
}

Object Create9() { return Object::Create({L"CrystalRuntime.Application.9", L"CrystalRuntime.Application"}); }

long ErrorOf(const std::function<void()>& step, std::wstring* description = nullptr) {
    try {
        step();
    } catch (const AutomationError& error) {
        if (description != nullptr) *description = error.description();
        return error.number();
    }
    return 0;
}

void NothingRegistered() {
    std::wstring description;
    CHECK_EQ(ErrorOf([] { Create9(); }, &description), 429);
    CHECK(description == L"ActiveX component can't create object");
    // An identifier that names a class nobody serves is the same error.
    SetProgId("CrystalRuntime.Application.9", kFakeClsid9);
    CHECK_EQ(ErrorOf([] { Create9(); }), 429);
}

void Walk(const Object& app) {
    const Object report = app.GetObject(L"OpenReport", {Variant(std::wstring(L"C:\\reports\\orders.rpt"))});
    const Object sections = report.GetObject(L"Sections");
    CHECK_EQ(sections.Count(), 3);
    std::vector<std::wstring> fields, subreports;
    for (long s = 1; s <= sections.Count(); ++s) {
        const Object objects = sections.Item(s).GetObject(L"ReportObjects");
        for (long o = 1; o <= objects.Count(); ++o) {
            const Object object = objects.Item(o);
            const long kind = object.GetNumber(L"Kind");
            if (kind == 1) fields.push_back(object.GetObject(L"Field").GetText(L"Name"));
            if (kind == 5) subreports.push_back(object.GetText(L"SubreportName"));
        }
    }
    CHECK(fields == (std::vector<std::wstring>{L"{Orders.Amount}", L"{@Total}"}));
    CHECK(subreports == (std::vector<std::wstring>{L"Detail", L"Detail"}));

    const Object tables = report.GetObject(L"Database").GetObject(L"Tables");
    std::vector<std::wstring> rows;
    for (long t = 1; t <= tables.Count(); ++t) {
        const Object table = tables.Item(t);
        const Object tableFields = table.GetObject(L"Fields");
        for (long f = 1; f <= tableFields.Count(); ++f)
            rows.push_back(tableFields.Item(f).GetText(L"Name") + L" " + table.GetText(L"Name"));
    }
    CHECK_EQ(rows.size(), 6u);
    if (rows.size() == 6) CHECK(rows[4] == L"{Customers.Name} Customers");

    const Object formulas = report.GetObject(L"FormulaFields");
    CHECK_EQ(formulas.Count(), 2);
    CHECK(formulas.Item(1).GetText(L"Name") == L"{@Total}");
    CHECK(formulas.Item(1).GetText(L"Text") == L"NumberVar x := 1;\r\nx");

    // A subreport lists only its own objects.
    const Object detail = report.GetObject(L"OpenSubreport", {Variant(std::wstring(L"Detail"))});
    CHECK(detail.GetObject(L"FormulaFields").Item(1).GetText(L"Name") == L"{@LineTotal}");
    CHECK_EQ(detail.GetObject(L"Database").GetObject(L"Tables").Count(), 1);

    // Failures keep the engine's number and text, or Basic's for late binding.
    std::wstring description;
    CHECK_EQ(ErrorOf([&] { app.GetObject(L"OpenReport", {Variant(std::wstring(L"C:\\missing.rpt"))}); },
                     &description),
             static_cast<long>(kLoadFailed));
    CHECK(description == L"Load report failed.");
    CHECK_EQ(ErrorOf([&] { formulas.Item(3); }, &description), 9);
    CHECK(description == L"Subscript out of range");
    CHECK_EQ(ErrorOf([&] { report.GetText(L"NoSuchMember"); }, &description), 438);
    CHECK(description == L"Object doesn't support this property or method");
    CHECK_EQ(ErrorOf([&] { report.GetNumber(L"Sections"); }), 13);
    CHECK_EQ(ErrorOf([&] { Object().GetText(L"Name"); }), 91);
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    RemoveProgIds();
    NothingRegistered();

    // Only the version-independent identifier: the fallback finds it.
    FakeFactory factory(Application(L"any"));
    FakeFactory factory9(Application(L"9"));
    DWORD cookie = 0, cookie9 = 0;
    CHECK(SUCCEEDED(CoRegisterClassObject(kFakeClsid, &factory, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                          REGCLS_MULTIPLEUSE, &cookie)));
    SetProgId("CrystalRuntime.Application", kFakeClsid);
    try {
        const Object app = Create9();
        CHECK(app.GetText(L"Version") == L"any");
        Walk(app);
        // With the version 9 identifier served, it comes first.
        CHECK(SUCCEEDED(CoRegisterClassObject(kFakeClsid9, &factory9,
                                              CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                              &cookie9)));
        CHECK(Create9().GetText(L"Version") == L"9");
        CHECK(Object::Create({L"CrystalRuntime.Application.8.5", L"CrystalRuntime.Application"})
                  .GetText(L"Version") == L"any");
    } catch (const AutomationError& error) {
        CHECK(!"unexpected automation error");
        std::fprintf(stderr, "error %ld: %s\n", error.number(), error.what());
    }
    if (cookie != 0) CoRevokeClassObject(cookie);
    if (cookie9 != 0) CoRevokeClassObject(cookie9);
    RemoveProgIds();
    CoUninitialize();
    return tw::wintest::Summary("automation_test");
}

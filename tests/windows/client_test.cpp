// A client of the registered Tracetap server: every class by both programmatic identifiers,
// every method through IDispatch by dispatch identifier and by name, what each method puts
// on the wire, the empty-text results, and the type library read back with LoadTypeLib.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include "check.hpp"
#include "probe_shared.hpp"
#include "tracetap_ids.hpp"
#include "tw/messaging/envelope.hpp"

#include <string>
#include <vector>

using tw::wintest::Probe;

namespace {

// One argument as the report engine may pass it.
struct Arg {
    VARTYPE type;
    std::wstring text;  // VT_BSTR
    double number;      // VT_I4 or VT_R8
};
Arg Str(const wchar_t* text) { return {VT_BSTR, text, 0}; }
Arg Int(LONG value) { return {VT_I4, L"", static_cast<double>(value)}; }
Arg Dbl(double value) { return {VT_R8, L"", value}; }

struct MethodCase {
    const char* className;
    const wchar_t* method;
    DISPID id;
    std::vector<Arg> args;  // in call order
    // What the envelope must carry.
    int type;
    std::int32_t recordNumber;
    std::string message;
    std::string objectName;
    std::string objectValue;
};

const std::vector<MethodCase>& Cases() {
    static const std::vector<MethodCase> cases = {
        {"Send", L"Msg", 0x60030000, {Str(L"hello")}, 0, 0, "hello", "", ""},
        // No "best fit" look-alikes: "x = 5 8 -" would be another value than the formula had.
        {"Send", L"Msg", 0x60030000, {Str(L"x \u2264 5 \u221E \u2212")}, 0, 0, "x ? 5 ? ?", "", ""},
        {"Send", L"MsgEx", 0x60030001, {Str(L"hello"), Int(42)}, 0, 42, "hello", "", ""},
        {"Send", L"Scratch", 0x60030002, {Str(L"scratch"), Int(7)}, 5, 7, "scratch", "", ""},
        {"Send", L"Note", 0x60030003, {Str(L"a note")}, 1, 0, "a note", "", ""},
        {"Send", L"NoteEx", 0x60030004, {Str(L"a note"), Int(3)}, 1, 3, "a note", "", ""},
        {"Send", L"Error", 0x60030005, {Str(L"bad")}, 2, 0, "bad", "", ""},
        {"Send", L"ErrorEx", 0x60030006, {Str(L"bad"), Int(-5)}, 2, -5, "bad", "", ""},
        {"Send", L"Warning", 0x60030007, {Str(L"careful")}, 3, 0, "careful", "", ""},
        // The report engine passes its numbers as doubles: they are converted.
        {"Send", L"WarningEx", 0x60030008, {Str(L"careful"), Dbl(12.0)}, 3, 12, "careful", "", ""},
        {"Send", L"Object", 0x60030009, {Str(L"Total"), Str(L"100"), Int(9)}, 4, 9, "", "Total", "100"},
        {"Enter", L"Formula", 0x60030000, {Str(L"@Title"), Int(1)}, 6, 1, "@Title", "", ""},
        {"Enter", L"SubReport", 0x60030001, {Str(L"Orders")}, 8, 0, "Orders", "", ""},
        {"Exit", L"Formula", 0x60030000, {}, 7, 0, "", "", ""},
        {"Exit", L"SubReport", 0x60030001, {}, 9, 0, "", "", ""},
        {"Add", L"CheckPoint", 0x60030000, {}, 14, 0, std::string(79, '-'), "", ""},
    };
    return cases;
}

IDispatch* Create(const std::string& progId) {
    std::wstring wide(progId.begin(), progId.end());
    CLSID clsid = {};
    if (FAILED(CLSIDFromProgID(wide.c_str(), &clsid))) return nullptr;
    IDispatch* object = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&object))))
        return nullptr;
    return object;
}

// Invokes `id` with the case's arguments; checks S_OK and the empty-text result.
void Call(IDispatch* object, const MethodCase& c, DISPID id) {
    std::vector<VARIANT> args(c.args.size());
    for (std::size_t i = 0; i < c.args.size(); ++i) {
        VARIANT& v = args[c.args.size() - 1 - i];  // DISPPARAMS holds the arguments last first
        VariantInit(&v);
        v.vt = c.args[i].type;
        if (v.vt == VT_BSTR) v.bstrVal = SysAllocString(c.args[i].text.c_str());
        if (v.vt == VT_I4) v.lVal = static_cast<LONG>(c.args[i].number);
        if (v.vt == VT_R8) v.dblVal = c.args[i].number;
    }
    DISPPARAMS params = {args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                      nullptr, nullptr);
    CHECK_EQ(hr, S_OK);
    CHECK_EQ(result.vt, static_cast<VARTYPE>(VT_BSTR));
    if (result.vt == VT_BSTR) CHECK_EQ(SysStringLen(result.bstrVal), 0u);
    VariantClear(&result);
    for (VARIANT& v : args) VariantClear(&v);
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    std::wstring copy(name);
    LPOLESTR names[1] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return DISPID_UNKNOWN;
    return id;
}

void EveryMethod(Probe* probe) {
    for (const char* prefix : tw::tracetap::kProgIdPrefixes) {
        for (const MethodCase& c : Cases()) {
            IDispatch* object = Create(std::string(prefix) + c.className);
            CHECK(object != nullptr);
            if (object == nullptr) continue;
            // By name (names are not case-sensitive), then by the fixed dispatch identifier.
            CHECK_EQ(IdOf(object, c.method), c.id);
            std::wstring lower(c.method);
            CharLowerW(lower.data());
            CHECK_EQ(IdOf(object, lower.c_str()), c.id);
            const LONG before = probe != nullptr ? probe->Count() : 0;
            Call(object, c, IdOf(object, c.method));
            Call(object, c, c.id);
            if (probe != nullptr) {
                CHECK_EQ(probe->Count(), before + 2);
                const std::string expected = tw::messaging::BuildEnvelope(c.type, c.message, c.recordNumber,
                                                                          c.objectName, c.objectValue);
                CHECK_BYTES(probe->Envelope(probe->Record(before)), expected);
                CHECK_BYTES(probe->Envelope(probe->Record(before + 1)), expected);
                CHECK_EQ(probe->Record(before).byteCount, static_cast<std::uint32_t>(expected.size() + 1));
            }
            object->Release();
        }
    }
}

void MessageClassAndUnknownNames() {
    for (const char* prefix : tw::tracetap::kProgIdPrefixes) {
        IDispatch* message = Create(std::string(prefix) + "Message");
        CHECK(message != nullptr);
        if (message == nullptr) continue;
        CHECK_EQ(IdOf(message, L"Msg"), DISPID_UNKNOWN);
        message->Release();
    }
    IDispatch* send = Create("Tracetap.Send");
    if (send == nullptr) return;
    CHECK_EQ(IdOf(send, L"NoSuchMethod"), DISPID_UNKNOWN);
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    CHECK(FAILED(send->Invoke(0x60030000, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr)));
    CHECK(FAILED(send->Invoke(0x12345, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr)));
    send->Release();
}

std::wstring NameOf(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    BSTR name = nullptr;
    if (FAILED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr))) return L"<none>";
    std::wstring text(name, SysStringLen(name));
    SysFreeString(name);
    return text;
}

std::wstring HelpOf(ITypeInfo* info, MEMBERID id) {
    BSTR help = nullptr;
    if (FAILED(info->GetDocumentation(id, nullptr, &help, nullptr, nullptr)) || help == nullptr) return L"<none>";
    std::wstring text(help, SysStringLen(help));
    SysFreeString(help);
    return text;
}

void TypeLibrary(const std::wstring& dll) {
    using namespace tw::tracetap;
    ITypeLib* lib = nullptr;
    CHECK(SUCCEEDED(LoadTypeLib(dll.c_str(), &lib)));
    if (lib == nullptr) return;
    TLIBATTR* attr = nullptr;
    lib->GetLibAttr(&attr);
    CHECK(IsEqualGUID(attr->guid, kLibId));
    CHECK_EQ(attr->wMajorVerNum, 3);
    CHECK_EQ(attr->wMinorVerNum, 0);
    CHECK_EQ(attr->lcid, static_cast<LCID>(0x0409));
    lib->ReleaseTLibAttr(attr);
    BSTR libName = nullptr;
    lib->GetDocumentation(-1, &libName, nullptr, nullptr, nullptr);
    CHECK(libName != nullptr && std::wstring(libName) == L"Tracetap");
    SysFreeString(libName);

    const struct {
        const GUID* iid;
        const wchar_t* name;
        std::vector<std::wstring> methods;
    } interfaces[] = {
        {&kIidSend,
         L"_Send",
         {L"Msg", L"MsgEx", L"Scratch", L"Note", L"NoteEx", L"Error", L"ErrorEx", L"Warning", L"WarningEx",
          L"Object"}},
        {&kIidEnter, L"_Enter", {L"Formula", L"SubReport"}},
        {&kIidExit, L"_Exit", {L"Formula", L"SubReport"}},
        {&kIidAdd, L"_Add", {L"CheckPoint"}},
        {&kIidMessage, L"_Message", {}},
    };
    for (const auto& iface : interfaces) {
        ITypeInfo* info = nullptr;
        CHECK(SUCCEEDED(lib->GetTypeInfoOfGuid(*iface.iid, &info)));
        if (info == nullptr) continue;
        CHECK(NameOf(info) == iface.name);
        TYPEATTR* ta = nullptr;
        info->GetTypeAttr(&ta);
        const WORD flags =
            TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
        CHECK_EQ(ta->wTypeFlags & flags, flags);
        CHECK_EQ(ta->typekind, TKIND_DISPATCH);
        info->ReleaseTypeAttr(ta);
        // The vtable half lists the interface's own methods in order.
        HREFTYPE ref = 0;
        ITypeInfo* vtable = nullptr;
        CHECK(SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
              SUCCEEDED(info->GetRefTypeInfo(ref, &vtable)));
        if (vtable != nullptr) {
            vtable->GetTypeAttr(&ta);
            // The interface half carries the automation flag.
            const WORD vflags =
                TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
            CHECK_EQ(ta->wTypeFlags & vflags, vflags);
            CHECK_EQ(ta->typekind, TKIND_INTERFACE);
            CHECK_EQ(ta->cFuncs, static_cast<WORD>(iface.methods.size()));
            const WORD count = ta->cFuncs;
            vtable->ReleaseTypeAttr(ta);
            for (WORD i = 0; i < count && i < iface.methods.size(); ++i) {
                FUNCDESC* fd = nullptr;
                vtable->GetFuncDesc(i, &fd);
                CHECK_EQ(fd->memid, static_cast<MEMBERID>(0x60030000 + i));
                CHECK_EQ(fd->elemdescFunc.tdesc.vt, static_cast<VARTYPE>(VT_HRESULT));
                CHECK(NameOf(vtable, fd->memid) == iface.methods[i]);
                // Text and number arguments in, the text result as [out, retval] BSTR*.
                CHECK(fd->cParams >= 1 && fd->lprgelemdescParam[fd->cParams - 1].paramdesc.wParamFlags ==
                                              (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL));
                for (SHORT k = 0; k + 1 < fd->cParams; ++k) {
                    const ELEMDESC& param = fd->lprgelemdescParam[k];
                    CHECK(param.paramdesc.wParamFlags == PARAMFLAG_FIN);
                    CHECK(param.tdesc.vt == VT_BSTR || param.tdesc.vt == VT_I4);
                }
                vtable->ReleaseFuncDesc(fd);
            }
            vtable->Release();
        }
        info->Release();
    }

    for (const ClassEntry& entry : kClasses) {
        ITypeInfo* info = nullptr;
        CHECK(SUCCEEDED(lib->GetTypeInfoOfGuid(*entry.clsid, &info)));
        if (info == nullptr) continue;
        std::string name(entry.className);
        CHECK(NameOf(info) == std::wstring(name.begin(), name.end()));
        TYPEATTR* ta = nullptr;
        info->GetTypeAttr(&ta);
        CHECK_EQ(ta->typekind, TKIND_COCLASS);
        CHECK(ta->wTypeFlags & TYPEFLAG_FCANCREATE);
        info->ReleaseTypeAttr(ta);
        HREFTYPE ref = 0;
        ITypeInfo* def = nullptr;
        INT implFlags = 0;
        info->GetImplTypeFlags(0, &implFlags);
        CHECK(implFlags & IMPLTYPEFLAG_FDEFAULT);
        if (SUCCEEDED(info->GetRefTypeOfImplType(0, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, &def))) {
            CHECK(NameOf(def) == L"_" + std::wstring(name.begin(), name.end()));
            def->Release();
        }
        info->Release();
    }

    // The enumeration: its members, their help strings and values.
    ITypeInfo* enumInfo = nullptr;
    MEMBERID memid = 0;
    USHORT found = 1;
    wchar_t enumName[] = L"EnumMessageType";
    CHECK(SUCCEEDED(lib->FindName(enumName, 0, &enumInfo, &memid, &found)) && found == 1);
    if (enumInfo != nullptr) {
        const std::pair<const wchar_t*, LONG> members[] = {
            {L"SendMsg", 0},        {L"SendNote", 1},      {L"SendError", 2},     {L"SendWarning", 3},
            {L"SendObject", 4},     {L"SendScratch", 5},   {L"EnterFormula", 6},  {L"ExitFormula", 7},
            {L"EnterSubReport", 8}, {L"ExitSubReport", 9}, {L"AddCheckPoint", 14}};
        TYPEATTR* ta = nullptr;
        enumInfo->GetTypeAttr(&ta);
        CHECK_EQ(ta->typekind, TKIND_ENUM);
        CHECK_EQ(ta->cVars, static_cast<WORD>(11));
        const WORD count = ta->cVars;
        enumInfo->ReleaseTypeAttr(ta);
        for (WORD i = 0; i < count && i < 11; ++i) {
            VARDESC* vd = nullptr;
            enumInfo->GetVarDesc(i, &vd);
            CHECK(NameOf(enumInfo, vd->memid) == members[i].first);
            CHECK(HelpOf(enumInfo, vd->memid) == members[i].first);
            VARIANT value;
            VariantInit(&value);
            VariantChangeType(&value, vd->lpvarValue, 0, VT_I4);
            CHECK_EQ(value.lVal, members[i].second);
            enumInfo->ReleaseVarDesc(vd);
        }
        enumInfo->Release();
    }
    lib->Release();
}

// Objects keep the server loaded; once all are gone it may unload.
void UnloadRule(const std::wstring& dll) {
    HMODULE module = LoadLibraryW(dll.c_str());
    CHECK(module != nullptr);
    if (module == nullptr) return;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    auto canUnload =
        reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    CHECK(getClassObject != nullptr && canUnload != nullptr);
    if (getClassObject != nullptr && canUnload != nullptr) {
        IClassFactory* factory = nullptr;
        CHECK_EQ(
            getClassObject(tw::tracetap::kClsidAdd, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
        IDispatch* add = nullptr;
        if (factory != nullptr)
            factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&add));
        if (factory != nullptr) factory->Release();
        CHECK(add != nullptr);
        CHECK_EQ(canUnload(), S_FALSE);
        if (add != nullptr) add->Release();
        CHECK_EQ(canUnload(), S_OK);
        IClassFactory* other = nullptr;
        CHECK_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(&other)),
                 CLASS_E_CLASSNOTAVAILABLE);
    }
    FreeLibrary(module);
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dll(self);
    dll.resize(dll.find_last_of(L"\\/") + 1);
    dll += L"Tracetap.dll";

    TypeLibrary(dll);
    // No viewer: every method still returns the empty text.
    EveryMethod(nullptr);
    {
        Probe probe;
        CHECK(probe.Ok());
        if (probe.Ok()) EveryMethod(&probe);
    }
    MessageClassAndUnknownNames();
    UnloadRule(dll);
    CoUninitialize();
    return tw::wintest::Summary("client_test");
}

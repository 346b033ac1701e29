// make_typelib OUTPUT.tlb: writes the Tracetap type library with the system's own type-library
// writer (CreateTypeLib2). Run at build time (under Wine in cross builds); the result is
// embedded in Tracetap.dll as resource TYPELIB 1. It describes what Tracetap.idl describes,
// and also gives each EnumMessageType member its name as help string, which widl cannot.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include "tracetap_ids.hpp"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace tw::tracetap;

// {D2CC5CFC-53D0-47DA-972E-956B8A79C239}
constexpr GUID kEnumMessageTypeId = {
    0xD2CC5CFC, 0x53D0, 0x47DA, {0x97, 0x2E, 0x95, 0x6B, 0x8A, 0x79, 0xC2, 0x39}};

constexpr MEMBERID kFirstMethodId = 0x60030000;

struct Member {
    const wchar_t* name;
    int value;
};
// The message types; each is its own help string.
const Member kMessageTypes[] = {
    {L"SendMsg", 0},       {L"SendNote", 1},     {L"SendError", 2},       {L"SendWarning", 3},
    {L"SendObject", 4},    {L"SendScratch", 5},  {L"EnterFormula", 6},    {L"ExitFormula", 7},
    {L"EnterSubReport", 8}, {L"ExitSubReport", 9}, {L"AddCheckPoint", 14},
};

enum class Param { Text, Number };
struct Method {
    const wchar_t* name;
    std::vector<std::pair<const wchar_t*, Param>> params;  // then [out, retval] BSTR* result
};
struct Interface {
    const wchar_t* name;
    const GUID* iid;
    const wchar_t* coclass;
    const GUID* clsid;
    std::vector<Method> methods;  // dispatch identifiers 0x60030000 on, in this order
};

const std::vector<Interface>& Interfaces() {
    constexpr Param T = Param::Text;
    constexpr Param N = Param::Number;
    static const std::vector<Interface> list = {
        {L"_Send", &kIidSend, L"Send", &kClsidSend,
         {{L"Msg", {{L"Message", T}}},
          {L"MsgEx", {{L"Message", T}, {L"RecordNumber", N}}},
          {L"Scratch", {{L"Message", T}, {L"ID", N}}},
          {L"Note", {{L"Message", T}}},
          {L"NoteEx", {{L"Message", T}, {L"RecordNumber", N}}},
          {L"Error", {{L"Message", T}}},
          {L"ErrorEx", {{L"Message", T}, {L"RecordNumber", N}}},
          {L"Warning", {{L"Message", T}}},
          {L"WarningEx", {{L"Message", T}, {L"RecordNumber", N}}},
          {L"Object", {{L"ObjectName", T}, {L"ObjectValue", T}, {L"RecordNumber", N}}}}},
        {L"_Enter", &kIidEnter, L"Enter", &kClsidEnter,
         {{L"Formula", {{L"FormulaName", T}, {L"RecordNumber", N}}}, {L"SubReport", {{L"SubReportName", T}}}}},
        {L"_Exit", &kIidExit, L"Exit", &kClsidExit, {{L"Formula", {}}, {L"SubReport", {}}}},
        {L"_Add", &kIidAdd, L"Add", &kClsidAdd, {{L"CheckPoint", {}}}},
        {L"_Message", &kIidMessage, L"Message", &kClsidMessage, {}},
    };
    return list;
}

// Stops at the first failing step, naming it.
struct Failed {
    const char* step;
    HRESULT hr;
};
void Check(HRESULT hr, const char* step) {
    if (FAILED(hr)) throw Failed{step, hr};
}

template <class T>
struct Ref {
    T* p = nullptr;
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() {
        if (p != nullptr) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

ITypeInfo* AsTypeInfo(ICreateTypeInfo* info) {
    ITypeInfo* typeInfo = nullptr;
    Check(info->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&typeInfo)), "QueryInterface ITypeInfo");
    return typeInfo;
}

void AddEnum(ICreateTypeLib2* lib) {
    Ref<ICreateTypeInfo> info;
    Check(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"EnumMessageType"), TKIND_ENUM, &info), "enum");
    Check(info->SetGuid(kEnumMessageTypeId), "enum guid");
    UINT index = 0;
    for (const Member& member : kMessageTypes) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_I4;
        value.lVal = member.value;
        VARDESC desc = {};
        desc.memid = static_cast<MEMBERID>(0x40000000 + index);
        desc.lpvarValue = &value;
        desc.elemdescVar.tdesc.vt = VT_INT;
        desc.varkind = VAR_CONST;
        Check(info->AddVarDesc(index, &desc), "enum member");
        Check(info->SetVarName(index, const_cast<LPOLESTR>(member.name)), "enum member name");
        Check(info->SetVarDocString(index, const_cast<LPOLESTR>(member.name)), "enum member help string");
        ++index;
    }
    Check(info->LayOut(), "enum layout");
}

// A dual interface derived from IDispatch; returns its type information for the class.
ITypeInfo* AddInterface(ICreateTypeLib2* lib, ITypeInfo* dispatch, const Interface& iface_desc) {
    Ref<ICreateTypeInfo> info;
    Check(lib->CreateTypeInfo(const_cast<LPOLESTR>(iface_desc.name), TKIND_INTERFACE, &info), "interface");
    Check(info->SetGuid(*iface_desc.iid), "interface guid");
    Check(info->SetVersion(1, 0), "interface version");
    HREFTYPE base = 0;
    Check(info->AddRefTypeInfo(dispatch, &base), "IDispatch reference");
    Check(info->AddImplType(0, base), "IDispatch base");
    Check(info->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION),
          "interface flags");
    UINT index = 0;
    for (const Method& method : iface_desc.methods) {
        TYPEDESC bstrType = {};
        bstrType.vt = VT_BSTR;
        std::vector<ELEMDESC> params(method.params.size() + 1);
        std::vector<LPOLESTR> names = {const_cast<LPOLESTR>(method.name)};
        for (std::size_t i = 0; i < method.params.size(); ++i) {
            params[i].tdesc.vt = method.params[i].second == Param::Text ? VT_BSTR : VT_I4;
            params[i].paramdesc.wParamFlags = PARAMFLAG_FIN;
            names.push_back(const_cast<LPOLESTR>(method.params[i].first));
        }
        ELEMDESC& result = params.back();
        result.tdesc.vt = VT_PTR;
        result.tdesc.lptdesc = &bstrType;
        result.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
        names.push_back(const_cast<LPOLESTR>(L"result"));

        FUNCDESC desc = {};
        desc.memid = kFirstMethodId + static_cast<MEMBERID>(index);
        desc.funckind = FUNC_PUREVIRTUAL;
        desc.invkind = INVOKE_FUNC;
        desc.callconv = CC_STDCALL;
        desc.cParams = static_cast<SHORT>(params.size());
        desc.lprgelemdescParam = params.data();
        desc.elemdescFunc.tdesc.vt = VT_HRESULT;
        Check(info->AddFuncDesc(index, &desc), "method");
        Check(info->SetFuncAndParamNames(index, names.data(), static_cast<UINT>(names.size())), "method names");
        ++index;
    }
    Check(info->LayOut(), "interface layout");
    ITypeInfo* typeInfo = AsTypeInfo(info.p);
    // A pointer's alignment, as MIDL and widl give an interface (Wine's writer says 4 on
    // 64-bit systems too).
    Check(info->SetAlignment(sizeof(void*)), "interface alignment");
    // Derived from IDispatch, so dispatchable: Windows' writer works that out itself, Wine's
    // has to be told.
    TYPEATTR* attr = nullptr;
    Check(typeInfo->GetTypeAttr(&attr), "interface attributes");
    const WORD flags = attr->wTypeFlags;
    typeInfo->ReleaseTypeAttr(attr);
    if ((flags & TYPEFLAG_FDISPATCHABLE) == 0) {
        Check(info->SetTypeFlags(flags | TYPEFLAG_FDISPATCHABLE), "interface dispatchable flag");
        Check(info->LayOut(), "interface layout");
    }
    return typeInfo;
}

void AddClass(ICreateTypeLib2* lib, const Interface& iface_desc, ITypeInfo* iface) {
    Ref<ICreateTypeInfo> info;
    Check(lib->CreateTypeInfo(const_cast<LPOLESTR>(iface_desc.coclass), TKIND_COCLASS, &info), "class");
    Check(info->SetGuid(*iface_desc.clsid), "class guid");
    Check(info->SetVersion(1, 0), "class version");
    Check(info->SetTypeFlags(TYPEFLAG_FCANCREATE), "class flags");
    HREFTYPE ref = 0;
    Check(info->AddRefTypeInfo(iface, &ref), "default interface reference");
    Check(info->AddImplType(0, ref), "default interface");
    Check(info->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "default interface flags");
    Check(info->LayOut(), "class layout");
    // Wine's writer has been seen to mark the first class dispatchable; a class is not.
    Check(info->SetTypeFlags(TYPEFLAG_FCANCREATE), "class flags");
}

void Write(const std::wstring& path) {
    Ref<ICreateTypeLib2> lib;
    Check(CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, path.c_str(), &lib), "CreateTypeLib2");
    Check(lib->SetGuid(kLibId), "library guid");
    Check(lib->SetVersion(kLibMajor, kLibMinor), "library version");
    Check(lib->SetLcid(kLibLcid), "library locale");
    Check(lib->SetName(const_cast<LPOLESTR>(L"Tracetap")), "library name");
    Check(lib->SetDocString(const_cast<LPOLESTR>(L"Tracetap")), "library help string");

    // IDispatch from the standard OLE automation library.
    Ref<ITypeLib> stdole;
    Check(LoadRegTypeLib(IID_StdOle, 2, 0, 0, &stdole), "stdole2.tlb");
    Ref<ITypeInfo> dispatch;
    Check(stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatch), "IDispatch");

    std::vector<ITypeInfo*> interfaces;
    try {
        for (const Interface& iface_desc : Interfaces()) interfaces.push_back(AddInterface(lib.p, dispatch.p, iface_desc));
        AddEnum(lib.p);
        for (std::size_t i = 0; i < interfaces.size(); ++i) AddClass(lib.p, Interfaces()[i], interfaces[i]);
    } catch (...) {
        for (ITypeInfo* info : interfaces) info->Release();
        throw;
    }
    for (ITypeInfo* info : interfaces) info->Release();
    Check(lib->SaveAllChanges(), "SaveAllChanges");
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 2) {
        std::fprintf(stderr, "usage: make_typelib OUTPUT.tlb\n");
        return 2;
    }
    const std::wstring path = argv[1];
    LocalFree(argv);
    CoInitialize(nullptr);
    int code = 0;
    try {
        DeleteFileW(path.c_str());
        Write(path);
    } catch (const Failed& failed) {
        std::fprintf(stderr, "make_typelib: %s failed (0x%08lX)\n", failed.step, static_cast<unsigned long>(failed.hr));
        DeleteFileW(path.c_str());
        code = 1;
    }
    CoUninitialize();
    return code;
}

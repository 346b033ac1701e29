// The Tracetap type library as make_typelib writes it (with the system's type-library writer,
// under Wine in cross builds) against the one widl writes from Tracetap.idl, read back member
// by member: library, types, functions, parameters, variables, implemented interfaces and their
// flags, sizes and help strings. Two differences are known and allowed (Expected below):
// - widl cannot give the enumeration members help strings;
// - in the 64-bit library Wine's writer gives the enumeration the instance size of a pointer
//   (8) where widl gives 4. No function, parameter or variable of the library is of the
//   enumeration's type, so nothing that calls or marshals through the library reads it.
//   typelib_test WRITTEN.tlb WIDL.tlb
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include "check.hpp"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) out.push_back(*text < 128 ? static_cast<char>(*text) : '?');
    return out;
}

std::string Guid(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lx", value);
    return text;
}

std::string Type(ITypeInfo* info, const TYPEDESC& desc) {
    if (desc.vt == VT_PTR || desc.vt == VT_SAFEARRAY)
        return std::to_string(desc.vt) + "(" + Type(info, *desc.lptdesc) + ")";
    if (desc.vt == VT_USERDEFINED) {
        ITypeInfo* ref = nullptr;
        BSTR name = nullptr;
        if (SUCCEEDED(info->GetRefTypeInfo(desc.hreftype, &ref))) {
            ref->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            ref->Release();
        }
        std::string out = "user(" + Narrow(name) + ")";
        SysFreeString(name);
        return out;
    }
    return std::to_string(desc.vt);
}

std::string Doc(ITypeInfo* info, MEMBERID id) {
    BSTR name = nullptr, doc = nullptr;
    DWORD context = 0;
    info->GetDocumentation(id, &name, &doc, &context, nullptr);
    std::string out = Narrow(name) + " help \"" + Narrow(doc) + "\" context " + std::to_string(context);
    SysFreeString(name);
    SysFreeString(doc);
    return out;
}

// One line a fact, each prefixed by the type it belongs to.
std::vector<std::string> Describe(const wchar_t* path) {
    std::vector<std::string> lines;
    ITypeLib* lib = nullptr;
    if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &lib))) {
        lines.push_back("cannot load " + Narrow(path));
        return lines;
    }
    TLIBATTR* la = nullptr;
    lib->GetLibAttr(&la);
    BSTR name = nullptr, doc = nullptr;
    lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    lines.push_back("library " + Narrow(name) + " help \"" + Narrow(doc) + "\" " + Guid(la->guid) + " lcid " +
                    Hex(la->lcid) + " syskind " + std::to_string(la->syskind) + " version " +
                    std::to_string(la->wMajorVerNum) + "." + std::to_string(la->wMinorVerNum) + " flags " +
                    Hex(la->wLibFlags));
    SysFreeString(name);
    SysFreeString(doc);
    lib->ReleaseTLibAttr(la);

    for (UINT t = 0; t < lib->GetTypeInfoCount(); ++t) {
        ITypeInfo* info = nullptr;
        if (FAILED(lib->GetTypeInfo(t, &info))) continue;
        TYPEATTR* a = nullptr;
        info->GetTypeAttr(&a);
        const std::string type = "type " + Doc(info, MEMBERID_NIL) + ":";
        lines.push_back(type + " kind " + std::to_string(a->typekind) + " " + Guid(a->guid) + " flags " +
                        Hex(a->wTypeFlags) + " version " + std::to_string(a->wMajorVerNum) + "." +
                        std::to_string(a->wMinorVerNum) + " funcs " + std::to_string(a->cFuncs) + " vars " +
                        std::to_string(a->cVars) + " impl " + std::to_string(a->cImplTypes) + " vft " +
                        std::to_string(a->cbSizeVft) + " lcid " + Hex(a->lcid));
        lines.push_back(type + " alignment " + std::to_string(a->cbAlignment));
        lines.push_back(type + " instance size " + std::to_string(a->cbSizeInstance));
        for (UINT i = 0; i < a->cImplTypes; ++i) {
            HREFTYPE ref = 0;
            INT flags = 0;
            info->GetRefTypeOfImplType(i, &ref);
            info->GetImplTypeFlags(i, &flags);
            ITypeInfo* base = nullptr;
            std::string baseName = "?";
            if (SUCCEEDED(info->GetRefTypeInfo(ref, &base))) {
                baseName = Doc(base, MEMBERID_NIL);
                base->Release();
            }
            lines.push_back(type + " implements " + baseName + " flags " +
                            Hex(static_cast<unsigned long>(flags)));
        }
        for (UINT f = 0; f < a->cFuncs; ++f) {
            FUNCDESC* fd = nullptr;
            if (FAILED(info->GetFuncDesc(f, &fd))) continue;
            BSTR names[16] = {};
            UINT count = 0;
            info->GetNames(fd->memid, names, 16, &count);
            std::string line =
                type + " function " + Doc(info, fd->memid) + " id " +
                Hex(static_cast<unsigned long>(fd->memid)) + " kind " + std::to_string(fd->funckind) +
                " invoke " + std::to_string(fd->invkind) + " callconv " + std::to_string(fd->callconv) +
                " vtable " + std::to_string(fd->oVft) + " flags " + Hex(fd->wFuncFlags) + " returns " +
                Type(info, fd->elemdescFunc.tdesc) + " optional " + std::to_string(fd->cParamsOpt) + " (";
            for (SHORT p = 0; p < fd->cParams; ++p) {
                const ELEMDESC& e = fd->lprgelemdescParam[p];
                line += (p > 0 ? ", " : "") +
                        Narrow(static_cast<UINT>(p + 1) < count ? names[p + 1] : nullptr) + " " +
                        Type(info, e.tdesc) + " " + Hex(e.paramdesc.wParamFlags);
            }
            lines.push_back(line + ")");
            for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
            info->ReleaseFuncDesc(fd);
        }
        for (UINT v = 0; v < a->cVars; ++v) {
            VARDESC* vd = nullptr;
            if (FAILED(info->GetVarDesc(v, &vd))) continue;
            std::string value = "-";
            if (vd->varkind == VAR_CONST && vd->lpvarValue != nullptr) {
                VARIANT text;
                VariantInit(&text);
                if (SUCCEEDED(VariantChangeType(&text, vd->lpvarValue, 0, VT_BSTR)))
                    value = Narrow(text.bstrVal);
                value += " vt " + std::to_string(vd->lpvarValue->vt);
                VariantClear(&text);
            }
            lines.push_back(type + " variable " + Doc(info, vd->memid) + " id " +
                            Hex(static_cast<unsigned long>(vd->memid)) + " kind " +
                            std::to_string(vd->varkind) + " type " + Type(info, vd->elemdescVar.tdesc) +
                            " value " + value + " flags " + Hex(vd->wVarFlags));
            info->ReleaseVarDesc(vd);
        }
        info->ReleaseTypeAttr(a);
        info->Release();
    }
    lib->Release();
    std::sort(lines.begin(), lines.end());  // by type: the writers may order the types differently
    return lines;
}

bool EnumInstanceSize(const std::string& written, const std::string& widl) {
    const std::string type = "type EnumMessageType help \"\" context 0: instance size ";
    return sizeof(void*) == 8 && written == type + "8" && widl == type + "4";
}

// The same enumeration member but for its help string, which widl leaves empty.
bool EnumMemberHelp(const std::string& written, const std::string& widl) {
    const auto enumMember = [](const std::string& line) {
        return line.find("EnumMessageType help") != std::string::npos &&
               line.find(" variable ") != std::string::npos;
    };
    if (!enumMember(written) || !enumMember(widl)) return false;
    const std::size_t help = written.find(" help \"", written.find(" variable "));
    const std::string name = written.substr(0, help);
    return widl.compare(0, name.size(), name) == 0 && widl.find(" help \"\"", help) == help;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 3) {
        std::fprintf(stderr, "usage: typelib_test WRITTEN.tlb WIDL.tlb\n");
        return 2;
    }
    CoInitialize(nullptr);
    const std::vector<std::string> written = Describe(argv[1]), widl = Describe(argv[2]);
    CHECK(written.size() > 40);
    CHECK_EQ(written.size(), widl.size());
    int help = 0, size = 0;
    for (std::size_t i = 0; i < std::min(written.size(), widl.size()); ++i) {
        if (written[i] == widl[i]) continue;
        if (EnumMemberHelp(written[i], widl[i])) {
            ++help;
        } else if (EnumInstanceSize(written[i], widl[i])) {
            ++size;
        } else {
            tw::wintest::Fail(__FILE__, __LINE__, "written: " + written[i] + "\n    widl:    " + widl[i]);
        }
    }
    std::printf(
        "typelib_test: %zu facts compared; differing: %d enumeration members' help strings, %d "
        "enumeration instance size\n",
        written.size(), help, size);
    CHECK_EQ(help, 11);
    CoUninitialize();
    LocalFree(argv);
    return tw::wintest::Summary("typelib_test");
}

// The Stepwright through automation, against the report engine stand-in (EngineStandin.dll,
// registered here with regsvr32): through the same factory as Stepwright9 and Stepwright85,
// every report definition lists and composes what the definition reader gives for it, and the
// engine's failures reach the user as the Stepwright's error boxes with number and description.
// clang-format off
#include <windows.h>
// clang-format on

#include "automation.hpp"
#include "check.hpp"
#include "stepwright_rows.hpp"
#include "tw/builder/xml_engine.hpp"
#include "tw/common/platform_start.hpp"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

using namespace tw::builder;
using tw::builder::automation::Object;

namespace {

// A folder given at build time as a Linux path, as Wine's drive Z: shows it.
QString Folder(const char* path) {
    const QString p = QString::fromUtf8(path);
    return p.startsWith(QLatin1Char('/')) ? QStringLiteral("Z:") + p : p;
}

std::string Text(const QString& s) { return s.toStdString(); }

int Run(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

std::wstring StandinDll() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"EngineStandin.dll";
}

ApplicationFactory Runtime(engine::EngineVersion version) {
    return [version] { return engine::CreateApplication(version); };
}

QString Rpt(const QString& xml) { return xml.left(xml.size() - 4) + QStringLiteral(".rpt"); }

// Each runtime version is the class its programmatic identifier names.
void Versions() {
    try {
        CHECK(Object::Create({L"CrystalRuntime.Application.9"}).GetText(L"Version") == L"9");
        CHECK(Object::Create({L"CrystalRuntime.Application.8.5"}).GetText(L"Version") == L"8.5");
        CHECK(Object::Create({L"CrystalRuntime.Application"}).GetText(L"Version") == L"9");
    } catch (const automation::AutomationError& error) {
        tw::wintest::Fail(__FILE__, __LINE__, std::string("automation error: ") + error.what());
    }
}

// Every definition, both versions: the same rows and calls as the definition reader gives.
void SameAsDefinitions(const QStringList& definitions) {
    for (const QString& xml : definitions) {
        const auto expected = testing::DumpStepwright(
            [] { return std::make_shared<engine::XmlApplication>(); }, engine::EngineVersion::V9, xml);
        CHECK(expected.boxes.isEmpty());
        CHECK(expected.text.count(QLatin1Char('\n')) > 20);
        for (const auto version : {engine::EngineVersion::V9, engine::EngineVersion::V85}) {
            const auto dump = testing::DumpStepwright(Runtime(version), version, Rpt(xml));
            if (dump.text != expected.text) {
                tw::wintest::Fail(__FILE__, __LINE__,
                                  "through automation differs: " + Text(QFileInfo(xml).fileName()));
                const QStringList got = dump.text.split(QLatin1Char('\n')),
                                  want = expected.text.split(QLatin1Char('\n'));
                for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i) {
                    if (got[i] != want[i]) {
                        std::fprintf(stderr, "  line %lld: got  %s\n  line %lld: want %s\n",
                                     static_cast<long long>(i + 1), qPrintable(got[i]),
                                     static_cast<long long>(i + 1), qPrintable(want[i]));
                        break;
                    }
                }
            }
        }
    }
}

// The engine's failures as the user sees them: one box captioned "Stepwright" with the
// bracketed number and description.
void Failures(const QString& dir) {
    const struct {
        const char* file;
        engine::EngineVersion version;
        const char* box;  // the start of the box's text
        const char* also;
    } cases[] = {
        // A report file the engine cannot open (no definition beside it).
        {"missing.rpt", engine::EngineVersion::V9, "Stepwright: [-2147217407 - Cannot open the report file ",
         "stand-in 9)"},
        {"missing.rpt", engine::EngineVersion::V85, "Stepwright: [-2147217407 - Cannot open the report file ",
         "stand-in 8.5)"},
        // An exception with the engine's description.
        {"malformed.rpt", engine::EngineVersion::V9, "Stepwright: [-2147217406 - The report ",
         "malformed at line 4"},
        {"nosubreport.rpt", engine::EngineVersion::V85,
         "Stepwright: [-2147217405 - Invalid subreport name: Nowhere]", ""},
        // A member the object lacks, and an item beyond the collection's end.
        {"nofield.rpt", engine::EngineVersion::V9,
         "Stepwright: [438 - Object doesn't support this property or method]", ""},
        {"shortcount.rpt", engine::EngineVersion::V85, "Stepwright: [9 - Subscript out of range]", ""},
    };
    for (const auto& c : cases) {
        const auto dump = testing::DumpStepwright(Runtime(c.version), c.version,
                                                  dir + QLatin1Char('/') + QLatin1String(c.file));
        CHECK(!dump.boxes.isEmpty());
        const QString box = dump.boxes.value(0);
        if (!box.startsWith(QLatin1String(c.box)) || !box.contains(QLatin1String(c.also)))
            tw::wintest::Fail(__FILE__, __LINE__, std::string(c.file) + ": the box reads " + Text(box));
    }
    // The rows found before a failure stay: the field placed before the bare one is listed.
    const auto partial = testing::DumpStepwright(
        Runtime(engine::EngineVersion::V9), engine::EngineVersion::V9, dir + QStringLiteral("/nofield.rpt"));
    CHECK(partial.text.contains(QStringLiteral("[x] {T.before} icon 12\n")));
}

}  // namespace

int main(int argc, char* argv[]) {
    tw::PreparePlatform();
    QApplication app(argc, argv);
    CoInitialize(nullptr);

    CHECK_EQ(Run(L"regsvr32 /s \"" + StandinDll() + L"\""), 0);
    Versions();

    QStringList definitions;
    const QDir shared(Folder(TW_REPORT_DEFINITIONS_DIR));
    if (!QString::fromUtf8(TW_REPORT_DEFINITIONS_DIR).isEmpty()) {
        for (const QString& name : shared.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name))
            definitions << shared.filePath(name);
    }
    definitions << Folder(TW_SMALL_DEFINITION);
    std::printf("standin_test: %lld definitions\n", static_cast<long long>(definitions.size()));
    SameAsDefinitions(definitions);
    Failures(Folder(TW_FAILING_DEFINITIONS_DIR));

    CHECK_EQ(Run(L"regsvr32 /s /u \"" + StandinDll() + L"\""), 0);
    CLSID unregistered = {};
    CHECK(FAILED(CLSIDFromProgID(L"CrystalRuntime.Application.9", &unregistered)));
    return tw::wintest::Summary("standin_test");
}

// stepwright_rows --engine 9|85|xml OUTDIR DEFINITION.xml...
// Writes, for each report definition, what the Stepwright shows for it (stepwright_rows.hpp) to
// OUTDIR/NAME.txt. With --engine xml the definition itself is opened through the definition
// reader; with 9 or 85 the report file NAME.rpt beside it, through this system's engine
// runtime for that version (as Stepwright9 and Stepwright85 create it). The end-to-end run on
// Windows compares these files with the ones made on Linux.
#include "stepwright_rows.hpp"
#include "tw/builder/xml_engine.hpp"
#include "tw/common/platform_start.hpp"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

using namespace tw::builder;

int main(int argc, char* argv[]) {
    tw::PreparePlatform();
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4 || args.at(1) != QLatin1String("--engine")) {
        std::fprintf(stderr, "usage: stepwright_rows --engine 9|85|xml OUTDIR DEFINITION.xml...\n");
        return 2;
    }
    const QString engineName = args.at(2);
    const QDir out(args.at(3));
    if (!QDir().mkpath(out.path())) return 2;
    const bool xml = engineName == QLatin1String("xml");
    const auto version =
        engineName == QLatin1String("85") ? engine::EngineVersion::V85 : engine::EngineVersion::V9;
    ApplicationFactory factory = [version] { return engine::CreateApplication(version); };
    if (xml) factory = [] { return std::make_shared<engine::XmlApplication>(); };

    int status = 0;
    for (int i = 4; i < args.size(); ++i) {
        const QFileInfo definition(args.at(i));
        const QString opened =
            xml ? definition.filePath()
                : definition.dir().filePath(definition.completeBaseName() + QStringLiteral(".rpt"));
        const testing::StepwrightDump dump = testing::DumpStepwright(factory, version, opened);
        QFile file(out.filePath(definition.completeBaseName() + QStringLiteral(".txt")));
        if (!file.open(QIODevice::WriteOnly) || file.write(dump.text.toUtf8()) < 0) status = 1;
        std::printf("stepwright_rows: %s: %lld lines, %lld boxes\n", qPrintable(definition.fileName()),
                    static_cast<long long>(dump.text.count(QLatin1Char('\n'))),
                    static_cast<long long>(dump.boxes.size()));
    }
    return status;
}

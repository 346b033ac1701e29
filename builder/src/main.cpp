// Stepwright9 and Stepwright85: the same program, built against version 9 or version 8.5 of the
// report engine's interfaces (TW_STEPWRIGHT_ENGINE is 9 or 85).
#include "tw/builder/dlg_stepwright.hpp"
#include "tw/builder/xml_engine.hpp"
#include "tw/common/platform_start.hpp"
#include "tw/common/widget_message_boxes.hpp"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    tw::PreparePlatform();
    QApplication app(argc, argv);
    tw::installWidgetMessageBoxes();

    tw::builder::ProgramInfo info;
#if TW_STEPWRIGHT_ENGINE == 85
    info.description = QStringLiteral("Stepwright For Crystal Reports 8.5");
    info.engineVersion = tw::builder::engine::EngineVersion::V85;
    QApplication::setApplicationName(QStringLiteral("Stepwright85"));
#else
    info.description = QStringLiteral("Stepwright For Crystal Reports 9");
    info.engineVersion = tw::builder::engine::EngineVersion::V9;
    QApplication::setApplicationName(QStringLiteral("Stepwright9"));
#endif
    info.major = TW_VERSION_MAJOR;
    info.minor = TW_VERSION_MINOR;
    info.revision = TW_VERSION_PATCH;

    const auto version = info.engineVersion;
    // Where the engine runtime is missing, report definitions still open through the XML reader.
    tw::builder::DlgStepwright dialog(
        info, [version] { return tw::builder::engine::CreateApplication(version); }, nullptr,
        [] { return std::make_shared<tw::builder::engine::XmlApplication>(); });
    dialog.show();
    // "Stepwright9 REPORT" opens REPORT at once, as Browse would.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1 && !arguments.at(1).isEmpty()) {
        const QString report = arguments.at(1);
        QTimer::singleShot(0, &dialog, [&dialog, report] { dialog.OpenReportFile(report); });
    }
    return app.exec();
}

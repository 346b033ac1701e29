// tracewell32: the trace viewer.

#include "tw/common/platform_start.hpp"
#include "tw/common/widget_message_boxes.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/startup.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    tw::PreparePlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tracewell"));
    QApplication::setApplicationVersion(QStringLiteral(TW_VERSION_STRING));
    QApplication::setQuitOnLastWindowClosed(false);
    tw::installWidgetMessageBoxes();
    auto form = tw::window::Main(app);
    return QApplication::exec();
}

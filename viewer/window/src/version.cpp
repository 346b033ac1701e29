#include "tw/window/version.hpp"

namespace tw::window {

QString VersionText(int major, int minor, int revision) {
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString ProgramVersionText() {
    return VersionText(TW_VERSION_MAJOR, TW_VERSION_MINOR, TW_VERSION_PATCH);
}

}  // namespace tw::window

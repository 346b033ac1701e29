#include "tw/common/platform_start.hpp"

#include <QByteArray>
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tw {

void PreparePlatform() {
#ifdef Q_OS_WIN
    // Wine's ntdll has this export; Windows' has not.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    if (wine && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("windows:fontengine=freetype"));
#endif
}

}  // namespace tw

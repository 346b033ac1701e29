#pragma once
// Windows reception for the Qt viewer: a native event filter that sees WM_COPYDATA arriving at
// the top-level window with the viewer's caption and hands each envelope on (to
// ReceiveEnvelope) before the window procedure returns. An envelope taken is answered with TRUE
// (the sender then needs no second look at the window); every other message, and a WM_COPYDATA
// that holds no envelope, goes on to Qt's own window procedure.

#include <QAbstractNativeEventFilter>
#include <QString>

#include <functional>
#include <string_view>

namespace tw::viewer {

class CopyDataFilter : public QAbstractNativeEventFilter {
  public:
    // onEnvelope gets the ANSI code-page bytes before the first zero byte (at most 1024).
    CopyDataFilter(QString caption, std::function<void(std::string_view)> onEnvelope);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    QString m_caption;
    void* m_window = nullptr;  // the window last seen to bear the caption
    std::function<void(std::string_view)> m_onEnvelope;
};

}  // namespace tw::viewer

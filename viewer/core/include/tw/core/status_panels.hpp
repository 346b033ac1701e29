#pragma once
// The status bar as the store writes it; the main window implements it over sbrStatus.

#include <QString>

namespace tw::viewer {

class StatusPanels {
public:
    virtual ~StatusPanels();
    // Panel 1: "n Messages." or the empty text.
    virtual void SetMessageCount(const QString& text) = 0;
    // Panel 2: "Ready." (listening, state picture 12) or "Stopped." (picture 13).
    virtual void SetListening(const QString& text, bool listening) = 0;
};

}  // namespace tw::viewer

#pragma once
// The three panels of the status bar sbrStatus, left to right: the message count, the
// listening state with its picture, and a third panel the program leaves empty.

#include <QString>
#include <array>

class QLabel;
class QStatusBar;

namespace tw::window {

class ImageList;

class StatusPanels {
public:
    static constexpr int kPanelCount = 3;

    // Adds the panels to bar (widths 2000, 1440 and 1440 twips); icons must outlive this object.
    StatusPanels(QStatusBar& bar, const ImageList& icons);

    // Text of a panel (1-based); out-of-range panels are ignored.
    void SetText(int panel, const QString& text);
    QString Text(int panel) const;
    // Picture of a panel, as an index into the icon list (0: none).
    void SetPicture(int panel, int imageIndex);
    int Picture(int panel) const;

private:
    struct Panel {
        QLabel* picture = nullptr;
        QLabel* text = nullptr;
        int imageIndex = 0;
    };
    Panel* At(int panel);
    const Panel* At(int panel) const;

    const ImageList& m_icons;
    std::array<Panel, kPanelCount> m_panels;
};

}  // namespace tw::window

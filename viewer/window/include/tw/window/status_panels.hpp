#pragma once
// The three panels of the status bar sbrStatus, left to right: the message count, the
// listening state with its picture, and a third panel the program leaves empty.
// Texts change with every stored message, so the labels are redrawn at most every
// kRedrawMs milliseconds; Text() always answers the latest text at once.

#include <QString>

#include <array>

class QLabel;
class QStatusBar;
class QTimer;

namespace tw::window {

class ImageList;

class StatusPanels {
public:
    static constexpr int kPanelCount = 3;
    static constexpr int kRedrawMs = 50;

    // Adds the panels to bar (widths 2000, 1440 and 1440 twips); icons must outlive this object.
    StatusPanels(QStatusBar& bar, const ImageList& icons);

    // Text of a panel (1-based); out-of-range panels are ignored. The label shows it within
    // kRedrawMs.
    void SetText(int panel, const QString& text);
    QString Text(int panel) const;
    // The text a panel's label shows right now.
    QString ShownText(int panel) const;
    // Shows the latest texts now.
    void Flush();
    // Picture of a panel, as an index into the icon list (0: none).
    void SetPicture(int panel, int imageIndex);
    int Picture(int panel) const;

private:
    struct Panel {
        QLabel* picture = nullptr;
        QLabel* label = nullptr;
        QString text;
        int imageIndex = 0;
    };
    Panel* At(int panel);
    const Panel* At(int panel) const;

    const ImageList& m_icons;
    std::array<Panel, kPanelCount> m_panels;
    QTimer* m_redraw = nullptr;  // single shot, runs Flush; owned by the status bar
};

}  // namespace tw::window

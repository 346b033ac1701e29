#pragma once
// The geometry of the main window in twips, without any widget: the minimum-size rule, the
// layout of the client area around the horizontal splitter, the fitting of the lower tab strip's
// pages, the splitter drag and the layout of the trace area. MainWindowLayout (layout.hpp) reads
// the window's sizes into it and puts the results on the widgets.
//
// All values are twips, single precision. "Scale" width and height are the client area (below the
// menu bar, toolbar and status bar included); the window's width and height are its outer size.

#include <array>

namespace tw::window {

// A control's rectangle in twips. Left and top of the main window's controls are relative to the
// client area; those of the lower panes are relative to tabWindows.
struct TwipRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

// Size setters behave like a control's properties: a negative value is refused and the control
// keeps its previous size. The layout ignores the refusal and carries on.
void SetWidth(TwipRect& rect, float width);
void SetHeight(TwipRect& rect, float height);

// A width or height below these jumps to kJumpSize.
inline constexpr float kMinWindowWidth = 3000;
inline constexpr float kMinWindowHeight = 4000;
inline constexpr float kJumpSize = 8000;

struct OuterSize {
    float width = 0;
    float height = 0;
    friend bool operator==(const OuterSize&, const OuterSize&) = default;
};

// The size the window must take: a dimension below its minimum becomes 8000, not the minimum.
OuterSize MinimumSizeRule(OuterSize outer);

class MainWindowGeometry {
public:
    // Every control at its designed place: client area 9120 x 6885, splitter at 3900.
    MainWindowGeometry();

    // ---- the window, as the caller measured it before a layout ----
    float width = 0;        // outer size
    float height = 0;
    float scaleWidth = 0;   // client area
    float scaleHeight = 0;

    // ---- the controls the layout places ----
    TwipRect picViewer;     // its top stays below the toolbar; the caller keeps it there
    TwipRect imgSplitterH;  // the splitter's hot zone; its top is the splitter position
    TwipRect picSplitterH;  // the bar shown while dragging
    bool picSplitterVisible = false;
    TwipRect tabWindows;
    TwipRect sbrStatus;     // only its top is set; the caller measures its height

    // ---- the lower tab strip's page controls, relative to tabWindows ----
    int currentPage = 0;    // 0 "Autos", 1 "Scratch", 2 "Watches"
    TwipRect tvwAutos;
    TwipRect lvwScratch;
    std::array<float, 2> scratchColumns{};  // "Id", "Scratch Message"
    TwipRect tvwWatch;
    TwipRect lvwWatch;
    std::array<float, 4> watchColumns{};    // "Object", "Expression", "Value", "Record Number"

    // ---- the trace area inside picViewer ----
    TwipRect tabViewer;     // relative to picViewer
    TwipRect traceTree;     // every trace tree, relative to tabViewer

    // True from a press on the splitter to its release.
    bool Moving() const { return m_moving; }
    // The splitter position the layout keeps.
    float SplitterPosition() const { return imgSplitterH.top; }

    // Lays the client area out with the splitter at y, after clamping it to 1500 from the top
    // and 1500 from the window's (outer) height; then fits the current page and places the
    // status bar at the bottom.
    void SizeControlsH(float y);
    // Fits the controls of the current page of tabWindows; other pages keep their sizes.
    void SizeTabPanes();

    // Splitter drag. offsetY is the pointer's vertical offset inside imgSplitterH; it may be
    // negative or beyond the zone while the button is held.
    void SplitterPress();
    void SplitterMove(float offsetY);
    void SplitterRelease();

    // The trace area for a picViewer of w x h: the tab set fills it but for 60 at the bottom,
    // each tree leaves 90 left, right and top and 450 below it for the row of page tabs.
    void SizeTraceArea(float w, float h);

private:
    bool m_moving = false;
};

}  // namespace tw::window

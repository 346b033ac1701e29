#include "tw/window/layout.hpp"

#include <QDockWidget>
#include <QEvent>
#include <QHeaderView>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QAbstractScrollArea>
#include <QTabWidget>
#include <QTreeView>

#include <cmath>

namespace tw::window {
namespace {

constexpr double kTwipsPerInch = 1440.0;

// Twips and pixels at the logical resolution of the window's screen.
struct Scale {
    double dpiX;
    double dpiY;
    int x(double twips) const { return int(std::lround(twips * dpiX / kTwipsPerInch)); }
    int y(double twips) const { return int(std::lround(twips * dpiY / kTwipsPerInch)); }
    float twipsX(int pixels) const { return float(pixels * kTwipsPerInch / dpiX); }
    float twipsY(int pixels) const { return float(pixels * kTwipsPerInch / dpiY); }
    // Edges are rounded, not sizes, so neighbouring controls meet without gaps.
    QRect rect(const TwipRect& r) const {
        const int left = x(r.left);
        const int top = y(r.top);
        return QRect(left, top, x(r.left + r.width) - left, y(r.top + r.height) - top);
    }
};

Scale ScaleOf(const QWidget& widget) {
    return Scale{double(widget.logicalDpiX()), double(widget.logicalDpiY())};
}

// A rectangle given relative to an ancestor, relative to a page inside it. Whatever would lie
// above or left of the page is cut off rather than hidden under the ancestor's tab row.
QRect IntoPage(QRect rect, const QWidget* page, const QWidget* ancestor) {
    rect.translate(-page->mapTo(ancestor, QPoint(0, 0)));
    if (rect.left() < 0) rect.setLeft(0);
    if (rect.top() < 0) rect.setTop(0);
    return rect;
}

// Lets a page's children be placed by hand: a layout of the page would move them back.
void ReleaseFromLayout(QWidget* page) {
    if (QLayout* layout = page->layout()) layout->setEnabled(false);
}

void SetColumnWidth(QTreeView* list, int column, int pixels) {
    if (pixels >= 0 && column < list->header()->count()) list->header()->resizeSection(column, pixels);
}

// True while a pane is docked beside the client area: the client is then narrower than the
// window and the controls take its width.
bool DockedBeside(const QMainWindow& window) {
    for (const QDockWidget* dock : window.findChildren<QDockWidget*>())
        if (dock->isVisibleTo(&window) && !dock->isFloating()) return true;
    return false;
}

bool IsTraceTree(const QObject* object) {
    return object->objectName() == QLatin1String("tvwViewer") ||
           object->objectName() == QLatin1String("tvwFilter");
}

}  // namespace

MainWindowLayout::MainWindowLayout(QMainWindow& window, const Controls& controls)
    : QObject(&window), m_window(window), m_controls(controls) {
    // The window may be made as small as the user likes; the minimum-size rule answers that.
    m_window.setMinimumSize(1, 1);
    m_window.installEventFilter(this);
    m_controls.imgSplitterH->installEventFilter(this);
    m_controls.picViewer->installEventFilter(this);
    m_controls.client->installEventFilter(this);
    ReleaseFromLayout(m_controls.picViewer);
    for (int page = 0; page < m_controls.tabWindows->count(); ++page) {
        ReleaseFromLayout(m_controls.tabWindows->widget(page));
        m_controls.tabWindows->widget(page)->installEventFilter(this);
    }
    // The lists' columns get the widths the layout gives them; none stretches on its own.
    m_controls.lvwScratch->header()->setStretchLastSection(false);
    m_controls.lvwWatch->header()->setStretchLastSection(false);
    // The hot zone lies under the lower tab strip, the bar over everything while dragged.
    m_controls.imgSplitterH->lower();
    connect(m_controls.tabWindows, &QTabWidget::currentChanged, this, [this] { SizeTabPanes(); });
}

void MainWindowLayout::Form_Resize() {
    Measure();
    if (!m_inResize) {
        const OuterSize now{m_geometry.width, m_geometry.height};
        const OuterSize wanted = MinimumSizeRule(now);
        if (!(wanted == now)) {
            // The frame around the client area stays as it is; only the window grows.
            const Scale s = ScaleOf(m_window);
            const QRect frame = m_window.frameGeometry();
            const int w = wanted.width == now.width ? m_window.width()
                                                     : s.x(wanted.width) - (frame.width() - m_window.width());
            const int h = wanted.height == now.height
                              ? m_window.height()
                              : s.y(wanted.height) - (frame.height() - m_window.height());
            m_inResize = true;
            m_window.resize(w, h);
            m_inResize = false;
            Measure();
        }
    }
    if (m_window.isMinimized()) return;
    float y = m_geometry.SplitterPosition();
    if (m_traceTakesHeight && m_lastScaleHeight > 0) y += m_geometry.scaleHeight - m_lastScaleHeight;
    m_lastScaleHeight = m_geometry.scaleHeight;
    SizeControlsH(y);
}

void MainWindowLayout::SizeControlsH(float y) {
    Measure();
    m_geometry.SizeControlsH(y);
    ApplyClient();
}

void MainWindowLayout::SizeTabPanes() {
    Measure();
    m_geometry.SizeTabPanes();
    ApplyTabPanes();
}

void MainWindowLayout::SizeTraceArea() {
    const Scale s = ScaleOf(m_window);
    m_geometry.SizeTraceArea(s.twipsX(m_controls.picViewer->width()), s.twipsY(m_controls.picViewer->height()));
    ApplyTraceArea();
}

void MainWindowLayout::imgSplitterH_MouseDown() {
    m_geometry.SplitterPress();
    ApplySplitterBar();
}

void MainWindowLayout::imgSplitterH_MouseMove(float offsetY) {
    if (!m_geometry.Moving()) return;
    Measure();
    m_geometry.SplitterMove(offsetY);
    ApplySplitterBar();
}

void MainWindowLayout::imgSplitterH_MouseUp() {
    Measure();
    m_geometry.SplitterRelease();
    ApplyClient();
}

bool MainWindowLayout::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == &m_window) {
        if (type == QEvent::Resize) Form_Resize();
        // Restoring a minimised window lays it out again even when its size did not change.
        if (type == QEvent::WindowStateChange && !m_window.isMinimized()) Form_Resize();
    } else if (watched == m_controls.imgSplitterH) {
        const Scale s = ScaleOf(m_window);
        if (type == QEvent::MouseButtonPress) {
            imgSplitterH_MouseDown();
            return true;
        }
        if (type == QEvent::MouseMove) {
            imgSplitterH_MouseMove(s.twipsY(int(std::lround(static_cast<QMouseEvent*>(event)->position().y()))));
            return true;
        }
        if (type == QEvent::MouseButtonRelease) {
            imgSplitterH_MouseUp();
            return true;
        }
    } else if (watched == m_controls.picViewer) {
        if (type == QEvent::Resize) SizeTraceArea();
    } else if (watched == m_controls.client) {
        // A docked pane came, went or changed its width.
        if (type == QEvent::Resize && !m_inResize && !m_window.isMinimized()) {
            SizeControlsH(m_geometry.SplitterPosition());
        }
    } else if (type == QEvent::Resize) {
        // A page of one of the tab sets got its final size: put its controls on it again.
        auto* page = static_cast<QWidget*>(watched);
        if (m_controls.tabWindows->indexOf(page) >= 0) {
            if (page == m_controls.tabWindows->currentWidget()) ApplyTabPanes();
        } else {
            ApplyTraceArea();
        }
    }
    return QObject::eventFilter(watched, event);
}

void MainWindowLayout::Measure() {
    const Scale s = ScaleOf(m_window);
    const QRect frame = m_window.frameGeometry();
    m_geometry.width = s.twipsX(frame.width());
    m_geometry.height = s.twipsY(frame.height());
    const QWidget* menu = m_window.menuWidget();
    const int menuBottom = menu && menu->isVisibleTo(&m_window) ? menu->geometry().bottom() + 1 : 0;
    m_geometry.scaleWidth = s.twipsX(DockedBeside(m_window) ? m_controls.client->width() : m_window.width());
    m_geometry.scaleHeight = s.twipsY(m_window.height() - menuBottom);
    // The window keeps the toolbar above the client controls and the status bar below them.
    m_geometry.picViewer.top = s.twipsY(m_controls.client->y() - menuBottom);
    m_geometry.sbrStatus.height =
        m_controls.sbrStatus->isVisibleTo(&m_window) ? s.twipsY(m_controls.sbrStatus->height()) : 0;
    m_geometry.currentPage = m_controls.tabWindows->currentIndex();
    // The user may have widened the "Id" column; the message column takes what is left.
    if (m_controls.lvwScratch->header()->count() > 0)
        m_geometry.scratchColumns[0] = s.twipsX(m_controls.lvwScratch->header()->sectionSize(0));
}

QRect MainWindowLayout::ClientToParent(const TwipRect& rect) const {
    const QWidget* menu = m_window.menuWidget();
    const int menuBottom = menu && menu->isVisibleTo(&m_window) ? menu->geometry().bottom() + 1 : 0;
    return ScaleOf(m_window).rect(rect).translated(-m_controls.client->x(), -(m_controls.client->y() - menuBottom));
}

void MainWindowLayout::ApplyClient() {
    m_controls.picViewer->setGeometry(ClientToParent(m_geometry.picViewer));
    m_controls.imgSplitterH->setGeometry(ClientToParent(m_geometry.imgSplitterH));
    m_controls.tabWindows->setGeometry(ClientToParent(m_geometry.tabWindows));
    ApplySplitterBar();
    ApplyTabPanes();
    // The status bar is kept at the bottom of the client area by the window itself, where the
    // geometry puts it too (scale height minus its height).
}

void MainWindowLayout::ApplySplitterBar() {
    m_controls.picSplitterH->setGeometry(ClientToParent(m_geometry.picSplitterH));
    m_controls.picSplitterH->setVisible(m_geometry.picSplitterVisible);
    if (m_geometry.picSplitterVisible) m_controls.picSplitterH->raise();
}

void MainWindowLayout::ApplyTabPanes() {
    QTabWidget* tabs = m_controls.tabWindows;
    QWidget* page = tabs->widget(m_geometry.currentPage);
    if (!page || m_geometry.currentPage != tabs->currentIndex()) return;
    const Scale s = ScaleOf(m_window);
    auto place = [&](QWidget* control, const TwipRect& rect) {
        control->setGeometry(IntoPage(s.rect(rect), page, tabs));
    };
    switch (m_geometry.currentPage) {
    case 0:
        place(m_controls.tvwAutos, m_geometry.tvwAutos);
        break;
    case 1:
        place(m_controls.lvwScratch, m_geometry.lvwScratch);
        SetColumnWidth(m_controls.lvwScratch, 1, s.x(m_geometry.scratchColumns[1]));
        break;
    case 2:
        place(m_controls.tvwWatch, m_geometry.tvwWatch);
        place(m_controls.lvwWatch, m_geometry.lvwWatch);
        for (int column = 0; column < 4; ++column)
            SetColumnWidth(m_controls.lvwWatch, column, s.x(m_geometry.watchColumns[std::size_t(column)]));
        break;
    default:
        break;
    }
}

void MainWindowLayout::ApplyTraceArea() {
    auto* tabViewer = m_controls.picViewer->findChild<QTabWidget*>(QStringLiteral("tabViewer"),
                                                                   Qt::FindDirectChildrenOnly);
    if (!tabViewer) return;
    const Scale s = ScaleOf(m_window);
    tabViewer->setGeometry(s.rect(m_geometry.tabViewer));
    const QRect tree = s.rect(m_geometry.traceTree);
    for (QAbstractScrollArea* view : tabViewer->findChildren<QAbstractScrollArea*>()) {
        if (!IsTraceTree(view)) continue;
        QWidget* page = view->parentWidget();
        ReleaseFromLayout(page);
        page->installEventFilter(this);
        view->setGeometry(IntoPage(tree, page, tabViewer));
    }
}

}  // namespace tw::window

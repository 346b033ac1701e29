#include "tw/window/status_panels.hpp"

#include "tw/window/image_list.hpp"
#include "tw/window/twips.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace tw::window {

StatusPanels::StatusPanels(QStatusBar& bar, const ImageList& icons) : m_icons(icons) {
    constexpr int kWidthsTwips[kPanelCount] = {2000, 1440, 1440};
    for (int i = 0; i < kPanelCount; ++i) {
        auto* frame = new QFrame(&bar);
        frame->setObjectName(QStringLiteral("sbrStatusPanel%1").arg(i + 1));
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setFrameShadow(QFrame::Sunken);
        auto* layout = new QHBoxLayout(frame);
        layout->setContentsMargins(2, 0, 2, 0);
        layout->setSpacing(3);
        Panel& p = m_panels[static_cast<std::size_t>(i)];
        p.picture = new QLabel(frame);
        p.picture->setFixedSize(16, 16);
        p.picture->hide();
        p.label = new QLabel(frame);
        p.label->setTextFormat(Qt::PlainText);
        layout->addWidget(p.picture);
        layout->addWidget(p.label, 1);
        // A panel keeps its size whatever it shows: a new text repaints the panel without
        // laying out the status bar and the window around it again, many times a second
        // while messages arrive. The state panel is wide enough for its longest state with
        // its picture; the last panel takes the rest of the bar (its texts are the longest,
        // and change seldom), its text never widening the window.
        int width = TwipsToPixelsX(kWidthsTwips[i], &bar);
        if (i == 1) {
            const int longest = p.label->fontMetrics().horizontalAdvance(QStringLiteral("Not receiving."));
            width = std::max(width, longest + 16 + layout->spacing() + 4 + 2 * frame->frameWidth() + 8);
        }
        if (i == kPanelCount - 1) {
            frame->setMinimumWidth(width);
            p.label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        } else {
            frame->setFixedWidth(width);
        }
        frame->setFixedHeight(frame->sizeHint().height());
        bar.addWidget(frame, i == kPanelCount - 1 ? 1 : 0);
    }
    m_redraw = new QTimer(&bar);
    m_redraw->setSingleShot(true);
    m_redraw->setInterval(kRedrawMs);
    QObject::connect(m_redraw, &QTimer::timeout, &bar, [this] { Flush(); });
}

StatusPanels::Panel* StatusPanels::At(int panel) {
    if (panel < 1 || panel > kPanelCount) return nullptr;
    return &m_panels[static_cast<std::size_t>(panel - 1)];
}

const StatusPanels::Panel* StatusPanels::At(int panel) const {
    return const_cast<StatusPanels*>(this)->At(panel);
}

void StatusPanels::SetText(int panel, const QString& text) {
    Panel* p = At(panel);
    if (!p) return;
    // Copied into the panel's own text rather than shared: a caller that rewrites its text
    // in place for every message then never has to allocate a new one (the panel's text
    // is shared with its label only from one redraw to the next change).
    p->text.resize(text.size());
    std::copy(text.cbegin(), text.cend(), p->text.begin());
    if (!m_redraw->isActive()) m_redraw->start();
}

QString StatusPanels::Text(int panel) const {
    const Panel* p = At(panel);
    return p ? p->text : QString();
}

QString StatusPanels::ShownText(int panel) const {
    const Panel* p = At(panel);
    return p ? p->label->text() : QString();
}

void StatusPanels::Flush() {
    m_redraw->stop();
    for (Panel& p : m_panels) {
        if (p.label->text() == p.text) continue;
        p.label->setText(p.text);
        // The panels keep their widths, so a long text is cut: the whole of it on hovering.
        p.label->setToolTip(p.text.isEmpty() ? QString() : QStringLiteral("<qt>%1</qt>").arg(p.text.toHtmlEscaped()));
    }
}

void StatusPanels::SetPicture(int panel, int imageIndex) {
    Panel* p = At(panel);
    if (!p) return;
    const QPixmap picture = m_icons.Picture(imageIndex);
    p->imageIndex = picture.isNull() ? 0 : imageIndex;
    p->picture->setPixmap(picture);
    p->picture->setVisible(!picture.isNull());
    Flush();  // the state picture and its text change together
}

int StatusPanels::Picture(int panel) const {
    const Panel* p = At(panel);
    return p ? p->imageIndex : 0;
}

}  // namespace tw::window

#pragma once
// An ordered list of small pictures addressed by a 1-based index, as the toolbar, the status
// bar and the panes refer to them; index 0 (or any index out of range) means no picture.

#include <QIcon>
#include <QPixmap>

#include <vector>

namespace tw::window {

class ImageList {
public:
    // Appends a picture; it gets the index Count() afterwards.
    void Add(const QPixmap& picture);
    // Number of pictures held.
    int Count() const { return static_cast<int>(m_pictures.size()); }
    // The picture at a 1-based index, or a null pixmap for 0 and indices out of range.
    QPixmap Picture(int index) const;
    // The same picture as an icon (null icon when there is none).
    QIcon Icon(int index) const;

private:
    std::vector<QPixmap> m_pictures;
};

// Indices into the main window's icon list imgIcons. 2, 12, 13, 20 and 31 to 33 are fixed by
// the panes that use them; the others are this window's own choice.
namespace icons {
enum : int {
    Open = 1,
    WatchRoot = 2,
    Save = 3,
    Print = 4,
    Start = 5,
    Stop = 6,
    Find = 7,
    FindNext = 8,
    GotoRec = 9,
    Filter = 10,
    Watch = 11,
    Ready = 12,
    Stopped = 13,
    Checkpoint = 14,
    First = 15,
    Previous = 16,
    Next = 17,
    Last = 18,
    Autos = 19,
    Value = 20,
    RecordNumber = 31,
    Expression = 32,
    Object = 33,
    Count = 33
};
}  // namespace icons

// Draws the main window's icon list (16 x 16 pictures with transparent backgrounds).
ImageList MakeMainIcons();

}  // namespace tw::window

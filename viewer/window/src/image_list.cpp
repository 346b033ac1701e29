#include "tw/window/image_list.hpp"

namespace tw::window {

void ImageList::Add(const QPixmap& picture) {
    m_pictures.push_back(picture);
}

QPixmap ImageList::Picture(int index) const {
    if (index < 1 || index > Count()) return {};
    return m_pictures[static_cast<std::size_t>(index - 1)];
}

QIcon ImageList::Icon(int index) const {
    const QPixmap picture = Picture(index);
    return picture.isNull() ? QIcon() : QIcon(picture);
}

}  // namespace tw::window

#include "tw/common/widget_message_boxes.hpp"

#include <QApplication>
#include <QMessageBox>

#include "tw/common/common.hpp"

namespace tw {
namespace {

class WidgetMessageBoxes final : public MessageBoxService {
public:
    void Show(const QString& prompt, const QString& caption, BoxIcon icon) override {
        QMessageBox box(icon == BoxIcon::Warning ? QMessageBox::Warning : QMessageBox::Information, caption,
                        prompt, QMessageBox::Ok, QApplication::activeWindow());
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    }
};

}  // namespace

void installWidgetMessageBoxes() {
    static WidgetMessageBoxes boxes;
    setDefaultMessageBoxes(&boxes);
}

}  // namespace tw

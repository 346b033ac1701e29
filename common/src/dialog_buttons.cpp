#include "tw/common/dialog_buttons.hpp"

#include <QHBoxLayout>
#include <QPushButton>

namespace tw {

QHBoxLayout* MakeOkCancelRow(QWidget* dialog, QPushButton* (&buttons)[2]) {
    const QString captions[2] = {QStringLiteral("&OK"), QStringLiteral("&Cancel")};
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (int i = 0; i < 2; ++i) {
        buttons[i] = new QPushButton(captions[i], dialog);
        buttons[i]->setObjectName(QStringLiteral("btnCmd"));
        buttons[i]->setProperty("index", i);
        row->addWidget(buttons[i]);
    }
    buttons[0]->setDefault(true);
    return row;
}

}  // namespace tw

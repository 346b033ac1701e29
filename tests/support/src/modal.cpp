#include "tw/testing/modal.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

namespace tw::test {

void OnNextModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

ModalWatch::ModalWatch() {
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [this] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++shown;
            dialog->reject();
        }
    });
    timer->start();
    m_timer = timer;
}

ModalWatch::~ModalWatch() { delete m_timer; }

void ClickButton(QWidget* dialog, int index) {
    for (auto* button : dialog->findChildren<QAbstractButton*>(QStringLiteral("btnCmd")))
        if (button->property("index").toInt() == index) {
            button->click();
            return;
        }
}

}  // namespace tw::test

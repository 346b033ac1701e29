#include "tw/panes/watch_dialog.hpp"

#include "tw/common/common.hpp"
#include "tw/common/dialog_buttons.hpp"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <exception>

namespace tw::viewer {

// ---------------------------------------------------------------- ObjectNameCombo

void ObjectNameCombo::Refill() {
    const QString typed = currentText();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ErrorInfo error;
    try {
        clear();
        if (m_source) addItems(m_source());
    } catch (const AppError& e) {
        error = e.info();
    } catch (const std::exception& e) {
        error = {5, QString::fromLocal8Bit(e.what())};
    }
    QGuiApplication::restoreOverrideCursor();
    setEditText(typed);
    if (error.number != 0) ShowErrors(DlgWatch::ProgramTitle(), nullptr, error);
}

void ObjectNameCombo::showPopup() {
    Refill();
    QComboBox::showPopup();
}

// ---------------------------------------------------------------- DlgWatch

DlgWatch::DlgWatch(ObjectNameCombo::Source names, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlgWatch"));
    setWindowTitle(QStringLiteral("Watch"));
    setModal(true);

    auto* fraExpression = new QGroupBox(QStringLiteral("Watch Expression"), this);
    fraExpression->setObjectName(QStringLiteral("fraExpression"));

    auto* lblObject = new QLabel(QStringLiteral("&Object Name:"), fraExpression);
    lblObject->setObjectName(QStringLiteral("lblObject"));
    m_cboObjects = new ObjectNameCombo(fraExpression);
    m_cboObjects->setObjectName(QStringLiteral("cboObjects"));
    m_cboObjects->setEditable(true);
    m_cboObjects->setInsertPolicy(QComboBox::NoInsert);
    m_cboObjects->setMinimumContentsLength(24);
    m_cboObjects->SetSource(std::move(names));
    lblObject->setBuddy(m_cboObjects);

    auto* lblValue = new QLabel(QStringLiteral("&Value:"), fraExpression);
    lblValue->setObjectName(QStringLiteral("lblValue"));
    m_txtValue = new QLineEdit(fraExpression);
    m_txtValue->setObjectName(QStringLiteral("txtValue"));
    lblValue->setBuddy(m_txtValue);

    auto* operators = new QHBoxLayout();
    for (int i = 0; i < 7; ++i) {
        const QString op = WatchOperators()[i];
        auto* button = new QRadioButton(op, fraExpression);
        button->setObjectName(QStringLiteral("optOper"));
        button->setProperty("index", i);
        button->setProperty("tag", op);
        operators->addWidget(button);
        m_optOper[i] = button;
    }
    m_optOper[0]->setChecked(true);

    auto* grid = new QGridLayout(fraExpression);
    grid->addWidget(lblObject, 0, 0);
    grid->addWidget(m_cboObjects, 0, 1);
    grid->addLayout(operators, 1, 0, 1, 2);
    grid->addWidget(lblValue, 2, 0);
    grid->addWidget(m_txtValue, 2, 1);

    m_chkPause = new QCheckBox(QStringLiteral("&Pause the report when this watch catches"), this);
    m_chkPause->setObjectName(QStringLiteral("chkPause"));

    QHBoxLayout* buttons = MakeOkCancelRow(this, m_btnCmd);
    m_btnCmd[0]->setAutoDefault(true);
    connect(m_btnCmd[0], &QPushButton::clicked, this, &DlgWatch::OnOK);
    connect(m_btnCmd[1], &QPushButton::clicked, this, &DlgWatch::OnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraExpression);
    layout->addWidget(m_chkPause);
    layout->addLayout(buttons);
}

bool DlgWatch::PauseOnCatch() const { return m_dialogOK && m_chkPause->isChecked(); }

bool DlgWatch::ShowModal() {
    exec();
    return m_dialogOK;
}

bool DlgWatch::CheckInput(QStringList& errors) const {
    if (m_cboObjects->currentText().trimmed().isEmpty())
        AddError(QString(), QStringLiteral("Watch Expression requires an Object Name."), errors);
    if (m_txtValue->text().trimmed().isEmpty())
        AddError(QString(), QStringLiteral("Watch Expression requires an Object Value."), errors);
    return errors.isEmpty();
}

void DlgWatch::OnOK() {
    ErrorList errors;
    if (!CheckInput(errors)) {
        ShowErrors(ProgramTitle(), &errors);
        return;  // the dialog stays open with its contents
    }
    QString op;
    for (QRadioButton* button : m_optOper) {
        if (button->isChecked()) {
            op = button->property("tag").toString();
            break;
        }
    }
    m_watch = Watch::Make(m_cboObjects->currentText(), op, m_txtValue->text());
    m_dialogOK = true;
    done(QDialog::Accepted);  // hides the dialog; it keeps its input for the next use
}

void DlgWatch::OnCancel() {
    m_watch.reset();
    m_dialogOK = false;
    done(QDialog::Rejected);
}

void DlgWatch::reject() { OnCancel(); }

}  // namespace tw::viewer

#pragma once
// dlgFilter, "Create Filter": describes a filter and builds it. The main window makes a new
// dialog for every filter and deletes it afterwards, so each starts from the same state:
// nothing typed, no type ticked, "Highlight" chosen with light green.

#include "tw/core/trace_tree.hpp"
#include "tw/display/filter.hpp"

#include <QDialog>

#include <memory>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tw::viewer {

class DlgFilter : public QDialog {
    Q_OBJECT
public:
    explicit DlgFilter(QWidget* owner = nullptr);
    ~DlgFilter() override;

    // The filter built by OK; nullptr after Cancel or while none was built.
    const viewer::Filter* Filter() const { return m_filter.get(); }

    // The swatch's colour (picColour), 0x00BBGGRR.
    Colour SwatchColour() const { return m_colour; }
    void SetSwatchColour(Colour colour);

    // btnCmd(0) "&OK" and btnCmd(1) "&Cancel".
    QPushButton* Button(int index) const;

protected:
    // Escape and the window's close button count as Cancel.
    void reject() override;

private:
    void btnCmd_Click(int index);
    void cmdColour_Click();

    QGroupBox* m_fraTypes;
    QCheckBox* m_chkType[5];
    QLineEdit* m_txtString;
    QCheckBox* m_chkCase;
    QLineEdit* m_txtFrom;
    QLineEdit* m_txtTo;
    QRadioButton* m_optView[2];
    QFrame* m_picColour;
    QPushButton* m_cmdColour;
    QLineEdit* m_txtName;
    QPushButton* m_btnCmd[2];
    Colour m_colour = kDefaultFilterColour;
    std::unique_ptr<viewer::Filter> m_filter;
};

// 0x00BBGGRR from a colour and back.
Colour ColourFromQColor(const QColor& colour);
QColor QColorFromColour(Colour colour);

}  // namespace tw::viewer

#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmr::sibling {

// The bitmap name dialog: asks for the name under which a bitmap seal is saved into the Velmor
// program's folder. Lives for one registration.
class TBmpSaveForm final : public QDialog
{
    Q_OBJECT
public:
    explicit TBmpSaveForm(QWidget* parent = nullptr);

    QLabel* Label1() const { return label1_; }
    QLabel* Label2() const { return label2_; }
    QLabel* Label3() const { return label3_; }
    QLineEdit* Edit() const { return edit_; }
    QPushButton* Button1() const { return button1_; }
    QPushButton* Button2() const { return button2_; }

    // OK: closes the dialog when the Velmor program can open a file of the typed name, and
    // otherwise says why and stays open.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* label1_;
    QLabel* label3_;
    QLineEdit* edit_;
    QLabel* label2_;
    QPushButton* button2_;
    QPushButton* button1_;
};

} // namespace velmr::sibling

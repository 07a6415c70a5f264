#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

namespace velmr::sibling {

// The notice shown when the Velmor program is not found: its functions cannot be used.
class TMessageForm final : public QDialog
{
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* parent = nullptr);

    QFrame* Panel1() const { return panel1_; }
    QLabel* Label1() const { return label1_; }
    QLabel* Label2() const { return label2_; }
    QPushButton* Button1() const { return button1_; }

    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QFrame* panel1_;
    QLabel* label1_;
    QLabel* label2_;
    QPushButton* button1_;
};

} // namespace velmr::sibling

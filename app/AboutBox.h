#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace velmr::app {

// The version box "ﾊﾞｰｼﾞｮﾝ情報".
class TAboutBox final : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* ProductName() const { return productName_; }
    QLabel* Version() const { return version_; }
    QPushButton* OKButton() const { return okButton_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* productName_;
    QLabel* version_;
    QPushButton* okButton_;
};

} // namespace velmr::app

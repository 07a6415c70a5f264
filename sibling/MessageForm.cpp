#include "sibling/MessageForm.h"

#include "platform/SealFonts.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace velmr::sibling {

TMessageForm::TMessageForm(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      panel1_(new QFrame(this)),
      label1_(new QLabel(QStringLiteral("瑠環印鑑が見つかりませんので、瑠環印鑑"), panel1_)),
      label2_(new QLabel(QStringLiteral("の機能を利用する操作は行えません。"), panel1_)),
      button1_(new QPushButton(QStringLiteral("OK"), this))
{
    setObjectName(QStringLiteral("MessageForm"));
    setWindowTitle(QStringLiteral("瑠環印影マネージャー"));
    setFixedSize(278, 102);
    QFont font(platform::PlatformFaceFor(QStringLiteral("ＭＳ Ｐゴシック")));
    font.setPixelSize(12);
    setFont(font);

    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setGeometry(8, 8, 261, 61);
    panel1_->setFrameShape(QFrame::Panel);
    panel1_->setFrameShadow(QFrame::Sunken);
    panel1_->hide();
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->move(16, 16);
    label1_->adjustSize();
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->move(16, 36);
    label2_->adjustSize();

    button1_->setObjectName(QStringLiteral("Button1"));
    button1_->setGeometry(108, 76, 69, 21);
    button1_->setDefault(true);
    connect(button1_, &QPushButton::clicked, this, &TMessageForm::Button1Click);
}

void TMessageForm::Button1Click()
{
    accept();
}

void TMessageForm::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    QDialog::showEvent(event);
}

} // namespace velmr::sibling

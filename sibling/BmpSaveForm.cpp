#include "sibling/BmpSaveForm.h"

#include "platform/SealFonts.h"
#include "platform/UserDialogs.h"
#include "sibling/RegisterSeals.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace velmr::sibling {
namespace {

QLabel* MakeLabel(const char* name, const QString& text, const QRect& geometry, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

} // namespace

TBmpSaveForm::TBmpSaveForm(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      label1_(MakeLabel("Label1",
                        QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟ印として保存するファイル名を指定します。"),
                        QRect(8, 8, 265, 17), this)),
      label3_(MakeLabel("Label3", QStringLiteral("ﾄﾞﾗｲﾌﾞ名、ﾌｫﾙﾀﾞｰ名及び拡張子の入力は不要です。"),
                        QRect(8, 24, 265, 17), this)),
      edit_(new QLineEdit(this)),
      label2_(MakeLabel("Label2", QStringLiteral("この名前で瑠環印鑑のﾌｫﾙﾀﾞｰに保存されます"),
                        QRect(20, 68, 241, 17), this)),
      button2_(new QPushButton(QStringLiteral("キャンセル"), this)),
      button1_(new QPushButton(QStringLiteral("ＯＫ"), this))
{
    setObjectName(QStringLiteral("BmpSaveForm"));
    setWindowTitle(QStringLiteral("瑠環印鑑"));
    setFixedSize(276, 119);
    QFont font(platform::PlatformFaceFor(QStringLiteral("ＭＳ Ｐゴシック")));
    font.setPixelSize(12);
    setFont(font);

    edit_->setObjectName(QStringLiteral("Edit"));
    edit_->setGeometry(68, 44, 133, 20);
    button2_->setObjectName(QStringLiteral("Button2"));
    button2_->setGeometry(100, 92, 81, 21);
    button1_->setObjectName(QStringLiteral("Button1"));
    button1_->setGeometry(188, 92, 81, 21);
    button1_->setDefault(true);
    connect(button1_, &QPushButton::clicked, this, &QDialog::accept);
    connect(button2_, &QPushButton::clicked, this, &QDialog::reject);

    // The name is the first control in the tab order and has the focus when the dialog opens.
    setTabOrder(edit_, button2_);
    setTabOrder(button2_, button1_);
    edit_->setFocus();
}

void TBmpSaveForm::accept()
{
    const QString problem = BitmapNameProblem(edit_->text());
    if (!problem.isEmpty()) {
        platform::ShowMessage(this, kVelmorCaption, problem);
        edit_->setFocus();
        return;
    }
    QDialog::accept();
}

void TBmpSaveForm::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    QDialog::showEvent(event);
    edit_->setFocus();
}

} // namespace velmr::sibling

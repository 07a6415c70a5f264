#include "platform/ExportForm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velmr::platform {
namespace {

const QString kDayFormat = QStringLiteral("yyyy/MM/dd");

QString Size(const QSizeF& mm)
{
    return QStringLiteral("%1 × %2 mm")
        .arg(QString::number(mm.width(), 'f', 1), QString::number(mm.height(), 'f', 1));
}

} // namespace

QString BadDayMessage(const QDate& first, const QDate& last)
{
    return QStringLiteral("日付は %1 から %2 までの正しい日付を入力してください。")
        .arg(first.toString(kDayFormat), last.toString(kDayFormat));
}

ExportForm::ExportForm(const ExportOptionsRequest& request, QWidget* parent)
    : QDialog(parent), request_(request)
{
    setObjectName(QStringLiteral("ExportForm"));
    setWindowTitle(QStringLiteral("書き出し"));
    auto* form = new QFormLayout;

    // The frame as the editing panel measures it, and the picture that is written.
    if (!request.frameMm.isEmpty()) {
        auto* frame = new QLabel(Size(request.frameMm), this);
        frame->setObjectName(QStringLiteral("FrameLabel"));
        form->addRow(QStringLiteral("枠の大きさ"), frame);
    }
    auto* size = new QLabel(Size(request.sizeMm), this);
    size->setObjectName(QStringLiteral("SizeLabel"));
    form->addRow(QStringLiteral("画像の大きさ"), size);

    formats_ = new QButtonGroup(this);
    auto* formatRow = new QVBoxLayout;
    const struct
    {
        ExportFormat format;
        const char* name;
        QString caption;
    } formats[] = {
        {ExportFormat::Png, "PngButton", QStringLiteral("PNG(&P)：背景の透明な画像")},
        {ExportFormat::Svg, "SvgButton", QStringLiteral("SVG(&S)：拡大しても滑らかな図形")},
        {ExportFormat::Pdf, "PdfButton", QStringLiteral("PDF(&D)：印の大きさの 1 ページ")},
    };
    for (const auto& f : formats) {
        auto* button = new QRadioButton(f.caption, this);
        button->setObjectName(QLatin1String(f.name));
        button->setEnabled(f.format == ExportFormat::Png || !request.pictureOnly);
        formats_->addButton(button, int(f.format));
        formatRow->addWidget(button);
    }
    formats_->button(int(ExportFormat::Png))->setChecked(true);
    form->addRow(QStringLiteral("形式"), formatRow);

    resolution_ = new QComboBox(this);
    resolution_->setObjectName(QStringLiteral("ResolutionBox"));
    if (!request.pictureOnly) {
        for (int dpi : {300, 600, 1200})
            resolution_->addItem(QStringLiteral("%1 dpi").arg(dpi), dpi);
    }
    resolution_->addItem(QStringLiteral("印の解像度（%1 dpi）").arg(request.ownDpi), 0);
    resolution_->setCurrentIndex(request.pictureOnly ? 0 : 1);
    resolution_->setEnabled(!request.pictureOnly);
    form->addRow(QStringLiteral("解像度(&R)"), resolution_);

    if (request.asksDay) {
        dayEdit_ = new QDateEdit(this);
        dayEdit_->setObjectName(QStringLiteral("DayEdit"));
        dayEdit_->setDisplayFormat(kDayFormat);
        dayEdit_->setDateRange(request.firstDay, request.lastDay);
        dayEdit_->setCalendarPopup(true);
        dayEdit_->setDate(request.day);
        form->addRow(QStringLiteral("印字する日付(&T)"), dayEdit_);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ExportForm::reject);
    connect(formats_, &QButtonGroup::idClicked, this, &ExportForm::FollowFormat);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FollowFormat();
}

void ExportForm::FollowFormat()
{
    // The resolution is a PNG's only.
    resolution_->setEnabled(!request_.pictureOnly &&
                            formats_->checkedId() == int(ExportFormat::Png));
}

ExportOptionsChoice ExportForm::Choice() const
{
    ExportOptionsChoice choice;
    choice.format = ExportFormat(formats_->checkedId());
    choice.dpi = resolution_->currentData().toInt();
    choice.day = dayEdit_ ? dayEdit_->date() : request_.day;
    return choice;
}

void ExportForm::accept()
{
    if (dayEdit_ && !dayEdit_->hasAcceptableInput()) {
        ShowMessage(this, windowTitle(), BadDayMessage(request_.firstDay, request_.lastDay));
        dayEdit_->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace velmr::platform

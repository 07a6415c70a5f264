#include "platform/FontChooser.h"

#include "platform/Cp932.h"
#include "platform/SealFonts.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace velmr::platform {
namespace {

const QString kSampleText = QStringLiteral("印影 山田 Aa");
constexpr std::int64_t kSamplePoints = 24;
constexpr QSize kSampleSize(260, 56);

bool SameFace(const QString& a, const QString& b)
{
    return PlatformFaceFor(a).compare(PlatformFaceFor(b), Qt::CaseInsensitive) == 0;
}

} // namespace

FontFaceList FontChooserFaces(const QStringList& installedFamilies, const QString& recordFace)
{
    FontFaceList list;
    QStringList others;
    QStringList standIns;
    for (const QString& family : installedFamilies) {
        const QString face = WindowsFaceFor(family);
        const std::optional<std::size_t> bytes = cp932::EncodedLength(face);
        if (!bytes || *bytes > kLongestFaceBytes)
            continue; // no record could hold its name
        (face == family ? others : standIns) << face;
    }
    for (const QString& windowsFace : JapaneseWindowsFaces()) {
        if (standIns.contains(windowsFace))
            list.faces << windowsFace;
    }
    std::sort(others.begin(), others.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    for (const QString& face : others) {
        if (!list.faces.contains(face))
            list.faces << face;
    }

    list.current = int(list.faces.indexOf(recordFace));
    for (int i = 0; list.current < 0 && i < list.faces.size(); ++i) {
        if (SameFace(list.faces[i], recordFace))
            list.current = i;
    }
    if (list.current < 0) {
        list.faces.prepend(recordFace);
        list.current = 0;
    }
    return list;
}

QStringList JapaneseDesigns(const QStringList& families)
{
    // "Noto Serif CJK SC Black" beside "Noto Serif CJK JP Black": the same face drawn for
    // Chinese readers.
    static const QRegularExpression otherRegion(QStringLiteral("^(.* CJK )(?:HK|KR|SC|TC)( .*)?$"));
    QStringList designs;
    for (const QString& family : families) {
        const QRegularExpressionMatch match = otherRegion.match(family);
        if (match.hasMatch() &&
            families.contains(match.captured(1) + QStringLiteral("JP") + match.captured(2)))
            continue;
        designs << family;
    }
    return designs;
}

QStringList InstalledJapaneseFamilies()
{
    QStringList families;
    for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
        if (!QFontDatabase::isPrivateFamily(family))
            families << family;
    }
    return JapaneseDesigns(families);
}

FontChooser::FontChooser(const FontDialogChoice& initial, const QStringList& installedFamilies,
                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      initial_(initial), faces_(FontChooserFaces(installedFamilies, initial.face))
{
    setObjectName(QStringLiteral("FontChooser"));
    setWindowTitle(QStringLiteral("フォント"));

    auto* faceLabel = new QLabel(QStringLiteral("フォント名(&F):"), this);
    faceList_ = new QListWidget(this);
    faceList_->setObjectName(QStringLiteral("faceList"));
    faceList_->addItems(faces_.faces);
    faceList_->setCurrentRow(faces_.current);
    faceLabel->setBuddy(faceList_);

    auto* sizeLabel = new QLabel(QStringLiteral("サイズ(&S):"), this);
    sizeBox_ = new QSpinBox(this);
    sizeBox_->setObjectName(QStringLiteral("sizeBox"));
    // A size no button or chooser makes (from a file) is still shown as it is, and kept.
    sizeBox_->setRange(std::min<std::int32_t>(1, initial.points),
                       std::max(kLargestChooserPoints, initial.points));
    sizeBox_->setValue(initial.points);
    sizeBox_->setSuffix(QStringLiteral(" ポイント"));
    sizeLabel->setBuddy(sizeBox_);

    boldBox_ = new QCheckBox(QStringLiteral("太字(&B)"), this);
    boldBox_->setObjectName(QStringLiteral("boldBox"));
    boldBox_->setChecked(initial.bold);
    italicBox_ = new QCheckBox(QStringLiteral("斜体(&I)"), this);
    italicBox_->setObjectName(QStringLiteral("italicBox"));
    italicBox_->setChecked(initial.italic);

    auto* sampleLabel = new QLabel(QStringLiteral("見本"), this);
    sample_ = new QLabel(this);
    sample_->setObjectName(QStringLiteral("sample"));
    sample_->setFixedSize(kSampleSize);
    sample_->setFrameShape(QFrame::StyledPanel);

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("キャンセル"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));

    auto* style = new QVBoxLayout;
    style->addWidget(sizeLabel);
    style->addWidget(sizeBox_);
    style->addSpacing(8);
    style->addWidget(boldBox_);
    style->addWidget(italicBox_);
    style->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);

    auto* grid = new QGridLayout(this);
    grid->addWidget(faceLabel, 0, 0);
    grid->addWidget(faceList_, 1, 0);
    grid->addLayout(style, 1, 1);
    grid->addWidget(sampleLabel, 2, 0, 1, 2);
    grid->addWidget(sample_, 3, 0, 1, 2);
    grid->addLayout(buttons, 4, 0, 1, 2);
    faceList_->setMinimumSize(180, 160);

    // Below one point only the record's own size stays: the chooser makes no seal without text.
    connect(sizeBox_, &QSpinBox::valueChanged, this, [this](int value) {
        if (value < 1 && value != initial_.points)
            sizeBox_->setValue(1);
    });
    connect(faceList_, &QListWidget::currentRowChanged, this, &FontChooser::ShowSample);
    connect(boldBox_, &QCheckBox::toggled, this, &FontChooser::ShowSample);
    connect(italicBox_, &QCheckBox::toggled, this, &FontChooser::ShowSample);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    faceList_->setFocus();
    ShowSample();
}

FontDialogChoice FontChooser::Choice() const
{
    const int row = faceList_->currentRow();
    FontDialogChoice choice;
    choice.face = row == faces_.current || row < 0 ? initial_.face : faces_.faces.at(row);
    choice.points = sizeBox_->value();
    choice.bold = boldBox_->isChecked();
    choice.italic = italicBox_->isChecked();
    return choice;
}

void FontChooser::ShowSample()
{
    const FontDialogChoice choice = Choice();
    const auto style =
        static_cast<std::uint8_t>((choice.bold ? 0x01 : 0) | (choice.italic ? 0x02 : 0));
    QImage picture(kSampleSize, QImage::Format_RGB32);
    picture.fill(Qt::white);
    if (const auto font = MakeSealFont(choice.face, kSamplePoints, style, 96.0)) {
        QPainter painter(&picture);
        DrawSealText(painter, *font, QPoint(8, (kSampleSize.height() - font->TextHeight()) / 2),
                     kSampleText, Qt::black);
    }
    sample_->setPixmap(QPixmap::fromImage(picture));
}

} // namespace velmr::platform

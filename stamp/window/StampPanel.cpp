#include "stamp/window/StampPanel.h"

#include "platform/UserDialogs.h"
#include "stamp/window/PdfOpen.h"
#include "stamp/window/PdfWindow.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDateEdit>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cstring>
#include <variant>

namespace velmr::stamp {
namespace {

constexpr int kThumbnail = 32;

const QString kSealFileFilter = QStringLiteral(
    "印影ﾌｧｲﾙ (*.mkn;*.mkd;*.bmp;*.jpg;*.jpeg)|*.mkn;*.mkd;*.bmp;*.jpg;*.jpeg|認印書式ﾌｧｲﾙ "
    "(*.mkn)|*.mkn|日付印書式ﾌｧｲﾙ (*.mkd)|*.mkd|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|JPEGﾌｧｲﾙ "
    "(*.jpg;*.jpeg)|*.jpg;*.jpeg");

template <typename T> void AppendBytes(QByteArray& key, const T& value)
{
    key.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// What makes two seals the same: their records and day, or their picture.
QByteArray Fingerprint(const output::SealSource& source)
{
    QByteArray key;
    if (const auto* name = std::get_if<output::NameSeal>(&source)) {
        key.append('N');
        AppendBytes(key, name->record);
        AppendBytes(key, name->ex);
    } else if (const auto* date = std::get_if<output::DateSeal>(&source)) {
        key.append('D');
        AppendBytes(key, date->record);
        AppendBytes(key, date->ex);
        AppendBytes(key, date->day);
    } else if (const auto* bitmap = std::get_if<output::BitmapSeal>(&source)) {
        key.append('B');
        AppendBytes(key, bitmap->resolution);
        const QImage& picture = bitmap->picture;
        AppendBytes(key, picture.width());
        AppendBytes(key, picture.height());
        QCryptographicHash hash(QCryptographicHash::Sha1);
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(picture.constBits()),
                                    picture.sizeInBytes()));
        key.append(hash.result());
    }
    return key;
}

bool IsDateSeal(const output::SealSource& source)
{
    return std::holds_alternative<output::DateSeal>(source);
}

QDate ToQDate(const calendar::LocalDate& day)
{
    return QDate(day.year, day.month, day.day);
}

calendar::LocalDate ToLocalDate(const QDate& day)
{
    return {day.year(), day.month(), day.day()};
}

QString Millimetres(double mm)
{
    return QString::number(mm, 'f', 1);
}

} // namespace

QString SealSizeText(const output::SealArtwork& art)
{
    const QSizeF size = art.FrameSizeMm().value_or(art.SizeMm());
    if (std::abs(size.width() - size.height()) < 0.05)
        return QStringLiteral("印の大きさ： %1 mm").arg(Millimetres(size.width()));
    return QStringLiteral("印の大きさ： %1 × %2 mm")
        .arg(Millimetres(size.width()), Millimetres(size.height()));
}

StampPanel::StampPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("StampPanel"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setFixedSize(kWidth, kHeight);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(3, 2, 3, 4);
    column->setSpacing(4);
    // Headed as the seal panels are.
    auto* heading = new QLabel(QStringLiteral("PDFへの押印"), this);
    heading->setObjectName(QStringLiteral("StampHeading"));
    heading->setAlignment(Qt::AlignCenter);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    column->addWidget(heading);

    auto* sealBox = new QGroupBox(QStringLiteral("押す印"), this);
    auto* sealColumn = new QVBoxLayout(sealBox);
    sealColumn->setContentsMargins(4, 4, 4, 4);
    sealColumn->setSpacing(3);
    sealList_ = new QListWidget(sealBox);
    sealList_->setObjectName(QStringLiteral("SealList"));
    sealList_->setIconSize(QSize(kThumbnail, kThumbnail));
    sealList_->setSelectionMode(QAbstractItemView::SingleSelection);
    sealList_->setToolTip(QStringLiteral("開いている印影と、ファイルから選んだ印"));
    sealColumn->addWidget(sealList_, 1);
    fileButton_ = new QPushButton(QStringLiteral("ファイルから..."), sealBox);
    fileButton_->setObjectName(QStringLiteral("SealFromFile"));
    sealColumn->addWidget(fileButton_);
    sizeLabel_ = new QLabel(sealBox);
    sizeLabel_->setObjectName(QStringLiteral("StampSize"));
    sealColumn->addWidget(sizeLabel_);
    column->addWidget(sealBox, 1);

    auto* dayBox = new QGroupBox(QStringLiteral("日付印の日付"), this);
    auto* dayRow = new QHBoxLayout(dayBox);
    dayRow->setContentsMargins(4, 4, 4, 4);
    dayEdit_ = new QDateEdit(ToQDate(calendar::Today()), dayBox);
    dayEdit_->setObjectName(QStringLiteral("StampDay"));
    dayEdit_->setCalendarPopup(true);
    dayEdit_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dayEdit_->setDateRange(ToQDate(output::kFirstDay), ToQDate(output::kLastDay));
    dayRow->addWidget(dayEdit_);
    auto* todayButton = new QPushButton(QStringLiteral("今日"), dayBox);
    todayButton->setObjectName(QStringLiteral("StampToday"));
    dayRow->addWidget(todayButton);
    column->addWidget(dayBox);

    auto* placeBox = new QGroupBox(QStringLiteral("押し方"), this);
    auto* placeColumn = new QVBoxLayout(placeBox);
    placeColumn->setContentsMargins(4, 4, 4, 4);
    placeColumn->setSpacing(3);
    auto* rotationRow = new QHBoxLayout;
    rotationRow->addWidget(new QLabel(QStringLiteral("回転"), placeBox));
    rotation_ = new QSpinBox(placeBox);
    rotation_->setObjectName(QStringLiteral("StampRotation"));
    rotation_->setRange(0, 359);
    rotation_->setWrapping(true);
    rotation_->setSuffix(QStringLiteral("°"));
    rotation_->setToolTip(QStringLiteral("時計回りの角度（選んだ押印にも効きます）"));
    rotationRow->addWidget(rotation_, 1);
    placeColumn->addLayout(rotationRow);
    everyPage_ = new QCheckBox(QStringLiteral("全ページに押印"), placeBox);
    everyPage_->setObjectName(QStringLiteral("StampEveryPage"));
    everyPage_->setToolTip(QStringLiteral("クリックした位置と同じ位置に、すべてのページへ押す"));
    placeColumn->addWidget(everyPage_);
    removeButton_ = new QPushButton(QStringLiteral("取消"), placeBox);
    removeButton_->setObjectName(QStringLiteral("StampRemove"));
    removeButton_->setToolTip(QStringLiteral("選んだ押印を取り消す (Delete)"));
    removeButton_->setEnabled(false);
    placeColumn->addWidget(removeButton_);
    column->addWidget(placeBox);

    auto* hint = new QLabel(QStringLiteral("ページをクリックすると実物大で押印します。"
                                           "押印はドラッグで移動、ハンドルで回転。"),
                            this);
    hint->setObjectName(QStringLiteral("StampHint"));
    hint->setWordWrap(true);
    column->addWidget(hint);

    connect(sealList_, &QListWidget::currentRowChanged, this, &StampPanel::Choose);
    connect(fileButton_, &QPushButton::clicked, this, &StampPanel::ChooseFile);
    connect(dayEdit_, &QDateEdit::dateChanged, this, &StampPanel::DayChanged);
    connect(todayButton, &QPushButton::clicked, this,
            [this] { dayEdit_->setDate(ToQDate(calendar::Today())); });
    connect(rotation_, &QSpinBox::valueChanged, this, &StampPanel::RotationChanged);
    connect(everyPage_, &QCheckBox::toggled, this, &StampPanel::PushTool);
    connect(removeButton_, &QPushButton::clicked, this, [this] {
        if (PdfWindow* window = Window())
            window->RemoveSelected();
    });
}

StampPanel::~StampPanel() = default;

void StampPanel::SetOffers(std::function<std::vector<SealOffer>()> offers)
{
    offers_ = std::move(offers);
}

void StampPanel::Attach(PdfWindow* window)
{
    disconnect(selectionFollower_);
    window_ = window;
    if (window)
        selectionFollower_ =
            connect(window, &PdfWindow::SelectionChanged, this, &StampPanel::FollowSelection);
    FillList();
    FollowSelection();
}

void StampPanel::FillList()
{
    const QString kept = sealList_->currentItem() ? sealList_->currentItem()->text() : QString();
    shown_ = offers_ ? offers_() : std::vector<SealOffer>();
    shown_.insert(shown_.end(), files_.begin(), files_.end());
    const QSignalBlocker blocker(sealList_);
    sealList_->clear();
    int current = shown_.empty() ? -1 : 0;
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        auto* item = new QListWidgetItem(shown_[i].name, sealList_);
        item->setToolTip(shown_[i].name);
        const output::SealArtwork art(shown_[i].source);
        item->setIcon(QPixmap::fromImage(output::RenderThumbnail(art, kThumbnail)));
        if (shown_[i].name == kept)
            current = int(i);
    }
    sealList_->setCurrentRow(current);
    Choose();
}

std::shared_ptr<const output::SealArtwork> StampPanel::ArtworkFor(output::SealSource source)
{
    if (auto* date = std::get_if<output::DateSeal>(&source))
        date->day = ToLocalDate(dayEdit_->date());
    const QByteArray key = Fingerprint(source);
    auto found = artworks_.find(key);
    if (found == artworks_.end())
        found =
            artworks_.emplace(key, std::make_shared<const output::SealArtwork>(std::move(source)))
                .first;
    return found->second;
}

void StampPanel::Choose()
{
    const int row = sealList_->currentRow();
    chosen_.reset();
    bool dated = false;
    if (row >= 0 && row < int(shown_.size())) {
        chosen_ = ArtworkFor(shown_[std::size_t(row)].source);
        dated = IsDateSeal(shown_[std::size_t(row)].source);
    }
    dayEdit_->setEnabled(dated);
    sizeLabel_->setText(chosen_ ? SealSizeText(*chosen_)
                                : QStringLiteral("印影を開くか、ファイルから選んでください。"));
    sizeLabel_->setWordWrap(!chosen_);
    PushTool();
}

bool StampPanel::AddSealFile(const QString& path)
{
    const output::LoadedSeal loaded = output::LoadSealFile(path, ToLocalDate(dayEdit_->date()));
    if (!loaded.source) {
        platform::ShowMessage(window(), kPdfCaption, loaded.error);
        return false;
    }
    const QString name = QFileInfo(path).fileName();
    std::erase_if(files_, [&](const SealOffer& offer) { return offer.name == name; });
    files_.push_back({name, *loaded.source});
    FillList();
    const QList<QListWidgetItem*> items = sealList_->findItems(name, Qt::MatchExactly);
    if (!items.isEmpty())
        sealList_->setCurrentItem(items.constLast());
    return true;
}

void StampPanel::ChooseFile()
{
    platform::FileDialogRequest request;
    request.filter = kSealFileFilter;
    request.mustExist = true;
    if (const auto choice = platform::Dialogs().AskOpenFile(window(), request))
        AddSealFile(choice->path);
}

void StampPanel::DayChanged()
{
    Choose();
}

void StampPanel::RotationChanged(int degrees)
{
    if (PdfWindow* window = Window())
        window->RotateSelected(degrees);
    PushTool();
}

void StampPanel::FollowSelection()
{
    PdfWindow* window = Window();
    const std::optional<std::size_t> selected = window ? window->Model().Selection() : std::nullopt;
    removeButton_->setEnabled(selected.has_value());
    if (selected) {
        const QSignalBlocker blocker(rotation_);
        rotation_->setValue(int(std::lround(window->Model().Stamps()[*selected].rotationDeg)) %
                            360);
    }
}

void StampPanel::PushTool()
{
    if (PdfWindow* window = Window())
        window->SetTool({chosen_, double(rotation_->value()), everyPage_->isChecked()});
}

} // namespace velmr::stamp

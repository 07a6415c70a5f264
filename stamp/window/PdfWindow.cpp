#include "stamp/window/PdfWindow.h"

#include "platform/UserDialogs.h"
#include "seal/MdiChild.h"
#include "stamp/window/PdfOpen.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <poppler-qt6.h>

namespace velmr::stamp {
namespace {

// The zoom choices: the two fits, then the fixed steps.
constexpr int kFitWidthItem = 0;
constexpr int kFitPageItem = 1;
constexpr int kFirstStepItem = 2;

} // namespace

PdfWindow::PdfWindow(const QString& path, OpenedPdf opened, QWidget* parent)
    : QWidget(parent), caption_(path), password_(std::move(opened.password)),
      document_(std::move(opened.document))
{
    setObjectName(QStringLiteral("PdfWindow"));
    view_ = new PdfView(*document_, model_, this);
    BuildBar();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(findChild<QWidget*>(QStringLiteral("PdfBar")));
    layout->addWidget(view_, 1);
    setFocusProxy(view_);
    resize(640, 720);

    connect(view_, &PdfView::StampsChanged, this, &PdfWindow::StampsEdited);
    connect(view_, &PdfView::SelectionChanged, this, &PdfWindow::SelectionChanged);
    connect(view_, &PdfView::CurrentPageChanged, this, &PdfWindow::ShowPage);
    connect(view_, &PdfView::ZoomChanged, this, &PdfWindow::ShowZoom);

    // The zoom keys act wherever the focus is inside the window.
    const auto key = [this](QKeySequence sequence, auto action) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { view_->ZoomIn(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { view_->ZoomIn(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { view_->ZoomOut(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { view_->SetZoom(1.0); });
    ShowCaption();
    ShowPage(0);
    ShowZoom();
}

PdfWindow::~PdfWindow()
{
    // The view goes before the document and the stamps it shows, which are members and would
    // otherwise be gone while it is being taken down with the other children.
    disconnect(view_, nullptr, this, nullptr);
    delete view_;
}

std::unique_ptr<PdfWindow> PdfWindow::Open(QWidget* parent, const QString& path)
{
    std::optional<OpenedPdf> opened = OpenPdf(parent, path);
    if (!opened)
        return nullptr;
    return std::make_unique<PdfWindow>(QFileInfo(path).absoluteFilePath(), std::move(*opened));
}

int PdfWindow::PageCount() const
{
    return document_->numPages();
}

void PdfWindow::BuildBar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("PdfBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(4);
    previous_ = new QToolButton(bar);
    previous_->setObjectName(QStringLiteral("PreviousPage"));
    previous_->setArrowType(Qt::UpArrow);
    previous_->setToolTip(QStringLiteral("前のページ (PgUp)"));
    next_ = new QToolButton(bar);
    next_->setObjectName(QStringLiteral("NextPage"));
    next_->setArrowType(Qt::DownArrow);
    next_->setToolTip(QStringLiteral("次のページ (PgDn)"));
    pageBox_ = new QSpinBox(bar);
    pageBox_->setObjectName(QStringLiteral("PageNumber"));
    pageBox_->setRange(1, std::max(1, PageCount()));
    pageBox_->setKeyboardTracking(false);
    pageCount_ = new QLabel(bar);
    pageCount_->setObjectName(QStringLiteral("PageCount"));
    zoomBox_ = new QComboBox(bar);
    zoomBox_->setObjectName(QStringLiteral("Zoom"));
    zoomBox_->addItem(QStringLiteral("幅に合わせる"));
    zoomBox_->addItem(QStringLiteral("ページに合わせる"));
    for (double step : kZoomSteps)
        zoomBox_->addItem(QStringLiteral("%1 %").arg(std::lround(step * 100)));
    zoomBox_->setToolTip(QStringLiteral("表示倍率 (Ctrl++ / Ctrl+- / Ctrl+0)"));
    row->addWidget(previous_);
    row->addWidget(next_);
    row->addWidget(new QLabel(QStringLiteral("ページ"), bar));
    row->addWidget(pageBox_);
    row->addWidget(pageCount_);
    row->addSpacing(12);
    row->addWidget(zoomBox_);
    row->addStretch(1);

    connect(previous_, &QToolButton::clicked, this,
            [this] { view_->GoToPage(view_->CurrentPage() - 1); });
    connect(next_, &QToolButton::clicked, this,
            [this] { view_->GoToPage(view_->CurrentPage() + 1); });
    connect(pageBox_, &QSpinBox::valueChanged, this, [this](int page) {
        if (page - 1 != view_->CurrentPage())
            view_->GoToPage(page - 1);
    });
    connect(zoomBox_, &QComboBox::activated, this, &PdfWindow::ChooseZoom);
}

void PdfWindow::ChooseZoom(int item)
{
    if (item == kFitWidthItem)
        view_->SetZoomMode(PdfView::ZoomMode::FitWidth);
    else if (item == kFitPageItem)
        view_->SetZoomMode(PdfView::ZoomMode::FitPage);
    else if (item >= kFirstStepItem && item < kFirstStepItem + int(std::size(kZoomSteps)))
        view_->SetZoom(kZoomSteps[item - kFirstStepItem]);
    ShowZoom();
    view_->setFocus();
}

void PdfWindow::ShowZoom()
{
    const QSignalBlocker blocker(zoomBox_);
    const double zoom = view_->Layout().Zoom();
    switch (view_->Mode()) {
    case PdfView::ZoomMode::FitWidth:
        zoomBox_->setCurrentIndex(kFitWidthItem);
        break;
    case PdfView::ZoomMode::FitPage:
        zoomBox_->setCurrentIndex(kFitPageItem);
        break;
    case PdfView::ZoomMode::Fixed:
        for (std::size_t i = 0; i < std::size(kZoomSteps); ++i) {
            if (std::abs(kZoomSteps[i] - zoom) < 1e-6)
                zoomBox_->setCurrentIndex(kFirstStepItem + int(i));
        }
        break;
    }
    zoomBox_->setToolTip(
        QStringLiteral("表示倍率 %1 % (Ctrl++ / Ctrl+- / Ctrl+0)").arg(std::lround(zoom * 100)));
}

void PdfWindow::ShowPage(int page)
{
    const QSignalBlocker blocker(pageBox_);
    pageBox_->setRange(1, std::max(1, PageCount()));
    pageBox_->setValue(page + 1);
    pageCount_->setText(QStringLiteral("/ %1").arg(PageCount()));
    previous_->setEnabled(page > 0);
    next_->setEnabled(page + 1 < PageCount());
}

void PdfWindow::ShowCaption()
{
    const bool modified = IsModified();
    setWindowTitle(seal::EscapedWindowTitle(caption_) + QStringLiteral("[*]"));
    setWindowModified(modified);
    // As the seal documents: the frame is given the title with the mark in place.
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        frame->setWindowTitle(seal::EscapedWindowTitle(caption_) +
                              (modified ? QStringLiteral("*") : QString()));
        frame->setWindowModified(false);
    }
}

void PdfWindow::StampsEdited()
{
    ShowCaption();
    Q_EMIT CommandStateChanged();
}

void PdfWindow::SetTool(StampTool tool)
{
    view_->SetTool(std::move(tool));
}

const StampTool& PdfWindow::Tool() const
{
    return view_->Tool();
}

void PdfWindow::Undo()
{
    model_.Undo();
    view_->ModelChanged();
    StampsEdited();
    Q_EMIT SelectionChanged();
}

void PdfWindow::Redo()
{
    model_.Redo();
    view_->ModelChanged();
    StampsEdited();
    Q_EMIT SelectionChanged();
}

void PdfWindow::RemoveSelected()
{
    if (const std::optional<std::size_t> selected = model_.Selection()) {
        model_.Remove(*selected);
        view_->ModelChanged();
        StampsEdited();
        Q_EMIT SelectionChanged();
    }
}

void PdfWindow::RotateSelected(double degrees)
{
    if (const std::optional<std::size_t> selected = model_.Selection()) {
        model_.Rotate(*selected, degrees);
        view_->ModelChanged();
        StampsEdited();
    }
}

QString PdfWindow::StampedName(const QString& original)
{
    const QFileInfo info(original);
    const QString name = info.fileName();
    const bool pdf = name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    const QString base = pdf ? name.left(name.size() - 4) : name;
    return base + QStringLiteral("_押印.pdf");
}

bool PdfWindow::Save()
{
    const QFileInfo original(caption_);
    platform::FileDialogRequest request;
    request.filter = QStringLiteral("PDFﾌｧｲﾙ (*.pdf)|*.pdf");
    request.fileName = StampedName(caption_);
    request.directory = original.absolutePath();
    const auto choice = platform::Dialogs().AskSaveFile(window(), request);
    if (!choice)
        return false;
    QString path = QFileInfo(choice->path).absoluteFilePath();
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    const QFileInfo target(path);
    if (target.exists()) {
        const bool same = target.canonicalFilePath() == original.canonicalFilePath();
        const QString question =
            same ? QStringLiteral("元の PDF ファイル %1 に押印を書き込みます。\n"
                                  "よろしいですか？")
                       .arg(QDir::toNativeSeparators(path))
                 : QStringLiteral("%1 は既に存在します。\n上書きしますか？")
                       .arg(QDir::toNativeSeparators(path));
        if (platform::Dialogs().ShowMessage(window(), kPdfCaption, question,
                                            platform::MessageButtons::OkCancel) !=
            platform::MessageResult::Ok)
            return false;
    }
    return SaveTo(path);
}

bool PdfWindow::SaveTo(const QString& path)
{
    if (model_.Stamps().empty()) {
        platform::ShowMessage(window(), kPdfCaption,
                              QStringLiteral("押印がありません。\nページをクリックして印を置いて"
                                             "から保存してください。"));
        return false;
    }
    if (const std::optional<QString> failure =
            StampPdfFile(caption_, password_, model_.Request(), path)) {
        platform::ShowMessage(window(), kPdfCaption, *failure);
        return false;
    }
    // The window goes on with the file written: the stamps are in its pages now.
    std::unique_ptr<Poppler::Document> written = ReopenPdf(path, password_);
    if (!written) {
        platform::ShowMessage(window(), kPdfCaption,
                              QStringLiteral("%1 に保存しましたが、読み直せませんでした。")
                                  .arg(QDir::toNativeSeparators(path)));
        return true;
    }
    const int page = view_->CurrentPage();
    model_.Clear();
    view_->SetDocument(*written);
    document_ = std::move(written);
    caption_ = QFileInfo(path).absoluteFilePath();
    view_->GoToPage(page);
    ShowCaption();
    Q_EMIT SelectionChanged();
    Q_EMIT CommandStateChanged();
    return true;
}

} // namespace velmr::stamp

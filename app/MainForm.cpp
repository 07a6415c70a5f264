#include "app/MainForm.h"

#include "app/AboutBox.h"
#include "app/Application.h"
#include "app/Glyphs.h"
#include "app/HelpWindow.h"
#include "app/SealExport.h"
#include "image/ImgKit.h"
#include "panel/ControlForm.h"
#include "platform/UserDialogs.h"
#include "seal/MdiChild.h"
#include "seal/SealFile.h"
#include "sibling/ImportSeals.h"
#include "sibling/OldDataFile.h"
#include "sibling/RegisterSeals.h"
#include "sibling/VelmorCheck.h"
#include "stamp/window/PdfWindow.h"
#include "stamp/window/StampPanel.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

namespace velmr::app {
namespace {

constexpr int kSpeedPanelHeight = 30;
constexpr int kButtonSize = 25;
constexpr int kButtonTop = 2;

// Colours of the number shown for a bitmap seal's picture, by its ColorType.
int ColoursShown(std::int32_t colorType)
{
    switch (colorType) {
    case 0:
        return 2;
    case 1:
    case 2:
        return 16;
    case 3:
    case 4:
        return 256;
    default:
        return 1600000;
    }
}

const char* const kLongHintProperty = "velmrLongHint";

const QString kOpenFilter =
    QStringLiteral("認印書式ﾌｧｲﾙ (*.mkn)|*.mkn|日付印書式ﾌｧｲﾙ (*.mkd)|*.mkd|ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ "
                   "(*.bmp)|*.bmp|JPEGﾌｧｲﾙ (*.jpg;*.jpeg)|*.jpg;*.jpeg"
                   "|PNGﾌｧｲﾙ (*.png)|*.png|TIFFﾌｧｲﾙ (*.tif;*.tiff)|*.tif;*.tiff"
                   "|WebPﾌｧｲﾙ (*.webp)|*.webp|PDFﾌｧｲﾙ (*.pdf)|*.pdf");
const QString kPdfFilter = QStringLiteral("PDFﾌｧｲﾙ (*.pdf)|*.pdf");

bool IsPdfPath(const QString& path)
{
    return seal::FileExtension(path) == QLatin1String(".pdf");
}

// The document windows of one kind, in the order they were opened.
template <class Window> QList<Window*> WindowsOf(const QMdiArea& area)
{
    QList<Window*> windows;
    for (QMdiSubWindow* frame : area.subWindowList(QMdiArea::CreationOrder)) {
        if (auto* window = qobject_cast<Window*>(frame->widget()))
            windows << window;
    }
    return windows;
}

// The active document window when it is of that kind.
template <class Window> Window* ActiveWindowOf(const QMdiArea& area)
{
    QMdiSubWindow* frame = area.currentSubWindow();
    return frame ? qobject_cast<Window*>(frame->widget()) : nullptr;
}

// The name a document window lists under in the window menu.
QString CaptionOf(const QMdiSubWindow* window)
{
    if (const auto* document = qobject_cast<const seal::TMDIChild*>(window->widget()))
        return document->Caption();
    if (const auto* pdf = qobject_cast<const stamp::PdfWindow*>(window->widget()))
        return pdf->Caption();
    return window->windowTitle();
}

QString SaveFilterFor(seal::SealKind kind)
{
    switch (kind) {
    case seal::kNameSeal:
        return QStringLiteral("認印書式ﾌｧｲﾙ (*.mkn)|*.mkn");
    case seal::kDateSeal:
        return QStringLiteral("日付印書式ﾌｧｲﾙ (*.mkd)|*.mkd");
    default:
        return QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|JPEGﾌｧｲﾙ (*.jpg)|*.jpg");
    }
}

// The extension a typed name without one gets: by kind, and for a bitmap seal by the filter
// entry chosen (the second is JPEG).
QString DefaultExtensionFor(seal::SealKind kind, int filterIndex)
{
    if (kind == seal::kNameSeal)
        return QStringLiteral(".mkn");
    if (kind == seal::kDateSeal)
        return QStringLiteral(".mkd");
    return filterIndex == 1 ? QStringLiteral(".jpg") : QStringLiteral(".bmp");
}

} // namespace

QString LongHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

QString ShortHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent), mdiArea_(new QMdiArea(this)), statusBar_(new QStatusBar(this))
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("瑠環印影マネージャー"));
    setWindowIcon(ProgramIcon());
    // The form's bounds are 606 × 400, with position and size left to the window system's default
    // placement, which gives a new main window three quarters of the screen.
    QSize size(606, 400);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.expandedTo(screen->availableGeometry().size() * 3 / 4);
    resize(size);
    mdiArea_->setObjectName(QStringLiteral("ClientArea"));
    mdiArea_->setBackground(palette().brush(QPalette::Dark));
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea_);
    // Files dropped anywhere on the window, the documents' area included, reach dropEvent.
    setAcceptDrops(true);
    statusBar_->setObjectName(QStringLiteral("StatusBar"));
    statusBar_->setSizeGripEnabled(false);
    setStatusBar(statusBar_);

    BuildMenus();
    BuildSpeedPanel();
    ConnectHandlers();
    FormCreate();
}

TMainForm::~TMainForm()
{
    FormDestroy();
}

void TMainForm::SetCompanions(TAboutBox* aboutBox, panel::TControlForm* controlForm)
{
    aboutBox_ = aboutBox;
    controlForm_ = controlForm;
    // A text refused in the panel is told in the status line until the next hint.
    if (controlForm_)
        connect(controlForm_, &panel::TControlForm::StatusMessage, statusBar_,
                [this](const QString& text) { statusBar_->showMessage(text, 5000); });
    // The stamping panel lives in the editing panel window, shown while a PDF window is active.
    if (controlForm_ && !stampPanel_) {
        stampPanel_ = new stamp::StampPanel(controlForm_);
        stampPanel_->hide();
        stampPanel_->SetOffers([this] { return SealOffers(); });
    }
}

QAction* TMainForm::AddItem(QMenu* menu, const char* name, const QString& caption,
                            const QString& hint, bool enabled)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(LongHint(hint));
    action->setEnabled(enabled);
    return action;
}

void TMainForm::BuildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto submenu = [](QMenu* parent, const char* name, const QString& caption,
                            const QString& hint) {
        QMenu* menu = parent->addMenu(caption);
        menu->menuAction()->setObjectName(QLatin1String(name));
        menu->menuAction()->setStatusTip(LongHint(hint));
        return menu;
    };
    const auto topMenu = [bar](const char* name, const QString& caption, const QString& hint) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(QLatin1String(name) + QStringLiteral("Menu"));
        menu->menuAction()->setObjectName(QLatin1String(name));
        menu->menuAction()->setStatusTip(LongHint(hint));
        return menu;
    };

    QMenu* file =
        topMenu("File1", QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("ﾌｧｲﾙ操作に関するｺﾏﾝﾄﾞ"));
    File1 = file->menuAction();
    QMenu* fileNew = submenu(file, "FileNewItem", QStringLiteral("新規作成(&N)"),
                             QStringLiteral("新規ﾌｧｲﾙの作成"));
    FileNewItem = fileNew->menuAction();
    mNewName = AddItem(fileNew, "mNewName", QStringLiteral("認印の作成"), QString(), true);
    mNewDate = AddItem(fileNew, "mNewDate", QStringLiteral("日付印の作成"), QString(), true);
    FileOpenItem = AddItem(file, "FileOpenItem", QStringLiteral("開く(&O)"),
                           QStringLiteral("既存のﾌｧｲﾙを開く"), true);
    FilePdfItem = AddItem(file, "FilePdfItem", QStringLiteral("PDFを開いて押印..."),
                          QStringLiteral("PDF を開いて印影を実物大で押す"), true);
    FileCloseItem = AddItem(file, "FileCloseItem", QStringLiteral("閉じる(&C)"),
                            QStringLiteral("ﾌｧｲﾙを閉じる"), true);
    FileSaveItem = AddItem(file, "FileSaveItem", QStringLiteral("上書き保存(&S)"),
                           QStringLiteral("ﾌｧｲﾙを保存する"), false);
    FileSaveAsItem = AddItem(file, "FileSaveAsItem", QStringLiteral("名前を付けて保存(&A)..."),
                             QStringLiteral("ﾌｧｲﾙに別の名前を付けて保存"), false);
    FileExportItem = AddItem(file, "FileExportItem", QStringLiteral("書き出し(&E)..."),
                             QStringLiteral("印影を実物大の PNG・SVG・PDF ﾌｧｲﾙに書き出す"), false);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    FileExitItem = AddItem(file, "FileExitItem", QStringLiteral("終了(&X)"),
                           QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの終了"), true);

    QMenu* edit = topMenu("Edit1", QStringLiteral("編集(&E)"), QString());
    Edit1 = edit->menuAction();
    UndoItem = AddItem(edit, "UndoItem", QStringLiteral("元に戻す(&U)"),
                       QStringLiteral("直前の変更を取り消す"), false);
    RedoItem = AddItem(edit, "RedoItem", QStringLiteral("やり直し(&R)"),
                       QStringLiteral("取り消した変更をやり直す"), false);
    edit->addSeparator()->setObjectName(QStringLiteral("N2"));
    CutItem = AddItem(edit, "CutItem", QStringLiteral("切り取り(&T)"),
                      QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞへ切り取り"), false);
    CutItem->setVisible(false);
    CopyItem = AddItem(edit, "CopyItem", QStringLiteral("ｺﾋﾟｰ(&C)"),
                       QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ"), false);
    mCopyPicture = AddItem(edit, "mCopyPicture", QStringLiteral("透過画像としてコピー"),
                           QStringLiteral("印影を背景の透明な画像としてｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ"), false);
    PasteItem = AddItem(edit, "PasteItem", QStringLiteral("貼り付け(&P)"),
                        QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから貼り付け"), true);
    mReplica = AddItem(edit, "mReplica", QStringLiteral("認印・日付印を複製"), QString(), false);

    QMenu* velmor = topMenu("mVelmor", QStringLiteral("瑠環印鑑(&M)"), QString());
    mVelmor = velmor->menuAction();
    mRegist = AddItem(velmor, "mRegist", QStringLiteral("この印鑑を瑠環印鑑へ登録する(&R)"),
                      QString(), false);
    QMenu* current =
        submenu(velmor, "mCurrent", QStringLiteral("現在の瑠環印鑑のﾃﾞｰﾀを取込む(&G)"), QString());
    mCurrent = current->menuAction();
    mCurrent->setEnabled(false);
    mCurName = AddItem(current, "mCurName", QStringLiteral("認印の取込み"), QString(), true);
    mCurDate = AddItem(current, "mCurDate", QStringLiteral("日付印の取込み"), QString(), true);
    mCurBitmap =
        AddItem(current, "mCurBitmap", QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟ印の取込み"), QString(), true);
    QMenu* old =
        submenu(velmor, "m083", QStringLiteral("瑠環印鑑０．８３ﾃﾞｰﾀの取込み(&C)"), QString());
    m083 = old->menuAction();
    m083->setEnabled(false);
    m08Name = AddItem(old, "m08Name", QStringLiteral("認印の取込み"), QString(), true);
    m08Date = AddItem(old, "m08Date", QStringLiteral("日付印の取込み"), QString(), true);

    QMenu* window =
        topMenu("Window1", QStringLiteral("ｳｨﾝﾄﾞｳ(&W)"), QStringLiteral("ｳｨﾝﾄﾞｳ操作に関するｺﾏﾝﾄﾞ"));
    Window1 = window->menuAction();
    windowMenu_ = window;
    WindowCascadeItem = AddItem(window, "WindowCascadeItem", QStringLiteral("重ねて表示(&C)"),
                                QStringLiteral("ｳｨﾝﾄﾞｳを重なりあうように並べ直す"), true);
    WindowTileItem = AddItem(window, "WindowTileItem", QStringLiteral("並べて表示(&T)"),
                             QStringLiteral("ｳｨﾝﾄﾞｳを重ならないように並べ直す"), true);
    WindowArrangeItem = AddItem(window, "WindowArrangeItem", QStringLiteral("ｱｲｺﾝの整列(&A)"),
                                QStringLiteral("ｱｲｺﾝをｳｨﾝﾄﾞｳの下に並べ直す"), true);
    WindowMinimizeItem = AddItem(window, "WindowMinimizeItem", QStringLiteral("すべてをｱｲｺﾝ化(&M)"),
                                 QStringLiteral("すべてのｳｨﾝﾄﾞｳをｱｲｺﾝ状態にする"), true);

    QMenu* help = topMenu("Help1", QStringLiteral("ﾍﾙﾌﾟ(&H)"), QStringLiteral("ﾄﾋﾟｯｸの検索"));
    Help1 = help->menuAction();
    mHelp = AddItem(help, "mHelp", QStringLiteral("瑠環印影ﾏﾈｰｼﾞｬｰのﾍﾙﾌﾟ(&H)"), QString(), true);
    HelpAboutItem =
        AddItem(help, "HelpAboutItem", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"), QString(), true);
}

QAction* TMainForm::AddButton(const char* name, int left, const QString& hint, bool enabled,
                              bool visible)
{
    auto* action = new QAction(this);
    action->setObjectName(QLatin1String(name));
    action->setIcon(ToolGlyph(QLatin1String(name)));
    action->setToolTip(ShortHint(hint));
    action->setStatusTip(LongHint(hint));
    action->setEnabled(enabled);
    action->setVisible(visible);
    auto* button = new QToolButton(speedPanel_);
    button->setObjectName(QLatin1String(name) + QStringLiteral("Button"));
    button->setDefaultAction(action);
    button->setAutoRaise(false);
    button->setIconSize(QSize(18, 18));
    button->setGeometry(left, kButtonTop, kButtonSize, kButtonSize);
    button->setVisible(visible);
    // The status bar shows the long part of the hint of whatever the mouse points at, also
    // when that part is empty.
    button->setProperty(kLongHintProperty, LongHint(hint));
    button->installEventFilter(this);
    return action;
}

void TMainForm::BuildSpeedPanel()
{
    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("SpeedPanelBar"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->toggleViewAction()->setVisible(false);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar->setContentsMargins(0, 0, 0, 0);
    toolBar->setStyleSheet(QStringLiteral("QToolBar { border: 0px; padding: 0px; spacing: 0px; }"));
    speedPanel_ = new QWidget(toolBar);
    speedPanel_->setObjectName(QStringLiteral("SpeedPanel"));
    speedPanel_->setFixedHeight(kSpeedPanelHeight);
    speedPanel_->setMinimumWidth(320);
    speedPanel_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    toolBar->addWidget(speedPanel_);
    addToolBar(Qt::TopToolBarArea, toolBar);

    sbNewName = AddButton("sbNewName", 4, QStringLiteral("認印新規作成|"), true);
    sbNewDate = AddButton("sbNewDate", 28, QStringLiteral("日付印新規作成|"), true);
    OpenBtn = AddButton("OpenBtn", 51, QStringLiteral("開く|"), true);
    SaveBtn = AddButton("SaveBtn", 75, QStringLiteral("上書き保存|"), false);
    PasteBtn = AddButton("PasteBtn", 104, QStringLiteral("認印・日付印の複製|"), false);
    sbToVelmor = AddButton("sbToVelmor", 132, QStringLiteral("瑠環印鑑へ登録|"), false);
    ExitBtn = AddButton("ExitBtn", 168, QStringLiteral("終了|"), true);
    ExportBtn = AddButton("ExportBtn", 200, QStringLiteral("書き出し|"), false);
    PdfStampBtn = AddButton("PdfStampBtn", 226,
                            QStringLiteral("PDFを開いて押印|PDF を開いて印影を実物大で押す"), true);
    CutBtn = AddButton("CutBtn", 244, QStringLiteral("切り取り|"), false, false);
    CopyBtn = AddButton("CopyBtn", 292, QStringLiteral("ｺﾋﾟｰ|"), false, false);
}

void TMainForm::ConnectHandlers()
{
    for (QAction* action : {mNewName, mNewDate, sbNewName, sbNewDate}) {
        connect(action, &QAction::triggered, this, [this, action] { mNewNameClick(action); });
    }
    connect(mReplica, &QAction::triggered, this, &TMainForm::mReplicaClick);
    connect(PasteBtn, &QAction::triggered, this, &TMainForm::mReplicaClick);
    connect(PasteItem, &QAction::triggered, this, &TMainForm::PasteItemClick);
    connect(CopyItem, &QAction::triggered, this, &TMainForm::CopyItemClick);
    connect(FileOpenItem, &QAction::triggered, this, &TMainForm::FileOpenItemClick);
    connect(OpenBtn, &QAction::triggered, this, &TMainForm::FileOpenItemClick);
    connect(FilePdfItem, &QAction::triggered, this, &TMainForm::FilePdfItemClick);
    connect(PdfStampBtn, &QAction::triggered, this, &TMainForm::FilePdfItemClick);
    connect(FileSaveItem, &QAction::triggered, this, &TMainForm::FileSaveItemClick);
    connect(SaveBtn, &QAction::triggered, this, &TMainForm::FileSaveItemClick);
    connect(FileSaveAsItem, &QAction::triggered, this, &TMainForm::FileSaveAsItemClick);
    connect(FileExportItem, &QAction::triggered, this, &TMainForm::FileExportItemClick);
    connect(ExportBtn, &QAction::triggered, this, &TMainForm::FileExportItemClick);
    connect(mCopyPicture, &QAction::triggered, this, &TMainForm::mCopyPictureClick);
    connect(WindowTileItem, &QAction::triggered, this, &TMainForm::WindowTileItemClick);
    connect(WindowArrangeItem, &QAction::triggered, this, &TMainForm::WindowArrangeItemClick);
    connect(windowMenu_, &QMenu::aboutToShow, this, &TMainForm::FillWindowList);
    connect(FileCloseItem, &QAction::triggered, this, &TMainForm::FileCloseItemClick);
    connect(FileExitItem, &QAction::triggered, this, &TMainForm::FileExitItemClick);
    connect(ExitBtn, &QAction::triggered, this, &TMainForm::FileExitItemClick);
    connect(WindowCascadeItem, &QAction::triggered, this, &TMainForm::WindowCascadeItemClick);
    connect(WindowMinimizeItem, &QAction::triggered, this, &TMainForm::WindowMinimizeItemClick);
    connect(HelpAboutItem, &QAction::triggered, this, &TMainForm::HelpAboutItemClick);
    connect(mHelp, &QAction::triggered, this, &TMainForm::mHelpClick);
    auto* contextHelp = new QShortcut(QKeySequence::HelpContents, this);
    contextHelp->setContext(Qt::WindowShortcut);
    connect(contextHelp, &QShortcut::activated, this, &TMainForm::ShowContextHelp);
    connect(UndoItem, &QAction::triggered, this, &TMainForm::UndoItemClick);
    connect(RedoItem, &QAction::triggered, this, &TMainForm::RedoItemClick);
    connect(mRegist, &QAction::triggered, this, &TMainForm::mRegistClick);
    connect(sbToVelmor, &QAction::triggered, this, &TMainForm::mRegistClick);
    connect(mCurName, &QAction::triggered, this, &TMainForm::mCurNameClick);
    connect(mCurDate, &QAction::triggered, this, &TMainForm::mCurDateClick);
    connect(mCurBitmap, &QAction::triggered, this, &TMainForm::mCurBitmapClick);
    connect(m08Name, &QAction::triggered, this, &TMainForm::m08NameClick);
    connect(m08Date, &QAction::triggered, this, &TMainForm::m08DateClick);

    // The keys people expect, shown in the menus. They act from the editing panel too, which is a
    // window of its own; a text box there keeps its own copy, paste and undo keys.
    const std::pair<QAction*, QList<QKeySequence>> keys[] = {
        {FileOpenItem, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {FileSaveItem, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {FileSaveAsItem, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}},
        {FileCloseItem, {QKeySequence(Qt::CTRL | Qt::Key_W)}},
        {FileExitItem, {QKeySequence(Qt::CTRL | Qt::Key_Q)}},
        {UndoItem, {QKeySequence(Qt::CTRL | Qt::Key_Z)}},
        {RedoItem,
         {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}},
        {CopyItem, {QKeySequence(Qt::CTRL | Qt::Key_C)}},
        {PasteItem, {QKeySequence(Qt::CTRL | Qt::Key_V)}},
        {mNewName, {QKeySequence(Qt::CTRL | Qt::Key_N)}},
        {mReplica, {QKeySequence(Qt::CTRL | Qt::Key_D)}},
    };
    for (const auto& [action, sequences] : keys) {
        action->setShortcuts(sequences);
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
}

void TMainForm::SetCommandEnabled(QAction* command, bool enabled)
{
    command->setEnabled(enabled && !unavailable_.contains(command));
}

void TMainForm::FormCreate()
{
    // The hint handler is this window's own status-tip handling (event()); the active-window
    // change reaches UpdateMenuItems through these two hooks.
    focusHook_ = connect(qApp, &QApplication::focusChanged, this,
                         [this](QWidget*, QWidget*) { OnActiveWindowChanged(); });
    activationHook_ = connect(mdiArea_, &QMdiArea::subWindowActivated, this,
                              [this](QMdiSubWindow*) { OnActiveWindowChanged(); });
    hooked_ = true;
    image::ImgKitLoadLibrary();
}

void TMainForm::FormShow()
{
    CheckVelmor();
    if (!controlForm_)
        return;
    controlForm_->Collapse();
    // Shown first, so that its frame is known: the placement is of the outer bounds.
    controlForm_->show();
    const QRect main = frameGeometry();
    const int outerWidth = controlForm_->frameGeometry().width();
    const QPoint outerTopLeft(main.left() + main.width() - outerWidth - 7, main.top() + 75);
    if (QWindow* window = controlForm_->windowHandle())
        window->setFramePosition(outerTopLeft);
    else
        controlForm_->move(outerTopLeft);
}

void TMainForm::CheckVelmor()
{
    VelmorPresent = false;
    const sibling::VelmorCheckResult found =
        sibling::CheckVelmor(this, Windows() ? Windows()->messageForm.get() : nullptr);
    VelmorPresent = found.present;
    SetupRootPath = found.setupRootPath;
    if (found.keyFound) {
        SetCommandEnabled(mCurrent, true);
        SetCommandEnabled(m083, true);
    }
}

void TMainForm::FormDestroy()
{
    if (hooked_) {
        disconnect(focusHook_);
        disconnect(activationHook_);
        hooked_ = false;
    }
    image::ImgKitUnloadLibrary();
}

void TMainForm::OnActiveWindowChanged()
{
    if (hooked_)
        UpdateMenuItems();
}

void TMainForm::SetApplicationHint(const QString& hint)
{
    hint_ = hint;
    ShowStatusHint();
}

void TMainForm::ShowStatusHint()
{
    if (hint_.isEmpty())
        statusBar_->clearMessage();
    else
        statusBar_->showMessage(hint_);
}

bool TMainForm::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        SetApplicationHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close) {
        auto* window = qobject_cast<QMdiSubWindow*>(watched);
        auto* document = window ? qobject_cast<seal::TMDIChild*>(window->widget()) : nullptr;
        if (document && !QueryClose(*document)) {
            event->ignore();
            return true;
        }
        auto* pdf = window ? qobject_cast<stamp::PdfWindow*>(window->widget()) : nullptr;
        if (pdf && !QueryClose(*pdf)) {
            event->ignore();
            return true;
        }
    }
    if (event->type() == QEvent::Enter) {
        const QVariant hint = watched->property(kLongHintProperty);
        if (hint.isValid())
            SetApplicationHint(hint.toString());
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        // Once the window system has placed the window, so that its outer bounds are final.
        QTimer::singleShot(0, this, &TMainForm::FormShow);
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    const QList<seal::TMDIChild*> documents = Documents();
    for (seal::TMDIChild* document : documents) {
        if (!QueryClose(*document)) {
            event->ignore();
            return;
        }
    }
    const QList<stamp::PdfWindow*> pdfs = PdfWindows();
    for (stamp::PdfWindow* pdf : pdfs) {
        if (!QueryClose(*pdf)) {
            event->ignore();
            return;
        }
    }
    event->accept();
    QCoreApplication::quit();
}

bool TMainForm::QueryClose(seal::TMDIChild& document)
{
    return !document.IsModified() ||
           AskSaveChanges(document, [this, &document] { return SaveDocument(document); });
}

bool TMainForm::QueryClose(stamp::PdfWindow& document)
{
    return !document.IsModified() ||
           AskSaveChanges(document, [&document] { return document.Save(); });
}

bool TMainForm::AskSaveChanges(QWidget& document, const std::function<bool()>& save)
{
    // The document asked about is the one in front.
    if (auto* window = qobject_cast<QMdiSubWindow*>(document.parentWidget())) {
        if (window->isMinimized())
            window->showNormal();
        mdiArea_->setActiveSubWindow(window);
    }
    switch (platform::Dialogs().AskSaveChanges(this, QStringLiteral("瑠環印影ＭＧＲ"),
                                               QStringLiteral("変更を保存しますか？"))) {
    case platform::SaveChangesAnswer::Save:
        return save();
    case platform::SaveChangesAnswer::Discard:
        return true;
    case platform::SaveChangesAnswer::Cancel:
        break;
    }
    return false;
}

QList<seal::TMDIChild*> TMainForm::Documents() const
{
    return WindowsOf<seal::TMDIChild>(*mdiArea_);
}

seal::TMDIChild* TMainForm::ActiveDocument() const
{
    return ActiveWindowOf<seal::TMDIChild>(*mdiArea_);
}

seal::TMDIChild* TMainForm::NewChildWindow(const QString& name)
{
    auto* document = new seal::TMDIChild;
    QMdiSubWindow* window = mdiArea_->addSubWindow(document);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(ProgramIcon());
    // Closing a changed seal asks first (QueryClose).
    window->installEventFilter(this);
    document->SetCaption(name);
    connect(document, &seal::TMDIChild::CommandStateChanged, this, &TMainForm::UpdateMenuItems);
    connect(document, &seal::TMDIChild::HistoryChanged, this, &TMainForm::UpdateUndoItems);
    connect(document, &seal::TMDIChild::UndoChanged, this, &TMainForm::UpdateUndoItems);
    window->show();
    mdiArea_->setActiveSubWindow(window);
    return document;
}

void TMainForm::DestroyDocuments()
{
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = windows.crbegin(); it != windows.crend(); ++it)
        delete *it;
}

void TMainForm::UpdateMenuItems()
{
    const QList<seal::TMDIChild*> documents = Documents();
    const bool any = !documents.isEmpty() || !PdfWindows().isEmpty();
    for (QAction* command : {FileCloseItem, FileSaveItem, FileSaveAsItem, FileExportItem, CutItem,
                             SaveBtn, ExportBtn, CutBtn, CopyBtn, WindowCascadeItem, WindowTileItem,
                             WindowArrangeItem, WindowMinimizeItem})
        SetCommandEnabled(command, any);
    if (VelmorPresent) {
        SetCommandEnabled(mRegist, any);
        SetCommandEnabled(sbToVelmor, any);
    }
    seal::TMDIChild* active = any ? ActiveDocument() : nullptr;
    SetCommandEnabled(mCopyPicture, active && active->Kind != seal::kNoKind);
    UpdateUndoItems();
    if (stamp::PdfWindow* pdf = any ? ActivePdfWindow() : nullptr) {
        // A PDF document: the file, window and undo commands; nothing that needs a seal.
        for (QAction* command :
             {FileExportItem, ExportBtn, CopyItem, PasteBtn, mReplica, mRegist, sbToVelmor})
            SetCommandEnabled(command, false);
        if (controlForm_ && stampPanel_) {
            // The panel is filled when this window comes to the front, not at every focus move.
            const bool switched = stampPanel_->Window() != pdf || stampPanel_->isHidden();
            controlForm_->SetActiveChild(nullptr);
            if (switched) {
                controlForm_->ShowOtherPanel(*stampPanel_);
                stampPanel_->Attach(pdf);
            }
        }
        return;
    }
    if (!active) {
        if (controlForm_)
            controlForm_->Collapse();
        return;
    }
    if (controlForm_) {
        // The panel is filled when another document comes to the front; focus moving between
        // windows leaves it alone, so that an edit keeps its selection and its undo. A document
        // whose records change from outside the panel fills it itself (ShowEditPanel).
        const bool switched = controlForm_->ActiveChild() != active;
        controlForm_->SetActiveChild(active);
        if (switched && active->Kind != seal::kNoKind)
            controlForm_->ShowEditPanel(*active);
    }
    if (active->Kind == seal::kBitmapSeal) {
        SetCommandEnabled(CopyItem, true);
        SetCommandEnabled(PasteBtn, false);
        SetCommandEnabled(mReplica, false);
        statusBar_->showMessage(QStringLiteral("画像情報 ： 横[%1], 縦[%2], 色数[%3]")
                                    .arg(active->ImageInfo.Width)
                                    .arg(active->ImageInfo.Height)
                                    .arg(ColoursShown(active->ImageInfo.ColorType)));
    } else {
        SetCommandEnabled(CopyItem, false);
        SetCommandEnabled(PasteBtn, true);
        SetCommandEnabled(mReplica, true);
    }
}

void TMainForm::mNewNameClick(QObject* sender)
{
    const bool name = sender == mNewName || sender == sbNewName;
    const bool date = sender == mNewDate || sender == sbNewDate;
    if (!name && !date)
        return;
    seal::TMDIChild* document = NewChildWindow(QString());
    if (name)
        document->InitNewNameSeal();
    else
        document->InitNewDateSeal();
}

void TMainForm::mReplicaClick()
{
    seal::TMDIChild* source = ActiveDocument();
    if (!source || (source->Kind != seal::kNameSeal && source->Kind != seal::kDateSeal))
        return;
    seal::TMDIChild* copy = NewChildWindow(QString());
    copy->DuplicateFrom(*source);
}

void TMainForm::PasteItemClick()
{
    const bool picture = image::ImgKitClipboardHasBitmap();
    if (picture) {
        seal::TMDIChild* document = NewChildWindow(seal::kNewBitmapSealCaption);
        if (!document->PasteFromClipboard())
            delete document->parentWidget();
    }
    UpdateMenuItems();
    // Told after the refresh, which may show a bitmap seal's picture information.
    if (!picture)
        statusBar_->showMessage(QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞに画像がありません"), 5000);
}

void TMainForm::UndoItemClick()
{
    if (seal::TMDIChild* document = ActiveDocument())
        document->Undo();
    else if (stamp::PdfWindow* pdf = ActivePdfWindow())
        pdf->Undo();
    UpdateUndoItems();
}

void TMainForm::RedoItemClick()
{
    if (seal::TMDIChild* document = ActiveDocument())
        document->Redo();
    else if (stamp::PdfWindow* pdf = ActivePdfWindow())
        pdf->Redo();
    UpdateUndoItems();
}

void TMainForm::UpdateUndoItems()
{
    if (const stamp::PdfWindow* pdf = ActivePdfWindow()) {
        SetCommandEnabled(UndoItem, pdf->CanUndo());
        SetCommandEnabled(RedoItem, pdf->CanRedo());
        return;
    }
    const seal::TMDIChild* active = ActiveDocument();
    SetCommandEnabled(UndoItem, active && active->CanUndo());
    SetCommandEnabled(RedoItem, active && active->CanRedo());
}

void TMainForm::CopyItemClick()
{
    seal::TMDIChild* document = ActiveDocument();
    if (document && document->Kind == seal::kBitmapSeal)
        image::ImgKitSetToClipBrd(this, document->ImageHandle);
}

void TMainForm::FileExportItemClick()
{
    if (seal::TMDIChild* document = ActiveDocument())
        ExportDocument(this, *document);
}

void TMainForm::mCopyPictureClick()
{
    if (seal::TMDIChild* document = ActiveDocument())
        CopyDocumentAsPicture(*document);
}

void TMainForm::mRegistClick()
{
    seal::TMDIChild* document = ActiveDocument();
    if (!document)
        return;
    switch (document->Kind) {
    case seal::kNameSeal:
        sibling::RegisterNameSeal(*document);
        break;
    case seal::kDateSeal:
        sibling::RegisterDateSeal(*document);
        break;
    case seal::kBitmapSeal:
        sibling::RegisterBitmapSeal(*document, VelmorPresent, SetupRootPath);
        break;
    default:
        break;
    }
}

void TMainForm::mCurNameClick()
{
    sibling::ImportNameSeal(this, [this](const QString& name) { return NewChildWindow(name); });
    UpdateMenuItems();
}

void TMainForm::mCurDateClick()
{
    sibling::ImportDateSeal(this, [this](const QString& name) { return NewChildWindow(name); });
    UpdateMenuItems();
}

void TMainForm::mCurBitmapClick()
{
    sibling::ImportBitmapSeal(this, SetupRootPath,
                              [this](const QString& name) { return NewChildWindow(name); });
    UpdateMenuItems();
}

void TMainForm::m08NameClick()
{
    sibling::ImportOldData(this, seal::kNameSeal,
                           [this](const QString& name) { return NewChildWindow(name); });
    UpdateMenuItems();
}

void TMainForm::m08DateClick()
{
    sibling::ImportOldData(this, seal::kDateSeal,
                           [this](const QString& name) { return NewChildWindow(name); });
    UpdateMenuItems();
}

void TMainForm::FileOpenItemClick()
{
    platform::FileDialogRequest request;
    request.filter = kOpenFilter;
    request.mustExist = true;
    const auto choice = platform::Dialogs().AskOpenFile(this, request);
    OpenFiles(choice ? QStringList{choice->path} : QStringList{});
}

void TMainForm::FilePdfItemClick()
{
    platform::FileDialogRequest request;
    request.filter = kPdfFilter;
    request.mustExist = true;
    if (const auto choice = platform::Dialogs().AskOpenFile(this, request))
        OpenFiles({choice->path});
}

QList<stamp::PdfWindow*> TMainForm::PdfWindows() const
{
    return WindowsOf<stamp::PdfWindow>(*mdiArea_);
}

stamp::PdfWindow* TMainForm::ActivePdfWindow() const
{
    return ActiveWindowOf<stamp::PdfWindow>(*mdiArea_);
}

stamp::PdfWindow* TMainForm::OpenPdfWindow(const QString& path)
{
    std::unique_ptr<stamp::PdfWindow> opened = stamp::PdfWindow::Open(this, path);
    if (!opened)
        return nullptr;
    stamp::PdfWindow* pdf = opened.release();
    QMdiSubWindow* window = mdiArea_->addSubWindow(pdf);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(ProgramIcon());
    // Closing with stamps not yet written asks first (QueryClose).
    window->installEventFilter(this);
    connect(pdf, &stamp::PdfWindow::CommandStateChanged, this, &TMainForm::UpdateUndoItems);
    // A large part of the area, so that a page can be read at once.
    const QSize area = mdiArea_->viewport()->size();
    window->resize(std::max(480, area.width() * 2 / 3), std::max(400, area.height() - 8));
    window->show();
    mdiArea_->setActiveSubWindow(window);
    // The frame takes the caption with the modified mark (none yet).
    window->setWindowTitle(seal::EscapedWindowTitle(pdf->Caption()));
    pdf->setFocus();
    return pdf;
}

std::vector<stamp::SealOffer> TMainForm::SealOffers() const
{
    std::vector<stamp::SealOffer> offers;
    const calendar::LocalDate today = calendar::Today();
    const QList<seal::TMDIChild*> documents = Documents();
    for (const seal::TMDIChild* document : documents) {
        std::optional<output::SealSource> source = SealSourceOf(*document, today);
        if (!source)
            continue;
        const QString caption = document->Caption();
        const QString name =
            seal::IsDefaultCaption(caption) ? caption : QFileInfo(caption).fileName();
        offers.push_back({name, std::move(*source)});
    }
    return offers;
}

void TMainForm::OpenFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (IsPdfPath(path)) {
            OpenPdfWindow(path);
            continue;
        }
        seal::TMDIChild* document = NewChildWindow(path);
        if (!document->OpenFile(path))
            delete document->parentWidget();
    }
    UpdateMenuItems();
}

QStringList TMainForm::OpenableFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        const QString extension = seal::FileExtension(path);
        const bool openable =
            extension == QLatin1String(".mkn") || extension == QLatin1String(".mkd") ||
            seal::IsPictureExtension(extension) || extension == QLatin1String(".pdf");
        // As the open dialog asks: the file must exist.
        if (openable && QFileInfo(path).isFile())
            paths << QFileInfo(path).absoluteFilePath();
    }
    return paths;
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (!OpenableFiles(event->mimeData()).isEmpty() &&
        (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QStringList paths = OpenableFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The files open once the drop is done, so that the dragging program is not kept waiting by
    // a message about a file that cannot be read.
    QTimer::singleShot(0, this, [this, paths] { OpenFiles(paths); });
}

void TMainForm::FileSaveItemClick()
{
    if (seal::TMDIChild* document = ActiveDocument())
        SaveDocument(*document);
    else if (stamp::PdfWindow* pdf = ActivePdfWindow())
        pdf->Save();
}

void TMainForm::FileSaveAsItemClick()
{
    if (seal::TMDIChild* document = ActiveDocument())
        SaveDocumentAs(*document);
    else if (stamp::PdfWindow* pdf = ActivePdfWindow())
        pdf->Save();
}

bool TMainForm::SaveDocument(seal::TMDIChild& document)
{
    // A picture opened from a PNG, TIFF or WebP file is saved as BMP or JPEG under a name asked
    // for.
    if (seal::IsDefaultCaption(document.Caption()) ||
        seal::IsReadOnlyPictureExtension(seal::FileExtension(document.Caption())))
        return SaveDocumentAs(document);
    return document.SaveFile(document.Caption());
}

bool TMainForm::SaveDocumentAs(seal::TMDIChild& document)
{
    platform::FileDialogRequest request;
    request.filter = SaveFilterFor(document.Kind);
    const QString caption = document.Caption();
    if (seal::IsReadOnlyPictureExtension(seal::FileExtension(caption))) {
        // The picture's own name and folder, as the BMP it can be saved as.
        const QFileInfo opened(caption);
        request.fileName = opened.completeBaseName() + QStringLiteral(".bmp");
        request.directory = opened.absolutePath();
    }
    const auto choice = platform::Dialogs().AskSaveFile(this, request);
    if (!choice)
        return false;
    QString path = choice->path;
    if (seal::FileExtension(path).isEmpty())
        path += DefaultExtensionFor(document.Kind, choice->filterIndex);
    // Asked about the name that is written, the extension included.
    if (QFileInfo::exists(path) &&
        platform::Dialogs().ShowMessage(this, QStringLiteral("瑠環印影ＭＧＲ"),
                                        QStringLiteral("%1 は既に存在します。\n上書きしますか？")
                                            .arg(QDir::toNativeSeparators(path)),
                                        platform::MessageButtons::OkCancel) !=
            platform::MessageResult::Ok)
        return false;
    if (!document.SaveFile(path))
        return false;
    document.SetCaption(path);
    return true;
}

void TMainForm::FileCloseItemClick()
{
    if (QMdiSubWindow* window = mdiArea_->currentSubWindow())
        window->close();
}

void TMainForm::FileExitItemClick()
{
    close();
}

void TMainForm::WindowCascadeItemClick()
{
    mdiArea_->cascadeSubWindows();
}

void TMainForm::WindowTileItemClick()
{
    // One window a row, one above the other, from the top of the client area.
    int top = 0;
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* window : windows) {
        if (window->isMinimized())
            continue;
        window->showNormal();
        window->move(0, top);
        top += window->frameGeometry().height();
    }
}

void TMainForm::WindowArrangeItemClick()
{
    // The minimized windows in a row along the bottom of the client area, a new row above when
    // the width is used up.
    const QSize area = mdiArea_->viewport()->size();
    int left = 0;
    int bottom = area.height();
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* window : windows) {
        if (!window->isMinimized())
            continue;
        const QSize icon = window->size();
        if (left > 0 && left + icon.width() > area.width()) {
            left = 0;
            bottom -= icon.height();
        }
        window->move(left, bottom - icon.height());
        left += icon.width();
    }
}

void TMainForm::FillWindowList()
{
    for (QAction* action : std::as_const(windowList_)) {
        windowMenu_->removeAction(action);
        delete action;
    }
    windowList_.clear();
    // Seal documents and PDF documents alike, in the order they were opened.
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    windowList_ << windowMenu_->addSeparator();
    const QMdiSubWindow* active = mdiArea_->currentSubWindow();
    int number = 1;
    for (QMdiSubWindow* window : windows) {
        const QString caption = number < 10
                                    ? QStringLiteral("&%1 %2").arg(number).arg(CaptionOf(window))
                                    : CaptionOf(window);
        QAction* item = windowMenu_->addAction(caption);
        item->setCheckable(true);
        item->setChecked(window == active);
        const QPointer<QMdiSubWindow> target(window);
        connect(item, &QAction::triggered, this, [this, target] {
            if (target)
                mdiArea_->setActiveSubWindow(target);
        });
        windowList_ << item;
        ++number;
    }
}

void TMainForm::WindowMinimizeItemClick()
{
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = windows.crbegin(); it != windows.crend(); ++it)
        (*it)->showMinimized();
}

void TMainForm::mHelpClick()
{
    if (HelpWindow* help = OpenHelp())
        help->ShowContents();
}

void TMainForm::ShowContextHelp()
{
    if (HelpWindow* help = OpenHelp())
        help->ShowTopic(1);
}

HelpWindow* TMainForm::OpenHelp()
{
    if (help_)
        return help_;
    const QString book = ResolveHelpFile(ApplicationHelpFile());
    if (!book.isEmpty()) {
        auto* help = new HelpWindow(book, this);
        if (help->IsOpen()) {
            help_ = help;
            return help_;
        }
        delete help;
    }
    platform::ShowMessage(
        this, QStringLiteral("瑠環印影ＭＧＲ"),
        QStringLiteral("ヘルプファイル %1 が見つかりません。").arg(ApplicationHelpFile()));
    return nullptr;
}

void TMainForm::HelpAboutItemClick()
{
    if (aboutBox_)
        platform::Dialogs().RunModal(*aboutBox_);
}

} // namespace velmr::app

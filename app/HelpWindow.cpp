#include "app/HelpWindow.h"

#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

namespace velmr::app {
namespace {

// A page view that reads its pages, pictures and style sheets from the help book.
class HelpBrowser final : public QTextBrowser
{
public:
    HelpBrowser(QHelpEngine& engine, QWidget* parent) : QTextBrowser(parent), engine_(engine) {}

    QVariant loadResource(int type, const QUrl& name) override
    {
        if (name.scheme() == QLatin1String("qthelp"))
            return engine_.fileData(name);
        return QTextBrowser::loadResource(type, name);
    }

private:
    QHelpEngine& engine_;
};

QString TitleOf(const QString& html)
{
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = title.match(html);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

} // namespace

HelpWindow::HelpWindow(const QString& collectionFile, QWidget* parent)
    : QWidget(parent, Qt::Window), engine_(std::make_unique<QHelpEngine>(collectionFile))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("瑠環印影ﾏﾈｰｼﾞｬｰのﾍﾙﾌﾟ"));
    resize(820, 560);
    // The installed book may lie in a folder the user cannot write to.
    engine_->setReadOnly(true);
    engine_->setupData();
    const QStringList namespaces = engine_->registeredDocumentations();
    if (!namespaces.isEmpty())
        namespace_ = namespaces.constFirst();

    auto* splitter = new QSplitter(this);
    tabs_ = new QTabWidget(splitter);
    QHelpContentWidget* contents = engine_->contentWidget();
    contents->setObjectName(QStringLiteral("Contents"));
    tabs_->addTab(contents, QStringLiteral("目次"));

    auto* searchTab = new QWidget;
    auto* searchLayout = new QVBoxLayout(searchTab);
    auto* prompt = new QLabel(QStringLiteral("探したい言葉を入力してください:"), searchTab);
    searchBox_ = new QLineEdit(searchTab);
    searchBox_->setObjectName(QStringLiteral("SearchBox"));
    searchBox_->setClearButtonEnabled(true);
    results_ = new QListWidget(searchTab);
    results_->setObjectName(QStringLiteral("SearchResults"));
    results_->setWordWrap(true);
    searchLayout->addWidget(prompt);
    searchLayout->addWidget(searchBox_);
    searchLayout->addWidget(results_);
    tabs_->addTab(searchTab, QStringLiteral("検索"));

    page_ = new HelpBrowser(*engine_, splitter);
    page_->setObjectName(QStringLiteral("Page"));
    page_->setOpenLinks(true);
    splitter->addWidget(tabs_);
    splitter->addWidget(page_);
    splitter->setStretchFactor(1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    // A page chosen from the contents is read as it is; one found by a search shows its hits.
    connect(contents, &QHelpContentWidget::linkActivated, this, [this](const QUrl& url) {
        markedWords_.clear();
        ShowPage(url);
    });
    connect(page_, &QTextBrowser::sourceChanged, this, &HelpWindow::MarkHits);
    auto* closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);
    connect(searchBox_, &QLineEdit::returnPressed, this, [this] { Search(searchBox_->text()); });
    connect(results_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { ShowPage(item->data(Qt::UserRole).toUrl()); });
    connect(results_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ShowPage(item->data(Qt::UserRole).toUrl()); });
    BuildIndex();
}

HelpWindow::~HelpWindow() = default;

bool HelpWindow::IsOpen() const
{
    return !namespace_.isEmpty();
}

void HelpWindow::BuildIndex()
{
    QList<HelpPage> pages;
    if (IsOpen()) {
        const QList<QUrl> files = engine_->files(namespace_, QString(), QStringLiteral("html"));
        for (const QUrl& url : files) {
            const QString html = QString::fromUtf8(engine_->fileData(url));
            pages.append({url, TitleOf(html), QTextDocumentFragment::fromHtml(html).toPlainText()});
        }
    }
    search_ = std::make_unique<HelpSearch>(std::move(pages));
}

void HelpWindow::ShowPage(const QUrl& url)
{
    page_->setSource(url);
    MarkHits();
}

void HelpWindow::MarkHits()
{
    // The page's text folded character by character as the search folds it, so that a position
    // in the folded text is a position in the page.
    const QString text = page_->document()->toPlainText();
    QString folded;
    folded.reserve(text.size());
    for (const QChar c : text) {
        const QString one = HelpSearch::Normalise(QString(c));
        folded += one.size() == 1 ? one.at(0) : c.toCaseFolded();
    }
    QList<QTextEdit::ExtraSelection> hits;
    QTextCharFormat marked;
    marked.setBackground(QColor(255, 230, 80));
    for (const QString& word : std::as_const(markedWords_)) {
        for (qsizetype at = folded.indexOf(word); at >= 0 && !word.isEmpty();
             at = folded.indexOf(word, at + word.size())) {
            QTextCursor cursor(page_->document());
            cursor.setPosition(int(at));
            cursor.setPosition(int(at + word.size()), QTextCursor::KeepAnchor);
            hits.append({cursor, marked});
        }
    }
    page_->setExtraSelections(hits);
}

void HelpWindow::ShowContents()
{
    tabs_->setCurrentIndex(0);
    ShowTopic(1);
    show();
    raise();
    activateWindow();
}

void HelpWindow::ShowTopic(int context)
{
    const QString topic = HelpTopicPage(context);
    if (IsOpen() && !topic.isEmpty())
        ShowPage(QUrl(QStringLiteral("qthelp://%1/doc/%2").arg(namespace_, topic)));
    show();
    raise();
}

int HelpWindow::Search(const QString& query)
{
    tabs_->setCurrentIndex(1);
    if (searchBox_->text() != query)
        searchBox_->setText(query);
    results_->clear();
    markedWords_ = HelpSearch::Normalise(query).split(QRegularExpression(QStringLiteral("\\s+")),
                                                      Qt::SkipEmptyParts);
    const QList<HelpHit> hits = search_->Find(query);
    for (const HelpHit& hit : hits) {
        auto* item = new QListWidgetItem(hit.title + QLatin1Char('\n') + hit.excerpt, results_);
        item->setData(Qt::UserRole, hit.url);
    }
    if (hits.isEmpty()) {
        new QListWidgetItem(QStringLiteral("「%1」は見つかりませんでした。").arg(query), results_);
        MarkHits();
    } else {
        ShowPage(hits.constFirst().url);
    }
    return int(hits.size());
}

} // namespace velmr::app

#include "app/HelpBook.h"
#include "app/HelpWindow.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace velmr::app;

namespace {

TEST(HelpBook, TheHelpFileNameResolvesToTheBookBesideTheProgram)
{
    const QString book = ResolveHelpFile(QStringLiteral("velmrmgr.hlp"));
    ASSERT_FALSE(book.isEmpty());
    EXPECT_TRUE(book.endsWith(QStringLiteral("/share/velmrmgr/velmrmgr.qhc")))
        << book.toStdString();
    EXPECT_TRUE(ResolveHelpFile(QStringLiteral("nothing.hlp")).isEmpty());
    EXPECT_EQ(HelpTopicPage(1), QStringLiteral("index.html"));
    EXPECT_TRUE(HelpTopicPage(99).isEmpty());
}

TEST(HelpBook, SearchFindsWordsInsideJapaneseRunningText)
{
    const HelpSearch search({
        {QUrl(QStringLiteral("a.html")), QStringLiteral("認印を作る"),
         QStringLiteral("一行には全角文字で四文字まで入ります。縦書きの名前にするには一行に一文字ず"
                        "つ入れます。")},
        {QUrl(QStringLiteral("b.html")), QStringLiteral("日付印を作る"),
         QStringLiteral(
             "円を二本の帯線が横切り、上に組織、中央に今日の日付が入ります。BMP は使いません。")},
    });
    struct Case
    {
        const char16_t* query;
        QStringList pages;
    };
    const Case cases[] = {
        {u"帯線", {QStringLiteral("b.html")}},
        {u"縦書き", {QStringLiteral("a.html")}},
        {u"今日の日付", {QStringLiteral("b.html")}},
        {u"作る", {QStringLiteral("a.html"), QStringLiteral("b.html")}},
        {u"日付", {QStringLiteral("b.html")}}, // in the title: first
        {u"一文字 縦書き", {QStringLiteral("a.html")}},
        {u"一文字 帯線", {}},                    // every word must occur
        {u"ＢＭＰ", {QStringLiteral("b.html")}}, // full-width letters fold
        {u"bmp", {QStringLiteral("b.html")}},
        {u"ﾀﾃｶﾞｷ", {}},
        {u"   ", {}},
    };
    for (const Case& c : cases) {
        QStringList found;
        for (const HelpHit& hit : search.Find(QString::fromUtf16(c.query)))
            found << hit.url.toString();
        EXPECT_EQ(found, c.pages) << QString::fromUtf16(c.query).toStdString();
    }
    const QList<HelpHit> hits = search.Find(QStringLiteral("帯線"));
    ASSERT_EQ(hits.size(), 1);
    EXPECT_TRUE(hits[0].excerpt.contains(QStringLiteral("帯線")));
    EXPECT_EQ(hits[0].title, QStringLiteral("日付印を作る"));
}

TEST(HelpWindow, ShowsTheBookWithContentsAndSearch)
{
    HelpWindow help(ResolveHelpFile(QStringLiteral("velmrmgr.hlp")));
    ASSERT_TRUE(help.IsOpen());
    help.ShowTopic(1);
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.Page()->source().fileName(), QStringLiteral("index.html"));
    EXPECT_TRUE(help.Page()->toPlainText().contains(QStringLiteral("瑠環印影マネージャー")));

    // Words from the middle of sentences of the book's pages.
    struct Case
    {
        const char16_t* word;
        const char* page;
    };
    for (const Case& c :
         {Case{u"一時ファイル", "files.html"}, Case{u"帯線", "datestamp.html"},
          Case{u"令和元年", "datestamp.html"}, Case{u"切り抜き範囲", "bitmap.html"},
          Case{u"合成", "namestamp.html"}, Case{u"セットアップフォルダー", "velmor.html"},
          Case{u"照明のむら", "bitmap.html"}}) {
        const int found = help.Search(QString::fromUtf16(c.word));
        ASSERT_GE(found, 1) << QString::fromUtf16(c.word).toStdString();
        QStringList pages;
        for (int i = 0; i < help.Results()->count(); ++i)
            pages << help.Results()->item(i)->data(Qt::UserRole).toUrl().fileName();
        EXPECT_TRUE(pages.contains(QString::fromLatin1(c.page)))
            << QString::fromUtf16(c.word).toStdString() << ": " << pages.join(u',').toStdString();
        EXPECT_TRUE(help.Page()->toPlainText().contains(QString::fromUtf16(c.word)));
    }

    // Typed into the search box, as a user does.
    help.SearchBox()->clear();
    // Japanese arrives from the input method as committed text.
    QInputMethodEvent typed;
    typed.setCommitString(QStringLiteral("複製"));
    QCoreApplication::sendEvent(help.SearchBox(), &typed);
    EXPECT_EQ(help.SearchBox()->text(), QStringLiteral("複製"));
    QTest::keyClick(help.SearchBox(), Qt::Key_Return);
    EXPECT_GE(help.Results()->count(), 1);
    EXPECT_EQ(help.Search(QStringLiteral("存在しない言葉")), 0);
    ASSERT_EQ(help.Results()->count(), 1);
    EXPECT_TRUE(help.Results()->item(0)->text().contains(QStringLiteral("見つかりませんでした")));
}

TEST(HelpWindow, MarksTheSearchHitsInThePageAndClosesWithEscape)
{
    HelpWindow help(ResolveHelpFile(QStringLiteral("velmrmgr.hlp")));
    ASSERT_TRUE(help.IsOpen());
    help.ShowTopic(1);
    help.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&help));
    struct Case
    {
        const char16_t* query;
        QStringList marked; // the words as the page has them, folded
    };
    const Case cases[] = {
        {u"帯線", {QStringLiteral("帯線")}},
        {u"ＢＭＰ", {QStringLiteral("bmp")}}, // full-width letters find half-width ones
        {u"一時ファイル 保存", {QStringLiteral("一時ファイル"), QStringLiteral("保存")}},
    };
    for (const Case& c : cases) {
        const QString query = QString::fromUtf16(c.query);
        SCOPED_TRACE(query.toStdString());
        ASSERT_GE(help.Search(query), 1);
        const QList<QTextEdit::ExtraSelection> hits = help.Page()->extraSelections();
        QStringList words;
        for (const QTextEdit::ExtraSelection& hit : hits) {
            const QString word = HelpSearch::Normalise(hit.cursor.selectedText());
            if (!words.contains(word))
                words << word;
        }
        words.sort();
        QStringList expected = c.marked;
        expected.sort();
        EXPECT_EQ(words, expected);
        const QString page = HelpSearch::Normalise(help.Page()->toPlainText());
        qsizetype occurrences = 0;
        for (const QString& word : c.marked)
            occurrences += page.count(word);
        EXPECT_EQ(hits.size(), occurrences) << "every occurrence is marked";
    }
    QTest::keyClick(&help, Qt::Key_Escape);
    EXPECT_FALSE(help.isVisible());
}

} // namespace

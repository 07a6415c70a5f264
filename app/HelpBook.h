#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// The program's help book: where it is, and a search that finds words inside Japanese running
// text (which puts no spaces between words).
namespace velmr::app {

// The help book that stands for the application's help file name ("velmrmgr.hlp"): the compiled
// collection in share/velmrmgr/ beside the program's folder, in the build tree and the installed
// tree alike. Empty when it is not there.
QString ResolveHelpFile(const QString& helpFileName);

// The topic shown for a help context number (1: the main window); empty for an unknown one.
QString HelpTopicPage(int context);

struct HelpPage
{
    QUrl url;
    QString title;
    QString text; // the page's plain text
};

struct HelpHit
{
    QUrl url;
    QString title;
    QString excerpt; // the text around the first match
};

// A search over the pages' text: every word of the query (words are separated by blanks) must
// occur somewhere in the page, as a substring, without regard to letter case or to full- and
// half-width forms. Pages whose title matches come first.
class HelpSearch
{
public:
    explicit HelpSearch(QList<HelpPage> pages);
    QList<HelpHit> Find(const QString& query) const;
    static QString Normalise(const QString& text);

private:
    QList<HelpPage> pages_;
    QList<QString> normalisedTexts_;
    QList<QString> normalisedTitles_;
};

} // namespace velmr::app

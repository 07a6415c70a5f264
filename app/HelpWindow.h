#pragma once

#include "app/HelpBook.h"

#include <QWidget>

#include <memory>

class QHelpEngine;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

namespace velmr::app {

// The program's own help window: the help book's contents, a search box and the page.
class HelpWindow final : public QWidget
{
    Q_OBJECT
public:
    // Opens the help book `collectionFile` (a compiled Qt help collection).
    explicit HelpWindow(const QString& collectionFile, QWidget* parent = nullptr);
    ~HelpWindow() override;

    bool IsOpen() const;
    // The contents and search view (the help file's "finder"), showing the first page.
    void ShowContents();
    // The page of help context `context`.
    void ShowTopic(int context);
    // Runs a search as if typed into the search box; returns the number of pages found.
    int Search(const QString& query);

    QTextBrowser* Page() const { return page_; }
    QListWidget* Results() const { return results_; }
    QLineEdit* SearchBox() const { return searchBox_; }
    const HelpSearch* Index() const { return search_.get(); }
    void ShowPage(const QUrl& url);
    // The words of the last search, marked wherever they occur in the shown page.
    const QStringList& MarkedWords() const { return markedWords_; }

private:
    void BuildIndex();
    void MarkHits();

    std::unique_ptr<QHelpEngine> engine_;
    std::unique_ptr<HelpSearch> search_;
    QString namespace_;
    QTabWidget* tabs_;
    QTextBrowser* page_;
    QLineEdit* searchBox_;
    QListWidget* results_;
    QStringList markedWords_;
};

} // namespace velmr::app

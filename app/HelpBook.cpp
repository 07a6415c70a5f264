#include "app/HelpBook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace velmr::app {

QString ResolveHelpFile(const QString& helpFileName)
{
    QString name = QFileInfo(helpFileName).completeBaseName();
    if (name.isEmpty())
        return {};
    const QString collection = name + QStringLiteral(".qhc");
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QStringList candidates = {
        programFolder.filePath(QStringLiteral("../share/velmrmgr/") + collection),
        programFolder.filePath(collection),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

QString HelpTopicPage(int context)
{
    return context == 1 ? QStringLiteral("index.html") : QString();
}

HelpSearch::HelpSearch(QList<HelpPage> pages) : pages_(std::move(pages))
{
    for (HelpPage& page : pages_) {
        page.text = page.text.simplified();
        normalisedTexts_ << Normalise(page.text);
        normalisedTitles_ << Normalise(page.title);
    }
}

QString HelpSearch::Normalise(const QString& text)
{
    // Full-width letters and digits and half-width katakana fold into one form.
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QList<HelpHit> HelpSearch::Find(const QString& query) const
{
    const QStringList words =
        Normalise(query).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QList<HelpHit> titled;
    QList<HelpHit> others;
    if (words.isEmpty())
        return {};
    for (qsizetype i = 0; i < pages_.size(); ++i) {
        const QString& text = normalisedTexts_[i];
        const QString& title = normalisedTitles_[i];
        bool all = true;
        bool inTitle = false;
        for (const QString& word : words) {
            const bool found = text.contains(word) || title.contains(word);
            all = all && found;
            inTitle = inTitle || title.contains(word);
        }
        if (!all)
            continue;
        HelpHit hit{pages_[i].url, pages_[i].title, {}};
        // The excerpt comes from the original text, around the first word's first occurrence.
        const qsizetype at = text.indexOf(words.first());
        if (at >= 0) {
            const QString& original = pages_[i].text;
            const qsizetype approx = std::min(at, original.size());
            const qsizetype from = std::max<qsizetype>(0, approx - 20);
            hit.excerpt = original.mid(from, 60);
            if (from > 0)
                hit.excerpt.prepend(QStringLiteral("…"));
            if (from + 60 < original.size())
                hit.excerpt.append(QStringLiteral("…"));
        }
        (inTitle ? titled : others) << hit;
    }
    return titled + others;
}

} // namespace velmr::app

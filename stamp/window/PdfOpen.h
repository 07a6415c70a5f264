#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QWidget;

namespace Poppler {
class Document;
}

namespace velmr::stamp {

// The caption of the messages about documents and their files.
inline const QString kPdfCaption = QStringLiteral("瑠環印影ＭＧＲ");

// A PDF document read for showing: poppler's document, antialiased text and graphics, and the
// password that opened it (empty when none was asked).
struct OpenedPdf
{
    std::unique_ptr<Poppler::Document> document;
    QByteArray password;
};

// What is wrong with `bytes` read from a file as a PDF document, for the user; nothing when it
// looks whole (a PDF header near the start, an end-of-file marker near the end).
std::optional<QString> PdfDamage(const QString& path, const QByteArray& bytes);

// Opens the PDF file at `path`. A locked document asks for its password (again after a wrong
// one). On failure the user has been told why (not after a cancelled password) and nothing is
// returned.
std::optional<OpenedPdf> OpenPdf(QWidget* parent, const QString& path);

// The same file opened again with a password known to open it (after it was saved); nothing
// when it cannot be read, without a message.
std::unique_ptr<Poppler::Document> ReopenPdf(const QString& path, const QByteArray& password);

} // namespace velmr::stamp

#pragma once

#include "calendar/CalendarDate.h"
#include "output/SealOutput.h"

#include <QString>

class QWidget;

namespace velmr::seal {
class TMDIChild;
}

// The window's way out for seals: the export command (the options asked, a file chosen, the seal
// written at its true size) and the copy as a transparent picture for documents.
namespace velmr::app {

// The seal of a name, date or bitmap seal document, a date seal printing `day`; nothing for a
// document without a kind.
std::optional<output::SealSource> SealSourceOf(const seal::TMDIChild& document,
                                               const calendar::LocalDate& day);

// The save dialog's filter of a format.
QString ExportFilter(output::Format format);
// The file name proposed for a document captioned `caption`: its base name with the extension
// ("_印影" added before it when the document is itself a file of that format).
QString ProposedExportName(const QString& caption, output::Format format);
// The path written for the chosen one: the format's extension is added unless it is there.
QString ExportPath(const QString& chosen, output::Format format);

// The export command for `document`: the options, the file, the overwrite question, then the
// file is written. True when a file was written; a failure has been told.
bool ExportDocument(QWidget* parent, const seal::TMDIChild& document);
// Puts the seal of `document` on the clipboard: PNG with alpha at 600 dpi and SVG (a bitmap seal:
// its picture). A date seal prints today.
void CopyDocumentAsPicture(const seal::TMDIChild& document);

} // namespace velmr::app

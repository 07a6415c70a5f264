#pragma once

#include <QString>

#include <cstdint>

class QDialog;
class QWidget;

// Small pieces shared by the colour reduction and resize dialogs.
namespace velmr::image {

// Centres `dialog` on `mainWindow`: top = main top + (main height − dialog height) / 2, left the
// same way across, halves truncated toward zero; outer window bounds. Nothing without a main
// window.
void CentreOn(QDialog& dialog, const QWidget* mainWindow);

// The integer a text starts with: optional spaces, an optional sign, decimal digits; 0 when it
// starts with none. Numbers beyond the 32-bit range give its ends.
std::int32_t LeadingInteger(const QString& text);

} // namespace velmr::image

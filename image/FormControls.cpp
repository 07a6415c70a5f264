#include "image/FormControls.h"

#include <QDialog>
#include <QWindow>

#include <limits>

namespace velmr::image {

void CentreOn(QDialog& dialog, const QWidget* mainWindow)
{
    if (!mainWindow)
        return;
    const QRect main = mainWindow->window()->frameGeometry();
    // While the dialog is being shown its frame may not be known to the widget yet; its native
    // window knows it.
    const QWindow* native = dialog.windowHandle();
    const QSize own =
        native ? dialog.size().grownBy(native->frameMargins()) : dialog.frameGeometry().size();
    dialog.move(main.left() + (main.width() - own.width()) / 2,
                main.top() + (main.height() - own.height()) / 2);
}

std::int32_t LeadingInteger(const QString& text)
{
    qsizetype at = 0;
    while (at < text.size() && text[at] == QLatin1Char(' '))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == QLatin1Char('-') || text[at] == QLatin1Char('+'))) {
        negative = text[at] == QLatin1Char('-');
        ++at;
    }
    constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9'); ++at)
        value = std::min(kLimit, value * 10 + (text[at].unicode() - u'0'));
    if (negative)
        return std::int32_t(-value); // down to −2^31
    return std::int32_t(std::min<std::int64_t>(value, kLimit - 1));
}

} // namespace velmr::image

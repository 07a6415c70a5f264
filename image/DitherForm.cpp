#include "image/DitherForm.h"

namespace velmr::image {

TDitherForm::TDitherForm(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("DitherForm"));
    setWindowTitle(QStringLiteral("減色処理"));
    setFixedSize(266, 257);
}

} // namespace velmr::image

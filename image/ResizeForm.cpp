#include "image/ResizeForm.h"

namespace velmr::image {

TResizeForm::TResizeForm(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("ResizeForm"));
    setWindowTitle(QStringLiteral("KORVAN 縮小／拡大"));
    setFixedSize(233, 165);
}

} // namespace velmr::image

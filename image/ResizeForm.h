#pragma once

#include <QDialog>

namespace velmr::image {

// The resize dialog "KORVAN 縮小／拡大".
class TResizeForm final : public QDialog
{
    Q_OBJECT
public:
    explicit TResizeForm(QWidget* parent = nullptr);
};

} // namespace velmr::image

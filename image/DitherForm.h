#pragma once

#include <QDialog>

namespace velmr::image {

// The colour reduction dialog "減色処理".
class TDitherForm final : public QDialog
{
    Q_OBJECT
public:
    explicit TDitherForm(QWidget* parent = nullptr);
};

} // namespace velmr::image

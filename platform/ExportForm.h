#pragma once

#include "platform/UserDialogs.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;

namespace velmr::platform {

// The export options form: the format, a PNG's resolution and a date seal's day to print, with the
// seal's printed size shown. A bitmap seal offers PNG at its own resolution only.
class ExportForm final : public QDialog
{
    Q_OBJECT
public:
    explicit ExportForm(const ExportOptionsRequest& request, QWidget* parent = nullptr);

    ExportOptionsChoice Choice() const;

    // A day outside the range, or one half typed, is told and not confirmed.
    void accept() override;

private:
    void FollowFormat();

    ExportOptionsRequest request_;
    QButtonGroup* formats_ = nullptr;
    QComboBox* resolution_ = nullptr;
    QDateEdit* dayEdit_ = nullptr;
};

// The message for a day outside `first`..`last` or not a date at all.
QString BadDayMessage(const QDate& first, const QDate& last);

} // namespace velmr::platform

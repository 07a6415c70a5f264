#pragma once

#include <QGroupBox>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class QButtonGroup;
class QDialog;
class QRadioButton;
class QWidget;

// Small pieces shared by the colour reduction and resize dialogs.
namespace velmr::image {

// A titled group of radio items of which at most one is selected: -1 is none.
class ChoiceGroup final : public QGroupBox
{
    Q_OBJECT
public:
    ChoiceGroup(const QString& name, const QString& title, const QStringList& items, int columns,
                QWidget* parent);

    int ItemIndex() const;
    // Selects `index` (-1: none) without raising Click.
    void SetItemIndex(int index);
    int Count() const { return int(items_.size()); }
    QRadioButton* Item(int index) const { return items_.at(std::size_t(index)); }

Q_SIGNALS:
    // The user clicked an item.
    void Click();

private:
    QButtonGroup* group_;
    std::vector<QRadioButton*> items_;
};

// Centres `dialog` on `mainWindow`: top = main top + (main height − dialog height) / 2, left the
// same way across, halves truncated toward zero; outer window bounds. Nothing without a main
// window.
void CentreOn(QDialog& dialog, const QWidget* mainWindow);

// The integer a text starts with: optional spaces, an optional sign, decimal digits; 0 when it
// starts with none. Numbers beyond the 32-bit range give its ends.
std::int32_t LeadingInteger(const QString& text);

} // namespace velmr::image

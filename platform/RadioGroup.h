#pragma once

#include <QGroupBox>
#include <QString>
#include <QStringList>

#include <vector>

class QButtonGroup;
class QRadioButton;

namespace velmr::platform {

// A titled box of radio items laid out in columns, with one item selected or none; the editing
// panel and the picture dialogs both use it. A selection made by the program raises the same
// Click as one made by the user, and only a real change raises it.
class RadioGroup final : public QGroupBox
{
    Q_OBJECT
public:
    // How close the items sit to the box and to each other: tight in the crowded editing panel,
    // roomy in the dialogs.
    enum class Spacing
    {
        Tight,
        Roomy
    };

    RadioGroup(const QString& name, const QString& title, const QStringList& items, int columns,
               QWidget* parent, Spacing spacing = Spacing::Tight);

    // The selected item, -1 when none is.
    int ItemIndex() const;
    // Selects `index` (-1: none). Raises Click when an item becomes selected.
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(items_.size()); }
    QRadioButton* Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }

Q_SIGNALS:
    // Another item became selected, by a click or by the program.
    void Click();

private:
    QButtonGroup* group_;
    std::vector<QRadioButton*> items_;
};

} // namespace velmr::platform

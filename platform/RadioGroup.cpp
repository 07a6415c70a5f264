#include "platform/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

namespace velmr::platform {

RadioGroup::RadioGroup(const QString& name, const QString& title, const QStringList& items,
                       int columns, QWidget* parent, Spacing spacing)
    : QGroupBox(title, parent), group_(new QButtonGroup(this))
{
    setObjectName(name);
    auto* grid = new QGridLayout(this);
    if (spacing == Spacing::Tight) {
        grid->setContentsMargins(3, 0, 1, 1);
        grid->setHorizontalSpacing(1);
    } else {
        grid->setContentsMargins(8, 2, 4, 4);
        grid->setHorizontalSpacing(4);
    }
    grid->setVerticalSpacing(0);
    for (int i = 0; i < items.size(); ++i) {
        auto* item = new QRadioButton(items[i], this);
        item->setObjectName(name + QStringLiteral("_%1").arg(i));
        group_->addButton(item, i);
        grid->addWidget(item, i / columns, i % columns);
        items_.push_back(item);
    }
    connect(group_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            Q_EMIT Click();
    });
}

int RadioGroup::ItemIndex() const
{
    return group_->checkedId();
}

void RadioGroup::SetItemIndex(int index)
{
    if (index == ItemIndex())
        return;
    if (index < 0 || index >= Count()) {
        // No item: the exclusive group would keep its checked button otherwise.
        group_->setExclusive(false);
        for (QRadioButton* item : items_)
            item->setChecked(false);
        group_->setExclusive(true);
        return;
    }
    items_[static_cast<std::size_t>(index)]->setChecked(true);
}

} // namespace velmr::platform

#include "panel/ControlForm.h"

#include "seal/MdiChild.h"

#include <QFrame>
#include <QLabel>

namespace velmr::panel {

TControlForm::TControlForm(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      panel1_(MakePanel(QStringLiteral("Panel1"), kNamePanelHeight, QStringLiteral("認印の編集"))),
      panel2_(
          MakePanel(QStringLiteral("Panel2"), kDatePanelHeight, QStringLiteral("日付印の編集"))),
      panel3_(MakePanel(QStringLiteral("Panel3"), kBitmapPanelHeight,
                        QStringLiteral("ビットマップ印の編集")))
{
    setObjectName(QStringLiteral("ControlForm"));
    setWindowTitle(QStringLiteral("印影編集"));
    SetClientSize(kPanelWidth + 4, kNamePanelHeight + 4);
}

QFrame* TControlForm::MakePanel(const QString& name, int height, const QString& heading)
{
    auto* panel = new QFrame(this);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setGeometry(2, 2, kPanelWidth, height);
    auto* label = new QLabel(heading, panel);
    label->setObjectName(name + QStringLiteral("Heading"));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setGeometry(4, 4, kPanelWidth - 8, 18);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    panel->hide();
    return panel;
}

void TControlForm::SetActiveChild(seal::TMDIChild* document)
{
    activeChild_ = document;
}

void TControlForm::SetClientSize(int width, int height)
{
    setFixedSize(width, height);
}

void TControlForm::Collapse()
{
    SetClientSize(panel1_->width() + 4, 2);
}

void TControlForm::ShowEditPanel(seal::TMDIChild& document)
{
    QFrame* shown = nullptr;
    switch (document.Kind) {
    case seal::kNameSeal:
        shown = panel1_;
        break;
    case seal::kDateSeal:
        shown = panel2_;
        break;
    case seal::kBitmapSeal:
        shown = panel3_;
        break;
    default:
        break;
    }
    for (QFrame* panel : {panel1_, panel2_, panel3_})
        panel->setVisible(panel == shown);
    if (!shown) {
        SetClientSize(panel1_->width() + 4, panel1_->height() + 4);
        return;
    }
    shown->move(2, 2);
    SetClientSize(shown->width() + 4, shown->height() + 4);
}

} // namespace velmr::panel

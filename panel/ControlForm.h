#pragma once

#include "seal/EditPanel.h"
#include "seal/MdiChild.h"

#include <QPointer>
#include <QWidget>

class QFrame;
class QLabel;

namespace velmr::panel {

inline constexpr int kPanelWidth = 169;
inline constexpr int kNamePanelHeight = 533;
inline constexpr int kDatePanelHeight = 577;
inline constexpr int kBitmapPanelHeight = 225;

// The seal editing panel "印影編集": a tool window that stays on top beside the main window and
// edits the active seal document, one panel per seal kind.
class TControlForm final : public QWidget, public seal::EditPanel
{
    Q_OBJECT
public:
    explicit TControlForm(QWidget* parent = nullptr);

    // The document the panel edits; follows the active document.
    seal::TMDIChild* ActiveChild() const { return activeChild_; }
    void SetActiveChild(seal::TMDIChild* document);

    // Shows the panel of the document's kind and sizes the window around it.
    void ShowEditPanel(seal::TMDIChild& document) override;

    // Only the caption bar shows: the state while no document is open.
    void Collapse();

    // The window's client area.
    void SetClientSize(int width, int height);

    QFrame* Panel1() const { return panel1_; }
    QFrame* Panel2() const { return panel2_; }
    QFrame* Panel3() const { return panel3_; }

private:
    QFrame* MakePanel(const QString& name, int height, const QString& heading);

    QPointer<seal::TMDIChild> activeChild_;
    QFrame* panel1_;
    QFrame* panel2_;
    QFrame* panel3_;
};

} // namespace velmr::panel

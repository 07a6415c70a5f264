#pragma once

#include "platform/UserDialogs.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

// The program's font chooser: the Japanese faces installed, a size in points, bold and italic.
// It shows a seal's font as its record holds it and gives back exactly that when nothing is
// changed, so confirming it untouched never alters a seal.
namespace velmr::platform {

// The faces a chooser lists and the entry that shows the seal's face.
struct FontFaceList
{
    QStringList faces;
    int current = 0;
    friend bool operator==(const FontFaceList&, const FontFaceList&) = default;
};

// The faces to list from the families installed with Japanese glyphs: each under the Windows
// name the records use for it where one stands for it ("IPAMincho" as "ＭＳ 明朝"), else under
// its own name (left out when a record could not hold that name: beyond kLongestFaceBytes of
// Shift-JIS, or not Shift-JIS at all); the Windows faces first in their usual order, then the
// others alphabetically; no name twice. `recordFace` is shown by its own entry or by the entry that
// stands for the same face ("MS Mincho" and "IPAMincho" by "ＭＳ 明朝"); a face that none stands
// for, installed or not, gets an entry of its own at the top, so that it is shown and kept.
inline constexpr std::size_t kLongestFaceBytes = 39; // a record's 40-byte field and its end

FontFaceList FontChooserFaces(const QStringList& installedFamilies, const QString& recordFace);

// The families installed here that have Japanese glyphs, Japanese designs only (JapaneseDesigns).
QStringList InstalledJapaneseFamilies();
// `families` less the Chinese and Korean designs of a pan-CJK face whose Japanese design is among
// them ("Noto Serif CJK SC" goes when "Noto Serif CJK JP" is there).
QStringList JapaneseDesigns(const QStringList& families);

// The largest size the size box offers (a record's larger size is offered as well).
inline constexpr std::int32_t kLargestChooserPoints = 999;

class FontChooser final : public QDialog
{
    Q_OBJECT
public:
    FontChooser(const FontDialogChoice& initial, const QStringList& installedFamilies,
                QWidget* parent = nullptr);

    // The font as it stands: the seal's own face name while its entry is selected.
    FontDialogChoice Choice() const;

private:
    void ShowSample();

    FontDialogChoice initial_;
    FontFaceList faces_;
    QListWidget* faceList_ = nullptr;
    QSpinBox* sizeBox_ = nullptr;
    QCheckBox* boldBox_ = nullptr;
    QCheckBox* italicBox_ = nullptr;
    QLabel* sample_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

} // namespace velmr::platform

#pragma once

#include "platform/RadioGroup.h"

#include <QLineEdit>
#include <QValidator>
#include <QWidget>

class QToolButton;

// The small controls the editing panel is made of, each behaving as the panel's handlers expect:
// a change made by the program raises the same event as one made by the user, and only a real
// change raises it.
namespace velmr::panel {

// The panel's radio groups are the program's one titled radio-group widget.
using platform::RadioGroup;

// Arrows that step a position inside a range, beside a display they do not fill themselves.
// Setting the position clamps it to the range and raises nothing; an arrow raises Click after it
// moved the position.
class UpDown final : public QWidget
{
    Q_OBJECT
public:
    UpDown(const QString& name, int minimum, int maximum, int position, QWidget* parent);

    int Position() const { return position_; }
    void SetPosition(int position);
    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    QToolButton* UpArrow() const { return up_; }
    QToolButton* DownArrow() const { return down_; }

Q_SIGNALS:
    void Click();

private:
    void Step(int delta);

    int minimum_;
    int maximum_;
    int position_;
    QToolButton* up_;
    QToolButton* down_;
};

// Keeps a line edit's text to what a Shift-JIS field of `maxBytes` bytes can hold. A character
// that Shift-JIS has no code for is refused as it is typed or pasted; text beyond the byte limit
// is cut at a character boundary. Each refusal is told through `refused` in a short sentence.
class SjisValidator final : public QValidator
{
    Q_OBJECT
public:
    SjisValidator(int maxBytes, QObject* parent);

    State validate(QString& input, int& pos) const override;

    // While set, any text is taken as it is (a record's text being shown).
    void SetAccepting(bool accepting) { accepting_ = accepting; }
    // The text last accepted; what a cut keeps to.
    void Accepted(const QString& text) { accepted_ = text; }

    int MaxBytes() const { return maxBytes_; }

Q_SIGNALS:
    void Refused(const QString& message) const;

private:
    int maxBytes_;
    bool accepting_ = false;
    mutable QString accepted_;
};

// A line edit for a Shift-JIS text field of the records.
class SjisEdit final : public QLineEdit
{
    Q_OBJECT
public:
    SjisEdit(const QString& name, int maxBytes, QWidget* parent);

    // Shows `text` exactly, whatever its length (a record's text is never cut by showing it).
    void ShowText(const QString& text);
    int MaxBytes() const { return validator_->MaxBytes(); }

Q_SIGNALS:
    void Refused(const QString& message);

private:
    SjisValidator* validator_;
};

} // namespace velmr::panel

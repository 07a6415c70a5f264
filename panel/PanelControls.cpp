#include "panel/PanelControls.h"

#include "platform/Cp932.h"

#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace velmr::panel {

namespace cp932 = platform::cp932;

// ---- UpDown

UpDown::UpDown(const QString& name, int minimum, int maximum, int position, QWidget* parent)
    : QWidget(parent), minimum_(minimum), maximum_(maximum), position_(position),
      up_(new QToolButton(this)), down_(new QToolButton(this))
{
    setObjectName(name);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (QToolButton* arrow : {up_, down_}) {
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        arrow->setFixedWidth(16);
        column->addWidget(arrow);
    }
    up_->setObjectName(name + QStringLiteral("_Up"));
    down_->setObjectName(name + QStringLiteral("_Down"));
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
    SetPosition(position);
}

void UpDown::SetPosition(int position)
{
    position_ = std::clamp(position, minimum_, maximum_);
}

void UpDown::Step(int delta)
{
    // No wrapping: at either end the arrow leaves the position where it is, as the control does.
    const int stepped = std::clamp(position_ + delta, minimum_, maximum_);
    if (stepped == position_)
        return;
    position_ = stepped;
    Q_EMIT Click();
}

// ---- SjisValidator

namespace {

// The byte length of a text that Shift-JIS can hold.
int Bytes(QStringView text)
{
    return static_cast<int>(cp932::EncodedLength(text).value_or(0));
}

// The longest start of `text` whose Shift-JIS form fits `budget` bytes, never splitting a
// character (a surrogate pair counts as one).
QString FitBytes(const QString& text, int budget)
{
    int used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype length = text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        const int bytes = Bytes(QStringView(text).mid(end, length));
        if (used + bytes > budget)
            break;
        used += bytes;
        end += length;
    }
    return text.left(end);
}

} // namespace

SjisValidator::SjisValidator(int maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes)
{}

QValidator::State SjisValidator::validate(QString& input, int& pos) const
{
    if (accepting_)
        return Acceptable;
    if (const std::optional<QString> refused = cp932::FirstUnrepresentable(input)) {
        Q_EMIT Refused(
            QStringLiteral("「%1」はシフトJISにない文字のため入力できません").arg(*refused));
        return Invalid;
    }
    const int bytes = Bytes(input);
    // A text that fits is taken; so is one that only got shorter (a record's overlong text being
    // edited down).
    if (bytes <= maxBytes_ || bytes < Bytes(accepted_)) {
        accepted_ = input;
        return Acceptable;
    }
    // Too long: keep of what was inserted as much as fits, as an edit with a length limit does.
    const QString& before = accepted_;
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < input.size() && before[prefix] == input[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < input.size() - prefix &&
           before[before.size() - 1 - suffix] == input[input.size() - 1 - suffix])
        ++suffix;
    if (prefix > 0 && input.at(prefix - 1).isHighSurrogate())
        --prefix; // never split a pair between the kept start and the inserted part
    const QString kept = input.left(prefix) + input.right(suffix);
    const QString inserted = input.mid(prefix, input.size() - prefix - suffix);
    const QString fitted = FitBytes(inserted, maxBytes_ - Bytes(kept));
    Q_EMIT Refused(QStringLiteral("全角%1文字（半角%2文字）までしか入力できません")
                       .arg(maxBytes_ / 2)
                       .arg(maxBytes_));
    const QString result = input.left(prefix) + fitted + input.right(suffix);
    if (Bytes(result) > maxBytes_ && Bytes(result) >= Bytes(accepted_))
        return Invalid;
    input = result;
    pos = static_cast<int>(prefix + fitted.size());
    accepted_ = input;
    return Acceptable;
}

// ---- SjisEdit

SjisEdit::SjisEdit(const QString& name, int maxBytes, QWidget* parent)
    : QLineEdit(parent), validator_(new SjisValidator(maxBytes, this))
{
    setObjectName(name);
    setValidator(validator_);
    connect(validator_, &SjisValidator::Refused, this, &SjisEdit::Refused);
}

void SjisEdit::ShowText(const QString& text)
{
    validator_->SetAccepting(true);
    setText(text);
    validator_->SetAccepting(false);
    validator_->Accepted(text);
}

} // namespace velmr::panel

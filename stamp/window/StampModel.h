#pragma once

#include "stamp/PdfStamp.h"

#include <QPointF>

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace velmr::stamp {

// The stamps placed on a PDF document in its window: what is placed where, which one is selected,
// and the steps to undo and redo. No widgets: the window shows it and turns the user's clicks and
// drags into its operations, each of which is one undo step.
class StampModel
{
public:
    static constexpr std::size_t kUndoLevels = 100;

    // The seal `art` as the stamps refer to it; the same artwork is the same seal (one form
    // object in the written file however often it is used).
    std::size_t AddSeal(std::shared_ptr<const output::SealArtwork> art);
    const std::vector<std::shared_ptr<const output::SealArtwork>>& Seals() const { return seals_; }
    const std::vector<Stamp>& Stamps() const { return stamps_; }
    std::optional<std::size_t> Selection() const { return selection_; }
    void Select(std::optional<std::size_t> index);

    // Places `stamp` (its seal added first) and selects it.
    std::size_t Place(const Stamp& stamp);
    // The same spot on every page of a document of `pageCount` pages, in one step; the stamp on
    // `stamp.page` is selected.
    void PlaceOnEveryPage(const Stamp& stamp, int pageCount);
    // The stamp's centre moves to `centreMm` on its page; nothing when it is already there.
    void Move(std::size_t index, QPointF centreMm);
    // The stamp turns to `degrees` clockwise, kept within 0..360.
    void Rotate(std::size_t index, double degrees);
    // Removes the stamp; nothing stays selected.
    void Remove(std::size_t index);

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    void Undo();
    void Redo();

    // The stamps differ from those last saved (none at first).
    bool IsModified() const;
    // The document was written with these stamps in it: the window now shows the stamped file,
    // so the stamps, their history and the selection start again empty.
    void Clear();

    // The topmost stamp on `page` whose ink covers `pointMm` (its rotation included), if any.
    std::optional<std::size_t> StampAt(int page, QPointF pointMm) const;

    // What to write: only the seals that some stamp uses, each once.
    StampRequest Request() const;

private:
    struct Step
    {
        std::vector<Stamp> stamps;
        std::optional<std::size_t> selection;
    };
    // The stamps are about to change: the state before becomes an undo step.
    void Remember();
    void Restore(std::deque<Step>& from, std::deque<Step>& to);

    std::vector<std::shared_ptr<const output::SealArtwork>> seals_;
    std::vector<Stamp> stamps_;
    std::optional<std::size_t> selection_;
    std::deque<Step> undo_;
    std::deque<Step> redo_;
};

// Rotation kept within [0, 360).
double NormalisedDegrees(double degrees);

} // namespace velmr::stamp

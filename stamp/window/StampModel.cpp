#include "stamp/window/StampModel.h"

#include <QTransform>

#include <algorithm>
#include <cmath>

namespace velmr::stamp {

double NormalisedDegrees(double degrees)
{
    if (!std::isfinite(degrees))
        return 0.0;
    double normal = std::fmod(degrees, 360.0);
    if (normal < 0.0)
        normal += 360.0;
    return normal >= 360.0 ? 0.0 : normal;
}

std::size_t StampModel::AddSeal(std::shared_ptr<const output::SealArtwork> art)
{
    const auto found = std::find(seals_.begin(), seals_.end(), art);
    if (found != seals_.end())
        return std::size_t(found - seals_.begin());
    seals_.push_back(std::move(art));
    return seals_.size() - 1;
}

void StampModel::Select(std::optional<std::size_t> index)
{
    selection_ = index && *index < stamps_.size() ? index : std::nullopt;
}

void StampModel::Remember()
{
    undo_.push_back({stamps_, selection_});
    if (undo_.size() > kUndoLevels)
        undo_.pop_front();
    redo_.clear();
}

std::size_t StampModel::Place(const Stamp& stamp)
{
    Remember();
    Stamp placed = stamp;
    placed.rotationDeg = NormalisedDegrees(stamp.rotationDeg);
    stamps_.push_back(placed);
    selection_ = stamps_.size() - 1;
    return *selection_;
}

void StampModel::PlaceOnEveryPage(const Stamp& stamp, int pageCount)
{
    if (pageCount <= 0)
        return;
    Remember();
    for (int page = 0; page < pageCount; ++page) {
        Stamp placed = stamp;
        placed.page = page;
        placed.rotationDeg = NormalisedDegrees(stamp.rotationDeg);
        stamps_.push_back(placed);
        if (page == stamp.page)
            selection_ = stamps_.size() - 1;
    }
}

void StampModel::Move(std::size_t index, QPointF centreMm)
{
    if (index >= stamps_.size() || stamps_[index].centreMm == centreMm)
        return;
    Remember();
    stamps_[index].centreMm = centreMm;
    selection_ = index;
}

void StampModel::Rotate(std::size_t index, double degrees)
{
    const double normal = NormalisedDegrees(degrees);
    if (index >= stamps_.size() || stamps_[index].rotationDeg == normal)
        return;
    Remember();
    stamps_[index].rotationDeg = normal;
    selection_ = index;
}

void StampModel::Remove(std::size_t index)
{
    if (index >= stamps_.size())
        return;
    Remember();
    stamps_.erase(stamps_.begin() + std::ptrdiff_t(index));
    selection_.reset();
}

void StampModel::Restore(std::deque<Step>& from, std::deque<Step>& to)
{
    if (from.empty())
        return;
    to.push_back({stamps_, selection_});
    stamps_ = std::move(from.back().stamps);
    selection_ = from.back().selection;
    from.pop_back();
}

void StampModel::Undo()
{
    Restore(undo_, redo_);
}

void StampModel::Redo()
{
    Restore(redo_, undo_);
}

bool StampModel::IsModified() const
{
    return !stamps_.empty();
}

void StampModel::Clear()
{
    stamps_.clear();
    seals_.clear();
    selection_.reset();
    undo_.clear();
    redo_.clear();
}

std::optional<std::size_t> StampModel::StampAt(int page, QPointF pointMm) const
{
    for (std::size_t i = stamps_.size(); i-- > 0;) {
        const Stamp& stamp = stamps_[i];
        if (stamp.page != page || stamp.seal >= seals_.size())
            continue;
        const QSizeF size = seals_[stamp.seal]->SizeMm();
        // The point in the seal's own upright frame, its centre at the origin.
        QTransform toSeal;
        toSeal.rotate(-stamp.rotationDeg);
        const QPointF local = toSeal.map(pointMm - stamp.centreMm);
        if (std::abs(local.x()) <= size.width() / 2 && std::abs(local.y()) <= size.height() / 2)
            return i;
    }
    return std::nullopt;
}

StampRequest StampModel::Request() const
{
    StampRequest request;
    std::vector<std::optional<std::size_t>> written(seals_.size());
    for (const Stamp& stamp : stamps_) {
        if (stamp.seal >= seals_.size())
            continue;
        if (!written[stamp.seal]) {
            written[stamp.seal] = request.seals.size();
            request.seals.push_back(seals_[stamp.seal]);
        }
        Stamp copy = stamp;
        copy.seal = *written[stamp.seal];
        request.stamps.push_back(copy);
    }
    return request;
}

} // namespace velmr::stamp

#pragma once

#include "image/ImgKit.h"
#include "image/Quantize.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// Pictures made up for the colour and scaling tests.
namespace velmr::test {

using image::Rgb;

inline void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

inline std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

// A packed bitmap being filled in: header, colour table or masks, rows bottom-up.
class DibBuilder
{
public:
    DibBuilder(int width, int height, int bits, const std::vector<Rgb>& table = {},
               std::uint32_t compression = 0, std::vector<std::uint32_t> masks = {})
        : width_(width), height_(height), bits_(bits),
          rowBytes_((std::size_t(width) * std::size_t(bits) + 31) / 32 * 4),
          offset_(40 + 4 * (compression == 3 ? 3 : table.size()))
    {
        bytes_.assign(offset_ + rowBytes_ * std::size_t(height), 0);
        Put32(bytes_, 0, 40);
        Put32(bytes_, 4, std::uint32_t(width));
        Put32(bytes_, 8, std::uint32_t(height));
        bytes_[12] = 1;
        bytes_[14] = std::uint8_t(bits);
        Put32(bytes_, 16, compression);
        Put32(bytes_, 20, std::uint32_t(rowBytes_ * std::size_t(height)));
        Put32(bytes_, 24, 3780); // 96 dpi
        Put32(bytes_, 28, 3780);
        if (compression == 3) {
            for (std::size_t i = 0; i < 3; ++i)
                Put32(bytes_, 40 + 4 * i, masks[i]);
        } else {
            Put32(bytes_, 32, std::uint32_t(table.size()));
            for (std::size_t i = 0; i < table.size(); ++i) {
                bytes_[40 + 4 * i] = table[i].b;
                bytes_[40 + 4 * i + 1] = table[i].g;
                bytes_[40 + 4 * i + 2] = table[i].r;
            }
        }
    }

    // The raw value of pixel (x, y), top-down: an index, a 16- or 32-bit word, or B | G | R.
    DibBuilder& Set(int x, int y, std::uint32_t value)
    {
        std::uint8_t* row = bytes_.data() + offset_ + rowBytes_ * std::size_t(height_ - 1 - y);
        switch (bits_) {
        case 1:
            row[x / 8] =
                std::uint8_t((row[x / 8] & ~(0x80 >> (x % 8))) | (value & 1) << (7 - x % 8));
            break;
        case 4:
            row[x / 2] = std::uint8_t(x % 2 ? (row[x / 2] & 0xF0) | (value & 15)
                                            : (row[x / 2] & 0x0F) | (value & 15) << 4);
            break;
        default:
            for (int i = 0; i < bits_ / 8; ++i)
                row[std::size_t(x * bits_ / 8 + i)] = std::uint8_t(value >> (8 * i));
            break;
        }
        return *this;
    }
    DibBuilder& SetRgb(int x, int y, Rgb c)
    {
        return Set(x, y, std::uint32_t(c.b) | std::uint32_t(c.g) << 8 | std::uint32_t(c.r) << 16);
    }
    DibBuilder& Fill(const std::function<Rgb(int x, int y)>& colour)
    {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                SetRgb(x, y, colour(x, y));
        return *this;
    }

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    image::ImgKitImage Make() const { return image::ImgKitFromPackedDib(bytes_); }

private:
    int width_, height_, bits_;
    std::size_t rowBytes_, offset_;
    std::vector<std::uint8_t> bytes_;
};

// Reading back a result.
struct DibView
{
    explicit DibView(std::span<const std::uint8_t> dib) : bytes(dib), table(Table()) {}

    std::span<const std::uint8_t> bytes;
    std::vector<Rgb> table;

    int Width() const { return int(Get32(bytes, 4)); }
    int Height() const { return int(Get32(bytes, 8)); }
    int Bits() const { return bytes[14]; }
    std::uint32_t ColoursUsed() const { return Get32(bytes, 32); }
    std::size_t TableEntries() const
    {
        return Bits() <= 8 ? (ColoursUsed() ? ColoursUsed() : 1u << Bits()) : 0;
    }
    std::vector<Rgb> Table() const
    {
        std::vector<Rgb> table;
        for (std::size_t i = 0; i < TableEntries(); ++i)
            table.push_back({bytes[40 + 4 * i + 2], bytes[40 + 4 * i + 1], bytes[40 + 4 * i]});
        return table;
    }
    std::size_t RowBytes() const
    {
        return (std::size_t(Width()) * std::size_t(Bits()) + 31) / 32 * 4;
    }
    const std::uint8_t* Row(int y) const
    {
        return bytes.data() + 40 + 4 * TableEntries() + RowBytes() * std::size_t(Height() - 1 - y);
    }
    int Index(int x, int y) const
    {
        const std::uint8_t* row = Row(y);
        switch (Bits()) {
        case 1:
            return (row[x / 8] >> (7 - x % 8)) & 1;
        case 4:
            return x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4;
        default:
            return row[x];
        }
    }
    // The colour of a pixel of an indexed or 24-bit picture.
    Rgb At(int x, int y) const
    {
        if (Bits() <= 8)
            return table[std::size_t(Index(x, y))];
        const std::uint8_t* p = Row(y) + 3 * x;
        return {p[2], p[1], p[0]};
    }
};

inline DibView View(image::ImgKitImage image)
{
    return DibView(image::ImgKitLock(image));
}

// A smooth, noisy, many-coloured picture like a photograph: a sky-to-ground gradient, a warm disc,
// rolling bands and a little grain.
inline Rgb PhotoLike(int x, int y, int width, int height)
{
    const double u = double(x) / width, v = double(y) / height;
    double r = 70 + 140 * u + 30 * std::sin(9 * u + 4 * v);
    double g = 90 + 110 * v + 25 * std::sin(13 * v - 5 * u);
    double b = 210 - 150 * u * v + 20 * std::cos(21 * u * v);
    const double du = u - 0.7, dv = v - 0.35;
    if (du * du + dv * dv < 0.02) {
        r = 225 - 40 * v;
        g = 60 + 50 * u;
        b = 45;
    }
    std::uint32_t h = std::uint32_t(x) * 0x9E3779B1u ^ std::uint32_t(y) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    const double grain = double(h % 13) - 6;
    const auto level = [](double c) { return std::uint8_t(std::clamp(c, 0.0, 255.0)); };
    return {level(r + grain), level(g + grain), level(b + grain)};
}

// Mean squared error per channel between two pictures of the same size.
inline double MeanSquaredError(const DibView& a, const DibView& b)
{
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            const Rgb p = a.At(x, y), q = b.At(x, y);
            sum += image::Distance2(p, q);
        }
    }
    return sum / (3.0 * a.Width() * a.Height());
}

} // namespace velmr::test

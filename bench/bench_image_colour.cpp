#include "image/ImgKit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using namespace velmr::image;

// A smooth, grainy, many-coloured 24-bit picture like a photograph.
ImgKitImage PhotoLikePicture(int width, int height)
{
    const std::size_t rowBytes = (std::size_t(width) * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> dib(40 + rowBytes * std::size_t(height), 0);
    const auto put32 = [&dib](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            dib[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, std::uint32_t(width));
    put32(8, std::uint32_t(height));
    dib[12] = 1;
    dib[14] = 24;
    put32(20, std::uint32_t(rowBytes * std::size_t(height)));
    const auto level = [](double c) { return std::uint8_t(std::clamp(c, 0.0, 255.0)); };
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = dib.data() + 40 + rowBytes * std::size_t(height - 1 - y);
        for (int x = 0; x < width; ++x, p += 3) {
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
            p[0] = level(b + grain);
            p[1] = level(g + grain);
            p[2] = level(r + grain);
        }
    }
    return ImgKitFromPackedDib(std::move(dib));
}

ImgKitImage Photo1600x1200()
{
    static const ImgKitImage picture = PhotoLikePicture(1600, 1200);
    return picture;
}

void Convert(benchmark::State& state, int bits, int palette, int dither)
{
    const ImgKitImage input = Photo1600x1200();
    for (auto _ : state) {
        const ImgKitImage result = ImgKitConvertColor(input, bits, palette, dither, {}, {});
        benchmark::DoNotOptimize(result);
        ImgKitMemFree(result);
    }
    state.SetItemsProcessed(state.iterations() * 1600 * 1200);
}

void BM_ColourTo8BitsOptimisedDiffused(benchmark::State& state)
{
    Convert(state, 8, 0, 1);
}
BENCHMARK(BM_ColourTo8BitsOptimisedDiffused)->Unit(benchmark::kMillisecond);

void BM_ColourTo8BitsOptimisedNearest(benchmark::State& state)
{
    Convert(state, 8, 0, 0);
}
BENCHMARK(BM_ColourTo8BitsOptimisedNearest)->Unit(benchmark::kMillisecond);

void BM_ColourTo4BitsFixedNearest(benchmark::State& state)
{
    Convert(state, 4, 1, 0);
}
BENCHMARK(BM_ColourTo4BitsFixedNearest)->Unit(benchmark::kMillisecond);

void BM_ColourTo1BitDiffused(benchmark::State& state)
{
    Convert(state, 1, 0, 1);
}
BENCHMARK(BM_ColourTo1BitDiffused)->Unit(benchmark::kMillisecond);

void Resize(benchmark::State& state, int fromWidth, int fromHeight, int width, int height)
{
    const ImgKitImage input = PhotoLikePicture(fromWidth, fromHeight);
    for (auto _ : state) {
        const ImgKitImage result = ImgKitImageSize(input, {}, {}, width, height);
        benchmark::DoNotOptimize(result);
        ImgKitMemFree(result);
    }
    ImgKitMemFree(input);
    state.SetItemsProcessed(state.iterations() * std::int64_t(width) * height);
}

void BM_Shrink4000x3000To640x480(benchmark::State& state)
{
    Resize(state, 4000, 3000, 640, 480);
}
BENCHMARK(BM_Shrink4000x3000To640x480)->Unit(benchmark::kMillisecond);

void BM_Enlarge640x480To1600x1200(benchmark::State& state)
{
    Resize(state, 640, 480, 1600, 1200);
}
BENCHMARK(BM_Enlarge640x480To1600x1200)->Unit(benchmark::kMillisecond);

} // namespace

// Writes the 17 rank pictures vp1.bmp to vp17.bmp into the folder given on the
// command line. Each is a level meter of 17 segments sized for the results
// grid's rank column (3350 twips wide, rows 240 twips high: 222 by 15 pixels
// at 96 dots per inch): band k lights k segments, and the colour runs from red
// for the weakest band through amber to green for the strongest, so a glance
// down the column reads both the length and the colour.
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int bands = 17;
constexpr int segmentWidth = 12;
constexpr int gap = 1;
constexpr int width = 1 + bands * segmentWidth + (bands - 1) * gap + 1;  // 222
constexpr int height = 15;

struct Rgb {
    std::uint8_t r, g, b;
};

constexpr Rgb red{200, 30, 30};
constexpr Rgb amber{235, 175, 20};
constexpr Rgb green{30, 155, 50};
constexpr Rgb unlit{228, 228, 228};
constexpr Rgb frame{150, 150, 150};
constexpr Rgb paper{255, 255, 255};

Rgb mix(Rgb a, Rgb b, double t)
{
    auto channel = [t](int x, int y) { return std::uint8_t(x + (y - x) * t + 0.5); };
    return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

Rgb bandColour(int band)
{
    const double t = double(band - 1) / (bands - 1);
    return t < 0.5 ? mix(red, amber, t * 2) : mix(amber, green, (t - 0.5) * 2);
}

std::vector<Rgb> picture(int band)
{
    std::vector<Rgb> pixels(std::size_t(width) * height, paper);
    auto at = [&](int x, int y) -> Rgb& { return pixels[std::size_t(y) * width + x]; };
    for (int x = 0; x < width; ++x)
        at(x, 0) = at(x, height - 1) = frame;
    for (int y = 0; y < height; ++y)
        at(0, y) = at(width - 1, y) = frame;
    const Rgb lit = bandColour(band);
    for (int s = 0; s < bands; ++s) {
        const int left = 1 + s * (segmentWidth + gap);
        const Rgb colour = s < band ? lit : unlit;
        for (int y = 2; y < height - 2; ++y)
            for (int x = left; x < left + segmentWidth; ++x)
                at(x, y) = colour;
    }
    return pixels;
}

void put16(std::string& out, std::uint32_t v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// An uncompressed 24-bit Windows bitmap, rows bottom up, each padded to four
// bytes.
std::string bmp(const std::vector<Rgb>& pixels)
{
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint32_t imageBytes = rowBytes * height;
    std::string out;
    out += "BM";
    put32(out, 14 + 40 + imageBytes);
    put32(out, 0);
    put32(out, 14 + 40);
    put32(out, 40);
    put32(out, width);
    put32(out, height);
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);  // no compression
    put32(out, imageBytes);
    put32(out, 3780);  // 96 dots per inch
    put32(out, 3780);
    put32(out, 0);
    put32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            const Rgb p = pixels[std::size_t(y) * width + x];
            row += char(p.b);
            row += char(p.g);
            row += char(p.r);
        }
        row.resize(rowBytes, '\0');
        out += row;
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (int band = 1; band <= bands; ++band) {
        const std::string path = std::string(argv[1]) + "/vp" + std::to_string(band) + ".bmp";
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        const std::string data = bmp(picture(band));
        file.write(data.data(), std::streamsize(data.size()));
        if (!file) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

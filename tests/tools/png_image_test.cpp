// PNG files as layer pixels: the size in the header is checked before any
// pixel is decoded, and the pixels decoded row by row into the layer's size
// match libpng's own whole-image reader sampled at the nearest pixel.
#include "Comp.h"
#include "HostFixture.h"
#include "PngImage.h"
#include "Scene.h"

#include <gtest/gtest.h>
#include <png.h>

#include <unistd.h>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string tempName(const std::string& tag) {
    // Named per process: parallel builds run their tests side by side.
    return ::testing::TempDir() + "vemaro_png_" + tag + "_" + std::to_string(getpid()) + ".png";
}

// Writes rows of `bytes` (packed as libpng expects for the colour type and
// depth) with libpng's writer; palette entries 0..255 map to (i, 255 - i,
// i / 2) with alpha 255 - i.
bool writePng(const std::string& file, png_uint_32 w, png_uint_32 h, int colorType, int bitDepth, bool interlaced,
              const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const std::size_t rowBytes = bytes.size() / h;
    std::vector<png_bytep> rows(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = const_cast<png_bytep>(bytes.data()) + y * rowBytes;
    png_color palette[256];
    png_byte alpha[256];
    for (int i = 0; i < 256; ++i) {
        palette[i] = {png_byte(i), png_byte(255 - i), png_byte(i / 2)};
        alpha[i] = png_byte(255 - i);
    }
    bool ok = false;
    if (!setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, w, h, bitDepth, colorType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (colorType == PNG_COLOR_TYPE_PALETTE) {
            png_set_PLTE(png, info, palette, 1 << bitDepth);
            png_set_tRNS(png, info, alpha, 1 << bitDepth, nullptr);
        }
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return ok;
}

// The whole image through libpng's simplified reader, 8-bit RGBA.
std::vector<unsigned char> readWhole(const std::string& file, png_uint_32& w, png_uint_32& h) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    std::vector<unsigned char> out;
    if (!png_image_begin_read_from_file(&img, file.c_str())) return out;
    img.format = PNG_FORMAT_RGBA;
    out.resize(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, out.data(), 0, nullptr)) out.clear();
    w = img.width;
    h = img.height;
    return out;
}

uint32_t crc32(const unsigned char* p, std::size_t n) {
    uint32_t c = 0xffffffffu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1)));
    }
    return ~c;
}

// A file of a few dozen bytes whose header (with a correct checksum) claims
// w x h pixels, followed by a little compressed data.
std::string craftedHeader(const std::string& tag, uint32_t w, uint32_t h) {
    std::vector<unsigned char> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<unsigned char>(v >> s));
    b.insert(b.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, not interlaced
    const uint32_t crc = crc32(&b[12], 17);
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<unsigned char>(crc >> s));
    // An IDAT of an empty zlib stream and IEND; never reached.
    const unsigned char tail[] = {0, 0, 0, 8, 'I', 'D', 'A', 'T', 0x78, 0x9c, 3,   0,   0,    0,    0,    1,
                                  0, 0, 0, 0, 0,   0,   0,   0,   'I',  'E',  'N', 'D', 0xae, 0x42, 0x60, 0x82};
    b.insert(b.end(), std::begin(tail), std::end(tail));
    const std::string file = tempName(tag);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return file;
}

std::string loadError(const std::string& file, int w, int h) {
    try {
        scene::PngImage::load(file, "here", w, h);
    } catch (const scene::Error& e) {
        return e.what();
    }
    return "";
}

TEST(PngImage, HeaderSizeIsCheckedBeforeDecoding) {
    struct Case {
        uint32_t w, h;
        bool accepted;
    };
    const Case cases[] = {{20000, 20000, false},   {16385, 1, false},  {1, 16385, false},   {0xffffffffu, 1, false},
                          {0x80000000u, 1, false}, {8000, 8000, true}, {16384, 16384, true}};
    for (const Case& c : cases) {
        const std::string file = craftedHeader("crafted", c.w, c.h);
        const std::string error = loadError(file, 64, 64);
        std::remove(file.c_str());
        const std::string size = std::to_string(c.w) + " x " + std::to_string(c.h);
        if (c.accepted) {
            // Within the limit the decoder runs and finds the data missing.
            EXPECT_NE(error.find("here: cannot decode the PNG file"), std::string::npos) << size << ": " << error;
        } else {
            EXPECT_NE(error.find("here: the PNG file"), std::string::npos) << size << ": " << error;
            EXPECT_NE(error.find(size + " pixels; images may be at most 16384 on a side"), std::string::npos) << error;
        }
    }
}

TEST(PngImage, FilesThatAreNotSoundPngAreRefused) {
    // A real 5 x 4 image, then cut short and with one byte of its data changed.
    const std::string file = tempName("sound");
    std::vector<unsigned char> px(5 * 4 * 4);
    for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i * 37);
    ASSERT_TRUE(writePng(file, 5, 4, PNG_COLOR_TYPE_RGBA, 8, false, px));
    EXPECT_EQ(loadError(file, 3, 3), "");
    std::ifstream in(file, std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();

    struct Case {
        std::string bytes, error;
    };
    std::string flipped = whole;
    flipped[whole.find("IDAT") + 8] ^= 0x55;
    const Case cases[] = {{whole.substr(0, whole.size() / 2), "cannot decode the PNG file"},
                          {flipped, "cannot decode the PNG file"},
                          {whole.substr(0, 20), "not a PNG file"},
                          {"GIF89a" + whole.substr(6), "not a PNG file"},
                          {"", "not a PNG file"}};
    for (const Case& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.bytes;
        EXPECT_NE(loadError(file, 3, 3).find(c.error), std::string::npos) << c.error << ": " << loadError(file, 3, 3);
    }
    std::remove(file.c_str());
    EXPECT_NE(loadError(file, 3, 3).find("cannot read the PNG file"), std::string::npos);
}

TEST(PngImage, RowByRowDecodingMatchesTheWholeImageReader) {
    // Every colour type at 8 bits (and below, for grey and palette), plain
    // and interlaced, shrunk, kept and enlarged at uneven ratios.
    struct Kind {
        int colorType, bitDepth, channels;
    };
    const Kind kinds[] = {{PNG_COLOR_TYPE_RGBA, 8, 4},    {PNG_COLOR_TYPE_RGB, 8, 3},
                          {PNG_COLOR_TYPE_GRAY, 8, 1},    {PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2},
                          {PNG_COLOR_TYPE_PALETTE, 8, 1}, {PNG_COLOR_TYPE_PALETTE, 4, 1},
                          {PNG_COLOR_TYPE_GRAY, 1, 1},    {PNG_COLOR_TYPE_GRAY, 2, 1}};
    const png_uint_32 w = 37, h = 23;
    const std::string file = tempName("kinds");
    for (const Kind& k : kinds)
        for (bool interlaced : {false, true}) {
            const std::size_t rowBytes = (std::size_t(w) * std::size_t(k.channels * k.bitDepth) + 7) / 8;
            std::vector<unsigned char> bytes(rowBytes * h);
            for (std::size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<unsigned char>((i * 131 + i / 7) ^ (i >> 3));
            ASSERT_TRUE(writePng(file, w, h, k.colorType, k.bitDepth, interlaced, bytes));
            png_uint_32 rw = 0, rh = 0;
            const std::vector<unsigned char> whole = readWhole(file, rw, rh);
            ASSERT_EQ(whole.size(), std::size_t(w) * h * 4);
            std::shared_ptr<const scene::PngImage> img;
            ASSERT_NO_THROW(img = scene::PngImage::load(file, "here", 5, 3));
            for (auto size : {std::pair<int, int>{5, 3}, {1, 1}, {37, 23}, {36, 22}, {80, 47}, {12, 23}}) {
                const auto got = img->pixels(size.first, size.second);
                ASSERT_EQ(got->size(), std::size_t(size.first) * std::size_t(size.second) * 4);
                int wrong = 0;
                for (int y = 0; y < size.second; ++y)
                    for (int x = 0; x < size.first; ++x) {
                        const std::size_t sx = std::size_t(std::min(int((x + 0.5) * w / size.first), int(w) - 1));
                        const std::size_t sy = std::size_t(std::min(int((y + 0.5) * h / size.second), int(h) - 1));
                        const std::size_t at = (std::size_t(y) * std::size_t(size.first) + std::size_t(x)) * 4;
                        for (std::size_t c = 0; c < 4; ++c) wrong += (*got)[at + c] != whole[(sy * w + sx) * 4 + c];
                    }
                EXPECT_EQ(wrong, 0) << "colour type " << k.colorType << ", " << k.bitDepth << " bits, interlaced "
                                    << interlaced << ", at " << size.first << " x " << size.second;
            }
        }
    std::remove(file.c_str());
}

TEST(PngImage, NearestSourcePixelsAndSixteenBits) {
    // 7 x 5 grey at 16 bits, pixel (x, y) = 0x0101 * (10 y + x): stored
    // values scale to 8 bits exactly (10 y + x).
    const std::string file = tempName("nearest");
    std::vector<unsigned char> bytes;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) bytes.insert(bytes.end(), 2, static_cast<unsigned char>(10 * y + x));
    ASSERT_TRUE(writePng(file, 7, 5, PNG_COLOR_TYPE_GRAY, 16, false, bytes));
    const auto img = scene::PngImage::load(file, "here", 3, 2);
    std::remove(file.c_str());
    // Centres of the 3 x 2 target fall on source columns 1, 3, 5 and rows 1, 3.
    const auto p = img->pixels(3, 2);
    const unsigned char want[6] = {11, 13, 15, 31, 33, 35};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ((*p)[std::size_t(i) * 4], want[i]) << i;
        EXPECT_EQ((*p)[std::size_t(i) * 4 + 3], 255) << i;
    }
}

class PngScene : public HostFixture {};

TEST_F(PngScene, AHugeImageIsRefusedNamingTheEntry) {
    const std::string file = craftedHeader("scene", 20000, 20000);
    std::string error;
    try {
        scene::Context context{host, "/nowhere/scene.json", {}, 0};
        scene::applyText(R"js({"composition": {"layers": [{"name": "map", "width": 64, "height": 64}]},
            "pixels": [{"layer": "map", "image": ")js" +
                             file + R"js("}]})js",
                         context);
    } catch (const scene::Error& e) {
        error = e.what();
    }
    std::remove(file.c_str());
    EXPECT_NE(error.find("\"pixels\" entry 1: the PNG file"), std::string::npos) << error;
    EXPECT_NE(error.find("20000 x 20000 pixels"), std::string::npos) << error;
}

}  // namespace

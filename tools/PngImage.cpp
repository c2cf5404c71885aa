#include "PngImage.h"

#include "Scene.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace scene {

namespace {

struct Source {
    const unsigned char* data;
    std::size_t size, pos;
};

void readData(png_structp png, png_bytep out, png_size_t n) {
    Source* s = static_cast<Source*>(png_get_io_ptr(png));
    if (n > s->size - s->pos) png_error(png, "the file ends early");
    std::memcpy(out, s->data + s->pos, n);
    s->pos += n;
}

struct Failure {
    char message[200];
};

void onError(png_structp png, png_const_charp message) {
    Failure* f = static_cast<Failure*>(png_get_error_ptr(png));
    std::snprintf(f->message, sizeof f->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// The libpng structures of one decode. The functions that call into libpng
// hold nothing that needs destroying, since an error leaves them by longjmp.
struct Decoder {
    Source source;
    Failure failure{};
    png_structp png = nullptr;
    png_infop info = nullptr;

    explicit Decoder(const std::vector<unsigned char>& file) : source{file.data(), file.size(), 0} {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, onError, onWarning);
        if (png) info = png_create_info_struct(png);
        if (info) png_set_read_fn(png, &source, readData);
    }
    ~Decoder() { png_destroy_read_struct(&png, &info, nullptr); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

// Reads up to the pixels and asks for 8-bit red, green, blue, alpha; gives
// the number of interlace passes, or 0 on failure.
int start(Decoder& d) {
    if (!d.info) {
        std::snprintf(d.failure.message, sizeof d.failure.message, "out of memory");
        return 0;
    }
    if (setjmp(png_jmpbuf(d.png))) return 0;
    png_read_info(d.png, d.info);
    const int type = png_get_color_type(d.png, d.info);
    png_set_expand(d.png);  // palette, grey below 8 bits and transparency chunks
    png_set_scale_16(d.png);
    png_set_gray_to_rgb(d.png);
    if (!(type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(d.png, d.info, PNG_INFO_tRNS))
        png_set_add_alpha(d.png, 0xff, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);
    if (png_get_rowbytes(d.png, d.info) != std::size_t(png_get_image_width(d.png, d.info)) * 4)
        png_error(d.png, "unexpected row layout");
    return passes;
}

// Where the rows go: rows[y] keeps row y across interlace passes where it is
// needed (null: any row is read into scratch); take() sees each complete row.
struct RowTarget {
    unsigned char* const* rows;
    unsigned char* scratch;
    void (*take)(void* context, png_uint_32 y, const unsigned char* row);
    void* context;
};

bool readRows(Decoder& d, int passes, png_uint_32 height, const RowTarget& t) {
    if (setjmp(png_jmpbuf(d.png))) return false;
    for (int p = 0; p < passes; ++p)
        for (png_uint_32 y = 0; y < height; ++y) {
            unsigned char* row = t.rows && t.rows[y] ? t.rows[y] : t.scratch;
            png_read_row(d.png, row, nullptr);
            if (p == passes - 1) t.take(t.context, y, row);
        }
    png_read_end(d.png, nullptr);
    return true;
}

// Fills target rows from source rows as they arrive, nearest pixel.
struct Shrink {
    std::vector<int> rowOf, columnOf;  // source row / column of each target row / column
    unsigned char* target;
    std::size_t next = 0;  // first target row not filled yet

    static void take(void* context, png_uint_32 y, const unsigned char* row) {
        Shrink& s = *static_cast<Shrink*>(context);
        const std::size_t w = s.columnOf.size();
        for (; s.next < s.rowOf.size() && png_uint_32(s.rowOf[s.next]) == y; ++s.next) {
            unsigned char* out = s.target + s.next * w * 4;
            for (std::size_t x = 0; x < w; ++x) std::memcpy(out + x * 4, row + std::size_t(s.columnOf[x]) * 4, 4);
        }
    }
};

std::vector<int> nearest(int to, int from) {
    std::vector<int> map(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) map[std::size_t(i)] = std::min(static_cast<int>((i + 0.5) * from / to), from - 1);
    return map;
}

// Decodes the whole file into width x height; false with the reason in
// `error`.
bool decode(const std::vector<unsigned char>& file, int width, int height, std::vector<unsigned char>& out,
            std::string& error) {
    Decoder d(file);
    const int passes = start(d);
    if (passes == 0) {
        error = d.failure.message;
        return false;
    }
    const png_uint_32 w = png_get_image_width(d.png, d.info), h = png_get_image_height(d.png, d.info);
    Shrink shrink{nearest(height, int(h)), nearest(width, int(w)), nullptr};
    out.assign(std::size_t(width) * std::size_t(height) * 4, 0);
    shrink.target = out.data();
    const std::size_t rowBytes = std::size_t(w) * 4;
    std::vector<unsigned char> scratch(rowBytes);
    // Interlaced files finish each row on the last pass: keep the rows that
    // are sampled until then (one per target row at most).
    std::vector<unsigned char> kept;
    std::vector<unsigned char*> rows;
    if (passes > 1) {
        rows.assign(h, nullptr);
        std::vector<int> needed = shrink.rowOf;
        needed.erase(std::unique(needed.begin(), needed.end()), needed.end());
        kept.assign(needed.size() * rowBytes, 0);
        for (std::size_t i = 0; i < needed.size(); ++i) rows[std::size_t(needed[i])] = kept.data() + i * rowBytes;
    }
    const RowTarget target{rows.empty() ? nullptr : rows.data(), scratch.data(), Shrink::take, &shrink};
    if (!readRows(d, passes, h, target)) {
        error = d.failure.message;
        return false;
    }
    return true;
}

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw Error(where + ": " + what); }

}  // namespace

std::shared_ptr<const PngImage> PngImage::load(const std::string& path, const std::string& where, int width,
                                               int height) {
    std::ifstream f(path, std::ios::binary);
    if (!f) fail(where, "cannot read the PNG file " + path);
    auto image = std::make_shared<PngImage>();
    image->file_.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    const std::vector<unsigned char>& b = image->file_;
    // The size stands in the first chunk, right after the signature.
    if (b.size() < 24 || png_sig_cmp(b.data(), 0, 8) != 0 || std::memcmp(&b[12], "IHDR", 4) != 0)
        fail(where, "cannot read the PNG file " + path + ": not a PNG file");
    auto be32 = [&](std::size_t at) {
        return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
    };
    const std::uint32_t w = be32(16), h = be32(20);
    if (w > kMaxPngSide || h > kMaxPngSide)
        fail(where, "the PNG file " + path + " is " + std::to_string(w) + " x " + std::to_string(h) +
                        " pixels; images may be at most " + std::to_string(kMaxPngSide) + " on a side");
    image->width_ = int(w);
    image->height_ = int(h);
    if (width <= 0 || height <= 0) width = image->width_, height = image->height_;
    // Decoding at the size the layer is drawn at also proves the file sound.
    auto first = std::make_shared<std::vector<unsigned char>>();
    std::string error;
    if (!decode(image->file_, width, height, *first, error))
        fail(where, "cannot decode the PNG file " + path + ": " + error);
    image->sizes_[{width, height}] = first;
    return image;
}

std::shared_ptr<const std::vector<unsigned char>> PngImage::pixels(int width, int height) const {
    std::lock_guard<std::mutex> g(mutex_);
    auto& slot = sizes_[{width, height}];
    if (!slot) {
        auto out = std::make_shared<std::vector<unsigned char>>();
        std::string error;
        // The file decoded once already; it cannot fail now but for memory.
        if (!decode(file_, width, height, *out, error)) out->assign(std::size_t(width) * std::size_t(height) * 4, 0);
        slot = out;
    }
    return slot;
}

}  // namespace scene

#include "FrameFile.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <png.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace tools {

using hostsim::Depth;

namespace {

// The part of row y of the frame the result covers: pixels [x0, x1) of the
// frame are pixels [x0 - left, x1 - left) of the result's row; null when the
// row shows none of it.
template <class P>
const P* coveredRow(const FrameView& f, int y, int& x0, int& x1) {
    const hostsim::World* r = f.result;
    if (!r || r->empty() || y < f.top || y >= f.top + r->height()) return nullptr;
    x0 = std::max(0, f.left);
    x1 = std::min(f.width, f.left + r->width());
    if (x0 >= x1) return nullptr;
    return r->row<P>(y - f.top) + (x0 - f.left);
}

// Row y as big-endian RGBA, 8 or 16 bits a channel; transparent black where
// the result does not reach.
void pngRow(const FrameView& f, int y, unsigned char* out) {
    const bool deep = f.depth == Depth::Bits16;
    std::memset(out, 0, std::size_t(f.width) * (deep ? 8 : 4));
    int x0 = 0, x1 = 0;
    if (deep) {
        const PF_Pixel16* p = coveredRow<PF_Pixel16>(f, y, x0, x1);
        if (!p) return;
        unsigned char* o = out + std::size_t(x0) * 8;
        for (int x = x0; x < x1; ++x, ++p)
            for (A_u_short c : {p->red, p->green, p->blue, p->alpha}) {
                const unsigned v = (std::min<unsigned>(c, 32768u) * 65535u + 16384u) / 32768u;
                *o++ = static_cast<unsigned char>(v >> 8);
                *o++ = static_cast<unsigned char>(v & 0xFF);
            }
    } else {
        const PF_Pixel* p = coveredRow<PF_Pixel>(f, y, x0, x1);
        if (!p) return;
        unsigned char* o = out + std::size_t(x0) * 4;
        for (int x = x0; x < x1; ++x, ++p) {
            *o++ = p->red;
            *o++ = p->green;
            *o++ = p->blue;
            *o++ = p->alpha;
        }
    }
}

// Row y as premultiplied float RGBA (EXR colour is premultiplied; the host's
// float pixels are not).
void exrRow(const FrameView& f, int y, float* out) {
    std::fill(out, out + std::size_t(f.width) * 4, 0.0f);
    int x0 = 0, x1 = 0;
    const PF_PixelFloat* p = coveredRow<PF_PixelFloat>(f, y, x0, x1);
    if (!p) return;
    float* o = out + std::size_t(x0) * 4;
    for (int x = x0; x < x1; ++x, ++p) {
        *o++ = p->red * p->alpha;
        *o++ = p->green * p->alpha;
        *o++ = p->blue * p->alpha;
        *o++ = p->alpha;
    }
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A temporary file beside the target that becomes the target only by
// commit(); removed otherwise.
class TempFile {
public:
    explicit TempFile(const std::string& target) : target_(target) {
        const std::string dir = directoryOf(target);
        std::string name = (dir == "/" ? "" : dir) + "/." + baseOf(target) + ".XXXXXX";
        std::vector<char> buf(name.begin(), name.end());
        buf.push_back('\0');
        fd_ = mkstemp(buf.data());
        if (fd_ < 0) {
            error_ = "cannot write " + target + ": cannot create a file in " + dir + " (" + std::strerror(errno) + ")";
            return;
        }
        path_ = buf.data();
        // mkstemp makes the file private; a frame gets the usual permissions.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    ~TempFile() {
        if (fd_ >= 0) close(fd_);
        if (!committed_ && !path_.empty()) unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    // The descriptor, handed over (to fdopen); the file stays.
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void closeFd() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    bool commit(std::string* error) {
        if (std::rename(path_.c_str(), target_.c_str()) != 0) {
            if (error) *error = "cannot write " + target_ + ": " + std::strerror(errno);
            return false;
        }
        committed_ = true;
        return true;
    }

private:
    std::string target_, path_, error_;
    int fd_ = -1;
    bool committed_ = false;
};

struct PngSink {
    FILE* file;
    std::string reason;  // why a write failed
    long rowsLeft;       // test hook: rows until an injected failure, -1 none
};

void pngError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    if (sink && sink->reason.empty()) sink->reason = message;
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

void pngWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, size, sink->file) != size) {
        sink->reason = std::strerror(errno ? errno : EIO);
        png_error(png, "write failed");
    }
}
void pngFlush(png_structp png) { std::fflush(static_cast<PngSink*>(png_get_io_ptr(png))->file); }

// The body of writePng once the file is open; false with sink.reason set.
// Kept apart from locals that setjmp could clobber.
bool encodePng(const FrameView& f, PngSink& sink, png_structp png, png_infop info, std::vector<unsigned char>& row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &sink, pngWrite, pngFlush);
    // Frames are written once and read by other tools: zlib level 1 with
    // the Sub filter writes a 1080p frame about three times as fast as
    // libpng's default (level 6, every filter tried) for a quarter more bytes.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    const bool deep = f.depth == Depth::Bits16;
    png_set_IHDR(png, info, png_uint_32(f.width), png_uint_32(f.height), deep ? 16 : 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < f.height; ++y) {
        if (sink.rowsLeft == 0) {
            sink.reason = std::strerror(ENOSPC);
            return false;
        }
        if (sink.rowsLeft > 0) --sink.rowsLeft;
        pngRow(f, y, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

bool failWith(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// Whether the frame has pixels and the depth its file format holds.
bool writable(const FrameView& f, const std::string& path, bool exr, std::string* error) {
    if (exr != (f.depth == Depth::Float))
        return failWith(error,
                        exr ? "only 32-bit frames are written as EXR" : "a 32-bit frame is written as EXR, not PNG");
    if (f.width <= 0 || f.height <= 0) return failWith(error, "cannot write " + path + ": the layer has no pixels");
    return true;
}

}  // namespace

const char* frameExtension(Depth depth) { return depth == Depth::Float ? ".exr" : ".png"; }

bool writePng(const FrameView& f, const std::string& path, std::string* error, const WriteOptions& options) {
    if (!writable(f, path, false, error)) return false;
    TempFile temp(path);
    if (!temp.ok()) return failWith(error, temp.error());
    FILE* file = fdopen(temp.release(), "wb");
    if (!file) {
        if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    PngSink sink{file, "", options.failAfterRows};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<unsigned char> row;
    bool ok = false;
    if (info) {
        row.resize(std::size_t(f.width) * (f.depth == Depth::Bits16 ? 8 : 4));
        ok = encodePng(f, sink, png, info, row);
    } else {
        sink.reason = "out of memory";
    }
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file) != 0 && ok) {
        ok = false;
        sink.reason = std::strerror(errno);
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        sink.reason = std::strerror(errno);
    }
    if (!ok) {
        if (error) *error = "cannot write " + path + ": " + sink.reason;
        return false;
    }
    return temp.commit(error);
}

bool writeExr(const FrameView& f, const std::string& path, std::string* error, const WriteOptions& options) {
    if (!writable(f, path, true, error)) return false;
    TempFile temp(path);
    if (!temp.ok()) return failWith(error, temp.error());
    temp.closeFd();
    const int w = f.width;
    std::vector<float> row(std::size_t(w) * 4);
    try {
        Imf::Header header(w, f.height);
        const char* names[4] = {"R", "G", "B", "A"};
        for (const char* n : names) header.channels().insert(n, Imf::Channel(Imf::FLOAT));
        Imf::OutputFile file(temp.path().c_str(), header);
        for (int y = 0; y < f.height; ++y) {
            if (options.failAfterRows >= 0 && y >= options.failAfterRows)
                throw std::runtime_error(std::strerror(ENOSPC));
            exrRow(f, y, row.data());
            // Slices address pixels by absolute position: shift the base so
            // that row y lands on the buffer.
            char* base =
                reinterpret_cast<char*>(row.data()) - std::ptrdiff_t(y) * std::ptrdiff_t(sizeof(float) * 4 * w);
            Imf::FrameBuffer buffer;
            for (int c = 0; c < 4; ++c)
                buffer.insert(names[c], Imf::Slice(Imf::FLOAT, base + sizeof(float) * std::size_t(c), sizeof(float) * 4,
                                                   sizeof(float) * 4 * std::size_t(w)));
            file.setFrameBuffer(buffer);
            file.writePixels(1);
        }
    } catch (const std::exception& e) {
        if (error) *error = "cannot write " + path + ": " + e.what();
        return false;
    }
    return temp.commit(error);
}

}  // namespace tools

// A PNG file used as the pixels of a layer. The file is kept compressed; its
// pixels are decoded row by row straight into the size a layer is drawn at
// (nearest source pixel), so that a large image shown small never costs its
// full size in memory. The header's size is checked before anything is
// decoded: images larger than kMaxPngSide on either side are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace scene {

// The largest width or height accepted. A 16384 x 16384 file decodes in a
// few seconds and needs, besides the target, one row of 64 KB (one row per
// target row for interlaced files).
constexpr std::uint32_t kMaxPngSide = 16384;

class PngImage {
public:
    // Reads the file and decodes it at width x height (the size the layer is
    // drawn at in full resolution; 0 x 0: the image's own size); throws scene::Error naming `where` when
    // it cannot be read, is not a PNG, is too large or is damaged.
    static std::shared_ptr<const PngImage> load(const std::string& path, const std::string& where, int width,
                                                int height);

    int width() const { return width_; }
    int height() const { return height_; }

    // The image at width x height, 8-bit red, green, blue, alpha (straight,
    // values as stored), each target pixel the nearest source pixel:
    // column min(floor((x + 0.5) * w / width), w - 1), rows alike. Decoded
    // once per size and kept.
    std::shared_ptr<const std::vector<unsigned char>> pixels(int width, int height) const;

private:
    std::vector<unsigned char> file_;
    int width_ = 0, height_ = 0;
    mutable std::mutex mutex_;
    mutable std::map<std::pair<int, int>, std::shared_ptr<const std::vector<unsigned char>>> sizes_;
};

}  // namespace scene

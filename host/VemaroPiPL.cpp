#include "VemaroPiPL.h"

#include "VemaroPattern.h"

#include <array>

namespace {

// Layout: int16 version 1, int32 0, int32 property count; per property the
// vendor code and key (each byte-reversed, as a little-endian four-character
// code), int32 id 0, int32 data length (before padding), then the data padded
// with zeros to a multiple of 4. Integers are little-endian.
struct Writer {
    std::array<unsigned char, 512> bytes{};
    std::size_t size = 0;
    std::size_t dataStart = 0;

    constexpr void u8(unsigned v) { bytes[size++] = static_cast<unsigned char>(v); }
    constexpr void i16(int v) {
        u8(v & 0xff);
        u8((v >> 8) & 0xff);
    }
    constexpr void i32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) u8((v >> (8 * i)) & 0xff);
    }
    constexpr void code(const char* c) {  // byte-reversed
        for (int i = 3; i >= 0; --i) u8(static_cast<unsigned char>(c[i]));
    }
    constexpr void pad() {  // the data, not the file offset, is padded
        while ((size - dataStart) % 4) u8(0);
    }
    constexpr void head(const char* key, std::uint32_t length) {
        code("8BIM");
        code(key);
        i32(0);
        i32(length);
        dataStart = size;
    }
    static constexpr std::size_t len(const char* s) {
        std::size_t n = 0;
        while (s[n]) ++n;
        return n;
    }
    constexpr void pstring(const char* key, const char* s) {  // length byte, characters, zero
        std::size_t n = len(s);
        head(key, static_cast<std::uint32_t>(n + 2));
        u8(static_cast<unsigned>(n));
        for (std::size_t i = 0; i < n; ++i) u8(static_cast<unsigned char>(s[i]));
        u8(0);
        pad();
    }
    constexpr void cstring(const char* key, const char* s) {  // NUL-terminated
        std::size_t n = len(s);
        head(key, static_cast<std::uint32_t>(n + 1));
        for (std::size_t i = 0; i < n; ++i) u8(static_cast<unsigned char>(s[i]));
        u8(0);
        pad();
    }
    constexpr void long32(const char* key, std::uint32_t v) {
        head(key, 4);
        i32(v);
    }
    constexpr void version16(const char* key, int major, int minor) {
        head(key, 4);
        i16(major);
        i16(minor);
    }
};

constexpr Writer build() {
    Writer w;
    w.i16(1);
    w.i32(0);
    w.i32(12);
    w.head("kind", 4);
    w.code("eFKT");
    w.pstring("name", "VemaroPatternFx");
    w.pstring("catg", "Vemaro");
    w.cstring("8664", "EntryPointFunc");
    w.version16("ePVR", 2, 0);
    w.version16("eSVR", 13, 0);
    w.long32("eVER", kVemaroVersion);
    w.head("eINF", 2);
    w.i16(0);
    w.pad();
    w.long32("eGLO", static_cast<std::uint32_t>(kVemaroOutFlags));
    w.long32("eGL2", static_cast<std::uint32_t>(kVemaroOutFlags2));
    w.pstring("eMNA", "VemaroPatternFx");
    w.long32("aeFL", 8);
    return w;
}

constexpr Writer kPiPL = build();

constexpr auto kBytes = [] {
    std::array<unsigned char, kPiPL.size> a{};
    for (std::size_t i = 0; i < kPiPL.size; ++i) a[i] = kPiPL.bytes[i];
    return a;
}();

// The host reads the section as it is: no sanitizer padding may follow the
// bytes (clang's AddressSanitizer pads globals in sections like this one).
#if defined(__clang__)
#define VEMARO_SECTION_UNPADDED __attribute__((no_sanitize("address")))
#else
#define VEMARO_SECTION_UNPADDED
#endif
VEMARO_SECTION_UNPADDED __attribute__((section(".pipl"), used)) const std::array<unsigned char, kPiPL.size> kSection =
    kBytes;

}  // namespace

const unsigned char* vemaroPiPL() { return kSection.data(); }
std::size_t vemaroPiPLSize() { return kSection.size(); }

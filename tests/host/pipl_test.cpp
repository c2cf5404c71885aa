// The property list in the module file against a packer written from the
// resource layout: header, then per property vendor and key (byte-reversed
// four-character codes), id 0, length, data padded to four bytes.
#include "Host.h"
#include "VemaroPiPL.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Packer {
public:
    std::vector<uint8_t> bytes;
    void le16(uint16_t v) { bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)}); }
    void le32(uint32_t v) {
        bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }
    void reversed(const std::string& four) { bytes.insert(bytes.end(), four.rbegin(), four.rend()); }
    void property(const std::string& key, std::vector<uint8_t> data) {
        reversed("8BIM");
        reversed(key);
        le32(0);
        le32(uint32_t(data.size()));
        while (data.size() % 4) data.push_back(0);
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    static std::vector<uint8_t> pascal(const std::string& s) {
        std::vector<uint8_t> d{uint8_t(s.size())};
        d.insert(d.end(), s.begin(), s.end());
        d.push_back(0);
        return d;
    }
    static std::vector<uint8_t> word(uint32_t v) {
        return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    }
};

std::vector<uint8_t> expectedPiPL() {
    Packer p;
    p.le16(1);
    p.le32(0);
    p.le32(12);
    p.property("kind", {'T', 'K', 'F', 'e'});
    p.property("name", Packer::pascal("VemaroPatternFx"));
    p.property("catg", Packer::pascal("Vemaro"));
    std::string entry = "EntryPointFunc";
    std::vector<uint8_t> e(entry.begin(), entry.end());
    e.push_back(0);
    p.property("8664", e);
    p.property("ePVR", {2, 0, 0, 0});
    p.property("eSVR", {13, 0, 0, 0});
    p.property("eVER", Packer::word(0x00080601));
    p.property("eINF", {0, 0});
    p.property("eGLO", Packer::word(0x06108022));
    p.property("eGL2", Packer::word(0x00001401));
    p.property("eMNA", Packer::pascal("VemaroPatternFx"));
    p.property("aeFL", Packer::word(8));
    return p.bytes;
}

TEST(PropertyList, ModuleFileCarriesTheExactBytes) {
    std::vector<unsigned char> section;
    std::string error;
    ASSERT_TRUE(hostsim::readPiPLSection(VEMARO_MODULE_PATH, section, &error)) << error;
    std::vector<uint8_t> expected = expectedPiPL();
    EXPECT_EQ(std::vector<uint8_t>(section.begin(), section.end()), expected);
    EXPECT_EQ(std::vector<uint8_t>(vemaroPiPL(), vemaroPiPL() + vemaroPiPLSize()), expected);
}

TEST(PropertyList, ParsedFields) {
    std::vector<uint8_t> bytes = expectedPiPL();
    hostsim::PiPL pipl;
    std::string error;
    ASSERT_TRUE(hostsim::parsePiPL(bytes.data(), bytes.size(), pipl, &error)) << error;
    ASSERT_EQ(pipl.properties.size(), 12u);
    EXPECT_EQ(pipl.properties[0].vendor, "8BIM");
    EXPECT_EQ(pipl.pascalString("name"), "VemaroPatternFx");
    EXPECT_EQ(pipl.pascalString("catg"), "Vemaro");
    EXPECT_EQ(pipl.pascalString("eMNA"), "VemaroPatternFx");
    EXPECT_EQ(pipl.cString("8664"), "EntryPointFunc");
    EXPECT_EQ(pipl.long32("aeFL"), 8u);
}

TEST(PropertyList, TruncatedListsAreRejected) {
    std::vector<uint8_t> bytes = expectedPiPL();
    hostsim::PiPL pipl;
    for (std::size_t cut : {std::size_t(0), std::size_t(9), std::size_t(20), bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        std::string error;
        EXPECT_FALSE(hostsim::parsePiPL(bytes.data(), cut, pipl, &error));
        EXPECT_NE(error.find("malformed"), std::string::npos);
    }
}

}  // namespace

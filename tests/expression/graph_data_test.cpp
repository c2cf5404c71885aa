// The Graph parameter's data, driven through the module the way the host does
// it: arbitrary-data requests sent to the entry point.
#include "ArbData.h"
#include "HostFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const char* kY = "sin(2 * pi * t) * h / 2";

class GraphData : public HostFixture {
protected:
    PF_ArbitraryH make() {
        PF_ArbitraryH h = nullptr;
        EXPECT_EQ(arb.newValue(host, &h), PF_Err_NONE);
        return h;
    }
    // A value with the given texts, through unflatten.
    PF_ArbitraryH make(const std::string& x, const std::string& y) {
        char flat[512] = {};
        std::memcpy(flat, x.data(), std::min<std::size_t>(x.size(), 255));
        std::memcpy(flat + 256, y.data(), std::min<std::size_t>(y.size(), 255));
        PF_ArbitraryH h = nullptr;
        EXPECT_EQ(arb.unflatten(host, flat, sizeof flat, &h), PF_Err_NONE);
        return h;
    }
    std::string x(PF_ArbitraryH h) { return hostsim::ArbData::x(host, h); }
    std::string y(PF_ArbitraryH h) { return hostsim::ArbData::y(host, h); }
    std::string print(PF_ArbitraryH h, A_u_long size, PF_Err expected, PF_ArbPrintFlags flags = 0) {
        std::vector<char> buffer(size, '#');
        EXPECT_EQ(arb.print(host, flags, h, buffer.data(), size), expected);
        return size ? std::string(buffer.data(), strnlen(buffer.data(), size)) : std::string();
    }
    PF_ArbitraryH scan(const std::string& text) {
        PF_ArbitraryH h = nullptr;
        // Exactly the bytes of the text and no NUL: reading beyond shows under
        // AddressSanitizer.
        std::vector<char> bytes(text.begin(), text.end());
        const char* text0 = bytes.empty() ? "" : bytes.data();
        EXPECT_EQ(arb.scan(host, text0, static_cast<A_u_long>(bytes.size()), &h), PF_Err_NONE);
        return h;
    }

    hostsim::ArbData& arb = host.get<hostsim::ArbData>();
};

TEST_F(GraphData, NewValueHoldsTheDefaultsInA512ByteRecord) {
    PF_ArbitraryH h = make();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(x(h), "w * t");
    EXPECT_EQ(y(h), kY);
    EXPECT_EQ(host.handles().size(h), 512u);
    A_u_long size = 0;
    EXPECT_EQ(arb.flatSize(host, h, &size), PF_Err_NONE);
    EXPECT_EQ(size, 512u);
    EXPECT_EQ(arb.dispose(host, h), PF_Err_NONE);
    EXPECT_FALSE(host.handles().valid(h));
}

TEST_F(GraphData, FlattenAndUnflattenRoundTrip) {
    const std::string longX(255, 'k'), yText = "pow(t, 2)";
    PF_ArbitraryH h = make(longX + "tail beyond the field", yText);
    EXPECT_EQ(x(h), longX);
    std::vector<unsigned char> flat(512, 0xEE);
    ASSERT_EQ(arb.flatten(host, h, flat.data(), 512), PF_Err_NONE);
    // The saved bytes behind each NUL are zero, never stale memory.
    EXPECT_EQ(flat[255], 0);
    EXPECT_EQ(std::count(flat.begin() + 256 + static_cast<long>(yText.size()), flat.end(), 0),
              static_cast<long>(256 - yText.size()));
    PF_ArbitraryH back = nullptr;
    ASSERT_EQ(arb.unflatten(host, flat.data(), 512, &back), PF_Err_NONE);
    EXPECT_EQ(x(back), longX);
    EXPECT_EQ(y(back), yText);
    PF_ArbCompareResult same = -1;
    EXPECT_EQ(arb.compare(host, h, back, &same), PF_Err_NONE);
    EXPECT_EQ(same, PF_ArbCompare_EQUAL);
}

TEST_F(GraphData, MalformedFlatDataIsReadWithinItsBounds) {
    struct Case {
        std::vector<char> data;
        PF_Err err;
        std::string x, y;
    };
    std::vector<char> unterminated(512, 'a');  // neither field holds a NUL
    std::vector<char> shortY(300, 'b');
    shortY[10] = '\0';
    std::vector<char> tiny = {'t', '+', '1'};  // no NUL, y missing altogether
    const Case cases[] = {
        {unterminated, PF_Err_NONE, std::string(255, 'a'), std::string(255, 'a')},
        {shortY, PF_Err_NONE, std::string(10, 'b'), std::string(44, 'b')},
        {tiny, PF_Err_NONE, "t+1", kY},
        {std::vector<char>(256, '\0'), PF_Err_NONE, "", kY},
        {std::vector<char>(513, '\0'), PF_Err_BAD_CALLBACK_PARAM, "", ""},
    };
    for (const Case& c : cases) {
        // Heap blocks of the exact size: a read past them fails under ASan.
        std::vector<char> data = c.data;
        PF_ArbitraryH h = reinterpret_cast<PF_ArbitraryH>(&data);  // must be replaced or cleared
        EXPECT_EQ(arb.unflatten(host, data.data(), static_cast<A_u_long>(data.size()), &h), c.err);
        if (c.err) {
            EXPECT_EQ(h, nullptr);
            continue;
        }
        EXPECT_EQ(x(h), c.x);
        EXPECT_EQ(y(h), c.y);
    }
    EXPECT_EQ(host.handles().liveEffectOwned(), 0);
}

TEST_F(GraphData, RequestsThatCannotBeServedReportAnError) {
    PF_ArbitraryH h = make();
    std::vector<unsigned char> flat(511, 0xEE);
    EXPECT_EQ(arb.flatten(host, h, flat.data(), 511), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(std::count(flat.begin(), flat.end(), 0xEE), 511);  // nothing written
    EXPECT_EQ(arb.flatten(host, h, nullptr, 512), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(arb.flatten(host, nullptr, flat.data(), 512), PF_Err_BAD_CALLBACK_PARAM);
    PF_ArbitraryH out = nullptr;
    EXPECT_EQ(arb.copy(host, nullptr, &out), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(arb.copy(host, h, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(arb.interpolate(host, h, nullptr, 0.5, &out), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(arb.compare(host, h, h, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(arb.flatSize(host, h, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(arb.printSize(host, h, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(arb.scan(host, nullptr, 4, &out), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(arb.newValue(host, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(arb.dispose(host, nullptr), PF_Err_NONE);  // nothing to free is no failure
    EXPECT_EQ(host.handles().liveEffectOwned(), 0);
}

TEST_F(GraphData, AllocationAndLockFailuresLeaveNothingBehind) {
    PF_ArbitraryH source = make();
    const int live = host.handles().live();
    struct Step {
        const char* what;
        bool failAlloc;
        PF_Err err;
    };
    for (const Step& s : {Step{"alloc", true, PF_Err_OUT_OF_MEMORY}, Step{"lock", false, 514}}) {
        auto fail = [&] { s.failAlloc ? host.handles().failAllocations(1) : host.handles().failLocks(1); };
        PF_ArbitraryH out = reinterpret_cast<PF_ArbitraryH>(&out);
        fail();
        EXPECT_EQ(arb.newValue(host, &out), s.err) << s.what;
        EXPECT_EQ(out, nullptr) << s.what;
        out = reinterpret_cast<PF_ArbitraryH>(&out);
        fail();
        EXPECT_EQ(arb.scan(host, "t\tt", 3, &out), s.err) << s.what;
        EXPECT_EQ(out, nullptr) << s.what;
        char flat[512] = "t";
        fail();
        EXPECT_EQ(arb.unflatten(host, flat, 512, &out), s.err) << s.what;
        EXPECT_EQ(out, nullptr) << s.what;
        EXPECT_EQ(host.handles().live(), live) << s.what;
    }
    // Reading a value the host cannot lock.
    char buffer[512];
    host.handles().failLocks(1);
    EXPECT_EQ(arb.print(host, 0, source, buffer, sizeof buffer), 514);
    PF_ArbitraryH out = nullptr;
    host.handles().failLocks(1);
    EXPECT_EQ(arb.copy(host, source, &out), 514);
    EXPECT_EQ(out, nullptr);
    host.handles().failLocks(1);
    EXPECT_EQ(arb.flatten(host, source, buffer, sizeof buffer), 514);
    EXPECT_EQ(host.handles().lockedNow(), 0);
}

TEST_F(GraphData, CopyInterpolateAndCompare) {
    PF_ArbitraryH a = make("t", "a * t"), b = make("t", "b * t");
    PF_ArbCompareResult r = -1;
    EXPECT_EQ(arb.compare(host, a, b, &r), PF_Err_NONE);
    EXPECT_EQ(r, PF_ArbCompare_NOT_EQUAL);
    EXPECT_EQ(arb.compare(host, make(), make(), &r), PF_Err_NONE);
    EXPECT_EQ(r, PF_ArbCompare_EQUAL);
    for (double t : {0.0, 0.25, 0.999, 1.0}) {
        PF_ArbitraryH mid = nullptr;
        ASSERT_EQ(arb.interpolate(host, a, b, t, &mid), PF_Err_NONE);
        EXPECT_EQ(y(mid), "a * t") << t;
    }
    PF_ArbitraryH c = nullptr;
    ASSERT_EQ(arb.copy(host, b, &c), PF_Err_NONE);
    EXPECT_NE(c, b);
    EXPECT_EQ(x(c), "t");
    EXPECT_EQ(y(c), "b * t");
}

TEST_F(GraphData, PrintGivesTheTextForm) {
    PF_ArbitraryH h = make();
    A_u_long size = 0;
    EXPECT_EQ(arb.printSize(host, h, &size), PF_Err_NONE);
    EXPECT_GE(size, 512u);  // room for two full texts, the tab and the NUL
    EXPECT_EQ(print(h, 511, PF_Err_NONE), std::string("w * t\t") + kY);
    EXPECT_EQ(print(h, 511, PF_Err_NONE, PF_ArbPrint_ABBREVIATED), "");
    EXPECT_EQ(print(h, 510, PF_Err_BAD_CALLBACK_PARAM), "");
    EXPECT_EQ(print(h, 0, PF_Err_BAD_CALLBACK_PARAM), "");

    // Two full fields fit the size the host was told, and no smaller buffer.
    PF_ArbitraryH full = make(std::string(255, 'a'), std::string(255, 'b'));
    const std::string text = std::string(255, 'a') + "\t" + std::string(255, 'b');
    EXPECT_EQ(print(full, size, PF_Err_NONE), text);
    EXPECT_EQ(print(full, 511, PF_Err_BAD_CALLBACK_PARAM), "");

    // Print then scan gives back an equal value.
    PF_ArbitraryH back = scan(text);
    PF_ArbCompareResult r = -1;
    EXPECT_EQ(arb.compare(host, full, back, &r), PF_Err_NONE);
    EXPECT_EQ(r, PF_ArbCompare_EQUAL);
}

TEST_F(GraphData, ScanSplitsCutsAndCleansesTheText) {
    struct Case {
        std::string text, x, y;
    };
    const std::string a250(250, 'a');
    const Case cases[] = {
        {"t * 2", "t * 2", kY},
        {"a\tb\tc", "a", "b"},
        {"\t", "", ""},
        {"", "", kY},
        {"sin(t);\n^2\tcos(t)\r", "sin(t)2", "cos(t)"},
        {"1 + 2, 3.5 / (4 - 5)", "1 + 2, 3.5 / (4 - 5)", kY},
        {"t\xc3\xa9t", "tt", kY},
        // Cut to 255 characters before cleansing: the semicolons fill the end.
        {a250 + ";;;;;" + std::string(45, 'b'), a250, kY},
        {std::string(300, 'z') + "\t" + std::string(300, 'y'), std::string(255, 'z'), std::string(255, 'y')},
    };
    for (const Case& c : cases) {
        PF_ArbitraryH h = scan(c.text);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(x(h), c.x) << c.text;
        EXPECT_EQ(y(h), c.y) << c.text;
    }
}

TEST_F(GraphData, OtherIdsAndSelectorsAreLeftAlone) {
    PF_ArbitraryH h = make();
    arb.id = 82;
    PF_ArbitraryH out = reinterpret_cast<PF_ArbitraryH>(&out);
    EXPECT_EQ(arb.newValue(host, &out), PF_Err_NONE);
    EXPECT_EQ(out, reinterpret_cast<PF_ArbitraryH>(&out));
    EXPECT_EQ(arb.dispose(host, h), PF_Err_NONE);
    EXPECT_TRUE(host.handles().valid(h));
    arb.id = 83;
    PF_ArbParamsExtra extra{};
    extra.id = 83;
    for (PF_FunctionSelector which : {11, 12, 1000, -1}) {
        extra.which_function = which;
        EXPECT_EQ(arb.send(host, extra), PF_Err_NONE);
    }
    // No extra record at all.
    EXPECT_EQ(host.send(PF_Cmd_ARBITRARY_CALLBACK, nullptr), PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace

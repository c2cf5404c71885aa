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

// Values the host hands back damaged (a project saved by something else, a
// handle resized): each request reads them within the handle's bytes. A field
// ends at its NUL, at 255 characters or at the handle's end; a field the
// handle does not reach is empty.
TEST_F(GraphData, DamagedValuesAreReadWithinTheirBounds) {
    auto bytes = [](std::size_t size, char fill, const std::string& x, const std::string& y) {
        std::vector<char> b(size, fill);
        for (std::size_t k = 0; k < x.size(); ++k) b.at(k) = x[k];
        for (std::size_t k = 0; k < y.size(); ++k) b.at(256 + k) = y[k];
        return b;
    };
    struct Case {
        const char* what;
        std::vector<char> data;
        std::string x, y;
    };
    const std::string a255(255, 'a');
    const Case cases[] = {
        {"no NUL in either field", std::vector<char>(512, 'a'), a255, a255},
        {"three bytes, no NUL", {'t', '+', '1'}, "t+1", ""},
        {"empty", {}, "", ""},
        {"x alone", bytes(100, 'q', std::string("t\0", 2), ""), "t", ""},
        {"a y cut short", bytes(300, 'b', std::string("w\0", 2), ""), "w", std::string(44, 'b')},
        {"a y of one byte", bytes(257, 'c', std::string("w\0", 2), ""), "w", "c"},
        {"longer than the record", bytes(600, 'z', std::string("a\0", 2), std::string("b\0", 2)), "a", "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A handle of exactly these bytes: reading past it fails under ASan.
        PF_ArbitraryH h = host.handles().create(c.data.size());
        if (!c.data.empty()) std::memcpy(*h, c.data.data(), c.data.size());
        const std::vector<char> before = c.data;

        PF_ArbitraryH copy = nullptr;
        ASSERT_EQ(arb.copy(host, h, &copy), PF_Err_NONE);
        EXPECT_EQ(host.handles().size(copy), 512u);
        EXPECT_EQ(x(copy), c.x);
        EXPECT_EQ(y(copy), c.y);

        EXPECT_EQ(print(h, 512, PF_Err_NONE), c.x + "\t" + c.y);

        PF_ArbCompareResult r = -1;
        EXPECT_EQ(arb.compare(host, h, copy, &r), PF_Err_NONE);
        EXPECT_EQ(r, PF_ArbCompare_EQUAL);
        EXPECT_EQ(arb.compare(host, make(c.x, "1"), h, &r), PF_Err_NONE);
        EXPECT_EQ(r, PF_ArbCompare_NOT_EQUAL);

        // The flat form is whole: both fields NUL-terminated, zeros behind.
        std::vector<char> flat(512, '#');
        ASSERT_EQ(arb.flatten(host, h, flat.data(), 512), PF_Err_NONE);
        std::vector<char> expected(512, '\0');
        std::copy(c.x.begin(), c.x.end(), expected.begin());
        std::copy(c.y.begin(), c.y.end(), expected.begin() + 256);
        EXPECT_EQ(flat, expected);

        // Reading changed nothing.
        EXPECT_EQ(std::vector<char>(static_cast<char*>(*h), static_cast<char*>(*h) + before.size()), before);
        EXPECT_EQ(host.handles().size(h), before.size());
        EXPECT_EQ(host.handles().lockedNow(), 0);
    }
}

// A host that leaves handle callbacks out: a request that needs a missing one
// reports an error and changes nothing; the others are served.
TEST_F(GraphData, MissingHandleCallbacks) {
    PF_ArbitraryH value = make("t", "h");
    PF_UtilCallbacks& u = host.utils();
    const PF_UtilCallbacks kept = u;
    struct Case {
        const char* what;
        void (*remove)(PF_UtilCallbacks&);
        bool canRead, canMake, canFree;
    };
    const Case cases[] = {
        {"no lock", [](PF_UtilCallbacks& c) { c.host_lock_handle = nullptr; }, false, false, true},
        {"no unlock", [](PF_UtilCallbacks& c) { c.host_unlock_handle = nullptr; }, false, false, true},
        {"no new", [](PF_UtilCallbacks& c) { c.host_new_handle = nullptr; }, true, false, true},
        {"no dispose", [](PF_UtilCallbacks& c) { c.host_dispose_handle = nullptr; }, true, false, false},
        {"no size", [](PF_UtilCallbacks& c) { c.host_get_handle_size = nullptr; }, true, true, true},
        {"none", [](PF_UtilCallbacks& c) { c = PF_UtilCallbacks{}; }, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int live = host.handles().live();
        c.remove(u);
        const PF_Err read = c.canRead ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
        const PF_Err made = c.canMake ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
        std::vector<PF_ArbitraryH> out(5, reinterpret_cast<PF_ArbitraryH>(&u));
        EXPECT_EQ(arb.newValue(host, &out[0]), made);
        EXPECT_EQ(arb.copy(host, value, &out[1]), c.canRead ? made : read);
        EXPECT_EQ(arb.interpolate(host, value, value, 0.5, &out[2]), c.canRead ? made : read);
        char flat[512] = "u";
        EXPECT_EQ(arb.unflatten(host, flat, sizeof flat, &out[3]), made);
        EXPECT_EQ(arb.scan(host, "u\tv", 3, &out[4]), made);
        std::vector<char> buffer(512, '#');
        EXPECT_EQ(arb.flatten(host, value, buffer.data(), 512), read);
        if (c.canRead) {
            EXPECT_EQ(std::string(buffer.data()), "t");
        } else {
            EXPECT_EQ(buffer, std::vector<char>(512, '#'));
        }
        EXPECT_EQ(print(value, 512, read), c.canRead ? "t\th" : std::string(512, '#'));
        PF_ArbCompareResult r = -1;
        EXPECT_EQ(arb.compare(host, value, value, &r), read);
        EXPECT_EQ(r, c.canRead ? PF_ArbCompare_EQUAL : -1);
        A_u_long size = 0;
        EXPECT_EQ(arb.flatSize(host, value, &size), PF_Err_NONE);
        EXPECT_EQ(size, 512u);
        u = kept;
        // What was made is whole; what was refused left its output null.
        for (PF_ArbitraryH h : out) {
            if (!c.canMake) {
                EXPECT_EQ(h, nullptr);
                continue;
            }
            ASSERT_TRUE(host.handles().valid(h));
            EXPECT_EQ(host.handles().size(h), 512u);
            EXPECT_EQ(arb.dispose(host, h), PF_Err_NONE);
        }
        EXPECT_EQ(host.handles().live(), live);
        EXPECT_EQ(host.handles().lockedNow(), 0);
        EXPECT_EQ(x(value), "t");
        // Dispose needs only its own callback.
        PF_ArbitraryH spare = make();
        c.remove(u);
        EXPECT_EQ(arb.dispose(host, spare), c.canFree ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM);
        u = kept;
        EXPECT_EQ(host.handles().valid(spare), !c.canFree);
        if (!c.canFree) {
            EXPECT_EQ(arb.dispose(host, spare), PF_Err_NONE);
        }
    }
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
    EXPECT_EQ(size, 511u);  // two full texts and the tab
    EXPECT_EQ(print(h, 511, PF_Err_NONE), std::string("w * t\t") + kY);
    EXPECT_EQ(print(h, 511, PF_Err_NONE, PF_ArbPrint_ABBREVIATED), "");
    EXPECT_EQ(print(h, 510, PF_Err_BAD_CALLBACK_PARAM), "");
    EXPECT_EQ(print(h, 0, PF_Err_BAD_CALLBACK_PARAM), "");

    // Two full fields and the NUL need one byte more than the size the host
    // was told: they never run past the buffer, and are no cut text either.
    PF_ArbitraryH full = make(std::string(255, 'a'), std::string(255, 'b'));
    const std::string text = std::string(255, 'a') + "\t" + std::string(255, 'b');
    EXPECT_EQ(print(full, 512, PF_Err_NONE), text);
    EXPECT_EQ(print(full, size, PF_Err_BAD_CALLBACK_PARAM), "");
    EXPECT_EQ(print(make(std::string(255, 'a'), std::string(254, 'b')), size, PF_Err_NONE),
              std::string(255, 'a') + "\t" + std::string(254, 'b'));

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

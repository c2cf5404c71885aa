// The owning wrappers of Drawbot brushes and fonts, against a supplier whose
// calls can fail: a failure is an exception from New and release(), never from
// a destructor, and no object is released twice or lost.
#include "VemaroExpressionUI.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>

namespace {

struct FakeSupplier {
    static std::map<std::uintptr_t, int> releases;
    static std::uintptr_t next;
    static SPErr failMake, failRelease;
    static bool sameAgain;  // hand back the last reference again

    static SPErr newBrush(DRAWBOT_SupplierRef, const DRAWBOT_ColorRGBA*, DRAWBOT_BrushRef* out) {
        if (failMake) return failMake;
        if (!sameAgain) next += 16;
        *out = reinterpret_cast<DRAWBOT_BrushRef>(next);
        return 0;
    }
    static SPErr newFont(DRAWBOT_SupplierRef, float, DRAWBOT_FontRef* out) {
        if (failMake) return failMake;
        next += 16;
        *out = reinterpret_cast<DRAWBOT_FontRef>(next);
        return 0;
    }
    static SPErr release(DRAWBOT_ObjectRef o) {
        if (failRelease) return failRelease;
        ++releases[reinterpret_cast<std::uintptr_t>(o)];
        return 0;
    }
};
std::map<std::uintptr_t, int> FakeSupplier::releases;
std::uintptr_t FakeSupplier::next = 0x1000;
SPErr FakeSupplier::failMake = 0, FakeSupplier::failRelease = 0;
bool FakeSupplier::sameAgain = false;

class DrawbotWrappers : public testing::Test {
protected:
    void SetUp() override {
        suite.NewBrush = FakeSupplier::newBrush;
        suite.NewDefaultFont = FakeSupplier::newFont;
        suite.ReleaseObject = FakeSupplier::release;
        FakeSupplier::releases.clear();
        FakeSupplier::failMake = FakeSupplier::failRelease = 0;
        FakeSupplier::sameAgain = false;
    }
    std::uintptr_t id(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

    DRAWBOT_SupplierSuite1 suite{};
    DRAWBOT_SupplierRef supplier = reinterpret_cast<DRAWBOT_SupplierRef>(0x10);
    const DRAWBOT_ColorRGBA white = {1, 1, 1, 1};
};

TEST_F(DrawbotWrappers, EachObjectIsReleasedExactlyOnce) {
    std::uintptr_t first, second;
    {
        DRAWBOT_BrushP brush(&suite);
        brush.New(&suite, supplier, &white);
        first = id(brush.get());
        FakeSupplier::sameAgain = true;
        brush.New(&suite, supplier, &white);  // the same reference: kept, not released
        EXPECT_EQ(FakeSupplier::releases.count(first), 0u);
        FakeSupplier::sameAgain = false;
        brush.New(&suite, supplier, &white);  // a new one: the old is released
        second = id(brush.get());
        EXPECT_EQ(FakeSupplier::releases[first], 1);
    }
    EXPECT_EQ(FakeSupplier::releases[second], 1);
    DRAWBOT_FontP font(&suite);
    font.New(&suite, supplier, 12.0f);
    std::uintptr_t f = id(font.get());
    font.release();
    font.release();  // nothing held any more
    EXPECT_EQ(FakeSupplier::releases[f], 1);
}

TEST_F(DrawbotWrappers, FailuresThrowFromNewAndReleaseButNeverFromDestructors) {
    DRAWBOT_BrushP brush(&suite);
    FakeSupplier::failMake = 21;
    try {
        brush.New(&suite, supplier, &white);
        FAIL() << "no exception";
    } catch (const DRAWBOT_Exception& e) {
        EXPECT_EQ(e.err, 21);
    }
    EXPECT_EQ(brush.get(), nullptr);
    FakeSupplier::failMake = 0;
    brush.New(&suite, supplier, &white);
    std::uintptr_t held = id(brush.get());
    // The old object cannot be released: the error is raised and the new
    // object is kept, to be released later.
    FakeSupplier::failRelease = 22;
    EXPECT_THROW(brush.New(&suite, supplier, &white), DRAWBOT_Exception);
    std::uintptr_t kept = id(brush.get());
    EXPECT_NE(kept, held);
    EXPECT_THROW(brush.release(), DRAWBOT_Exception);
    EXPECT_EQ(brush.get(), nullptr);
    {
        DRAWBOT_FontP font(&suite);
        FakeSupplier::failRelease = 0;
        font.New(&suite, supplier, 12.0f);
        FakeSupplier::failRelease = 23;
        // Leaving the scope with a failing release must not terminate.
    }
    FakeSupplier::failRelease = 0;
}

}  // namespace

// The lazily resolved entry points: a failed lookup answers 0 and is retried, a successful one is stored
// and called through, and the platform lookup only answers while a context is current.
#include "render/entry_points.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gl_context.h"
#include "tests/support/gl_test_window.h"

namespace {

int lookups = 0;
const char* lastName = nullptr;
int swapArgument = -1;

void* FailingLookup(const char* name)
{
    ++lookups;
    lastName = name;
    return nullptr;
}

int FakeSwapInterval(int interval)
{
    swapArgument = interval;
    return 7;
}

void* FakeLookup(const char* name)
{
    ++lookups;
    lastName = name;
    return std::strcmp(name, "SwapInterval") == 0 ? reinterpret_cast<void*>(&FakeSwapInterval) : nullptr;
}

class EntryPointsTest : public testing::Test {
protected:
    void SetUp() override
    {
        lookups = 0;
        lastName = nullptr;
        swapArgument = -1;
        ResetEntryPoints();
    }
    void TearDown() override
    {
        SetEntryPointLookup(nullptr);
        ResetEntryPoints();
    }
};

TEST_F(EntryPointsTest, FailedLookupAnswersZeroAndIsRetriedThenStoredOnSuccess)
{
    SetEntryPointLookup(&FailingLookup);
    EXPECT_EQ(SetSwapInterval(0), 0);
    EXPECT_EQ(lookups, 1);
    EXPECT_STREQ(lastName, "SwapInterval");
    EXPECT_EQ(SetSwapInterval(0), 0);
    EXPECT_EQ(lookups, 2) << "a failed lookup must leave the stub in place";
    EXPECT_FALSE(EntryPointResolved(kEntrySwapInterval));
    EXPECT_EQ(CheckFramebufferStatus(0x8D40), 0u);
    EXPECT_STREQ(lastName, "glCheckFramebufferStatus");

    SetEntryPointLookup(&FakeLookup);
    EXPECT_EQ(SetSwapInterval(3), 7) << "the first successful call must reach the function";
    EXPECT_EQ(swapArgument, 3);
    const int afterResolve = lookups;
    EXPECT_TRUE(EntryPointResolved(kEntrySwapInterval));
    EXPECT_EQ(SetSwapInterval(5), 7);
    EXPECT_EQ(swapArgument, 5);
    EXPECT_EQ(lookups, afterResolve) << "a resolved entry must not be looked up again";

    ResetEntryPoints();
    EXPECT_FALSE(EntryPointResolved(kEntrySwapInterval));
}

TEST_F(EntryPointsTest, PlatformLookupNeedsACurrentContext)
{
    ASSERT_TRUE(OpenTestGlWindow());
    ReleaseTestGlContext();
    ASSERT_EQ(CurrentGlContext(), nullptr);
    EXPECT_EQ(LookupGlEntryPoint("glCreateShader"), nullptr);
    EXPECT_EQ(CreateProgram(), 0u);
    EXPECT_EQ(GetUniformLocation(1, "alpha"), 0);
    EXPECT_FALSE(EntryPointResolved(kEntryCreateProgram));

    ASSERT_TRUE(MakeTestGlContextCurrent());
    const uint32_t program = CreateProgram();
    EXPECT_NE(program, 0u);
    EXPECT_TRUE(EntryPointResolved(kEntryCreateProgram));
    DeleteProgram(program);
    // Xvfb's GLX may lack swap control; the call is then resolved but reports failure, as the driver does.
    const int swapResult = SetSwapInterval(0);
    EXPECT_TRUE(EntryPointResolved(kEntrySwapInterval));
    if (swapResult == 1) {
        EXPECT_EQ(TestSwapInterval(), 0);
    }
    EXPECT_EQ(LookupGlEntryPoint("QuarnelNoSuchEntryPoint"), nullptr);
    EXPECT_EQ(LookupGlEntryPoint(nullptr), nullptr);
}

TEST_F(EntryPointsTest, EveryTableEntryResolvesOnThisDriver)
{
    ASSERT_TRUE(OpenTestGlWindow());
    for (int id = 0; id < kEntryPointCount; ++id) {
        const char* name = EntryPointName(static_cast<EntryPointId>(id));
        EXPECT_NE(LookupGlEntryPoint(name), nullptr) << name;
    }
    EXPECT_STREQ(EntryPointName(kEntryPointCount), "");
}

}  // namespace

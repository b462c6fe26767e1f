// Linked into every test program: the cases of a suite whose SetUpTestSuite failed (no GL window, say) fail,
// each naming the cause. GoogleTest on its own reports them as skipped, which CTest counts as no fault.
#include <gtest/gtest.h>

namespace {

class FailedSuiteSetUp : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override
    {
        const testing::TestSuite* suite = testing::UnitTest::GetInstance()->current_test_suite();
        if (suite && suite->ad_hoc_test_result().Failed())
            ADD_FAILURE() << "the suite's SetUpTestSuite failed (see above), so this case could not run";
    }
};

const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new FailedSuiteSetUp);
    return true;
}();

}  // namespace

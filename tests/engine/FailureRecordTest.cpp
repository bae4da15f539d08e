#include <gtest/gtest.h>

#include <thread>

#include "support/EngineHarness.h"
#include "varnel/engine/ErrorTexts.h"
#include "varnel/engine/FailureRecord.h"

namespace {

using namespace varnel_test;

// The store keeps its old text after a refusal without one; the record tells the two apart.
TEST(FailureRecordTest, HoldsOnlyTheTextsStoredOnItsThreadWhileItExists) {
    CVarnel engine;
    std::int32_t id;
    ASSERT_EQ(engine.GenerateSilence(10, &id), E_FAIL);  // before any record
    const FailureRecord outer;
    EXPECT_EQ(outer.Text(), "");
    EXPECT_EQ(engine.set_BitsPerSample(12), E_INVALIDARG);
    EXPECT_EQ(outer.Text(), "");
    EXPECT_EQ(engine.GetErrMsg(), ErrorText::kNotGenerating);
    {
        const FailureRecord inner;
        ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
        EXPECT_EQ(engine.GenerateSilence(-1, &id), E_INVALIDARG);
        EXPECT_EQ(inner.Text(), ErrorText::kDurationNotPositive);
    }
    EXPECT_EQ(outer.Text(), "");
    std::thread([&] { EXPECT_EQ(engine.GenerateTTY(nullptr, &id), E_INVALIDARG); }).join();
    EXPECT_EQ(engine.GetErrMsg(), ErrorText::kTextEmpty);
    EXPECT_EQ(outer.Text(), "");
    EXPECT_EQ(engine.GenerateDTMFs(nullptr, &id), E_INVALIDARG);
    EXPECT_EQ(outer.Text(), ErrorText::kInvalidParameters);
    EXPECT_EQ(engine.GenerateTTY2("A", 1), 0);  // success leaves the record as it was
    EXPECT_EQ(outer.Text(), ErrorText::kInvalidParameters);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "varnel/platform/Automation.h"

namespace {

using namespace Quorvex::VarnelNet;

TEST(BstrTest, LengthPrefixTerminatorAndNull) {
    BSTR s = SysAllocString(u"abc");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(std::u16string(s), u"abc");
    SysFreeString(s);

    BSTR embedded = SysAllocStringLen(u"a\0b", 3);
    EXPECT_EQ(SysStringLen(embedded), 3u);
    EXPECT_EQ(embedded[1], u'\0');
    EXPECT_EQ(embedded[3], u'\0');
    SysFreeString(embedded);

    BSTR blank = SysAllocStringLen(nullptr, 2);
    EXPECT_EQ(std::u16string(blank, 3), std::u16string(3, u'\0'));
    SysFreeString(blank);

    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);  // too large: refused
    SysFreeString(nullptr);
}

struct VectorCase {
    VARTYPE vt;
    std::int32_t lower;
    std::uint32_t count;
    std::uint32_t elementSize;  // 0: refused
};

TEST(SafeArrayTest, CreateVectorShapesAndRefusals) {
    const VectorCase cases[] = {
        {VT_UI1, 0, 10, 1}, {VT_I1, -5, 3, 1}, {VT_I2, 1, 4, 2}, {VT_I4, 0, 0, 4},
        {VT_BSTR, 0, 1, 0}, {VT_I4, 0, 0xFFFFFFFFu, 0}, {VT_UI1, INT32_MAX, 2, 0}, {VT_UI1, INT32_MIN, 0, 0}};
    for (const VectorCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "vt " << c.vt << " lower " << c.lower << " count " << c.count);
        SAFEARRAY* psa = SafeArrayCreateVector(c.vt, c.lower, c.count);
        if (c.elementSize == 0) {
            EXPECT_EQ(psa, nullptr);
            continue;
        }
        ASSERT_NE(psa, nullptr);
        std::int32_t lb = 0, ub = 0;
        VARTYPE vt = 0;
        EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lb), S_OK);
        EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
        EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
        EXPECT_EQ(lb, c.lower);
        EXPECT_EQ(std::int64_t{ub} - lb + 1, c.count);
        EXPECT_EQ(vt, c.vt);
        EXPECT_EQ(psa->cbElements, c.elementSize);
        EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lb), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
}

TEST(SafeArrayTest, AccessLocksAndDestroyWaitsForUnlock) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 4);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(psa->cLocks, 1u);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayTest, NullAndForeignArraysAreRefused) {
    std::int32_t bound = 0;
    void* data = nullptr;
    EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    SAFEARRAY foreign{};  // not made here, no dimensions
    SAFEARRAY* copy = nullptr;
    EXPECT_EQ(SafeArrayGetUBound(&foreign, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopy(&foreign, &copy), E_INVALIDARG);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(SafeArrayDestroy(&foreign), E_INVALIDARG);
}

TEST(VariantTest, CopyIsDeepAndClearFrees) {
    VARIANT text, array, copy;
    VariantInit(&text);
    VariantInit(&array);
    VariantInit(&copy);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"hi");
    ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    text.bstrVal[0] = u'X';
    EXPECT_EQ(std::u16string(copy.bstrVal), u"hi");

    array.vt = VT_ARRAY | VT_UI1;
    array.parray = SafeArrayCreateVector(VT_UI1, 2, 3);
    std::memcpy(array.parray->pvData, "abc", 3);
    ASSERT_EQ(VariantCopy(&copy, &array), S_OK);  // replaces (and frees) the BSTR copy
    EXPECT_NE(copy.parray, array.parray);
    EXPECT_EQ(copy.parray->rgsabound[0].lLbound, 2);
    EXPECT_EQ(std::memcmp(copy.parray->pvData, "abc", 3), 0);

    VARIANT ref;
    ref.vt = VT_BYREF | VT_VARIANT;
    ref.pvarVal = &text;
    ASSERT_EQ(VariantCopy(&copy, &ref), S_OK);
    EXPECT_EQ(copy.pvarVal, &text);
    EXPECT_EQ(VariantClear(&copy), S_OK);  // the referenced BSTR stays
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_EQ(SysStringLen(text.bstrVal), 2u);

    void* data = nullptr;
    SafeArrayAccessData(array.parray, &data);
    EXPECT_EQ(VariantClear(&array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(array.vt, VT_ARRAY | VT_UI1);
    SafeArrayUnaccessData(array.parray);
    EXPECT_EQ(VariantClear(&array), S_OK);
    EXPECT_EQ(VariantClear(&text), S_OK);
    EXPECT_EQ(VariantCopy(nullptr, &text), E_INVALIDARG);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

}  // namespace

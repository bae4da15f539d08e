#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "varnel/platform/Object.h"

namespace {

using namespace Quorvex::VarnelNet;

TEST(ObjectTest, PlainObjectNamesItsTypeAndIsAnObject) {
    const Object object;
    EXPECT_EQ(object.ToString(), "Quorvex.VarnelNet.Object");
    EXPECT_EQ(object.GetTypeCode(), TypeCode::Object);
}

struct BoxCase {
    const char* name;
    std::shared_ptr<Object> box;
    std::string text;
    TypeCode code;
};

class BoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(BoxTest, GivesItsValueAsTextAndItsTypeCode) {
    ASSERT_NE(GetParam().box, nullptr);
    EXPECT_EQ(GetParam().box->ToString(), GetParam().text);
    EXPECT_EQ(GetParam().box->GetTypeCode(), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BoxTest,
    ::testing::Values(
        BoxCase{"True", Box(true), "True", TypeCode::Boolean},
        BoxCase{"False", Box(false), "False", TypeCode::Boolean},
        BoxCase{"Int", Box(42), "42", TypeCode::Int32},
        BoxCase{"Int32Min", Box(std::int32_t{-2147483647 - 1}), "-2147483648", TypeCode::Int32},
        BoxCase{"Int64", Box(std::int64_t{-9000000000}), "-9000000000", TypeCode::Int64},
        BoxCase{"Single", Box(0.1f), "0.1", TypeCode::Single},
        BoxCase{"Double", Box(1.5), "1.5", TypeCode::Double},
        BoxCase{"DoubleNegative", Box(-0.25), "-0.25", TypeCode::Double},
        BoxCase{"DoubleNaN", Box(0.0 / 0.0), "NaN", TypeCode::Double},
        BoxCase{"String", Box(std::string("x")), "x", TypeCode::String},
        BoxCase{"Literal", Box("Quorvex.SondixNet.SondixControl"), "Quorvex.SondixNet.SondixControl",
                TypeCode::String},
        BoxCase{"NullText", Box(static_cast<const char*>(nullptr)), "", TypeCode::String}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

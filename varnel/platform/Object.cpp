#include "varnel/platform/Object.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "varnel/platform/DecimalText.h"

namespace Quorvex::VarnelNet {

std::string Object::ToString() const { return "Quorvex.VarnelNet.Object"; }

TypeCode Object::GetTypeCode() const { return TypeCode::Object; }

namespace {

std::string Text(bool value) { return value ? "True" : "False"; }
std::string Text(std::int32_t value) { return std::to_string(value); }
std::string Text(std::int64_t value) { return std::to_string(value); }
std::string Text(const std::string& value) { return value; }

// The shortest text that reads back as the same value; "NaN", "Infinity", "-Infinity" for the
// values that have no digits.
template <class F>
std::string FloatText(F value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    return ShortestText(value);
}
std::string Text(float value) { return FloatText(value); }
std::string Text(double value) { return FloatText(value); }

template <class V, TypeCode Code>
class Boxed final : public Object {
public:
    explicit Boxed(V value) : value_(std::move(value)) {}
    std::string ToString() const override { return Text(value_); }
    TypeCode GetTypeCode() const override { return Code; }

private:
    V value_;
};

template <TypeCode Code, class V>
std::shared_ptr<Object> MakeBox(V value) {
    return std::make_shared<Boxed<V, Code>>(std::move(value));
}

std::shared_ptr<Object> BoxValue(bool v) { return MakeBox<TypeCode::Boolean>(v); }
std::shared_ptr<Object> BoxValue(std::int32_t v) { return MakeBox<TypeCode::Int32>(v); }
std::shared_ptr<Object> BoxValue(std::int64_t v) { return MakeBox<TypeCode::Int64>(v); }
std::shared_ptr<Object> BoxValue(float v) { return MakeBox<TypeCode::Single>(v); }
std::shared_ptr<Object> BoxValue(double v) { return MakeBox<TypeCode::Double>(v); }
std::shared_ptr<Object> BoxValue(std::string v) { return MakeBox<TypeCode::String>(std::move(v)); }
// A null text boxes as an empty one.
std::shared_ptr<Object> BoxValue(const char* v) { return BoxValue(std::string(v ? v : "")); }

}  // namespace

template <class T>
std::shared_ptr<Object> Box(T value) {
    return BoxValue(std::move(value));
}

// The types that can be boxed; int is std::int32_t on every platform this library builds for.
static_assert(std::is_same_v<int, std::int32_t>);
template std::shared_ptr<Object> Box<bool>(bool);
template std::shared_ptr<Object> Box<std::int32_t>(std::int32_t);
template std::shared_ptr<Object> Box<std::int64_t>(std::int64_t);
template std::shared_ptr<Object> Box<float>(float);
template std::shared_ptr<Object> Box<double>(double);
template std::shared_ptr<Object> Box<std::string>(std::string);
template std::shared_ptr<Object> Box<const char*>(const char*);

}  // namespace Quorvex::VarnelNet

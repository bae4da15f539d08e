#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace Quorvex::VarnelNet {

// The kind of value an Object holds: TypeCode::Object for ordinary objects, another code for a
// boxed simple value.
enum class TypeCode { Empty, Object, Boolean, Int32, Int64, Single, Double, DateTime, String };

// The root of the small object model that the destination binding works with.
class Object {
public:
    virtual ~Object() = default;
    // The type's full name, '.'-separated; a boxed value gives its value as text.
    virtual std::string ToString() const;
    virtual TypeCode GetTypeCode() const;
};

// Boxes a simple value: Box(42), Box(std::string("x")), Box(1.5), Box(true). Defined for bool,
// std::int32_t (int), std::int64_t, float, double, std::string and const char* (nullptr boxes an
// empty text). The box's ToString is the value as text ("True"/"False" for a flag, the shortest
// round-trip form for a floating-point number) and its GetTypeCode the value's code.
template <class T>
std::shared_ptr<Object> Box(T value);

}  // namespace Quorvex::VarnelNet

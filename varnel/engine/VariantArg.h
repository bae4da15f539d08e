#pragma once

#include <cstdint>
#include <memory>

#include "varnel/platform/Automation.h"

namespace Quorvex::VarnelNet {

// Owns one Automation argument and turns a BSTR, or a SAFEARRAY of VT_UI1, into a byte string.
class VariantArg {
public:
    VariantArg();
    ~VariantArg();
    VariantArg(const VariantArg&) = delete;
    VariantArg& operator=(const VariantArg&) = delete;

    // Takes a copy of source, releasing what the holder had. Count: for a BSTR its length plus
    // one; for an array (also one reached by VT_BYREF) the elements of dimension 1; otherwise 0.
    // A VT_BYREF | VT_VARIANT source is replaced by the VARIANT it refers to (one level: a
    // reference to another such reference counts 0). When the copy fails the value is VT_ERROR
    // holding the failure code.
    VariantArg& operator=(const VARIANT& source);

    // The bytes, made on the first call: a BSTR narrowed to Windows-1252 in Count() bytes
    // (terminator included), or the Count() bytes of a VT_UI1 array followed by one zero byte.
    // nullptr for any other value (no elements, an array of another element type, an array
    // held by reference, an error) and when the data cannot be read.
    const char* MakeBytes();

    // Releases the value and the bytes; the holder is empty again.
    void Clear();

    const VARIANT& Value() const { return m_value; }
    std::int32_t Count() const { return m_count; }
    // For an array: the value's type without VT_ARRAY; otherwise 0.
    VARTYPE ElementType() const { return m_elementType; }

private:
    VARIANT m_value;
    std::int32_t m_count = 0;
    std::unique_ptr<char[]> m_bytes;
    VARTYPE m_elementType = 0;
};

}  // namespace Quorvex::VarnelNet

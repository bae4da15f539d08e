#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/EngineHarness.h"
#include "varnel/engine/ErrorTexts.h"

namespace {

using namespace varnel_test;
using Bytes = std::vector<std::uint8_t>;

// A VARIANT that frees what it holds.
struct Var {
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
    VARIANT v;
};

Var* Text(Var& out, const std::u16string& text) {
    out.v.vt = VT_BSTR;
    out.v.bstrVal = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
    return &out;
}

Var* Array(Var& out, VARTYPE vt, const Bytes& bytes, std::uint32_t count = 0) {
    out.v.vt = VT_ARRAY | vt;
    out.v.parray = SafeArrayCreateVector(vt, 1, count ? count : static_cast<std::uint32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(out.v.parray->pvData, bytes.data(), bytes.size());
    return &out;
}

// What a buffer-stream generation renders after queue() ran.
Bytes Rendered(const std::function<void(CVarnel&)>& queue) {
    CVarnel engine;
    engine.GenerateBegin(nullptr);
    queue(engine);
    return PullAll(engine, 4096);
}

struct TextCase {
    const char* name;
    std::function<Var*(Var&, Var&)> make;  // the second Var is spare room for a referenced value
    std::string expected;                  // the bytes GenerateTTY2 gets for the same text
};

TEST(GenerateTTYExVariant, QueuesTheTextOfABstrOrAByteArray) {
    const TextCase cases[] = {
        {"Bstr", [](Var& a, Var&) { return Text(a, u"HELLO 42"); }, "HELLO 42"},
        {"BstrNarrowedTo1252", [](Var& a, Var&) { return Text(a, u"caf\u00E9\u20AC\u65E5"); }, "caf\xE9\x80?"},
        {"EmptyBstr", [](Var& a, Var&) { return Text(a, u""); }, ""},
        {"ByteArrayWithoutZero", [](Var& a, Var&) { return Array(a, VT_UI1, {'H', 'I', ' ', 'Y', 'O'}); }, "HI YO"},
        {"ByteArrayStopsAtZero", [](Var& a, Var&) { return Array(a, VT_UI1, {0x48, 0x00, 0x49}); }, "H"},
        {"ByReference", [](Var& a, Var& b) {
             a.v.vt = VT_BYREF | VT_VARIANT;
             a.v.pvarVal = &Text(b, u"AB")->v;
             return &a;
         }, "AB"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        Var arg, referenced;
        Var* data = c.make(arg, referenced);
        std::int32_t id = -1;
        const Bytes pcm = Rendered([&](CVarnel& engine) {
            ASSERT_EQ(engine.GenerateTTYEx(data->v, &id), S_OK);
            EXPECT_EQ(engine.GenerateTTY2("Z", 1), 1);  // the variant form took ID 0
        });
        EXPECT_EQ(id, 0);
        const std::string& text = c.expected;
        EXPECT_EQ(pcm, Rendered([&](CVarnel& engine) {
                      engine.GenerateTTY2(text.c_str(), static_cast<std::int32_t>(text.size()) + 1);
                      engine.GenerateTTY2("Z", 1);
                  }));
    }
}

TEST(GenerateTTYExVariant, RefusesValuesWithoutTextAndQueuesNothing) {
    const TextCase cases[] = {
        {"EmptyArray", [](Var& a, Var&) { return Array(a, VT_UI1, {}); }, ""},
        {"Number", [](Var& a, Var&) { a.v.vt = VT_I4; a.v.lVal = 65; return &a; }, ""},
        {"Empty", [](Var& a, Var&) { return &a; }, ""},
        {"I2Array", [](Var& a, Var&) { return Array(a, VT_I2, {'A', 0, 'B', 0}, 2); }, ""},
        {"ArrayByReference", [](Var& a, Var& b) {
             Array(b, VT_UI1, {'A'});
             a.v.vt = VT_BYREF | VT_ARRAY | VT_UI1;
             a.v.pparray = &b.v.parray;
             return &a;
         }, ""},
        {"NullReference", [](Var& a, Var&) { a.v.vt = VT_BYREF | VT_VARIANT; a.v.pvarVal = nullptr; return &a; }, ""},
        {"SelfReference", [](Var& a, Var&) { a.v.vt = VT_BYREF | VT_VARIANT; a.v.pvarVal = &a.v; return &a; }, ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        Var arg, referenced;
        Var* data = c.make(arg, referenced);
        CVarnel engine;
        engine.GenerateBegin(nullptr);
        std::int32_t id = -1;
        EXPECT_EQ(engine.GenerateTTYEx(data->v, &id), E_INVALIDARG);
        EXPECT_EQ(engine.GetErrMsg(), ErrorText::kTTYDataType);
        EXPECT_EQ(id, -1);
        EXPECT_EQ(engine.GenerateTTY2("A", 1), 0);  // the next ID is kept
        EXPECT_EQ(PullAll(engine, 4096), Rendered([](CVarnel& e) { e.GenerateTTY2("A", 1); }));
    }
    Var text;
    CVarnel engine;
    EXPECT_EQ(engine.GenerateTTYEx(Text(text, u"A")->v, nullptr), E_INVALIDARG);
    EXPECT_EQ(engine.GetErrMsg(), ErrorText::kInvalidParameter);
}

struct FetchWaveStreamVariant : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(engine.GenerateBegin(nullptr), S_OK);
        ASSERT_EQ(engine.GenerateTTY(u"RY", &id), S_OK);
    }
    CVarnel engine;
    std::int32_t id = -1;
    std::int32_t bytes = -7;
};

TEST_F(FetchWaveStreamVariant, NeedsABufferStreamGeneration) {
    Var array;
    Array(array, VT_UI1, {}, 4096);
    CVarnel idle;
    EXPECT_EQ(idle.FetchWaveStream(array.v, &bytes), E_FAIL);
    EXPECT_EQ(idle.GetErrMsg(), ErrorText::kNotGenerating);
    const std::string path = ::testing::TempDir() + "varnel_variant_fetch.wav";
    const std::u16string name(path.begin(), path.end());
    ASSERT_EQ(idle.GenerateBegin(name.c_str()), S_OK);
    EXPECT_EQ(idle.FetchWaveStream(array.v, &bytes), E_FAIL);
    EXPECT_EQ(idle.GetErrMsg(), ErrorText::kNotGenerating);
    idle.GenerateEnd();
    EXPECT_EQ(bytes, -7);
}

TEST_F(FetchWaveStreamVariant, RefusesOtherArgumentsAndSmallArrays) {
    struct Case { const char* name; std::function<Var*(Var&)> make; HRESULT hr; const char* text; };
    const Case cases[] = {
        {"I2Array", [](Var& a) { return Array(a, VT_I2, {}, 400); }, E_INVALIDARG, ErrorText::kInvalidParameter},
        {"Bstr", [](Var& a) { return Text(a, std::u16string(400, u'x')); }, E_INVALIDARG, ErrorText::kInvalidParameter},
        {"Empty", [](Var& a) { return &a; }, E_INVALIDARG, ErrorText::kInvalidParameter},
        {"Bytes99", [](Var& a) { return Array(a, VT_UI1, {}, 99); }, E_INVALIDARG, ErrorText::kBufferTooSmall},
        {"Bytes100", [](Var& a) { return Array(a, VT_UI1, {}, 100); }, S_OK, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Var arg;
        bytes = -7;
        EXPECT_EQ(engine.FetchWaveStream(c.make(arg)->v, &bytes), c.hr);
        if (FAILED(c.hr)) {
            EXPECT_EQ(engine.GetErrMsg(), c.text);
        }
        EXPECT_EQ(bytes, FAILED(c.hr) ? -7 : 0);
    }
    Var array;
    EXPECT_EQ(engine.FetchWaveStream(Array(array, VT_UI1, {}, 200)->v, nullptr), E_INVALIDARG);
}

TEST(FetchWaveStreamVariantForms, RendersWhatExecRequestRenders) {
    const auto start = [](CVarnel& e) {
        e.GenerateBegin(nullptr);
        e.GenerateTTY(u"RY", nullptr);
    };
    CVarnel twin;
    start(twin);
    const Bytes pulled = PullAll(twin, 101);
    ASSERT_FALSE(pulled.empty());
    const char* forms[] = {"UI1", "I1", "ArrayByReference", "VariantByReference"};
    for (int form = 0; form < 4; ++form) {
        SCOPED_TRACE(forms[form]);
        CVarnel engine;
        start(engine);
        Var array, ref;
        Array(array, form == 1 ? VT_I1 : VT_UI1, {}, 101);
        ref.v.vt = form == 2 ? VT_BYREF | VT_ARRAY | VT_UI1 : VT_BYREF | VT_VARIANT;
        if (form == 2) ref.v.pparray = &array.v.parray;
        if (form == 3) ref.v.pvarVal = &array.v;
        const VARIANT& data = form >= 2 ? ref.v : array.v;
        Bytes out;
        std::int32_t bytes = -1;
        while (engine.FetchWaveStream(data, &bytes) == S_OK && bytes > 0) {
            const auto* p = static_cast<const std::uint8_t*>(array.v.parray->pvData);
            out.insert(out.end(), p, p + bytes);
        }
        EXPECT_EQ(bytes, 0);
        EXPECT_EQ(array.v.parray->cLocks, 0u);
        EXPECT_EQ(out, pulled);
    }
}

}  // namespace

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "varnel/engine/SettingsCatalog.h"
#include "varnel/script/Request.h"

namespace Quorvex::VarnelNet {
class CVarnel;
}

namespace Quorvex::VarnelNet::Script {

// Settings as people write them: the names are the tool's options ("rate", "cid-standard"),
// also with '_' for '-' ("cid_standard"), or the component's properties ("CID_BitTiming") also in
// Python's spelling ("cid_bit_timing"); names and words ("etsi", "ulaw") are compared without
// regard to case; numbers are decimal.

// The setting a name stands for, or nullptr.
const SettingSpec* FindSetting(std::string_view name);

// Reads a value for the setting; `what` names it in messages ("--rate", "set:rate"). Refused
// with a RequestError: a value that is not a number or one of the setting's words, or that the
// setting does not take (the engine's range, a DTMF time below 0, a level above full scale).
Set ParseSetting(const SettingSpec& spec, std::string_view value, std::string_view what);

// A setting by any of its names with a value as the tool takes it ("cid_standard", "ETSI"): the
// value is read as ParseSetting does, naming the setting as given; a name the catalog does not
// know is refused with the list of names (RequestError).
Set ParseNamedSetting(std::string_view name, std::string_view value);

// The value as its option is written: "8000", "-6", "mdmf", "1".
std::string ValueText(const SettingSpec& spec, const SettingValue& value);

// "rate, bits, encoding, ...": the options of every setting.
std::string SettingNames();

// The value of every setting of the catalog.
class SettingValues {
public:
    // The catalog's defaults (the component's).
    SettingValues();
    // The settings an engine has now.
    static SettingValues Of(CVarnel& engine);

    const SettingValue& Get(const SettingSpec& spec) const;
    std::int32_t Integer(const SettingSpec& spec) const { return Get(spec).integer; }
    float Number(const SettingSpec& spec) const { return Get(spec).number; }
    void Apply(const Set& setting);
    // Sets every value on the engine; the first failure, or S_OK.
    HRESULT ApplyTo(CVarnel& engine) const;

private:
    std::vector<SettingValue> m_values;  // in the catalog's order
};

// The settings a rendering of a script starts from where they differ from the component's
// defaults, so that real receivers decode what it renders: Caller-ID bits at exactly 1200 bit/s
// (cid-timing exact) and FIGS again after a space, as US TTYs expect (tty-figs-after-space 1).
// The tool, the Python module's render functions and the web page start from them.
const std::vector<Set>& RenderDefaults();

}  // namespace Quorvex::VarnelNet::Script

#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "varnel/engine/SettingsCatalog.h"
#include "varnel/options/OptionRow.h"
#include "varnel/rtp/SessionOptions.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Option {

// Every option of every front end, one row each: the tool's own and the test kit's (rows of
// this file), the settings (a row for each of the settings catalog's), the impairments
// (Script::ImpairmentRows) and an RTP session's (Rtp::SessionOptionRows). Within each target the
// rows are in the order the tool's help and completion list them; the tool's and the kit's come
// first, then the settings, the impairments and the session's.
std::span<const OptionRow* const> All();

// The rows of that name, of every target ("seed" is the impairments' and the session's).
std::vector<const OptionRow*> Find(std::string_view name);

// Whether an option of that name lands in the target; whether only an RTP session takes it
// (--seed is the noise's too).
bool Lands(std::string_view name, Target target);
bool SessionOnly(std::string_view name);

// The row of that short option letter, or nullptr.
const OptionRow* ByLetter(char letter);

// The setting a row of Target::Setting stands for.
const SettingSpec& SettingOf(const OptionRow& row);

// (name, value) pairs as Python and the page give them: a name is an option of the
// impairments or of a session with '_' for '-' (snr, freq_offset, ptime), mix (a script sounding
// under the requests) or mix_dbm0 (its level), or any name of a setting (Script::FindSetting). Settings are added to render.settings in order, impairments read
// into render.impairments, session options into *session; with no session they are refused.
// Throws OptionRefused for a value an option does not take, RequestError for an unknown name.
using Pairs = std::vector<std::pair<std::string, std::string>>;
void ApplyOptions(Script::RenderOptions& render, Rtp::SessionOptions* session, const Pairs& pairs);

}  // namespace Quorvex::VarnelNet::Option

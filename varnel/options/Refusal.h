#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Option {

// Why an option's value is refused, as data: each front end words it its own way (the tool
// "--ptime: '61' is not ...", Python "ptime: '61' is not ...", the page beside its field), so
// the library never writes one front end's syntax.
struct Refusal {
    std::string option;  // the option's name, "ptime", "pcap-start"
    std::string value;   // as given
    std::string reason;  // "is not a whole number of milliseconds from 10 to 60"
    // Set when the refusal is of what the options led to rather than of the value given: the
    // values of the option that would be taken instead ("8000"; "ulaw", "alaw"). The reason then
    // stands alone ("G.711 in RTP runs at 8000 Hz: the output is 16000 Hz, ...").
    std::vector<std::string> remedies;
    // Set when the refusal is of options together: the reason names each as {name} ("{noise}
    // and {snr} both set the noise: give one"), option is the first of them, value is empty.
    bool together = false;
};

// A refusal of options together, named in the reason as {name}.
Refusal Together(std::string reason);

// The reason of a refusal of options together with each {name} as the front end spells it.
std::string Spelled(const Refusal& refusal, std::string (*spell)(std::string_view name));

// The refusal in the library's own words: "ptime: '61' is not ...", with remedies "rate: G.711
// in RTP runs at 8000 Hz: ...; 8000 is taken", of options together "noise and snr both ...".
std::string NeutralText(const Refusal& refusal);

// A refused option: a RequestError (E_INVALIDARG) whose text is NeutralText, carrying the data.
class OptionRefused : public Script::RequestError {
public:
    explicit OptionRefused(Refusal refusal);
    const Refusal& Refused() const { return m_refusal; }

private:
    Refusal m_refusal;
};

// Throws OptionRefused for the option's value.
[[noreturn]] void Refuse(std::string_view option, std::string_view value, std::string reason);

}  // namespace Quorvex::VarnelNet::Option

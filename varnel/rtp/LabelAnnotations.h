#pragma once

#include <cstddef>
#include <vector>

#include "varnel/rtp/PacketStream.h"
#include "varnel/rtp/SessionOptions.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Rtp {

// The events and the text of a session found in a rendering's labels, as the options ask:
// - with --dtmf-mode rfc4733, each DTMF key (a dtmf: request's key label) is an RFC 4733 event
//   over the key's tone, its volume the level of its low-group tone in dBm0 without the sign
//   (--dbm0 LEVEL gives LEVEL);
// - with --tone-events, each modem or fax tone is an RFC 4734 event: a CNG burst, or the
//   elements of an answer tone together (ANS/PR and ANSam/PR report one per phase reversal);
// - with --tty-rtt, each character of a TTY request is a T.140 character, ready at the sample
//   after its last stop bit: letters and figures as a receiver reads them, CR or LF (CR LF
//   once) as the line separator U+2028, BEL and BS as they are; the shifts (LTRS, FIGS) and
//   other control characters send nothing.
// An event that would start while another sounds, and a character ready before the one before
// it, are left out: one telephone event sounds at a time, and text goes in order. The
// rendering must label its requests (RenderOptions::labels) and outlive this.
class LabelAnnotations final : public StreamAnnotations {
public:
    LabelAnnotations(const Script::Rendering& rendering, const SessionOptions& options);
    void TakeNew(std::vector<EventSpan>& events, std::vector<TextCharacter>& text) override;

private:
    void AddCharacter(std::vector<TextCharacter>& text, const Script::Label& label);
    // The measured request at a label's position; labels come in the order of their requests.
    const Script::MeasuredRequest* MeasuredOf(std::size_t position);

    const Script::Rendering& m_rendering;
    SessionOptions m_options;
    std::size_t m_taken = 0;     // labels looked at
    std::size_t m_measured = 0;  // the measured request of the last label
    std::uint64_t m_lastEventEnd = 0;
    std::uint64_t m_lastReady = 0;
    bool m_afterCarriageReturn = false;
};

}  // namespace Quorvex::VarnelNet::Rtp

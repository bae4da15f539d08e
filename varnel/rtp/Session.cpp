#include "varnel/rtp/Session.h"

#include "varnel/engine/SettingsCatalog.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/rtp/DatagramFramer.h"
#include "varnel/rtp/HeldEvent.h"
#include "varnel/rtp/LabelAnnotations.h"
#include "varnel/rtp/Pacer.h"
#include "varnel/rtp/SessionDescription.h"
#include "varnel/script/RequestError.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

static_assert(kLeastAudioRoom >= Script::Rendering::kLeastRoom, "the packets' audio comes from Rendering::Pull");
constexpr std::uint64_t kLastMicrosecond = 0xFFFFFFFFULL * 1000000 + 999999;

// The G.711 format of the rendering's encoding (A-law for any but mu-law: CheckRtpFormat says
// which ones a session takes).
const PayloadFormat& AudioFormatOf(const Script::Rendering& rendering) {
    return rendering.StartSettings().Integer(SettingsCatalog::kEncoding) == ENC_MuLaw ? kPcmu : kPcma;
}

StreamPlan PlanOf(const SessionOptions& options, const PayloadFormat& audioFormat) {
    StreamPlan plan;
    plan.audioFormat = audioFormat;
    plan.slotSamples = audioFormat.TicksIn(options.ptimeMs);
    plan.eventFormat = TelephoneEventFormat(options.eventPayloadType, audioFormat);
    plan.t140Format = T140Format(options.t140PayloadType);
    plan.redFormat = RedFormat(options.redPayloadType, plan.t140Format);
    StreamStarts starts(options.seed);
    plan.audio = starts.Next();
    plan.text = starts.Next();
    return plan;
}

// The checks of the rendering and the options a session makes before it exists.
const Script::Rendering& Checked(const Script::Rendering& rendering, const SessionOptions& options) {
    if (std::optional<Option::Refusal> refusal = CheckRtpFormat(rendering)) throw Option::OptionRefused(std::move(*refusal));
    if (std::optional<Option::Refusal> refusal = CheckSessionOptions(options)) throw Option::OptionRefused(std::move(*refusal));
    return rendering;
}

std::unique_ptr<StreamAnnotations> FromLabels(const Script::Rendering& rendering, const SessionOptions& options) {
    if (options.NeedsLabels() && !rendering.Labelled()) {
        throw Script::RequestError("the RTP events and text come from the rendering's labels: render with labels");
    }
    return std::make_unique<LabelAnnotations>(rendering, options);
}

std::unique_ptr<StreamAnnotations> Given(const Script::Rendering& rendering, std::vector<EventSpan> events,
                                         std::vector<TextCharacter> text) {
    const std::uint64_t samples = AudioFormatOf(rendering).SamplesOf(rendering.TotalBytes());
    for (const std::string& refusal : {CheckEventSpans(events, samples), CheckTextCharacters(text, samples)}) {
        if (!refusal.empty()) throw Script::RequestError(refusal);
    }
    return std::make_unique<FixedAnnotations>(std::move(events), std::move(text));
}

}  // namespace

std::optional<Option::Refusal> CheckRtpFormat(const Script::Rendering& rendering) {
    const Script::SettingValues& settings = rendering.StartSettings();
    const std::int32_t rate = settings.Integer(SettingsCatalog::kSampleRate);
    const std::int32_t encoding = settings.Integer(SettingsCatalog::kEncoding);
    if (encoding != ENC_MuLaw && encoding != ENC_ALaw) {
        return Option::Refusal{std::string(SettingsCatalog::kEncoding.option),
                               Script::ValueText(SettingsCatalog::kEncoding, {encoding, 0.0f}),
                               "RTP carries G.711 here: the output is " + rendering.FormatText(),
                               {std::string(SettingsCatalog::KeywordOf(SettingsCatalog::kEncoding, ENC_MuLaw)),
                                std::string(SettingsCatalog::KeywordOf(SettingsCatalog::kEncoding, ENC_ALaw))}};
    }
    const std::uint32_t clockRate = AudioFormatOf(rendering).clockRate;
    if (rate != static_cast<std::int32_t>(clockRate)) {
        const std::string clock = std::to_string(clockRate);
        return Option::Refusal{std::string(SettingsCatalog::kSampleRate.option), std::to_string(rate),
                               "G.711 in RTP runs at " + clock + " Hz: the output is " + rendering.FormatText(), {clock}};
    }
    return std::nullopt;
}

std::string ShortKeyWarning(const Script::Rendering& rendering, const SessionOptions& options) {
    if (options.dtmfMode != DtmfMode::Rfc4733) return "";
    for (const Script::MeasuredRequest& m : rendering.Measured()) {
        const std::int32_t keyMs = m.settings.Integer(SettingsCatalog::kDtmfToneTime);
        if (!std::holds_alternative<Script::Dtmf>(m.entry->request) || keyMs <= 0 ||
            static_cast<std::uint32_t>(keyMs) >= options.ptimeMs) {
            continue;
        }
        std::string warning = Printable(m.entry->text);
        warning.insert(0, 1, '\'');
        return warning + "': keys of " + std::to_string(keyMs) + " ms are shorter than the packet time (" +
               std::to_string(options.ptimeMs) + " ms): each key's start and end packets leave together";
    }
    return "";
}

std::optional<Option::Refusal> CheckSessionMix(const Script::RenderOptions& render, const SessionOptions& options) {
    if (!render.mix || !options.NeedsLabels()) return std::nullopt;
    return Option::Together("{mix} sounds a second script under the requests, which telephone events and real-time text "
                            "cannot carry: send it in the audio (without {dtmf-mode} rfc4733, {tone-events} and {tty-rtt})");
}

Script::RenderOptions RenderOptionsFor(Script::RenderOptions render, const SessionOptions& options) {
    if (const auto refusal = CheckSessionMix(render, options)) throw Option::OptionRefused(*refusal);
    render.settings.insert(render.settings.begin(),
                           {Script::Set{&SettingsCatalog::kSampleRate, {static_cast<std::int32_t>(kPcmu.clockRate), 0.0f}},
                            Script::Set{&SettingsCatalog::kEncoding, {ENC_MuLaw, 0.0f}}});
    render.labels = render.labels || options.NeedsLabels();
    return render;
}

Session::Session(Script::Rendering& rendering, const SessionOptions& options)
    : Session(rendering, options, FromLabels(rendering, options)) {}

Session::Session(Script::Rendering& rendering, const SessionOptions& options, std::vector<EventSpan> events,
                 std::vector<TextCharacter> text)
    : Session(rendering, options, Given(rendering, std::move(events), std::move(text))) {}

Session::Session(Script::Rendering& rendering, const SessionOptions& options, std::unique_ptr<StreamAnnotations> annotations)
    : m_options(options),
      m_plan(PlanOf(options, AudioFormatOf(Checked(rendering, options)))),
      m_samples(m_plan.audioFormat.SamplesOf(rendering.TotalBytes())),
      m_annotations(std::move(annotations)),
      m_packets(m_plan, m_samples, [&rendering](std::span<std::uint8_t> out) { return rendering.Pull(out); },
                *m_annotations) {}

std::string Session::Description(const Endpoint& destination) const {
    return SessionDescription(m_options, m_plan, m_options.Source(), destination, m_plan.audio.ssrc);
}

bool Session::Next(Packet& packet) {
    if (!m_packets.Next(packet)) return false;
    if (packet.stream == StreamKind::Text) {
        ++m_counts.text;
    } else if ((packet.bytes[1] & 0x7F) == m_plan.audioFormat.type) {
        ++m_counts.audio;
    } else {
        ++m_counts.events;
    }
    return true;
}

void WritePcap(Session& session, std::uint64_t startMicroseconds, const PcapSavefile::Write& write,
               const std::function<void()>& betweenPackets) {
    const PayloadFormat& audioFormat = session.Plan().audioFormat;
    const std::uint64_t lastTime = session.Samples() + 3 * session.Plan().slotSamples +
                                   3 * std::uint64_t{audioFormat.TicksIn(TextPacketiser::kIntervalMs)};
    if (startMicroseconds > kLastMicrosecond - audioFormat.MicrosecondsAt(lastTime)) {
        throw Script::RequestError(Script::kNamesOptions, "{pcap-start}: the packets would be time-stamped past what a pcap file holds (the year 2106)");
    }
    const Endpoint source = session.Options().Source();
    const Endpoint destination = session.Options().Destination();
    const DatagramFramer::Route audio(source, destination);
    const DatagramFramer::Route text(source.WithPortOffset(2), destination.WithPortOffset(2));
    DatagramFramer framer;
    PcapSavefile pcap(write, PcapSavefile::kLinkTypeEthernet, DatagramFramer::kMostHeaderBytes);
    Packet packet;
    for (;;) {
        if (betweenPackets) betweenPackets();
        if (!session.Next(packet)) break;
        const DatagramFramer::Route& route = packet.stream == StreamKind::Text ? text : audio;
        pcap.Record(startMicroseconds + audioFormat.MicrosecondsAt(packet.time), framer.Headers(route, packet.bytes),
                    packet.bytes);
    }
}

void SendLive(Session& session, UdpSender& sender, const std::function<void()>& check) {
    const Pacer pacer(session.Plan().audioFormat.clockRate);
    HeldEvent held(session.Plan().eventFormat.type);
    Packet packet;
    for (;;) {
        try {
            if (check) check();
            if (!session.Next(packet)) return;
            pacer.WaitUntil(packet.time, check);
        } catch (...) {
            // Stopped early: the receiver must not be left with a key held down. A refusal of
            // these last packets changes nothing, the send stops as asked.
            held.End([&sender](std::span<const std::uint8_t> bytes) {
                try {
                    sender.Send(StreamKind::Audio, bytes);
                } catch (const SendFailure&) {
                }
            });
            throw;
        }
        try {
            sender.Send(packet.stream, packet.bytes);
        } catch (const SendFailure& failure) {
            const std::uint64_t sent = sender.Sent();
            throw SendFailure(std::string(failure.what()) + "; stopped after " + std::to_string(sent) +
                              (sent == 1 ? " packet" : " packets"));
        }
        held.Sent(packet);
    }
}

}  // namespace Quorvex::VarnelNet::Rtp

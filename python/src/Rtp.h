#pragma once

#include <cstdint>
#include <string>

#include "Render.h"
#include "varnel/rtp/SessionOptions.h"

namespace varnel_python {

// Writes the job's packets as a libpcap file, as `varnel --pcap PATH` does: an old file is
// replaced only once the new one is complete, and a stop leaves no temporary file. Returns the
// packets written. Throws RequestError for what is refused before writing, COMException when
// the file cannot be written.
std::uint64_t WritePcapFile(Quorvex::VarnelNet::Render::Job job, const Quorvex::VarnelNet::Rtp::SessionOptions& options,
                            const std::string& path, const CheckSignals& check);

// Sends the job's packets live to host:port, as `varnel --rtp HOST:PORT` does, each at its time;
// check runs between packets and whenever a signal interrupts a wait. Returns the packets sent.
// Throws RequestError for a host that does not resolve, Rtp::SendFailure when the system refuses
// to send (a destination that answers ICMP port unreachable stops the send).
std::uint64_t SendRtp(Quorvex::VarnelNet::Render::Job job, const Quorvex::VarnelNet::Rtp::SessionOptions& options, const std::string& host,
                      std::uint16_t port, const CheckSignals& check);

}  // namespace varnel_python

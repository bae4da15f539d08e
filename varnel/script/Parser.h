#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/script/Request.h"

namespace Quorvex::VarnelNet::Script {

// The text notation: a request is KIND:ARGUMENTS (dtmf:5550123, plan:uk:busy:3000); a script is
// requests separated by spaces, tabs or newlines. In a script a request (or part of it) may be
// quoted as in a shell: "cid:5551234|JOHN DOE" or 'tty:HELLO GA' keep their spaces, a
// backslash outside single quotes takes the next character as it is (inside double quotes only
// before '"' or '\'), and '#' at the start of a word comments out the rest of its line.
//
// Kind words, keywords (on, etsi, cng, uk, busy, nc) and setting names are compared without
// regard to case. Spaces and tabs around a number, a keyword or a separator are ignored in
// every kind; the free texts (DTMF keys, TTY text, a Caller-ID number and name) are taken as
// written. Numbers are decimal with an optional sign, fraction and exponent (8e3).

// A request as the parser found it.
struct Entry {
    Request request;
    std::string text;        // as written, printable (control characters escaped), for messages
    std::size_t index = 0;   // its position: 1 for the first request
    std::size_t line = 0;    // the line of a script of several lines it is on; otherwise 0
    std::vector<std::string> warnings;  // what the parser noticed: DTMF characters it skips
};

using Requests = std::vector<Entry>;

// Parses one request. Throws RequestError saying what is wrong with it (without a position).
// warnings, when given, receives what the parser noticed.
Request ParseRequest(std::string_view text, std::vector<std::string>* warnings = nullptr);

// Parses a script; its requests are numbered from firstIndex. Throws RequestError naming the
// request (its position, line and text) and the reason; an unclosed quote is named by its line.
Requests ParseScript(std::string_view script, std::size_t firstIndex = 1);

// Parses texts that are one request each (a command line's arguments), numbered from
// firstIndex; throws as ParseScript does.
Requests ParseEach(std::span<const std::string> texts, std::size_t firstIndex = 1);

}  // namespace Quorvex::VarnelNet::Script

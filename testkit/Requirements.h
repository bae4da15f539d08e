#pragma once

#include <span>
#include <string_view>

namespace Quorvex::VarnelNet::Kit {

// A requirement receivers are tested against (data/receiver-requirements.tsv): what they must
// do, where it is published, and how sure the figure is ("published", "data sheet",
// "unconfirmed", "project").
struct Requirement {
    std::string_view id;
    std::string_view suite;
    std::string_view requirement;
    std::string_view source;
    std::string_view status;
};

std::span<const Requirement> Requirements();
// The requirement with that id, or nullptr.
const Requirement* FindRequirement(std::string_view id);

}  // namespace Quorvex::VarnelNet::Kit

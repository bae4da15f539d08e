#include "testkit/Requirements.h"

namespace Quorvex::VarnelNet::Kit {

const Requirement* FindRequirement(std::string_view id) {
    for (const Requirement& r : Requirements()) {
        if (r.id == id) return &r;
    }
    return nullptr;
}

}  // namespace Quorvex::VarnelNet::Kit

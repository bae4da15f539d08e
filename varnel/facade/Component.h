#pragma once

#include "varnel/platform/Object.h"

namespace Quorvex::VarnelNet {

// The base of components: Dispose() releases what the component holds before it is destroyed.
class Component : public Object {
public:
    Component() = default;
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;
    ~Component() override = default;

    void Dispose() { Dispose(true); }

protected:
    virtual void Dispose(bool /*disposing*/) {}
};

}  // namespace Quorvex::VarnelNet

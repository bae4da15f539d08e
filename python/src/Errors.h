#pragma once

#include <pybind11/pybind11.h>

namespace varnel_python {

// Defines varnel.Error (with .hresult), varnel.ArgumentError (also a ValueError) and
// varnel.ComError (also a RuntimeError) in the module, and turns the component's exceptions
// into them: ArgumentException into ArgumentError, COMException into ComError, each with the
// engine's text and HRESULT; the request language's RequestError into ArgumentError (or ComError
// for a code other than E_INVALIDARG).
void RegisterErrors(pybind11::module_& module);

}  // namespace varnel_python

#pragma once

#include <pybind11/pybind11.h>

#include <mutex>
#include <string>
#include <vector>

namespace varnel_python {

// The Python handlers of one event of a component, e.g. v.on_complete. connect() adds a
// callable (twice added, twice called), disconnect() removes its last occurrence. Raise may be
// called from any thread without the GIL: it takes the GIL, calls each handler with the
// arguments, and reports a handler's exception through sys.unraisablehook, so that the thread
// that renders goes on.
class Handlers {
public:
    explicit Handlers(std::string name) : m_name(std::move(name)) {}

    pybind11::object Connect(pybind11::object handler);
    void Disconnect(const pybind11::object& handler);
    std::size_t Count() const;

    template <class... Args>
    void Raise(const Args&... args) const {
        if (!Py_IsInitialized()) return;
        pybind11::gil_scoped_acquire gil;
        for (const pybind11::object& handler : Snapshot()) {
            try {
                handler(args...);
            } catch (pybind11::error_already_set& e) {
                e.discard_as_unraisable(m_name.c_str());
            }
        }
    }

private:
    std::vector<pybind11::object> Snapshot() const;

    std::string m_name;
    mutable std::mutex m_mutex;  // taken with the GIL held, never held while a handler runs
    std::vector<pybind11::object> m_handlers;
};

void RegisterHandlers(pybind11::module_& module);

}  // namespace varnel_python

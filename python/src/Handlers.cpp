#include "Handlers.h"

#include <algorithm>

namespace py = pybind11;

namespace varnel_python {

py::object Handlers::Connect(py::object handler) {
    if (!PyCallable_Check(handler.ptr())) throw py::type_error("an event handler must be callable");
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_handlers.push_back(handler);
    return handler;
}

void Handlers::Disconnect(const py::object& handler) {
    std::vector<py::object> removed;  // released after the lock, with the GIL still held
    const std::lock_guard<std::mutex> guard(m_mutex);
    for (auto it = m_handlers.rbegin(); it != m_handlers.rend(); ++it) {
        if (it->is(handler) || it->equal(handler)) {
            removed.push_back(*it);
            m_handlers.erase(std::next(it).base());
            return;
        }
    }
    throw py::value_error("the handler is not connected");
}

std::size_t Handlers::Count() const {
    const std::lock_guard<std::mutex> guard(m_mutex);
    return m_handlers.size();
}

std::vector<py::object> Handlers::Snapshot() const {
    const std::lock_guard<std::mutex> guard(m_mutex);
    return m_handlers;
}

void RegisterHandlers(py::module_& module) {
    py::class_<Handlers, std::shared_ptr<Handlers>>(module, "Event",
        "The handlers of one event: connect(fn) adds fn (and returns it, so it serves as a "
        "decorator), disconnect(fn) removes its last occurrence. A handler that raises is "
        "reported through sys.unraisablehook and the others are still called.")
        .def("connect", &Handlers::Connect, py::arg("handler"))
        .def("disconnect", &Handlers::Disconnect, py::arg("handler"))
        .def("__len__", &Handlers::Count);
}

}  // namespace varnel_python

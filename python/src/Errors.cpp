#include "Errors.h"

#include <algorithm>

#include "varnel/facade/Exceptions.h"
#include "varnel/options/Refusal.h"
#include "varnel/platform/PrintableText.h"
#include "varnel/rtp/UdpSender.h"
#include "varnel/script/RequestError.h"

namespace py = pybind11;
using namespace Quorvex::VarnelNet;

namespace varnel_python {

namespace {

PyObject* g_argumentError = nullptr;
PyObject* g_comError = nullptr;

// Raises type(message) with .hresult set.
void Raise(PyObject* type, const char* message, HRESULT hr) {
    py::object error = py::reinterpret_borrow<py::object>(type)(py::str(message));
    error.attr("hresult") = py::int_(static_cast<std::int32_t>(hr));
    PyErr_SetObject(type, error.ptr());
}

// A keyword argument's name: the option with '_' for '-'.
std::string Keyword(std::string option) {
    std::replace(option.begin(), option.end(), '-', '_');
    return option;
}

std::string KeywordName(std::string_view option) { return Keyword(std::string(option)); }

// A refused option in Python's words, naming the keyword: "ptime: '61' is not ...",
// "rate: G.711 in RTP runs at 8000 Hz: ...; give rate=8000", "noise and snr both set ...".
std::string KeywordText(const Option::Refusal& refusal) {
    if (refusal.together) return Option::Spelled(refusal, KeywordName);
    const std::string keyword = Keyword(refusal.option);
    if (refusal.remedies.empty()) return keyword + ": '" + Printable(refusal.value) + "' " + refusal.reason;
    std::string text = keyword + ": " + refusal.reason + "; give ";
    for (std::size_t i = 0; i < refusal.remedies.size(); ++i) {
        const std::string& remedy = refusal.remedies[i];
        const bool number = remedy.find_first_not_of("0123456789") == std::string::npos;
        text.append(i == 0 ? "" : " or ").append(keyword).append("=").append(number ? remedy : "'" + remedy + "'");
    }
    return text;
}

}  // namespace

void RegisterErrors(py::module_& module) {
    PyObject* base = PyErr_NewExceptionWithDoc(
        "varnel.Error", "A refusal of the component: str() is the engine's text, .hresult its HRESULT.",
        PyExc_Exception, nullptr);
    py::object error = py::reinterpret_steal<py::object>(base);
    error.attr("hresult") = py::int_(0);
    module.attr("Error") = error;

    py::tuple argumentBases = py::make_tuple(error, py::handle(PyExc_ValueError));
    g_argumentError = PyErr_NewExceptionWithDoc(
        "varnel.ArgumentError", "An argument the component refuses (ArgumentException, E_INVALIDARG).",
        argumentBases.ptr(), nullptr);
    module.attr("ArgumentError") = py::reinterpret_steal<py::object>(g_argumentError);

    py::tuple comBases = py::make_tuple(error, py::handle(PyExc_RuntimeError));
    g_comError = PyErr_NewExceptionWithDoc(
        "varnel.ComError", "An operation the component cannot do now (COMException, E_FAIL and others).",
        comBases.ptr(), nullptr);
    module.attr("ComError") = py::reinterpret_steal<py::object>(g_comError);

    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const ArgumentException& e) {
            Raise(g_argumentError, e.what(), e.HResult());
        } catch (const Exception& e) {
            Raise(g_comError, e.what(), e.HResult());
        } catch (const Option::OptionRefused& e) {
            Raise(g_argumentError, KeywordText(e.Refused()).c_str(), e.Code());
        } catch (const Script::RequestError& e) {
            Raise(e.Code() == E_INVALIDARG ? g_argumentError : g_comError, e.Spelled(KeywordName).c_str(), e.Code());
        } catch (const Rtp::SendFailure& e) {
            Raise(g_comError, e.what(), E_FAIL);
        }
    });
}

}  // namespace varnel_python

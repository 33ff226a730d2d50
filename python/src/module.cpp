// The quorvelxml module: a late-bound automation client of the component, following the
// conventions Python scripts already use for automation objects.
#include <pybind11/pybind11.h>

#include "com_error.h"
#include "dispatch_object.h"
#include "early_binding.h"
#include "events.h"
#include "object_creation.h"
#include "records.h"
#include "quorvel/quorvel_xml.hpp"

namespace py = pybind11;
using namespace quorvel::python;

PYBIND11_MODULE(quorvelxml, m) {
    m.doc() =
        "Late-bound client of the QuorvelXml component: Dispatch(\"QuorvelXml.QuorvelXml\") gives an object\n"
        "whose properties are attributes and whose methods are calls, reached by name through the\n"
        "component's dispatch interface.";
    m.attr("__version__") = QV_MODULE_VERSION;
    defineComError(m);
    defineDispatchObject(m);
    defineEarlyBinding(m);
    defineEvents(m);
    defineRecords(m);
    m.def("Dispatch", &dispatchFor, py::arg("progid"),
          "A new object of the class a ProgID (\"QuorvelXml.QuorvelXml\", \"QuorvelXml.XmlFactory\", with or\n"
          "without a version) or a class identifier in braces names. A dispatch object is returned as it is.");
    m.def("_interface_count", &liveInterfaceCount, "Interface references held by Python objects.");
    m.def("_can_unload_now", [] { return ::DllCanUnloadNow() == quorvel::S_OK; },
          "Whether the component has no object and no lock left.");
}

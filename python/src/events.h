// Connecting Python handlers to an object's events:
//   WithEvents(obj, HandlerClass) makes a HandlerClass() and connects it to obj's event source;
//   DispatchWithEvents(progid, HandlerClass) creates the object and gives back one object that
//   is both the handler and (by forwarding) the dispatch object.
// The handler's close() ends the connection; so does the release of the object.
#pragma once

#include <pybind11/pybind11.h>

#include "quorvel/automation.hpp"

namespace quorvel::python {

namespace py = pybind11;

class EventSink;

// One connection of a sink to a connection point.
class EventConnection {
public:
    // Takes over the sink's first reference. point is not counted: it lives inside the object,
    // which is alive for as long as the point holds the sink.
    EventConnection(EventSink* sink, IConnectionPoint* point, DWORD cookie);
    ~EventConnection();
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;

    // Disconnects unless the connection has already ended.
    void close();
    bool connected() const;

private:
    EventSink* sink_;
    IConnectionPoint* point_;
    DWORD cookie_;
};

void defineEvents(py::module_& m);

}  // namespace quorvel::python

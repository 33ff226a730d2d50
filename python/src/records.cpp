// quorvelxml.records(source, record_path, namespaces=None, start=None, end=None): a reader handle
// opened on the source, and an iterator that calls its NextRecord until there is none. Only the
// members are used, as any script could; the iterator spares a script the loop and keeps the
// bound member, so each record costs one early-bound call.
#include "records.h"

#include "object_creation.h"

namespace quorvel::python {
namespace {

class RecordIterator {
public:
    explicit RecordIterator(py::object reader) : reader_(std::move(reader)), next_(reader_.attr("NextRecord")) {}
    py::object next() {
        py::object record = next_();
        if (record.is_none()) throw py::stop_iteration();
        return record;
    }
    const py::object& reader() const { return reader_; }

private:
    py::object reader_;
    py::object next_;
};

RecordIterator records(const py::str& source, const py::str& recordPath, const py::object& namespaces,
                       const py::object& start, const py::object& end) {
    py::object reader = dispatchFor(py::str("QuorvelXml.QuorvelXml"));
    if (!namespaces.is_none()) {
        py::object setNamespace = reader.attr("SetXPathNamespace");
        for (auto item : py::dict(namespaces)) setNamespace(item.first, item.second);
    }
    if (start.is_none() && end.is_none()) {
        reader.attr("OpenRecords")(source, recordPath);
    } else {
        // A range without an end runs to the end of the file.
        py::object last = end.is_none() ? py::int_(py::module_::import("os").attr("path").attr("getsize")(source)) : end;
        reader.attr("OpenRecordRange")(source, recordPath, start.is_none() ? py::int_(0) : start, last);
    }
    return RecordIterator(std::move(reader));
}

}  // namespace

void defineRecords(py::module_& m) {
    py::class_<RecordIterator>(m, "RecordIterator",
                               "The records of a document, one handle each; the reader handle is `reader`.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &RecordIterator::next)
        .def_property_readonly("reader", &RecordIterator::reader);
    m.def("records", &records, py::arg("source"), py::arg("record_path"), py::arg("namespaces") = py::none(),
          py::arg("start") = py::none(), py::arg("end") = py::none(),
          "The records of a document read one at a time (OpenRecords / NextRecord): each element the\n"
          "record path names (\"/a/b/c\" or \"//name\") as a handle on a small tree of its own. source is a\n"
          "file name or an http(s) URL; namespaces maps prefixes to URIs (\"\" for the default namespace).\n"
          "With start and end (byte offsets), only the records whose start tag begins in [start, end)\n"
          "(OpenRecordRange; a file only).");
}

}  // namespace quorvel::python

// Reading a large document one record at a time, against the peers' streaming readers on the
// same file: a plain SAX pass (expat) and a pull reader expanding each record (libxml2's
// xmlTextReader). Each run is its own process, so its peak resident memory is its own.
//
//   records_bench make-inputs                 writes the inputs into /tmp (never committed):
//     /tmp/qv_records_115mb.xml  freedesktop.org.xml's records repeated to 115 MB (//mime-type)
//     /tmp/qv_records_20mb.xml   bench_documents.h's 20 MiB record document (//record)
//     /tmp/qv_records_onebig.xml one record of 20 MB (//rec)
//   records_bench ENGINE FILE RECORD          ENGINE: quorvel, expat, xmlreader
// prints: engine, records, seconds, peak MiB.
#include <expat.h>
#include <libxml/xmlreader.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "bench_documents.h"
#include "stream/record_reader.h"
#include "tree/tree_node.h"

namespace {

const char* const kFreedesktop = "/usr/share/mime/packages/freedesktop.org.xml";

double peakMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// freedesktop.org.xml's records repeated to about 115 MB; and one record of about 20 MB.
int makeInputs() {
    std::ifstream in(kFreedesktop, std::ios::binary);
    const std::string doc((std::istreambuf_iterator<char>(in)), {});
    const size_t open = doc.find('>', doc.find("<mime-info")) + 1;
    const size_t close = doc.rfind("</mime-info>");
    const std::string body = doc.substr(open, close - open);
    {
        std::ofstream out("/tmp/qv_records_115mb.xml", std::ios::binary);
        out << doc.substr(0, open);
        for (size_t written = open; written < (size_t{115} << 20);) {
            out << body;
            written += body.size();
        }
        out << doc.substr(close);
    }
    std::ofstream("/tmp/qv_records_20mb.xml", std::ios::binary) << quorvel::bench::records(size_t{20} << 20);
    {
        std::ofstream out("/tmp/qv_records_onebig.xml", std::ios::binary);
        out << "<?xml version=\"1.0\"?>\n<db><head>one record</head><rec id=\"big\">\n";
        // Whole records of the freedesktop file, about a MiB at a time.
        const std::string piece = body.substr(0, body.rfind("</mime-type>", 1 << 20) + 12);
        for (size_t written = 0; written < (size_t{20} << 20); written += piece.size()) out << piece;
        out << "</rec></db>\n";
    }
    std::puts("/tmp/qv_records_115mb.xml /tmp/qv_records_20mb.xml /tmp/qv_records_onebig.xml");
    return 0;
}

long quorvelRecords(const char* file, const char* record) {
    quorvel::RecordPath path;
    std::string message;
    if (!path.parse(record, {}, message)) throw std::runtime_error(message);
    std::string error;
    auto source = quorvel::FileSource::open(file, error);
    if (!source) throw std::runtime_error(error);
    quorvel::RecordReader::Options options;
    options.sizeLimit = uint64_t{1} << 30;
    quorvel::RecordReader reader(std::move(source), path, options);
    long n = 0;
    while (quorvel::TreeNode* rec = reader.next(nullptr, nullptr)) {
        ++n;
        quorvel::TreeNode::destroyTree(rec);
    }
    if (reader.failed()) throw std::runtime_error("failed");
    return n;
}

// A plain SAX pass counting the record's start tags: the least a streaming reader does.
long expat(const char* file, const char* record) {
    struct State {
        const char* name;
        long n = 0;
    } state{std::strrchr(record, '/') + 1};
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetUserData(p, &state);
    XML_SetElementHandler(
        p, [](void* d, const XML_Char* name, const XML_Char**) {
            auto* s = static_cast<State*>(d);
            if (std::strcmp(name, s->name) == 0) ++s->n;
        },
        [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(p, [](void*, const XML_Char*, int) {});
    FILE* f = std::fopen(file, "rb");
    for (;;) {
        void* buf = XML_GetBuffer(p, 1 << 16);
        const size_t got = std::fread(buf, 1, 1 << 16, f);
        if (XML_ParseBuffer(p, static_cast<int>(got), got == 0) == XML_STATUS_ERROR) throw std::runtime_error("expat");
        if (got == 0) break;
    }
    std::fclose(f);
    XML_ParserFree(p);
    return state.n;
}

// libxml2's pull reader, expanding each record into a tree and freeing it.
long xmlreader(const char* file, const char* record) {
    const char* name = std::strrchr(record, '/') + 1;
    xmlTextReaderPtr r = xmlReaderForFile(file, nullptr, XML_PARSE_HUGE);
    long n = 0;
    int ret = xmlTextReaderRead(r);
    while (ret == 1) {
        if (xmlTextReaderNodeType(r) == XML_READER_TYPE_ELEMENT &&
            std::strcmp(reinterpret_cast<const char*>(xmlTextReaderConstLocalName(r)), name) == 0) {
            if (xmlTextReaderExpand(r)) ++n;
            ret = xmlTextReaderNext(r);
        } else {
            ret = xmlTextReaderRead(r);
        }
    }
    xmlFreeTextReader(r);
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "make-inputs") == 0) return makeInputs();
    if (argc != 4) {
        std::fprintf(stderr, "usage: records_bench make-inputs | records_bench quorvel|expat|xmlreader FILE //record\n");
        return 2;
    }
    const std::string engine = argv[1];
    const auto t0 = std::chrono::steady_clock::now();
    long n;
    if (engine == "quorvel") {
        n = quorvelRecords(argv[2], argv[3]);
    } else if (engine == "expat") {
        n = expat(argv[2], argv[3]);
    } else if (engine == "xmlreader") {
        n = xmlreader(argv[2], argv[3]);
    } else {
        return 2;
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%-10s records %8ld  %6.2f s  peak %6.1f MiB\n", engine.c_str(), n, s, peakMiB());
    return 0;
}

// Generated documents shared by the benchmarks that load and write XML.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel::bench {

// A few hundred bytes of customer record with an id attribute, short fields and an entity, repeated
// until the document reaches `target` bytes.
inline std::string records(size_t target) {
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<records>\n";
    s.reserve(target + 1024);
    for (int i = 0; s.size() < target; ++i) {
        std::string n = std::to_string(i);
        s += "  <record id=\"" + n + "\" type=\"customer\">\n    <name>Customer " + n + "</name>\n    <email>customer" + n +
             "@example.com</email>\n    <age>" + std::to_string(18 + i % 70) +
             "</age>\n    <address>\n      <street>" + n + " Main Street</street>\n      <city>Springfield</city>\n"
             "      <zip>" + std::to_string(10000 + i % 89999) + "</zip>\n    </address>\n"
             "    <note>Regular customer since " + std::to_string(1990 + i % 30) + " &amp; still active</note>\n  </record>\n";
    }
    return s + "</records>\n";
}

}  // namespace quorvel::bench

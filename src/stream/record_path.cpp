#include "stream/record_path.h"

namespace quorvel {

std::pair<std::string_view, std::string_view> splitQualifiedName(std::string_view name) {
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos) return {std::string_view(), name};
    return {name.substr(0, colon), name.substr(colon + 1)};
}

bool RecordPath::parse(std::string_view path, const Bindings& bindings, std::string& message) {
    steps_.clear();
    usesNamespaces_ = false;
    text_ = std::string(path);
    // Surrounding white space is a host's slip, not part of a name.
    while (!path.empty() && (path.front() == ' ' || path.front() == '\t')) path.remove_prefix(1);
    while (!path.empty() && (path.back() == ' ' || path.back() == '\t')) path.remove_suffix(1);
    anyDepth_ = path.starts_with("//");
    if (!path.starts_with("/")) {
        message = "Record path must start with / or //";
        return false;
    }
    path.remove_prefix(anyDepth_ ? 2 : 1);
    while (true) {
        const size_t slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        if (name.empty() || name.find_first_of(" \t\r\n<>[]()@*=\"'") != std::string_view::npos) {
            message = "Record path must be /name/name... or //name";
            return false;
        }
        Step step;
        step.text = std::string(name);
        const auto [prefix, local] = splitQualifiedName(name);
        step.local = std::string(local);
        for (const auto& [p, uri] : bindings) {
            if (p == prefix) {
                step.bound = true;
                step.uri = uri;
            }
        }
        if (!prefix.empty() && !step.bound && local.empty()) {
            message = "Record path has an empty local name";
            return false;
        }
        usesNamespaces_ |= step.bound;
        steps_.push_back(std::move(step));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    if (anyDepth_ && steps_.size() != 1) {
        message = "Record path //name takes one name";
        return false;
    }
    return true;
}

}  // namespace quorvel

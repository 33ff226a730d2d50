#include "component/registry_store.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace quorvel {

namespace {

constexpr char kSeparator = '\\';

std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Reads a quoted string at s[i] (the opening quote); on success i is past the closing quote.
bool unquote(std::string_view s, size_t& i, std::string& out) {
    if (i >= s.size() || s[i] != '"') return false;
    out.clear();
    for (++i; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            ++i;
            return true;
        }
        if (c == '\\' && i + 1 < s.size()) c = s[++i];
        out += c;
    }
    return false;
}

// A key path: parts separated by single separators, none of them empty.
bool validPath(std::string_view path) {
    if (path.empty() || path.front() == kSeparator || path.back() == kSeparator) return false;
    return path.find("\\\\") == std::string_view::npos;
}

}  // namespace

std::string RegistryStore::fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

std::string RegistryStore::defaultPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/share";
    } else {
        return {};
    }
    return base + "/quorvel/registry.txt";
}

bool RegistryStore::load(const std::string& path) {
    keys_.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        return !std::filesystem::exists(path, ec) && !ec;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return false;
    parse(text.str());
    return true;
}

bool RegistryStore::save(const std::string& path) const {
    std::error_code ec;
    const std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) return false;
    const std::string temporary = path + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << serialize();
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

void RegistryStore::parse(std::string_view text) {
    std::string current;
    bool inKey = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            current = std::string(line.substr(1, line.size() - 2));
            createKey(current);
            inKey = keyExists(current);
            continue;
        }
        if (!inKey) continue;
        std::string name;
        size_t i = 0;
        if (line[0] == '@') {
            i = 1;
        } else if (!unquote(line, i, name) || name.empty()) {
            continue;
        }
        std::string value;
        if (i >= line.size() || line[i] != '=') continue;
        ++i;
        if (!unquote(line, i, value)) continue;
        setValue(current, name, value);
    }
}

std::string RegistryStore::serialize() const {
    std::string out = "; QuorvelXml registry: keys and values written by registration.\n";
    for (const auto& [folded, key] : keys_) {
        out += '[';
        out += key.path;
        out += "]\n";
        auto it = key.values.find("");
        if (it != key.values.end()) out += "@=" + quote(it->second.second) + "\n";
        for (const auto& [foldedName, entry] : key.values) {
            if (foldedName.empty()) continue;
            out += quote(entry.first) + "=" + quote(entry.second) + "\n";
        }
    }
    return out;
}

bool RegistryStore::keyExists(std::string_view path) const { return keys_.count(fold(path)) != 0; }

bool RegistryStore::hasSubkeys(std::string_view path) const {
    const std::string prefix = fold(path) + kSeparator;
    auto it = keys_.lower_bound(prefix);
    return it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

void RegistryStore::createKey(std::string_view path) {
    if (!validPath(path)) return;
    size_t end = 0;
    while (end != std::string_view::npos) {
        end = path.find(kSeparator, end + 1);
        const std::string_view part = path.substr(0, end);
        std::string folded = fold(part);
        if (!keys_.count(folded)) keys_.emplace(std::move(folded), Key{std::string(part), {}});
    }
}

void RegistryStore::deleteTree(std::string_view path) {
    const std::string folded = fold(path);
    keys_.erase(folded);
    const std::string prefix = folded + kSeparator;
    auto it = keys_.lower_bound(prefix);
    while (it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0) it = keys_.erase(it);
}

void RegistryStore::setValue(std::string_view path, std::string_view name, std::string_view value) {
    createKey(path);
    auto key = keys_.find(fold(path));
    if (key == keys_.end()) return;  // a malformed path, such as one ending in a separator
    key->second.values[fold(name)] = {std::string(name), std::string(value)};
}

std::optional<std::string> RegistryStore::value(std::string_view path, std::string_view name) const {
    auto key = keys_.find(fold(path));
    if (key == keys_.end()) return std::nullopt;
    auto it = key->second.values.find(fold(name));
    if (it == key->second.values.end()) return std::nullopt;
    return it->second.second;
}

void RegistryStore::deleteValue(std::string_view path, std::string_view name) {
    auto key = keys_.find(fold(path));
    if (key != keys_.end()) key->second.values.erase(fold(name));
}

std::vector<std::string> RegistryStore::keys() const {
    std::vector<std::string> out;
    out.reserve(keys_.size());
    for (const auto& [folded, key] : keys_) out.push_back(key.path);
    return out;
}

}  // namespace quorvel

// The registry stand-in: keys with a default value and named string values, kept in one text
// file, so that registration can record the classes and hosts can find them by ProgID.
//
// File format (UTF-8 text, LF line ends), one key per section, keys in sorted order:
//
//     ; comment lines start with a semicolon; blank lines are ignored
//     [HKEY_CLASSES_ROOT\QuorvelXml.QuorvelXml\CLSID]
//     @="{0401FBD5-7529-4F1C-A4A9-BC7CE05B4935}"
//     "ThreadingModel"="Apartment"
//
// A section header is the key's full path from its root key, parts separated by "\". "@" is the
// default value, a quoted name a named value; values are double-quoted with "\\" and "\""
// escaped. A key without values is a header alone. Every parent of a listed key exists. Key and
// value names compare without ASCII case, as in the platform's registry, and keep the case
// they were written with.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class RegistryStore {
public:
    // $XDG_DATA_HOME/quorvel/registry.txt, else $HOME/.local/share/quorvel/registry.txt; empty
    // when neither variable is set.
    static std::string defaultPath();

    // Reads the file; a missing file is an empty registry. False when it cannot be read.
    bool load(const std::string& path);
    // Writes the whole registry through a temporary file renamed over the old one, creating the
    // directories on the way. False when that fails.
    bool save(const std::string& path) const;
    // Parses text in the file format; lines that fit no form are skipped.
    void parse(std::string_view text);
    std::string serialize() const;

    bool keyExists(std::string_view path) const;
    bool hasSubkeys(std::string_view path) const;
    // Creates the key and any missing parent.
    void createKey(std::string_view path);
    // Removes the key with all its subkeys and values.
    void deleteTree(std::string_view path);
    // name "" is the default value; the key is created when missing.
    void setValue(std::string_view path, std::string_view name, std::string_view value);
    std::optional<std::string> value(std::string_view path, std::string_view name = {}) const;
    void deleteValue(std::string_view path, std::string_view name);
    // Full paths of all keys, in file order.
    std::vector<std::string> keys() const;

private:
    struct Key {
        std::string path;                                           // as written
        std::map<std::string, std::pair<std::string, std::string>> values;  // folded name -> (name, value)
    };
    static std::string fold(std::string_view s);

    std::map<std::string, Key> keys_;  // folded path -> key
};

}  // namespace quorvel

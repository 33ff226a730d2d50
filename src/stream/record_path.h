#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {

// The elements a record reader yields: an absolute path of element names, "/a/b/c" (the
// element c under b under the root element a), or "//name" (every name element at any depth
// that is not inside another record). A step is compared with the tag as written, except that
// a step whose prefix is bound (prefix=uri pairs as the queries take them; the empty prefix
// binds unprefixed steps to the default namespace) compares the namespace the element's tag
// resolves to through the xmlns attributes in scope, and its local name.
class RecordPath {
public:
    struct Step {
        std::string text;    // as written, e.g. "p:item"
        std::string local;   // after the prefix
        std::string uri;     // when bound
        bool bound = false;
    };
    using Bindings = std::vector<std::pair<std::string, std::string>>;  // prefix, uri

    // False, with a message, for a path of another form.
    bool parse(std::string_view path, const Bindings& bindings, std::string& message);

    bool anyDepth() const { return anyDepth_; }
    const std::vector<Step>& steps() const { return steps_; }
    // The step a record element matches last: its own name.
    const Step& last() const { return steps_.back(); }
    // Whether any step needs the namespaces in scope.
    bool usesNamespaces() const { return usesNamespaces_; }
    const std::string& text() const { return text_; }

private:
    std::vector<Step> steps_;
    bool anyDepth_ = false;
    bool usesNamespaces_ = false;
    std::string text_;
};

// The prefix of a qualified name ("" for none) and its local part.
std::pair<std::string_view, std::string_view> splitQualifiedName(std::string_view name);

}  // namespace quorvel

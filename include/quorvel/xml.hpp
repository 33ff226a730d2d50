// QuorvelXml for C++20 hosts: an owning node class over IQuorvelXml, UTF-8 strings, byte spans,
// exceptions (or a status) for failures, and ranges over children, attributes and searches.
// Header-only; every call goes through the component's own virtual table.
//
//   auto doc = quorvel::xml::parse("<catalog><book id='1'/></catalog>");
//   for (const auto& book : doc.children()) std::cout << book.attribute("id") << '\n';
//
// Every member of IQuorvelXml has one member function here (properties as getter/setter pairs),
// and so do IQuorvelXml2's XPath, namespace and indented-output members; those reach the handle
// through IQuorvelXml2 and fail with E_NOINTERFACE on an object that does not answer it.
// Each takes a last, optional `report`: without it a failed call throws xml::error; with a
// status it stores the failure there and returns an empty result. Members that find nothing
// return an empty optional node or false, as the interface's null handle or 0 flag.
#ifndef QUORVEL_XML_HPP
#define QUORVEL_XML_HPP

// Below C++20 the layer cannot compile: say so once, then end the compilation (a missing header
// is fatal), so the host's own uses of quorvel::xml do not bury the message under a hundred others.
#if !defined(__cplusplus) || __cplusplus < 202002L
#error "quorvel/xml.hpp needs C++20: compile with -std=c++20 (CMake: link QuorvelXml::quorvelxml, which asks for it; pkg-config: add `pkg-config --variable=cxxstd quorvelxml`)"
#include "quorvel/stopped: C++20 is required"
#endif

#include <unistd.h>

#include <cerrno>
#include <concepts>
#include <functional>
#include <memory>
#include <iterator>
#include <optional>
#include <ranges>
#include <vector>

#include "quorvel/xml_support.hpp"

namespace quorvel::xml {

class children_view;
class attributes_view;
class search_view;

// One reference to a node handle object: the handle designates one element of a tree, and the
// tree lives while any handle on one of its elements does. Copying adds a reference to the same
// handle object (so moving one copy with a move_to_ member moves them all); moving steals it;
// destruction releases it. An empty node (default-constructed or moved from) holds nothing;
// every member below REQUIRES a non-empty node.
//
// Costs: each member is one call through the virtual table; each string argument becomes one
// host string for the call, each string result one std::string, except the views below; a
// member that returns a node makes one handle object in the component, the move_to_ members
// none. Like the handle, a node is used by one thread at a time.
//
// Views: tag(), content(), attribute(name) and the names and values of attributes() are
// std::string_view into the component's own storage, well-formed UTF-8 that reads exactly as
// the owning result (tag_string() etc.) does, made without allocating or converting anything.
// A view stays valid until this element's tag, content or attributes change (through any
// handle), the element is removed, or its tree ends; keep an owning copy to hold a value past
// that. Moving a handle changes nothing of what earlier views show. In sanitizer builds a view
// used after such a change is reported as a use after free.
class node {
public:
    node() noexcept = default;
    // Takes over the caller's reference on p (which may be null).
    static node adopt(IQuorvelXml* p) noexcept { return node(p); }
    // Adds a reference of its own on p.
    static node share(IQuorvelXml* p) noexcept {
        if (p) p->AddRef();
        return node(p);
    }
    node(const node& o) noexcept : p_(o.p_) {
        if (p_) p_->AddRef();
        if (o.flags_ & kCursor) o.flags_ |= kShared;
    }
    node(node&& o) noexcept : p_(std::exchange(o.p_, nullptr)), flags_(std::exchange(o.flags_, 0)) {}
    node& operator=(const node& o) noexcept {
        node copy(o);
        swap(copy);
        return *this;
    }
    node& operator=(node&& o) noexcept {
        node taken(std::move(o));
        swap(taken);
        return *this;
    }
    ~node() {
        if (p_) p_->Release();
    }
    void swap(node& o) noexcept {
        std::swap(p_, o.p_);
        std::swap(flags_, o.flags_);
    }

    explicit operator bool() const noexcept { return p_ != nullptr; }
    IQuorvelXml* get() const noexcept { return p_; }
    // Gives up the reference to the caller.
    IQuorvelXml* release() noexcept {
        flags_ = 0;
        return std::exchange(p_, nullptr);
    }

    // ---- Properties ----
    std::string version(report r = {}) const { return string_result(r, &IQuorvelXml::get_Version); }
    std::string_view tag(report r = {}) const { return view_result(r, &IQuorvelXml2::GetTagUtf8); }
    std::string tag_string(report r = {}) const { return string_result(r, &IQuorvelXml::get_Tag); }
    void set_tag(std::string_view tag, report r = {}) const { call(r, &IQuorvelXml::put_Tag, arg(tag)); }
    // The node's own content, never its descendants'.
    std::string_view content(report r = {}) const { return view_result(r, &IQuorvelXml2::GetContentUtf8); }
    std::string content_string(report r = {}) const { return string_result(r, &IQuorvelXml::get_Content); }
    void set_content(std::string_view content, report r = {}) const {
        call(r, &IQuorvelXml::put_Content, arg(content));
    }
    bool cdata(report r = {}) const { return long_result(r, &IQuorvelXml::get_Cdata) != 0; }
    void set_cdata(bool on, report r = {}) const { call(r, &IQuorvelXml::put_Cdata, LONG{on}); }
    int child_count(report r = {}) const { return long_result(r, &IQuorvelXml::get_NumChildren); }
    int attribute_count(report r = {}) const { return long_result(r, &IQuorvelXml::get_NumAttributes); }
    int tree_id(report r = {}) const { return long_result(r, &IQuorvelXml::get_TreeId); }
    std::string standalone(report r = {}) const { return string_result(r, &IQuorvelXml::get_Standalone); }
    void set_standalone(std::string_view v, report r = {}) const { call(r, &IQuorvelXml::put_Standalone, arg(v)); }
    std::string encoding(report r = {}) const { return string_result(r, &IQuorvelXml::get_Encoding); }
    void set_encoding(std::string_view v, report r = {}) const { call(r, &IQuorvelXml::put_Encoding, arg(v)); }

    // ---- Loading and writing ----
    // Each load replaces this handle's document (other handles keep the old one); true on success.
    // The progress overloads call on_progress(percent) for each ParsePercentDone of the load.
    bool load(std::string_view text, report r = {}) { return long_result(r, &IQuorvelXml::LoadXml, arg(text)) != 0; }
    bool load(std::span<const std::byte> bytes, report r = {}) {
        return long_result(r, &IQuorvelXml::LoadXmlV, detail::byte_array_arg(bytes).get()) != 0;
    }
    bool load_file(std::string_view path, report r = {}) {
        return long_result(r, &IQuorvelXml::LoadXmlFile, arg(path)) != 0;
    }
    template <std::invocable<int> F>
    bool load(std::string_view text, F&& on_progress, report r = {}) {
        return with_progress(on_progress, r, [&] { return load(text, r); });
    }
    template <std::invocable<int> F>
    bool load(std::span<const std::byte> bytes, F&& on_progress, report r = {}) {
        return with_progress(on_progress, r, [&] { return load(bytes, r); });
    }
    template <std::invocable<int> F>
    bool load_file(std::string_view path, F&& on_progress, report r = {}) {
        return with_progress(on_progress, r, [&] { return load_file(path, r); });
    }
    void save_file(std::string_view path, report r = {}) const { call(r, &IQuorvelXml::SaveXml, arg(path)); }
    // This node and its subtree as XML text.
    std::string xml(report r = {}) const { return string_result(r, &IQuorvelXml::GetXml); }
    // Moves this handle to a new one-node document tagged "unnamed".
    void clear(report r = {}) { call(r, &IQuorvelXml::Clear); }

    // ---- Navigation: new handles ----
    // GetChild: fails (E_FAIL) for an index outside 0..child_count()-1.
    node child(int index, report r = {}) const { return handle_result(r, &IQuorvelXml::GetChild, LONG{index}); }
    // GetNthChildWithTag: the n-th (0-based) child with that tag; fails when there are fewer.
    node child(std::string_view tag, int n, report r = {}) const {
        return handle_result(r, &IQuorvelXml::GetNthChildWithTag, arg(tag), LONG{n});
    }
    std::optional<node> child_with_tag(std::string_view tag, report r = {}) const {
        return node_result(r, &IQuorvelXml::GetChildWithTag, arg(tag));
    }
    // As child_with_tag, logged as FindChild.
    std::optional<node> find_child(std::string_view tag, report r = {}) const {
        return node_result(r, &IQuorvelXml::FindChild, arg(tag));
    }
    node find_or_add_child(std::string_view tag, report r = {}) const {
        return handle_result(r, &IQuorvelXml::FindOrAddNewChild, arg(tag));
    }
    std::optional<node> first_child(report r = {}) const { return node_result(r, &IQuorvelXml::FirstChild); }
    std::optional<node> last_child(report r = {}) const { return node_result(r, &IQuorvelXml::LastChild); }
    std::optional<node> next_sibling(report r = {}) const { return node_result(r, &IQuorvelXml::NextSibling); }
    std::optional<node> previous_sibling(report r = {}) const { return node_result(r, &IQuorvelXml::PreviousSibling); }
    std::optional<node> parent(report r = {}) const { return node_result(r, &IQuorvelXml::GetParent); }
    node root(report r = {}) const { return handle_result(r, &IQuorvelXml::GetRoot); }
    int child_count(std::string_view tag, report r = {}) const {
        return long_result(r, &IQuorvelXml::NumChildrenHavingTag, arg(tag));
    }
    // The content of the first child with that tag; empty when there is none.
    std::string child_content(std::string_view tag, report r = {}) const {
        return string_result(r, &IQuorvelXml::GetChildContent, arg(tag));
    }
    // From this node along its next siblings, the first with a child of that tag whose content
    // matches the pattern (only * is special).
    std::optional<node> find_next_record(std::string_view tag, std::string_view pattern, report r = {}) const {
        return node_result(r, &IQuorvelXml::FindNextRecord, arg(tag), arg(pattern));
    }

    // ---- Navigation: this handle moves (no allocation); false when there is no such node ----
    bool move_to_child(int index, report r = {}) { return long_result(r, &IQuorvelXml::GetChild2, LONG{index}) != 0; }
    bool move_to_child(std::string_view tag, report r = {}) {
        return long_result(r, &IQuorvelXml::FindChild2, arg(tag)) != 0;
    }
    bool move_to_parent(report r = {}) { return long_result(r, &IQuorvelXml::GetParent2) != 0; }
    bool move_to_first_child(report r = {}) { return long_result(r, &IQuorvelXml::FirstChild2) != 0; }
    bool move_to_last_child(report r = {}) { return long_result(r, &IQuorvelXml::LastChild2) != 0; }
    bool move_to_next_sibling(report r = {}) { return long_result(r, &IQuorvelXml::NextSibling2) != 0; }
    bool move_to_previous_sibling(report r = {}) { return long_result(r, &IQuorvelXml::PreviousSibling2) != 0; }
    void move_to_root(report r = {}) { call(r, &IQuorvelXml::GetRoot2); }

    // ---- Search: breadth-first over this node's subtree, this node first ----
    // One step each: the first match after `after` (none: from the start).
    std::optional<node> search_for_tag(std::string_view tag, const node* after = nullptr, report r = {}) const {
        return node_result(r, &IQuorvelXml::SearchForTag, raw(after), arg(tag));
    }
    std::optional<node> search_for_content(std::string_view tag, std::string_view pattern,
                                           const node* after = nullptr, report r = {}) const {
        return node_result(r, &IQuorvelXml::SearchForContent, raw(after), arg(tag), arg(pattern));
    }
    std::optional<node> search_all_for_content(std::string_view pattern, const node* after = nullptr,
                                               report r = {}) const {
        return node_result(r, &IQuorvelXml::SearchAllForContent, raw(after), arg(pattern));
    }
    std::optional<node> search_for_attribute(std::string_view tag, std::string_view attr, std::string_view pattern,
                                             const node* after = nullptr, report r = {}) const {
        return node_result(r, &IQuorvelXml::SearchForAttribute, raw(after), arg(tag), arg(attr), arg(pattern));
    }
    // Every match, as an input range (each step is one call with the previous match as `after`).
    search_view search(std::string_view tag) const;
    search_view search_content(std::string_view tag, std::string_view pattern) const;
    search_view search_all_content(std::string_view pattern) const;
    search_view search_attribute(std::string_view tag, std::string_view attr, std::string_view pattern) const;

    // The children in document order: an input range whose element is one cursor handle that
    // moves along (one handle for the whole walk). A copy taken of the element keeps its node:
    // the cursor then continues on a handle of its own.
    children_view children() const;
    // The attributes in stored order; each element reads its name and value in one call.
    // Borrows this node's handle: the range REQUIRES this node to live, on the same element,
    // while it and its iterators are used (as a children() element does until its ++). Costs
    // one call for the count; nothing is allocated or counted. Called on a temporary node
    // (`doc.child(0).attributes()`), the range takes the temporary's reference over instead.
    attributes_view attributes() const&;
    attributes_view attributes() &&;
    // children() shares this handle object rather than copy the node, so that a view of a
    // children() element costs the walk nothing; such a view follows the element as it moves.

    // ---- Attributes ----
    // The value of the first attribute with that name; empty when there is none.
    // The name is taken as GetAttrValue takes it: white space trimmed at both ends, then cut at
    // a 0 byte.
    std::string_view attribute(std::string_view name, report r = {}) const {
        name = detail::trimmed_name(name);
        Utf8View out{nullptr, 0};
        LONG found = 0;
        if (!call(r, &IQuorvelXml2::FindAttributeUtf8, name.data(), name.size(), &out, &found)) return {};
        return {out.data, out.size};
    }
    std::string attribute_string(std::string_view name, report r = {}) const {
        return string_result(r, &IQuorvelXml::GetAttrValue, arg(name));
    }
    // GetAttributeName fails for an index outside 0..attribute_count()-1; GetAttributeValue gives "".
    std::string attribute_name(int index, report r = {}) const {
        return string_result(r, &IQuorvelXml::GetAttributeName, LONG{index});
    }
    std::string attribute_value(int index, report r = {}) const {
        return string_result(r, &IQuorvelXml::GetAttributeValue, LONG{index});
    }
    bool has_attribute_with_value(std::string_view name, std::string_view value, report r = {}) const {
        return long_result(r, &IQuorvelXml::HasAttrWithValue, arg(name), arg(value)) != 0;
    }
    void add_attribute(std::string_view name, std::string_view value, report r = {}) const {
        call(r, &IQuorvelXml::AddAttribute, arg(name), arg(value));
    }
    // Sets the first attribute of that name, or adds it.
    void update_attribute(std::string_view name, std::string_view value, report r = {}) const {
        call(r, &IQuorvelXml::UpdateAttribute, arg(name), arg(value));
    }
    void remove_attribute(std::string_view name, report r = {}) const {
        call(r, &IQuorvelXml::RemoveAttribute, arg(name));
    }
    void remove_all_attributes(report r = {}) const { call(r, &IQuorvelXml::RemoveAllAttributes); }

    // ---- Editing ----
    node new_child(std::string_view tag, std::string_view content = {}, report r = {}) const {
        return handle_result(r, &IQuorvelXml::NewChild, arg(tag), arg(content));
    }
    // As new_child without making a handle.
    void add_child(std::string_view tag, std::string_view content = {}, report r = {}) const {
        call(r, &IQuorvelXml::NewChild2, arg(tag), arg(content));
    }
    void append_to_content(std::string_view text, report r = {}) const {
        call(r, &IQuorvelXml::AppendToContent, arg(text));
    }
    // Takes the child out of this tree; it becomes a document of its own.
    node extract_child(int index, report r = {}) const {
        return handle_result(r, &IQuorvelXml::ExtractChildByIndex, LONG{index});
    }
    // The first child with that tag (and, when attr_name is given, an attribute matching attr_value).
    std::optional<node> extract_child(std::string_view tag, std::string_view attr_name = {},
                                      std::string_view attr_value = {}, report r = {}) const {
        return node_result(r, &IQuorvelXml::ExtractChildByName, arg(tag), arg(attr_name), arg(attr_value));
    }
    void remove_from_tree(report r = {}) const { call(r, &IQuorvelXml::RemoveFromTree); }
    // Grafts the other document's root as this node's last child.
    void add_child_tree(const node& tree, report r = {}) const { call(r, &IQuorvelXml::AddChildTree, tree.p_); }
    // Exchanges tag, content and attributes with the other node.
    void swap_node(const node& other, report r = {}) const { call(r, &IQuorvelXml::SwapNode, other.p_); }
    // Exchanges the children (with their subtrees) too.
    void swap_tree(const node& other, report r = {}) const { call(r, &IQuorvelXml::SwapTree, other.p_); }

    // ---- Sorting ----
    void sort_by_tag(bool ascending = true, report r = {}) const { call(r, &IQuorvelXml::SortByTag, LONG{ascending}); }
    void sort_by_content(bool ascending = true, report r = {}) const {
        call(r, &IQuorvelXml::SortByContent, LONG{ascending});
    }
    void sort_by_attribute(std::string_view name, bool ascending = true, report r = {}) const {
        call(r, &IQuorvelXml::SortByAttribute, arg(name), LONG{ascending});
    }
    // Sorts the children by the content of each one's child tagged `tag`.
    void sort_records_by_content(std::string_view tag, bool ascending = true, report r = {}) const {
        call(r, &IQuorvelXml::SortRecordsByContent, arg(tag), LONG{ascending});
    }
    void sort_records_by_attribute(std::string_view tag, std::string_view name, bool ascending = true,
                                   report r = {}) const {
        call(r, &IQuorvelXml::SortRecordsByAttribute, arg(tag), arg(name), LONG{ascending});
    }

    // ---- Content coding, compression, encryption, binary content ----
    void q_encode_content(std::string_view charset, std::span<const std::byte> bytes, report r = {}) const {
        call(r, &IQuorvelXml::QEncodeContent, arg(charset), detail::byte_array_arg(bytes).get());
    }
    void b_encode_content(std::string_view charset, std::span<const std::byte> bytes, report r = {}) const {
        call(r, &IQuorvelXml::BEncodeContent, arg(charset), detail::byte_array_arg(bytes).get());
    }
    std::vector<std::byte> decode_content(report r = {}) const { return byte_result(r, &IQuorvelXml::DecodeContent); }
    void compress_node(report r = {}) const { call(r, &IQuorvelXml::CompressNode); }
    void compress_subtree(report r = {}) const { call(r, &IQuorvelXml::CompressSubtree); }
    void decompress_node(report r = {}) const { call(r, &IQuorvelXml::DecompressNode); }
    void decompress_subtree(report r = {}) const { call(r, &IQuorvelXml::DecompressSubtree); }
    void encrypt_node(std::string_view password, report r = {}) const {
        call(r, &IQuorvelXml::EncryptNode, arg(password));
    }
    void decrypt_node(std::string_view password, report r = {}) const {
        call(r, &IQuorvelXml::DecryptNode, arg(password));
    }
    void set_binary_content(std::span<const std::byte> bytes, bool zip = false, bool encrypt = false,
                            std::string_view password = {}, report r = {}) const {
        call(r, &IQuorvelXml::SetBinaryContent, LONG{zip}, LONG{encrypt}, arg(password),
             detail::byte_array_arg(bytes).get());
    }
    std::vector<std::byte> binary_content(bool unzip = false, bool decrypt = false, std::string_view password = {},
                                          report r = {}) const {
        return byte_result(r, &IQuorvelXml::GetBinaryContent, LONG{unzip}, LONG{decrypt}, arg(password));
    }

    // ---- Network ----
    std::vector<std::byte> get_url(std::string_view url, std::string_view proxy = {}, std::string_view user = {},
                                   std::string_view password = {}, report r = {}) const {
        return byte_result(r, &IQuorvelXml::GetURL, arg(url), arg(proxy), arg(user), arg(password));
    }
    // Posts this node's XML; the reply as a new document.
    node http_post(std::string_view url, report r = {}) const { return handle_result(r, &IQuorvelXml::HttpPost, arg(url)); }

    // ---- XPath (IQuorvelXml2), evaluated with this node as the context node ----
    // Each expression is compiled by the first call on a document and kept with it. An
    // expression used again and again may be held in an xml::xpath, which converts it once.
    // The element nodes selected, in document order; each a handle of its own.
    std::vector<node> select(std::string_view expression, report r = {}) const {
        return select_nodes(arg(expression), r);
    }
    // The first selected node in document order; none when nothing is selected.
    std::optional<node> select_single(std::string_view expression, report r = {}) const {
        return node_result(r, &IQuorvelXml2::SelectSingleNode, arg(expression));
    }
    // The string-values of the selected nodes, in document order.
    std::vector<std::string> select_values(std::string_view expression, report r = {}) const {
        return select_strings(arg(expression), r);
    }
    // A number, string or boolean; a node-set gives its string-value.
    xpath_value evaluate(std::string_view expression, report r = {}) const {
        return evaluate_value(arg(expression), r);
    }
    // Kept with the document for every later expression on it; prefix "" is the default
    // namespace of name tests.
    void set_xpath_namespace(std::string_view prefix, std::string_view uri, report r = {}) const {
        call(r, &IQuorvelXml2::SetXPathNamespace, arg(prefix), arg(uri));
    }
    // $name in later expressions on the document (numbers as double: pass 3.0, not 3).
    void set_xpath_variable(std::string_view name, const xpath_value& value, report r = {}) const {
        call(r, &IQuorvelXml2::SetXPathVariable, arg(name), detail::xpath_value_arg(value).get());
    }

    // ---- Namespaces (IQuorvelXml2) ----
    std::string namespace_uri(report r = {}) const { return string_result(r, &IQuorvelXml2::get_NamespaceUri); }
    std::string local_name(report r = {}) const { return string_result(r, &IQuorvelXml2::get_LocalName); }
    std::string prefix(report r = {}) const { return string_result(r, &IQuorvelXml2::get_Prefix); }
    // The URI the prefix is bound to at this node.
    std::string lookup_namespace(std::string_view prefix, report r = {}) const {
        return string_result(r, &IQuorvelXml2::LookupNamespace, arg(prefix));
    }

    // ---- Indented output (IQuorvelXml2): indent "" is xml()'s compact form, else one unit
    //      (such as "  " or "\t") per level ----
    std::string xml_indented(std::string_view indent, report r = {}) const {
        return string_result(r, &IQuorvelXml2::GetXmlIndented, arg(indent));
    }
    void save_file_indented(std::string_view path, std::string_view indent, report r = {}) const {
        call(r, &IQuorvelXml2::SaveXmlIndented, arg(path), arg(indent));
    }

    // ---- Records (IQuorvelXml2): the handle becomes a reader of a document's records ----
    // source is a file name or an http(s) URL; record_path "/a/b/c" or "//name", its prefixes
    // bound with set_xpath_namespace beforehand. xml::records below is the usual way in.
    // Each open_ member answers whether it succeeded (with a status given; else it throws).
    bool open_records(std::string_view source, std::string_view record_path, report r = {}) const {
        return call(r, &IQuorvelXml2::OpenRecords, arg(source), arg(record_path));
    }
    // The records whose start tag begins at a byte offset in [start, end) of the file.
    bool open_record_range(std::string_view file, std::string_view record_path, std::uint64_t start, std::uint64_t end,
                           report r = {}) const {
        VARIANT from, to;
        VariantInit(&from);
        VariantInit(&to);
        from.vt = to.vt = VT_I8;
        from.llVal = static_cast<std::int64_t>(start);
        to.llVal = static_cast<std::int64_t>(end);
        return call(r, &IQuorvelXml2::OpenRecordRange, arg(file), arg(record_path), from, to);
    }
    // REQUIRES: read and context stay valid while records are read.
    bool open_record_stream(ReadCallback read, void* context, std::string_view record_path, report r = {}) const {
        return call(r, &IQuorvelXml2::OpenRecordStream, read, context, arg(record_path));
    }
    // The next record, a handle on a tree of its own; none at the end.
    std::optional<node> next_record(report r = {}) const { return node_result(r, &IQuorvelXml2::NextRecord); }
    int record_size_limit(report r = {}) const { return long_result(r, &IQuorvelXml2::get_RecordSizeLimit); }
    void set_record_size_limit(int bytes, report r = {}) const {
        call(r, &IQuorvelXml2::put_RecordSizeLimit, LONG{bytes});
    }
    // On a record: its ancestors' path ("/a/b"), and a childless copy of the one at level (0 is
    // the root element), none beyond the record's depth.
    std::string record_path(report r = {}) const { return string_result(r, &IQuorvelXml2::get_RecordPath); }
    std::optional<node> record_ancestor(int level, report r = {}) const {
        return node_result(r, &IQuorvelXml2::GetRecordAncestor, LONG{level});
    }

    // ---- The error log of the last call ----
    std::string error_log_text(report r = {}) const { return string_result(r, &IQuorvelXml::get_ErrorLogText); }
    std::string error_log_html(report r = {}) const { return string_result(r, &IQuorvelXml::get_ErrorLogHtml); }
    std::string error_log_xml(report r = {}) const { return string_result(r, &IQuorvelXml::get_ErrorLogXml); }
    void clear_error_log(report r = {}) const { call(r, &IQuorvelXml::ErrorLogClear); }
    void save_error_log(std::string_view path, report r = {}) const { call(r, &IQuorvelXml::SaveXmlLog, arg(path)); }

private:
    friend class xpath;
    friend class children_view;
    friend class child_iterator;
    friend class search_view;

    static constexpr unsigned char kCursor = 1;  // a range's moving element
    static constexpr unsigned char kShared = 2;  // ... of which a copy was taken
    static constexpr unsigned char kSecond = 4;  // p_ is known to be its object's IQuorvelXml2 too

    explicit node(IQuorvelXml* p) noexcept : p_(p) {}

    // A string argument: a host string that lives until the end of the member's call.
    static BSTR arg(std::string_view s, detail::bstr&& holder = detail::bstr()) {
        holder = detail::bstr(s);
        return holder.get();
    }
    static IQuorvelXml* raw(const node* n) noexcept { return n ? n->p_ : nullptr; }

    template <class... Member, class... Args>
    bool call(const report& r, HRESULT (IQuorvelXml::*m)(Member...), Args&&... args) const {
        const HRESULT hr = (p_->*m)(std::forward<Args>(args)...);
        if (FAILED(hr)) [[unlikely]] {
            r.failed(hr);
            return false;
        }
        r.succeeded();
        return true;
    }
    // IQuorvelXml2's members. The interface is asked for once per node: the component's handle
    // gives the same pointer as p_, which is remembered and then used as IQuorvelXml2 directly
    // (IQuorvelXml2 extends IQuorvelXml in place). Another object's own IQuorvelXml2 is asked
    // for on every call and released after it.
    template <class... Member, class... Args>
    bool call(const report& r, HRESULT (IQuorvelXml2::*m)(Member...), Args&&... args) const {
        detail::released<IQuorvelXml2> held;
        IQuorvelXml2* p = second(held);
        if (!p) [[unlikely]] {
            // No error information belongs to this failure; none left over from before is taken.
            SetErrorInfo(0, nullptr);
            r.failed(E_NOINTERFACE);
            return false;
        }
        const HRESULT hr = (p->*m)(std::forward<Args>(args)...);
        if (FAILED(hr)) [[unlikely]] {
            r.failed(hr);
            return false;
        }
        r.succeeded();
        return true;
    }
    IQuorvelXml2* second(detail::released<IQuorvelXml2>& held) const noexcept {
        if (flags_ & kSecond) return static_cast<IQuorvelXml2*>(p_);
        void* q = nullptr;
        if (FAILED(p_->QueryInterface(IID_IQuorvelXml2, &q)) || !q) return nullptr;
        auto* p = static_cast<IQuorvelXml2*>(q);
        held.p = p;
        if (static_cast<IQuorvelXml*>(p) == p_) flags_ |= kSecond;
        return p;
    }
    // p_ as IQuorvelXml2 when the object answers for it with the same pointer, else null.
    IQuorvelXml2* same_second() const noexcept {
        detail::released<IQuorvelXml2> held;
        IQuorvelXml2* p = second(held);
        return p && static_cast<IQuorvelXml*>(p) == p_ ? p : nullptr;
    }
    // The XPath members with the expression as a host string.
    std::vector<node> select_nodes(BSTR expression, const report& r) const {
        VARIANT out;
        VariantInit(&out);
        std::vector<node> nodes;
        if (!call(r, &IQuorvelXml2::SelectNodes, expression, &out)) return nodes;
        detail::take_handles(out, [&](IQuorvelXml* p) { nodes.push_back(node(p)); });
        return nodes;
    }
    std::vector<std::string> select_strings(BSTR expression, const report& r) const {
        VARIANT out;
        VariantInit(&out);
        if (!call(r, &IQuorvelXml2::SelectValues, expression, &out)) return {};
        return detail::take_strings(out);
    }
    xpath_value evaluate_value(BSTR expression, const report& r) const {
        VARIANT out;
        VariantInit(&out);
        if (!call(r, &IQuorvelXml2::EvaluateXPath, expression, &out)) return std::string();
        return detail::take_xpath_value(out);
    }
    template <class M, class... Args>
    std::string string_result(const report& r, M m, Args&&... args) const {
        detail::bstr out;
        if (!call(r, m, std::forward<Args>(args)..., out.put())) return {};
        return detail::to_utf8(out.get());
    }
    template <class M, class... Args>
    std::string_view view_result(const report& r, M m, Args&&... args) const {
        Utf8View out{nullptr, 0};
        if (!call(r, m, std::forward<Args>(args)..., &out)) return {};
        return {out.data, out.size};
    }
    template <class M, class... Args>
    int long_result(const report& r, M m, Args&&... args) const {
        LONG out = 0;
        return call(r, m, std::forward<Args>(args)..., &out) ? out : 0;
    }
    template <class M, class... Args>
    std::vector<std::byte> byte_result(const report& r, M m, Args&&... args) const {
        VARIANT out;
        VariantInit(&out);
        if (!call(r, m, std::forward<Args>(args)..., &out)) {
            VariantClear(&out);
            return {};
        }
        return detail::take_bytes(out);
    }
    template <class M, class... Args>
    std::optional<node> node_result(const report& r, M m, Args&&... args) const {
        IQuorvelXml* out = nullptr;
        if (!call(r, m, std::forward<Args>(args)..., &out) || !out) return std::nullopt;
        return node(out);
    }
    // A member that returns a handle whenever it succeeds; a null one can only mean that memory
    // for the handle object ran out.
    template <class M, class... Args>
    node handle_result(const report& r, M m, Args&&... args) const {
        IQuorvelXml* out = nullptr;
        if (!call(r, m, std::forward<Args>(args)..., &out)) return {};
        if (!out) r.failed(E_OUTOFMEMORY);
        return node(out);
    }
    template <class F, class Load>
    bool with_progress(F& on_progress, const report& r, Load&& load) {
        using Fn = std::remove_reference_t<F>;
        detail::progress_sink sink(
            [](void* f, int percent) { std::invoke(*static_cast<Fn*>(f), percent); },
            const_cast<void*>(static_cast<const void*>(std::addressof(on_progress))));
        bool ok = false;
        {
            detail::event_connection connection(p_, &sink, r);
            if (!connection.connected()) return false;
            ok = load();
        }
        sink.rethrow();
        return ok;
    }

    IQuorvelXml* p_ = nullptr;
    mutable unsigned char flags_ = 0;
};

// A new handle on an empty document whose root is tagged "unnamed", created as the class
// factory creates one.
inline node create(report r = {}) {
    IQuorvelXml* p = nullptr;
    const HRESULT hr =
        CoCreateInstance(CLSID_QuorvelXml, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvelXml, reinterpret_cast<void**>(&p));
    if (FAILED(hr)) {
        r.failed(hr);
        return {};
    }
    r.succeeded();
    return node::adopt(p);
}

// A new document loaded from XML text.
inline node parse(std::string_view text, report r = {}) {
    node doc = create(r);
    if (doc && !doc.load(text, r)) return {};
    return doc;
}

// ---- XPath --------------------------------------------------------------------------------------

// An XPath 1.0 expression held for evaluation from any node, as node::select and its kin
// evaluate one: the text is made a host string once, here, instead of at every call. Each
// document compiles the expression on its first evaluation there and keeps the compiled form
// with its namespace and variable bindings, so a syntax error is reported by each call (as
// xml::error or in the status), not by the constructor.
//
//   const xml::xpath titles("//book[price < $max]/title");
//   for (const xml::node& t : titles.select(catalog)) std::cout << t.content() << '\n';
//
// Costs: a call is one member call on the context node, with the document's lookup of the
// compiled expression; nothing is compiled again. An xpath holds no document and may be used by
// several threads at once, each with its own nodes.
class xpath {
public:
    explicit xpath(std::string_view expression) : text_(expression), host_(expression) {}

    const std::string& text() const noexcept { return text_; }

    // As node::select, select_single, select_values and evaluate with this expression.
    // REQUIRES: context is not empty.
    std::vector<node> select(const node& context, report r = {}) const { return context.select_nodes(host_.get(), r); }
    std::optional<node> select_single(const node& context, report r = {}) const {
        return context.node_result(r, &IQuorvelXml2::SelectSingleNode, host_.get());
    }
    std::vector<std::string> select_values(const node& context, report r = {}) const {
        return context.select_strings(host_.get(), r);
    }
    xpath_value evaluate(const node& context, report r = {}) const { return context.evaluate_value(host_.get(), r); }

private:
    std::string text_;
    detail::bstr host_;
};

// ---- Records ------------------------------------------------------------------------------------

// The records of a document larger than memory, one at a time: an input range over a reader
// handle, each element a handle on a small tree of its own that lives as long as a node holds it.
//
//   for (xml::node rec : xml::records("big.xml", "//mime-type")) std::puts(rec.attribute("type").c_str());
//
// Nothing is read before begin(). A failed read throws xml::error from the increment, or, with a
// status given to records(), ends the range with the failure in it.
class record_range {
public:
    using reader_function = std::function<std::ptrdiff_t(void* buffer, std::size_t size)>;

    class iterator {
    public:
        using value_type = node;
        using difference_type = std::ptrdiff_t;
        using iterator_concept = std::input_iterator_tag;
        iterator() = default;
        const node& operator*() const noexcept { return range_->current_; }
        const node* operator->() const noexcept { return &range_->current_; }
        iterator& operator++() {
            range_->advance();
            return *this;
        }
        void operator++(int) { ++*this; }
        friend bool operator==(const iterator& it, std::default_sentinel_t) noexcept { return it.at_end(); }

    private:
        bool at_end() const noexcept { return !range_ || !range_->current_; }
        friend class record_range;
        explicit iterator(record_range* range) : range_(range) {}
        record_range* range_ = nullptr;
    };

    record_range(node reader, report r, std::unique_ptr<reader_function> read = {})
        : reader_(std::move(reader)), r_(r), read_(std::move(read)) {}
    record_range(record_range&&) noexcept = default;
    record_range& operator=(record_range&&) noexcept = default;

    iterator begin() {
        if (!started_) {
            started_ = true;
            advance();
        }
        return iterator(this);
    }
    std::default_sentinel_t end() const noexcept { return {}; }
    // The reader handle: its error log, record_size_limit, events.
    const node& reader() const noexcept { return reader_; }

private:
    void advance() {
        current_ = node();
        if (!reader_) return;
        if (std::optional<node> next = reader_.next_record(r_)) current_ = std::move(*next);
    }

    node reader_;
    node current_;
    report r_;
    std::unique_ptr<reader_function> read_;  // a callable source, kept where the reader's context points
    bool started_ = false;
};

namespace detail {

// A reader handle with the bindings given; empty on failure (reported).
inline node record_reader(const std::vector<std::pair<std::string, std::string>>& bindings, report r) {
    node reader = create(r);
    for (const auto& [prefix, uri] : bindings) {
        status s;
        reader.set_xpath_namespace(prefix, uri, s);
        if (s.failed()) {
            r.failed(s.code);
            return node();
        }
    }
    return reader;
}

}  // namespace detail

// The records at record_path ("/a/b/c" or "//name") of a file or http(s) URL. bindings are
// prefix and URI pairs, "" for the default namespace of unprefixed names.
inline record_range records(std::string_view source, std::string_view record_path,
                            const std::vector<std::pair<std::string, std::string>>& bindings = {}, report r = {}) {
    node reader = detail::record_reader(bindings, r);
    if (reader && !reader.open_records(source, record_path, r)) reader = node();
    return record_range(std::move(reader), r);
}

// The same from whatever read gives: read(buffer, size) returns the count of bytes it put there,
// 0 at the end, or a negative number for an error.
template <class F>
    requires std::is_invocable_r_v<std::ptrdiff_t, F&, void*, std::size_t>
record_range records(F&& read, std::string_view record_path,
                     const std::vector<std::pair<std::string, std::string>>& bindings = {}, report r = {}) {
    auto function = std::make_unique<record_range::reader_function>(std::forward<F>(read));
    node reader = detail::record_reader(bindings, r);
    if (reader && !reader.open_record_stream(
            [](void* context, void* buffer, std::size_t size) -> std::ptrdiff_t {
                return (*static_cast<record_range::reader_function*>(context))(buffer, size);
            },
            function.get(), record_path, r))
        reader = node();
    return record_range(std::move(reader), r, std::move(function));
}

// The same from a file descriptor, read until its end; the caller keeps it open meanwhile.
inline record_range records(int fd, std::string_view record_path,
                            const std::vector<std::pair<std::string, std::string>>& bindings = {}, report r = {}) {
    return records(
        [fd](void* buffer, std::size_t size) -> std::ptrdiff_t {
            for (;;) {
                const ssize_t got = ::read(fd, buffer, size);
                if (got >= 0 || errno != EINTR) return got;
            }
        },
        record_path, bindings, r);
}

// ---- Children ----------------------------------------------------------------------------------

class child_iterator {
public:
    using value_type = node;
    using difference_type = std::ptrdiff_t;

    child_iterator() noexcept = default;
    explicit child_iterator(std::optional<node> first) noexcept {
        if (first) {
            cursor_ = std::move(*first);
            cursor_.flags_ = node::kCursor;
        }
    }
    child_iterator(child_iterator&&) noexcept = default;
    child_iterator& operator=(child_iterator&&) noexcept = default;

    const node& operator*() const noexcept { return cursor_; }
    const node* operator->() const noexcept { return &cursor_; }
    child_iterator& operator++() {
        if (cursor_.flags_ & node::kShared) {
            // Someone kept the element: leave that handle where it is and go on with a new one.
            *this = child_iterator(cursor_.next_sibling());
        } else if (!cursor_.move_to_next_sibling()) {
            cursor_ = node();
        }
        return *this;
    }
    void operator++(int) { ++*this; }
    friend bool operator==(const child_iterator& i, std::default_sentinel_t) noexcept { return !i.cursor_; }

private:
    node cursor_;
};

class children_view : public std::ranges::view_base {
public:
    children_view() = default;
    explicit children_view(node parent) noexcept : parent_(std::move(parent)) {}
    // Each call starts a walk of its own (one new handle, on the first child).
    child_iterator begin() const { return child_iterator(parent_.first_child()); }
    std::default_sentinel_t end() const noexcept { return {}; }

private:
    node parent_;
};

inline children_view node::children() const { return children_view(share(p_)); }

// ---- Attributes --------------------------------------------------------------------------------

// One attribute of a node, by position: its name and value, read in one call through the
// virtual table when the range's iterator is dereferenced, as views (see node). Reading fails
// outside 0..attribute_count()-1, which a range's element is not unless the attributes changed;
// name() and value() report that failure.
class attribute_ref {
public:
    attribute_ref() noexcept = default;
    // owner: the handle as IQuorvelXml2, or null for an object that does not answer it.
    attribute_ref(IQuorvelXml2* owner, int index) noexcept : index_(index) {
        if (!owner) [[unlikely]] {
            hr_ = E_NOINTERFACE;
            return;
        }
        Utf8View name{nullptr, 0}, value{nullptr, 0};
        hr_ = owner->GetAttributeUtf8(index, &name, &value);
        name_ = {name.data, name.size};
        value_ = {value.data, value.size};
    }
    std::string_view name(report r = {}) const { return result(r, name_); }
    std::string_view value(report r = {}) const { return result(r, value_); }
    int index() const noexcept { return index_; }

private:
    std::string_view result(const report& r, std::string_view text) const {
        if (FAILED(hr_)) [[unlikely]] {
            if (hr_ == E_NOINTERFACE) SetErrorInfo(0, nullptr);  // none belongs to this failure
            r.failed(hr_);
            return {};
        }
        r.succeeded();
        return text;
    }

    std::string_view name_, value_;
    HRESULT hr_ = S_OK;
    int index_ = 0;
};

class attribute_iterator {
public:
    using value_type = attribute_ref;
    using difference_type = std::ptrdiff_t;
    attribute_iterator() noexcept = default;
    attribute_iterator(IQuorvelXml2* owner, int index) noexcept : owner_(owner), index_(index) {}
    attribute_ref operator*() const noexcept { return {owner_, index_}; }
    attribute_iterator& operator++() noexcept {
        ++index_;
        return *this;
    }
    attribute_iterator operator++(int) noexcept {
        attribute_iterator old = *this;
        ++index_;
        return old;
    }
    friend bool operator==(const attribute_iterator& a, const attribute_iterator& b) noexcept {
        return a.index_ == b.index_;
    }

private:
    IQuorvelXml2* owner_ = nullptr;
    int index_ = 0;
};

// The attributes of one element, counted when the range is made. It borrows the handle of the
// node it came from, and so do its copies: such a range REQUIRES that node to live, on the same
// element, while the range and its iterators are used. One made from a temporary node owns the
// temporary's reference (a copy then adds one). Making a range costs one call through the
// virtual table, for the count; reading each element costs one more.
class attributes_view : public std::ranges::view_base {
public:
    attributes_view() = default;

    attribute_iterator begin() const noexcept { return {second_, 0}; }
    attribute_iterator end() const noexcept { return {second_, count_}; }
    std::size_t size() const noexcept { return static_cast<std::size_t>(count_); }

private:
    friend class node;
    // second: the node's handle as IQuorvelXml2, or null for an object that does not answer it
    // with the same pointer (each element then reports E_NOINTERFACE).
    attributes_view(IQuorvelXml2* second, int count, node owned = {}) noexcept
        : owned_(std::move(owned)), second_(second), count_(count) {}

    node owned_;  // empty unless made from a temporary node
    IQuorvelXml2* second_ = nullptr;
    int count_ = 0;
};

// What this node knows of its second interface is used, and kept, as for any member.
inline attributes_view node::attributes() const& {
    return attributes_view(same_second(), attribute_count());
}
inline attributes_view node::attributes() && {
    const int count = attribute_count();
    IQuorvelXml2* second = same_second();
    return attributes_view(second, count, std::move(*this));
}

// ---- Searches ----------------------------------------------------------------------------------

// The matches of one search, found one call at a time with the previous match as `after`. The
// strings are converted once for the whole walk.
class search_view : public std::ranges::view_base {
public:
    enum class kind : unsigned char { tag, content, all_content, attribute };

    search_view() = default;
    search_view(node from, kind k, std::string_view a, std::string_view b = {}, std::string_view c = {})
        : from_(std::move(from)), kind_(k), a_(a), b_(b), c_(c) {}

    class iterator {
    public:
        using value_type = node;
        using difference_type = std::ptrdiff_t;
        iterator() noexcept = default;
        iterator(const search_view* view, std::optional<node> at) noexcept
            : view_(view), at_(at ? std::move(*at) : node()) {}
        iterator(iterator&&) noexcept = default;
        iterator& operator=(iterator&&) noexcept = default;
        const node& operator*() const noexcept { return at_; }
        const node* operator->() const noexcept { return &at_; }
        iterator& operator++() {
            std::optional<node> next = view_->next(&at_);
            at_ = next ? std::move(*next) : node();
            return *this;
        }
        void operator++(int) { ++*this; }
        friend bool operator==(const iterator& i, std::default_sentinel_t) noexcept { return !i.at_; }

    private:
        const search_view* view_ = nullptr;
        node at_;
    };

    iterator begin() const { return iterator(this, next(nullptr)); }
    std::default_sentinel_t end() const noexcept { return {}; }

private:
    std::optional<node> next(const node* after) const {
        IQuorvelXml* out = nullptr;
        IQuorvelXml* from = from_.get();
        IQuorvelXml* a = after ? after->get() : nullptr;
        HRESULT hr = E_UNEXPECTED;
        switch (kind_) {
            case kind::tag: hr = from->SearchForTag(a, a_.get(), &out); break;
            case kind::content: hr = from->SearchForContent(a, a_.get(), b_.get(), &out); break;
            case kind::all_content: hr = from->SearchAllForContent(a, a_.get(), &out); break;
            case kind::attribute: hr = from->SearchForAttribute(a, a_.get(), b_.get(), c_.get(), &out); break;
        }
        if (FAILED(hr)) report().failed(hr);
        if (!out) return std::nullopt;
        return node::adopt(out);
    }

    node from_;
    kind kind_ = kind::tag;
    detail::bstr a_, b_, c_;
};

inline search_view node::search(std::string_view tag) const { return {share(p_), search_view::kind::tag, tag}; }
inline search_view node::search_content(std::string_view tag, std::string_view pattern) const {
    return {share(p_), search_view::kind::content, tag, pattern};
}
inline search_view node::search_all_content(std::string_view pattern) const {
    return {share(p_), search_view::kind::all_content, pattern};
}
inline search_view node::search_attribute(std::string_view tag, std::string_view attr,
                                          std::string_view pattern) const {
    return {share(p_), search_view::kind::attribute, tag, attr, pattern};
}

}  // namespace quorvel::xml

#endif  // QUORVEL_XML_HPP

#include "member_docs.h"

#include <unordered_map>

namespace quorvel::python {

namespace {

// IQuorvelXml's members first, in the member table's order, then IQuorvelXml2's (documented
// before they land, so help() and the stub cover them from the first build that has them).
constexpr MemberDoc kDocs[] = {
    {"Version", false, "The component's version, e.g. \"4.0.2\". Read-only."},
    {"NumAttributes", false, "How many attributes this node has. Read-only."},
    {"Tag", false, "This node's tag; set it to rename the node (taken as given, not trimmed). Never raises."},
    {"Content", false, "This node's own text (not its children's); \"\" when it has none. Entities are decoded."},
    {"NumChildren", false, "How many child elements this node has. Read-only; len(node) gives the same."},
    {"GetChildContent", false, "The content of the first child whose tag is Tag; \"\" when there is none. Never raises."},
    {"Cdata", false, "1 when this node's content is written as a CDATA section, else 0."},
    {"LoadXml", false,
     "Parses xmlData into a new document this handle then designates; returns 1. Raises ComError when the text\n"
     "holds no element at all (\"Failed to parse XML data (5)\"); anything else malformed is repaired, not refused."},
    {"LoadXmlFile", false,
     "Loads a file (its declared encoding honoured); returns 1, or 0 without raising when the file is missing\n"
     "or holds no element (ErrorLogText says why)."},
    {"SaveXml", false, "Writes this node's subtree to fileName in the document's declared encoding. Raises when it cannot write."},
    {"GetXml", false, "This node's subtree as XML text (no indentation)."},
    {"AppendToContent", false, "Appends str to this node's content. Never raises."},
    {"AddAttribute", false, "Adds an attribute (repeated names are kept). Raises when name or value is None."},
    {"RemoveAttribute", false, "Removes the attributes called name; nothing when there is none. Raises when name is None."},
    {"RemoveAllAttributes", false, "Removes every attribute of this node."},
    {"GetAttributeName", false, "The name of attribute index (0-based). Raises when index is out of range."},
    {"GetAttributeValue", false, "The value of attribute index (0-based); \"\" when index is out of range (no error)."},
    {"GetAttrValue", false, "The value of the first attribute called name (exact case); \"\" when there is none."},
    {"HasAttrWithValue", false, "1 when some attribute has exactly this name and value, else 0."},
    {"SwapNode", false, "Exchanges tag, content and attributes with node; children stay where they are."},
    {"SwapTree", false, "Exchanges this node's whole subtree contents with node's, children included."},
    {"AddChildTree", false, "Moves the tree whose root tree designates under this node as its last child."},
    {"GetChild", false, "A new handle on child index (0-based). Raises ComError when index is out of range; never None."},
    {"ExtractChildByIndex", false,
     "Detaches child index into a tree of its own and returns a handle on it. Raises when index is out of range."},
    {"ExtractChildByName", true,
     "Detaches the first child tagged Tag (with attrName: the first node of the subtree whose attribute matches\n"
     "the pattern attrValue) and returns it; None when nothing matches."},
    {"NumChildrenHavingTag", false, "How many children have the tag Tag (exact, case-sensitive)."},
    {"GetNthChildWithTag", false, "The child that is match n (0-based) among children tagged Tag. Raises when there are fewer."},
    {"NewChild", false, "Appends a child with this tag and content and returns a handle on it; never None."},
    {"FindOrAddNewChild", false, "The first child tagged Tag, appended empty when there is none; never None."},
    {"SearchForTag", true,
     "The first node tagged Tag, breadth-first from this node itself, after the node `after` when given; None when none."},
    {"SearchForContent", true,
     "The first node tagged Tag whose own content matches contentPattern (* only, case-sensitive), breadth-first\n"
     "after `after`; None when none."},
    {"SearchAllForContent", true,
     "The first node of any tag whose content matches contentPattern (* only, case-sensitive), breadth-first after\n"
     "`after`; None when none."},
    {"SearchForAttribute", true,
     "The first node tagged Tag with an attribute attr whose value matches valuePattern (* only, case-sensitive),\n"
     "breadth-first after `after`; None when none."},
    {"GetParent", true, "A handle on the parent; None for a root."},
    {"GetURL", false,
     "The body of url as bytes (None for an empty body); a URL that cannot be fetched is read as a local file.\n"
     "Raises when neither works. Every port but 80 is TLS."},
    {"Clear", false, "Moves this handle to a new one-node document tagged \"unnamed\"; other handles keep the old one."},
    {"FirstChild", true, "A handle on the first child; None when there are no children."},
    {"LastChild", true, "A handle on the last child; None when there are no children."},
    {"NextSibling", true, "A handle on the next sibling; None on the last one."},
    {"PreviousSibling", true, "A handle on the previous sibling; None on the first one."},
    {"TreeId", false, "A number shared by every node of this tree (100 and up, never reused). Read-only."},
    {"GetChildWithTag", true, "The first child tagged Tag (exact, case-sensitive); None when there is none."},
    {"Standalone", false, "The document's standalone declaration (\"yes\", \"no\" or \"\")."},
    {"Encoding", false, "The document's declared encoding, which SaveXml writes in; \"\" when undeclared."},
    {"GetRoot", false, "A new handle on the root of this node's tree; never None."},
    {"SaveXmlLog", false, "Writes the error log, as XML, to fileName. Raises when fileName is None."},
    {"FindNextRecord", true,
     "The first of this node and its following siblings that has a child tagged Tag whose content matches\n"
     "contentPattern; None when none."},
    {"HttpPost", true,
     "Posts this node's XML to url and returns a handle on the parsed reply; None when the reply is not XML\n"
     "(the log keeps it). Raises when the request fails."},
    {"CompressSubtree", false, "Replaces the subtree with base64 of its deflated XML as content (Cdata set, children gone)."},
    {"CompressNode", false, "Replaces the content with base64 of its deflated bytes; nothing when the content is empty."},
    {"DecompressSubtree", false, "Undoes CompressSubtree; content that is not compressed data is left as it is."},
    {"DecompressNode", false, "Undoes CompressNode; content that is not compressed data is left as it is."},
    {"EncryptNode", false, "Replaces the content with base64 of its AES-128-CBC ciphertext under password."},
    {"DecryptNode", false,
     "Decrypts the content with password. A wrong password is NOT detected: the content becomes other bytes\n"
     "and the call succeeds (the stored form has no integrity check)."},
    {"ErrorLogHtml", false, "The last call's log as HTML."},
    {"ErrorLogXml", false, "The last call's log as XML."},
    {"ErrorLogText", false, "The last call's log as text: what a failed call (or a LoadXmlFile that returned 0) did and why."},
    {"ErrorLogClear", false, "Empties the log."},
    {"GetChild2", false, "Moves this handle to child index; 1 when moved, 0 (handle unchanged) when out of range."},
    {"FindChild2", false, "Moves this handle to the first child tagged Tag; 1 when moved, 0 when none."},
    {"RemoveFromTree", false, "Detaches this node into a tree of its own (new TreeId); other handles stay on their nodes."},
    {"GetParent2", false, "Moves this handle to the parent; 1 when moved, 0 on a root."},
    {"FirstChild2", false, "Moves this handle to the first child; 1 when moved, 0 when there are no children."},
    {"LastChild2", false, "Moves this handle to the last child; 1 when moved, 0 when there are no children."},
    {"NextSibling2", false, "Moves this handle to the next sibling; 1 when moved, 0 on the last one."},
    {"PreviousSibling2", false, "Moves this handle to the previous sibling; 1 when moved, 0 on the first one."},
    {"GetRoot2", false, "Moves this handle to the root of its tree."},
    {"QEncodeContent", false, "Stores Content (bytes or str) as one RFC 2047 Q-encoded word in charset."},
    {"BEncodeContent", false, "Stores Content (bytes or str) as one RFC 2047 B-encoded (base64) word in charset."},
    {"UpdateAttribute", false, "Sets the first attribute called name to value, adding it when missing."},
    {"DecodeContent", false, "The bytes of the RFC 2047 encoded words in the content."},
    {"SetBinaryContent", false,
     "Stores Content (bytes, or a str's UTF-16 bytes) as base64, deflated first when zipFlag and AES-encrypted\n"
     "under password when encryptFlag."},
    {"GetBinaryContent", false,
     "The bytes SetBinaryContent stored, read back with the same flags and password. Raises when the content is\n"
     "empty or does not inflate; after decryption that usually means a wrong password (it is not checked)."},
    {"FindChild", true, "The first child tagged Tag (trimmed, exact case); None when there is none."},
    {"NewChild2", false, "Appends a child with this tag and content, returning nothing. Raises when either is None."},
    {"SortByTag", false, "Sorts the children by tag, ascending when ascending is non-zero; bytes compared as they are (Z before a,\n10 before 9), equal keys in no set order."},
    {"SortByContent", false, "Sorts the children by their content, as SortByTag compares."},
    {"SortByAttribute", false, "Sorts the children by the value of attribute attrName (children without it first when ascending)."},
    {"SortRecordsByContent", false, "Sorts the children by the content of each one's child tagged sortTag, as SortByTag compares."},
    {"SortRecordsByAttribute", false, "Sorts the children by attribute attrName of each one's child tagged sortTag."},
    {"LoadXmlV", false,
     "Parses bytes (encoding from the byte-order mark or the declaration); returns 1. Raises when they hold no\n"
     "element or cannot be converted; a str raises (give bytes)."},
    // IQuorvelXml2.
    {"SelectNodes", false, "The elements an XPath expression selects, in document order, as a list (empty when none)."},
    {"SelectSingleNode", true, "The first element an XPath expression selects; None when it selects none."},
    {"SelectValues", false, "The string-values of what an XPath expression selects, in document order, as a list of str."},
    {"EvaluateXPath", false, "An XPath expression's value: float, str or bool (a node-set gives its string-value)."},
    {"SetXPathNamespace", false, "Binds prefix to uri for this document's XPath expressions (\"\" prefix: the default for name tests)."},
    {"SetXPathVariable", false, "Sets the XPath variable $name for this document's expressions."},
    {"NamespaceUri", false, "This element's namespace URI; \"\" when it has none. Read-only."},
    {"LocalName", false, "This element's tag without its prefix. Read-only."},
    {"Prefix", false, "This element's namespace prefix; \"\" when it has none. Read-only."},
    {"LookupNamespace", false, "The URI prefix is bound to in scope here; \"\" when it is unbound."},
    {"GetXmlIndented", false, "This node's subtree as XML text, indent per level (\"\" gives GetXml's compact text)."},
    {"SaveXmlIndented", false, "As SaveXml, indented with indent per level."},
    {"OpenRecords", false, "Makes this handle a record reader over source (a file or http(s) URL) for the records at recordPath."},
    {"OpenRecordRange", false, "As OpenRecords over the bytes start to end of a file."},
    {"NextRecord", true, "The next record as a handle; None at the end. Raises on a read or parse error."},
    {"RecordSizeLimit", false, "The largest record, in bytes, a record reader accepts."},
    {"RecordPath", false, "On a record: its ancestors' path, e.g. \"/mime-info\". Read-only."},
    {"GetRecordAncestor", false, "A childless copy of the record's ancestor at level (0: the document's root element)."},
};

}  // namespace

const MemberDoc* memberDoc(std::string_view name) {
    static const auto* index = [] {
        auto* map = new std::unordered_map<std::string_view, const MemberDoc*>();
        for (const MemberDoc& d : kDocs) map->emplace(d.name, &d);
        return map;
    }();
    const auto it = index->find(name);
    return it == index->end() ? nullptr : it->second;
}

const char* const kModuleGuide = R"guide(Late-bound client of the QuorvelXml component.

    import quorvelxml
    doc = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")   # a quorvelxml.QuorvelXml
    doc.LoadXml("<catalog><book id='b1'>Rain</book></catalog>")
    for book in doc:                                     # children; len(doc), doc[0], doc[-1]
        print(book.GetAttrValue("id"), book.Content)

Every member of the node handle has help: help(doc.GetChild). Properties read and write as
attributes, methods are calls with positional or keyword arguments; names match without case.
Two handles on the same node compare equal (==) and hash alike; moving a handle with a member
ending in 2 changes what it equals, so do not move a handle used as a dict key.

Which calls raise and which return None or 0:
- A failed call raises quorvelxml.ComError: e.hresult (0x80004005 for the component's own
  failures), e.description is the error summary ("(GetChild)\nNo child at this index\nindex: 7"),
  and the handle's ErrorLogText holds the same. Failures are: None where a string is required,
  an index out of range (GetChild, GetAttributeName, ExtractChildByIndex, GetNthChildWithTag),
  LoadXml/LoadXmlV of text with no element at all, files that cannot be written, network errors,
  GetBinaryContent of data that does not decode or inflate. A wrong argument count or type
  raises ComError naming the member and its parameters.
- Finding nothing is not a failure: the navigation and search members (FirstChild, NextSibling,
  GetParent, GetChildWithTag, FindChild, the Search* members, FindNextRecord) return None;
  the members ending in 2 return 0 and leave the handle where it was; GetAttrValue,
  GetAttributeValue and GetChildContent return ""; LoadXmlFile returns 0 for a missing or
  unusable file (ErrorLogText says why).
- GetChild, GetNthChildWithTag, ExtractChildByIndex, NewChild, FindOrAddNewChild and GetRoot
  never return None.

Searching: tags compare exactly (case-sensitive, no wildcards). Content and attribute-value
patterns are case-sensitive and only * is special (any run of characters, also none); there is
no single-character wildcard, so ? and [ ] match themselves. The Search* members visit this node itself first, then its
subtree breadth-first (level by level, each level in document order); passing the last hit as
`after` resumes behind it, and walking all hits that way costs one pass in all.

The parser repairs rather than rejects: it never refuses a document that holds an element.
End tags close the open element whatever their name, elements left open at the end are closed,
text outside elements and unknown markup are skipped, only &lt; &gt; &quot; &amp; are decoded,
and several top-level elements give the last one. It logs only "Unclosed comment" (the scan stops
there), "Failed to parse DTD" and "Error in closing tag"; read them in ErrorLogText after a load.
"Failed to parse XML data (5)" means the text held no element at all ((5) is that message's fixed
number, not a position: the parser keeps no line or column, as it never stops at an error).

Encryption (EncryptNode/DecryptNode, SetBinaryContent/GetBinaryContent with a password) has no
integrity check: a wrong password decrypts silently to other bytes. Only a compressed payload
usually fails then (GetBinaryContent raises, and its message says the password may be wrong).
)guide";

void defineMemberDocs(py::module_& m) {
    m.def(
        "_member_docs",
        [] {
            py::dict out;
            for (const MemberDoc& d : kDocs) out[py::str(d.name)] = py::make_tuple(d.text, d.mayReturnNone);
            return out;
        },
        "{member name: (help text, whether a handle result may be None)}, for the type stub.");
}

}  // namespace quorvel::python

#pragma once

namespace quorvel {

// What children are sorted by. The record keys read a field: the child's first own child with a
// given tag; a record without that field has no key and sorts before every record that has one.
enum class ChildSortKey {
    Tag,              // the child's tag
    Content,          // the child's own content
    Attribute,        // the value of the child's first attribute of a name (empty when absent)
    RecordContent,    // the content of the field
    RecordAttribute,  // the value of an attribute of the field (empty when absent)
};

}  // namespace quorvel

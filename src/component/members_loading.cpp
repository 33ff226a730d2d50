// Loading documents from bytes and files in any encoding, and saving them in their declared one:
// LoadXmlV, LoadXmlFile, SaveXml.
#include <string>
#include <string_view>

#include "charset/utf8_cache.h"
#include "component/member_frames.h"
#include "core/system/utf8.h"
#include "io/file_sys.h"
#include "tree/tree_node.h"
#include "xml/convert_to_utf8.h"
#include "xml/document_encoding.h"
#include "xml/parse_engine.h"
#include "xml/serializer.h"

namespace quorvel {

using namespace members;
namespace {

// Owns a freshly parsed tree until a handle takes it.
struct ParsedTree {
    TreeNode* root = nullptr;
    ~ParsedTree() { TreeNode::destroyTree(root); }
    TreeNode* release() {
        TreeNode* r = root;
        root = nullptr;
        return r;
    }
};

// A tree converted from a 16-bit form is held, and will be saved, as UTF-8.
void settleSixteenBitEncoding(TreeNode* root) {
    StringBuffer encoding;
    if (!getEncoding(root->tree(), encoding)) return;
    if (encoding.equalsNoCase("utf-16") || encoding.equalsNoCase("ucs-2") || encoding.equalsNoCase("unicode"))
        setEncoding(root->tree(), "utf-8");
}

size_t unitCount(const char16_t* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace

HRESULT CQuorvelXml::LoadXmlV(VARIANT xmlData, LONG* success) {
    KeepAlive alive(this);  // a host may release its last reference from a progress handler
    return loggedThroughout("LoadXmlV", [&] {
        if (!success) {
            log().LogError(kNullParameter);
            return false;
        }
        *success = 0;
        try {
            // Bytes that are UTF-8 already are parsed where the host's array lies, without a copy.
            const DataBuffer::Bytes given = DataBuffer::variantBytes(&xmlData);
            DataBuffer converted;
            Utf8Text text;
            ParsedTree tree;
            if (!utf8Text(static_cast<const uint8_t*>(given.data), given.size, converted, text, &log())) {
                log().LogError("Failed to convert XML data to utf-8 internal representation");
            } else {
                ProgressMonitor monitor(kParseEventId, 0, this, 100);
                tree.root = parse(text.data, text.size, &log(), &monitor);
            }
            if (!tree.root) {
                log().LogError("Failed to parse XML data (5)");
                return false;
            }
            replaceTree(tree.release());
            *success = 1;
            return true;
        } catch (...) {
            log().LogError("Unexpected error in LoadXmlV");
            return false;
        }
    });
}

HRESULT CQuorvelXml::LoadXmlFile(BSTR fileName, LONG* success) {
    KeepAlive alive(this);  // a host may release its last reference from a progress handler
    return loggedThroughout("LoadXmlFile", [&] {
        if (!fileName || !success) {
            log().LogError(kNullParameter);
            return false;
        }
        *success = 0;
        // File names are narrowed to UTF-8, the file system's own narrow form.
        StringBuffer narrowName;
        try {
            narrowName.setString(sys::toUtf8(std::u16string_view(fileName, unitCount(fileName))).c_str());
            narrowName.trim();
            ProgressMonitor monitor(kParseEventId, 0, this, 100);
            auto attempt = [&](auto name) -> TreeNode* {
                DataBuffer bytes;
                if (!bytes.loadFile(name, &log())) return nullptr;
                if (!convertToUtf8(&bytes, &log())) return nullptr;
                TreeNode* root = parse(bytes, &log(), &monitor);
                if (root) settleSixteenBitEncoding(root);
                return root;
            };
            ParsedTree tree;
            tree.root = attempt(static_cast<const char16_t*>(fileName));
            if (!tree.root) tree.root = attempt(static_cast<const char*>(narrowName.data()));
            if (!tree.root) {
                log().LogError("Failed to parse file");
                log().LogData("filename", narrowName.data());
                return true;
            }
            replaceTree(tree.release());
            log().LogInfo("Loaded XML File");
            log().LogData("filename", narrowName.data());
            *success = 1;
            return true;
        } catch (...) {
            log().LogError("Unexpected error in LoadXmlFile");
            log().LogData("filename", narrowName.data());
            return false;
        }
    });
}

HRESULT CQuorvelXml::SaveXml(BSTR fileName) {
    return loggedThroughout("SaveXml", [&] {
        if (!fileName) {
            log().LogError(kNullParameter);
            return false;
        }
        return writeDocument(fileName, {});
    });
}

bool CQuorvelXml::writeDocument(BSTR fileName, std::string_view indent) {
    StringBuffer encoding;
    if (!getEncoding(node()->tree(), encoding)) {
        setEncoding(node()->tree(), "utf-8");
        encoding.setString("utf-8");
    }
    StringBuffer text;
    serialize(node(), text, indent);
    FileSys files;
    if (encoding.equalsNoCase("utf-8"))
        return files.writeFile(fileName, text.data(), static_cast<uint32_t>(text.length()), &log());
    CharsetConvert convert;
    convert.SetToCharset(encoding.data());
    convert.SetFromCharset("utf-8");
    DataBuffer converted;
    Utf8Cache cache;
    convert.ConvertWithFallback(text, converted, cache);
    return files.writeFile(fileName, converted.data(), converted.size(), &log());
}

}  // namespace quorvel

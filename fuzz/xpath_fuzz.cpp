// XPath expressions over a fixed document: any bytes must compile to a query or to a clean
// error, and a query must evaluate to a value or a clean error, never crash, overflow the stack
// or hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tree/tree_node.h"
#include "xml/parse_engine.h"
#include "xpath/xpath_query.h"

namespace {

using namespace quorvel;

const char* kDocument =
    "<lib xmlns='urn:lib' xmlns:p='urn:p' xml:lang='en'>"
    "<book id='1' p:k='a'><title>One</title><price>4.5</price></book>"
    "<book id='2'>text<title>Two</title><p:note/></book>"
    "<mag><issue n='-0.5'>NaN</issue><issue n='1e3'> 12 </issue></mag>"
    "</lib>";

struct Fixture {
    Fixture() : root(parse(kDocument, nullptr, nullptr)) {
        bindings.setNamespace("p", "urn:p");
        bindings.setNamespace("d", "urn:lib");
        bindings.setVariable("n", xpath::Value::ofNumber(2));
        bindings.setVariable("s", xpath::Value::ofString("One"));
        bindings.setVariable("b", xpath::Value::ofBoolean(true));
        // Nested predicates can ask for work exponential in their depth; that is their result's
        // cost, not a fault, so the fuzzer bounds it.
        bindings.workLimit = 2000000;
    }
    TreeNode* root;
    xpath::Bindings bindings;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fixture;
    if (size > 4096) return 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    xpath::CompileError ce;
    auto q = xpath::Query::compile(text, ce);
    if (!q) return 0;
    // From the root element and from a text-bearing element deeper down.
    const TreeNode* contexts[] = {fixture.root, fixture.root->childAt(1)};
    for (const TreeNode* c : contexts) {
        xpath::Value v;
        xpath::EvalError ee;
        if (q->evaluate(c, fixture.bindings, v, ee)) (void)xpath::toString(v);
    }
    return 0;
}

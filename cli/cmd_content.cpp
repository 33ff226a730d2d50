// quorvel compress, decompress, encrypt and decrypt: the component's node content members on
// every element an XPath expression selects. The stored forms are the component's own (base64
// text in the content), so other hosts of the component read them back.
#include <string>

#include "commands.h"
#include "password.h"
#include "session.h"
#include "xpath_options.h"

namespace quorvel::cli {

namespace {

enum class action { compress, decompress, encrypt, decrypt };

// Whether decrypted content reads as text. The component cannot tell a wrong password (the
// cipher carries no check); a wrong key yields random bytes, which are not UTF-8 text.
bool looks_like_text(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
        if (c == 0xEF && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xBF &&
            static_cast<unsigned char>(s[i + 2]) == 0xBD)
            return false;  // U+FFFD: bytes that were not UTF-8
    }
    return true;
}

template <action A>
int run(const parsed_args& args) {
    if (args.operands.empty()) throw usage_error("an XPath expression selects the elements to work on");
    const std::string xpath = args.operands.front();
    const std::vector<std::string> files(args.operands.begin() + 1, args.operands.end());
    const session s = session::from(args, files, true);
    const xpath_context context = xpath_context::from(args);
    const bool subtree = args.has("subtree");
    std::string password;
    if constexpr (A == action::encrypt || A == action::decrypt) password = read_password(args);
    return s.for_each_file([&](const std::string& file, file_output& out) {
        const xml::node doc = s.load(file);
        context.apply(doc);
        for (const xml::node& n : select_or_fail(s, doc, xpath, file)) {
            if constexpr (A == action::compress) {
                subtree ? n.compress_subtree() : n.compress_node();
            } else if constexpr (A == action::decompress) {
                subtree ? n.decompress_subtree() : n.decompress_node();
            } else if constexpr (A == action::encrypt) {
                n.encrypt_node(password);
            } else {
                const bool had_content = !std::string(n.content()).empty();
                n.decrypt_node(password);
                // Encrypting leaves empty content alone, so nothing decrypted from something means
                // the padding did not check out: a wrong key, as text that is not text does.
                const std::string plain(n.content());
                if (had_content && (plain.empty() || !looks_like_text(plain)))
                    throw failure(kBad, display_name(file) + ": <" + std::string(n.tag()) +
                                            ">: the decrypted content is not text: wrong password?");
            }
        }
        out.write_document(doc, file);
    });
}

constexpr option_spec kZipOptions[] = {
    {"subtree", 0, "", "the element's whole subtree (its XML) rather than its content"},
    QV_CLI_XPATH_OPTIONS,
};
constexpr option_spec kCipherOptions[] = {
    {"password-file", 0, "FILE", "the password is the first line of FILE"},
    {"password-env", 0, "NAME", "the password is the value of the environment variable NAME"},
    QV_CLI_XPATH_OPTIONS,
};

}  // namespace

const command kCompressCommand = {
    "compress", "XPATH [OPTIONS] [FILE...]", "compress the content of selected elements",
    "Replaces the content of each element XPATH selects by its deflated form in base64\n"
    "(--subtree: the element's children and content, as the component's subtree compression).",
    kZipOptions, run<action::compress>};
const command kDecompressCommand = {
    "decompress", "XPATH [OPTIONS] [FILE...]", "restore content compressed by compress",
    "Inflates the content of each element XPATH selects (--subtree: restores the subtree).", kZipOptions,
    run<action::decompress>};
const command kEncryptCommand = {
    "encrypt", "XPATH [OPTIONS] [FILE...]", "encrypt the content of selected elements",
    "Encrypts the content of each element XPATH selects with the password from --password-file\n"
    "or --password-env (never from the command line).",
    kCipherOptions, run<action::encrypt>};
const command kDecryptCommand = {
    "decrypt", "XPATH [OPTIONS] [FILE...]", "decrypt content encrypted by encrypt",
    "Decrypts the content of each element XPATH selects. A result that is not text means a wrong\n"
    "password: the status is 1 and nothing is written.",
    kCipherOptions, run<action::decrypt>};

}  // namespace quorvel::cli

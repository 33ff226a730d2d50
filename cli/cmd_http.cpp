// quorvel get and post: the component's HTTP members. get prints the body of a URL as it came;
// post sends a document's XML and prints the XML of the reply.
#include <string>

#include "commands.h"
#include "password.h"
#include "session.h"

namespace quorvel::cli {

namespace {

constexpr option_spec kGetOptions[] = {
    {"proxy", 0, "HOST:PORT", "go through this proxy (default: the proxy environment variables)"},
    {"user", 0, "NAME", "the user name for the server's authentication"},
    {"password-file", 0, "FILE", "the password for --user, the first line of FILE"},
    {"password-env", 0, "NAME", "the password for --user, from the environment variable NAME"},
};

std::string password_if_any(const parsed_args& args);

int run_get(const parsed_args& args) {
    if (args.operands.size() != 1) throw usage_error("get takes one URL");
    const std::string url = args.operands[0];
    session s = session::from(args, {url}, false);
    const std::string proxy = args.value("proxy"), user = args.value("user"), password = password_if_any(args);
    return s.for_each_file([&](const std::string&, file_output& out) {
        const xml::node handle = xml::create();
        xml::status st;
        const std::vector<std::byte> body = handle.get_url(url, proxy, user, password, st);
        if (st.failed()) throw failure(kUsageOrIo, url + ": " + flatten(st.description), s.log_of(handle));
        out.print(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
    });
}

int run_post(const parsed_args& args) {
    if (args.operands.size() < 1 || args.operands.size() > 2) throw usage_error("post takes a URL and a FILE");
    const std::string url = args.operands[0];
    std::vector<std::string> files(args.operands.begin() + 1, args.operands.end());
    session s = session::from(args, files, false);
    return s.for_each_file([&](const std::string& file, file_output& out) {
        const xml::node doc = s.load(file);
        xml::status st;
        const xml::node reply = doc.http_post(url, st);
        if (st.failed() || !reply) throw failure(kUsageOrIo, url + ": " + flatten(st.description), s.log_of(doc));
        out.print(reply.xml());
    });
}

std::string password_if_any(const parsed_args& args) {
    if (!args.has("password-file") && !args.has("password-env")) return {};
    return read_password(args);
}

}  // namespace

const command kGetCommand = {
    "get", "[OPTIONS] URL", "print the body of a URL (http or https)",
    "Fetches URL with the component's HTTP client and prints the body as it came. A failure to\n"
    "connect or a refused request gives status 2.",
    kGetOptions, run_get};

const command kPostCommand = {
    "post", "[OPTIONS] URL [FILE]", "post a document's XML to a URL and print the reply's XML",
    "Loads FILE (- or none: standard input), posts its XML to URL with the component's HTTP\n"
    "client, and prints the reply, read as XML, as the component writes it.",
    {}, run_post};

}  // namespace quorvel::cli

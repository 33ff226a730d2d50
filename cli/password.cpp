#include "password.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "command.h"

namespace quorvel::cli {

std::string read_password(const parsed_args& args) {
    const bool from_file = args.has("password-file"), from_env = args.has("password-env");
    if (from_file == from_env)
        throw usage_error("give the password with exactly one of --password-file FILE or --password-env NAME");
    std::string password;
    if (from_file) {
        const std::string path = args.value("password-file");
        std::ifstream in(path, std::ios::binary);
        if (!in) throw failure(kUsageOrIo, path + ": " + std::strerror(errno));
        std::getline(in, password);
        if (!password.empty() && password.back() == '\r') password.pop_back();
    } else {
        const std::string name = args.value("password-env");
        const char* value = std::getenv(name.c_str());
        if (!value) throw failure(kUsageOrIo, "the environment variable " + name + " is not set");
        password = value;
    }
    if (password.empty()) throw failure(kUsageOrIo, "the password is empty");
    return password;
}

}  // namespace quorvel::cli

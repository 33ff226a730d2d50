// Passwords for encrypt and decrypt: read from a file (--password-file) or an environment
// variable (--password-env NAME), never from the command line, where every user of the machine
// could read it, and never printed.
#pragma once
#include <string>

#include "arguments.h"

namespace quorvel::cli {

// The password the options name. A file's first line is the password (its line end dropped).
// Throws usage_error when neither or both options are given, failure when the source is missing.
std::string read_password(const parsed_args& args);

}  // namespace quorvel::cli

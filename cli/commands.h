// The subcommands of quorvel, one file each (cmd_*.cpp), gathered into the table of command.h.
#pragma once
#include "command.h"

namespace quorvel::cli {

extern const command kSelCommand, kEdCommand, kFmtCommand, kConvCommand, kCheckCommand, kCompressCommand,
    kDecompressCommand, kEncryptCommand, kDecryptCommand, kGetCommand, kPostCommand, kStatsCommand;

}  // namespace quorvel::cli

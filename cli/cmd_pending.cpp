// Commands that wait for the XPath engine and the indented serializer (temporary).
#include "commands.h"
namespace quorvel::cli {
namespace {
int pending(const parsed_args&) { throw failure(kUsageOrIo, "not yet: this build has no XPath engine"); }
}
const command kSelCommand = {"sel", "XPATH [FILE...]", "select with XPath", "", {}, pending};
const command kEdCommand = {"ed", "[EDITS] [FILE...]", "edit", "", {}, pending};
const command kFmtCommand = {"fmt", "[FILE...]", "indent", "", {}, pending};
const command kCompressCommand = {"compress", "XPATH [FILE...]", "compress", "", {}, pending};
const command kDecompressCommand = {"decompress", "XPATH [FILE...]", "decompress", "", {}, pending};
const command kEncryptCommand = {"encrypt", "XPATH [FILE...]", "encrypt", "", {}, pending};
const command kDecryptCommand = {"decrypt", "XPATH [FILE...]", "decrypt", "", {}, pending};
}

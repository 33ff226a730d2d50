#include "charset/multi_lang_impl.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "charset/code_page_codec.h"
#include "charset/output_room.h"
#include "charset/utf16_pipeline.h"
#include "core/data_buffer.h"
#include "core/log_base.h"

namespace quorvel {
namespace {

constexpr uint32_t kUtf16 = 1200;
constexpr uint32_t kUtf8 = 65001;
constexpr uint32_t kLatin1 = 28591;
constexpr uint32_t kShiftJis = 932;

void logError(LogBase* log, const char* message) {
    if (log) log->LogError(message);
}

void logError(LogBase* log, const char* message, uint32_t number) {
    if (log) log->LogError((message + std::to_string(number)).c_str());
}

void logDataLong(LogBase* log, const char* keyword, uint32_t value) {
    if (log) log->LogDataLong(keyword, static_cast<int32_t>(value));
}

// A converter between a code page and UTF-16LE could not be made for the two-step route.
void logUnicodeConverterFailure(LogBase* log, const char* keyword, uint32_t codePage) {
    logError(log, "Failed to create Unicode charset converter");
    logDataLong(log, keyword, codePage);
}

// The system's encoder, with the messages of its two failures.
bool encodeWithSystem(uint32_t targetCodePage, const void* utf16, uint32_t length, DataBuffer& out, LogBase* log) {
    switch (encodeCodePage(targetCodePage, utf16, length, out)) {
        case EncodeResult::Ok:
            return true;
        case EncodeResult::CannotMeasure:
            logError(log, "Failed to convert from Unicode to code page ", targetCodePage);
            return false;
        case EncodeResult::CannotWrite:
            logError(log, "Failed to convert from Unicode (ucs-2) to code page ", targetCodePage);
            return false;
    }
    return false;
}

// The first UTF-8 no-break space (C2 A0) at or after p, or end.
const uint8_t* findNoBreakSpace(const uint8_t* p, const uint8_t* end) {
    while (p < end) {
        const uint8_t* c2 = static_cast<const uint8_t*>(std::memchr(p, 0xC2, static_cast<size_t>(end - p)));
        if (c2 == nullptr || c2 + 1 == end) return end;
        if (c2[1] == 0xA0) return c2;
        p = c2 + 1;
    }
    return end;
}

// The text with each UTF-8 no-break space as a single blank (Shift-JIS has no no-break space);
// empty when there is none, and the text can be used as it is.
std::string blankNoBreakSpaces(const uint8_t* bytes, uint32_t length) {
    std::string text;
    const uint8_t* end = bytes + length;
    const uint8_t* nbsp = findNoBreakSpace(bytes, end);
    if (nbsp == end) return text;
    text.reserve(length);
    const uint8_t* p = bytes;
    while (nbsp != end) {
        text.append(reinterpret_cast<const char*>(p), static_cast<size_t>(nbsp - p));
        text.push_back(' ');
        p = nbsp + 2;
        nbsp = findNoBreakSpace(p, end);
    }
    text.append(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p));
    return text;
}

}  // namespace

IconvConverter* MultiLangImpl::pairConverter(uint32_t sourceCodePage, uint32_t targetCodePage) {
    if (pair_.isOpen() && pairSource_ == sourceCodePage && pairTarget_ == targetCodePage) return &pair_;
    pair_.close();
    pairSource_ = sourceCodePage;
    pairTarget_ = targetCodePage;
    return pair_.open(sourceCodePage, targetCodePage) ? &pair_ : nullptr;
}

bool MultiLangImpl::Convert(uint32_t sourceCodePage, uint32_t targetCodePage, const void* bytes, uint32_t length,
                            DataBuffer& out, LogBase* log) {
    const uint32_t start = out.size();
    try {
        if (length == 0) return true;
        const uint8_t* input = static_cast<const uint8_t*>(bytes);
        if (sourceCodePage == targetCodePage) return appendWithRoom(out, input, length);
        if (targetCodePage == kUtf16) return ToUnicode(sourceCodePage, input, length, out, log);
        if (sourceCodePage == kUtf16) return FromUnicode(targetCodePage, input, length, out, log);

        IconvConverter* pair = pairConverter(sourceCodePage, targetCodePage);
        if (pair != nullptr && length < kOneStepLimit) {
            return platformConversion(sourceCodePage, targetCodePage, input, length, out, log);
        }
        if (pair == nullptr && sourceCodePage != kUtf8 && targetCodePage != kUtf8) {
            DataBuffer utf8;
            if (!Convert(sourceCodePage, kUtf8, input, length, utf8, log)) {
                logError(log, ("Failed to get converter for converting from " + std::to_string(sourceCodePage) +
                               " to utf-8").c_str());
                return false;
            }
            return Convert(kUtf8, targetCodePage, utf8.data(), utf8.size(), out, log);
        }
        return convertThroughSystem(sourceCodePage, targetCodePage, input, length, out, log);
    } catch (...) {
        out.shrinkTo(start);
        logError(log, "Character conversion failed (2)");
        return false;
    }
}

bool MultiLangImpl::ConvertDirect(uint32_t sourceCodePage, uint32_t targetCodePage, const void* bytes,
                                  uint32_t length, DataBuffer& out, LogBase* log) {
    const uint32_t start = out.size();
    try {
        if (length == 0) return true;
        const uint8_t* input = static_cast<const uint8_t*>(bytes);
        if (sourceCodePage == targetCodePage) return appendWithRoom(out, input, length);
        pairConverter(sourceCodePage, targetCodePage);
        return platformConversion(sourceCodePage, targetCodePage, input, length, out, log);
    } catch (...) {
        out.shrinkTo(start);
        logError(log, "Character conversion failed (22)");
        return false;
    }
}

// The system's decoder for the source, then its encoder for the target, a window at a time. A
// text the decoder rejects leaves the encoder nothing to measure, and is reported as such.
bool MultiLangImpl::convertThroughSystem(uint32_t sourceCodePage, uint32_t targetCodePage, const uint8_t* bytes,
                                         uint32_t length, DataBuffer& out, LogBase* log) {
    const uint32_t outStart = out.size();
    auto fail = [&](EncodeResult why) {
        out.shrinkTo(outStart);
        if (why == EncodeResult::CannotWrite) {
            logError(log, "Failed to convert from Unicode (ucs-2) to code page ", targetCodePage);
        } else {
            logError(log, "Failed to convert from Unicode to code page ", targetCodePage);
        }
        return false;
    };
    Utf16Reader reader;
    Utf16Writer writer;
    if (!reader.open(sourceCodePage, Utf16Codecs::System) || !writer.open(targetCodePage, Utf16Codecs::System)) {
        return fail(EncodeResult::CannotMeasure);
    }
    reader.start(bytes, length);
    DataBuffer units;
    uint64_t decoded = 0;
    for (;;) {
        const Utf16Reader::Read read = reader.next(units);
        if (read == Utf16Reader::Read::Failed) return fail(EncodeResult::CannotMeasure);
        decoded += units.size() / 2;
        const EncodeResult written = writer.write(units, out);
        if (written != EncodeResult::Ok) return fail(written);
        if (read == Utf16Reader::Read::Done) break;
    }
    if (decoded == 0 || !writer.finish(out)) return fail(EncodeResult::CannotMeasure);
    return true;
}

bool MultiLangImpl::platformConversion(uint32_t sourceCodePage, uint32_t targetCodePage, const uint8_t* bytes,
                                       uint32_t length, DataBuffer& out, LogBase* log) {
    std::string blanked;
    if (sourceCodePage == kUtf8 && targetCodePage == kShiftJis) {
        blanked = blankNoBreakSpaces(bytes, length);
        if (!blanked.empty()) {
            bytes = reinterpret_cast<const uint8_t*>(blanked.data());
            length = static_cast<uint32_t>(blanked.size());
        }
    }

    const bool paired = pair_.isOpen() && pairSource_ == sourceCodePage && pairTarget_ == targetCodePage;
    if (paired && length < kOneStepLimit) {
        const uint64_t room = std::max<uint64_t>(uint64_t{length} * 3, kOneStepMinRoom);
        if (pair_.convert(bytes, length, out, room)) return true;
        logError(log, "1-Step charset conversion failed");
        return false;
    }
    return twoStepConversion(sourceCodePage, targetCodePage, bytes, length, out, log);
}

// Through UTF-16 with a converter for each half. The text streams through a window of UTF-16,
// but failures are reported as if the first step had run over the whole text before the second:
// a first-step failure anywhere comes before a second-step one.
bool MultiLangImpl::twoStepConversion(uint32_t sourceCodePage, uint32_t targetCodePage, const uint8_t* bytes,
                                      uint32_t length, DataBuffer& out, LogBase* log) {
    Utf16Reader reader;
    if (!reader.open(sourceCodePage, Utf16Codecs::Platform)) {
        logUnicodeConverterFailure(log, "fromCodePage", sourceCodePage);
        logError(log, "Failed to create Unicode coverter #1");
        return false;
    }
    reader.start(bytes, length);
    DataBuffer units;
    auto firstStepFailed = [&] {
        // The system's decoder replaces what is malformed, so only a window too large for the buffer fails it.
        logError(log, sourceCodePage == kUtf8 ? "Failed to convert utf-8 to Unicode "
                                              : "Failed to convert to Unicode (1st step in 2-step conversion)");
        return false;
    };
    // Reads the rest of the text to learn whether the first step would have failed.
    auto restOfFirstStepFails = [&] {
        if (!reader.canFail()) return false;
        for (;;) {
            const Utf16Reader::Read read = reader.next(units);
            if (read == Utf16Reader::Read::Failed) return true;
            if (read == Utf16Reader::Read::Done) return false;
        }
    };

    Utf16Writer writer;
    if (!writer.open(targetCodePage, Utf16Codecs::Platform)) {
        if (restOfFirstStepFails()) return firstStepFailed();
        logUnicodeConverterFailure(log, "toCodePage", targetCodePage);
        logError(log, "Failed to create Unicode coverter #2");
        return false;
    }
    const uint32_t start = out.size();
    for (;;) {
        const Utf16Reader::Read read = reader.next(units);
        if (read == Utf16Reader::Read::Failed) {
            out.shrinkTo(start);
            return firstStepFailed();
        }
        const bool written = writer.write(units, out) == EncodeResult::Ok;
        if (!written || (read == Utf16Reader::Read::Done && !writer.finish(out))) {
            out.shrinkTo(start);
            if (read != Utf16Reader::Read::Done && restOfFirstStepFails()) return firstStepFailed();
            logError(log, "Failed to convert from Unicode (2nd step in 2-step conversion)");
            return false;
        }
        if (read == Utf16Reader::Read::Done) return true;
    }
}

bool MultiLangImpl::FromUnicode(uint32_t targetCodePage, const void* utf16, uint32_t length, DataBuffer& out,
                                LogBase* log) {
    const uint32_t start = out.size();
    try {
        if (length == 0) return true;
        if (targetCodePage == kUtf16) return appendWithRoom(out, utf16, length);
        if (targetCodePage == kUtf8 || targetCodePage == kLatin1) {
            return encodeWithSystem(targetCodePage, utf16, length, out, log);
        }
        const uint8_t* units = static_cast<const uint8_t*>(utf16);
        if (length >= 2 && units[0] == 0xFF && units[1] == 0xFE) {
            units += 2;
            length -= 2;
        }
        IconvConverter converter;
        if (!converter.open(kUtf16, targetCodePage)) {
            logError(log, "Failed to create Unicode coverter");
            return false;
        }
        // A lone last byte is no unit.
        if (!converter.convert(units, length & ~1u, out, uint64_t{length} * 2)) {
            logError(log, "Failed to convert from Unicode");
            logDataLong(log, "toCodePage", targetCodePage);
            return false;
        }
        return true;
    } catch (...) {
        out.shrinkTo(start);
        logError(log, "Character conversion from Unicode failed");
        return false;
    }
}

bool MultiLangImpl::ToUnicode(uint32_t sourceCodePage, const void* bytes, uint32_t length, DataBuffer& out,
                              LogBase* log) {
    const uint32_t start = out.size();
    try {
        if (length == 0) return true;
        if (sourceCodePage == kUtf16) return appendWithRoom(out, bytes, length);
        bool converted;
        if (sourceCodePage == kUtf8 || sourceCodePage == kLatin1) {
            converted = decodeCodePage(sourceCodePage, bytes, length, out);
        } else {
            IconvConverter converter;
            if (!converter.open(sourceCodePage, kUtf16)) {
                logError(log, "Failed to create Unicode coverter");
                return false;
            }
            converted = converter.convert(bytes, length, out, uint64_t{length} * 4);
        }
        if (!converted) {
            logError(log, "Failed to convert to Unicode");
            logDataLong(log, "fromCodePage", sourceCodePage);
        }
        return converted;
    } catch (...) {
        out.shrinkTo(start);
        logError(log, "Character conversion to Unicode failed");
        return false;
    }
}

}  // namespace quorvel

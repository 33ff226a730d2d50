#include "stream/utf8_feed.h"

#include <string>
#include <string_view>

#include "charset/charset_convert.h"
#include "core/data_buffer.h"
#include "core/log_base.h"
#include "xml/convert_to_utf8.h"

namespace quorvel {
namespace {

constexpr uint32_t kUtf16Le = 1200, kUtf16Be = 1201;

bool isMarkupCutPage(uint32_t cp) {
    switch (cp) {
        case 932: case 936: case 949: case 950: case 20932: case 20936: case 20949:
        case 51932: case 51936: case 51949: case 51950: case 54936:
            return true;
        default:
            return false;
    }
}

bool isLineCutPage(uint32_t cp) {
    switch (cp) {
        case 1361: case 50220: case 50221: case 50222: case 50225: case 50227: case 50229: case 52936: case 65000:
            return true;
        default:
            return false;
    }
}

bool isUncuttablePage(uint32_t cp) { return cp >= 50930 && cp <= 50939; }

}  // namespace

Utf8Feed::Utf8Feed() = default;
Utf8Feed::~Utf8Feed() = default;

size_t Utf8Feed::begin(const uint8_t* b, size_t n, LogBase* log) {
    mode_ = Mode::kAsIs;
    cut_ = Cut::kAnywhere;
    std::string from;
    size_t skip = 0;
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        mode_ = Mode::kFromUtf16;
        skip = 2;
    } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        from = "unicodefffe";
        skip = 2;
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        return 3;
    } else {
        from = declaredEncoding(std::string_view(reinterpret_cast<const char*>(b), n));
        if (from.empty()) return 0;
    }
    convert_ = std::make_unique<CharsetConvert>(log);
    convert_->SetToCharset("utf-8");
    if (mode_ == Mode::kFromUtf16) {
        cut_ = Cut::kUnits;
        return skip;
    }
    convert_->SetFromCharset(from.c_str(), log);
    // A document declared in UTF-8 would only be copied: it stays as it is.
    if (skip == 0 && convert_->ConvertsUnchanged()) {
        convert_.reset();
        return 0;
    }
    mode_ = Mode::kConvert;
    const uint32_t cp = convert_->sourceCodePage();
    bigEndian_ = cp == kUtf16Be;
    if (cp == kUtf16Le || cp == kUtf16Be) {
        cut_ = Cut::kUnits;
    } else if (isMarkupCutPage(cp)) {
        cut_ = Cut::kMarkup;
    } else if (isLineCutPage(cp)) {
        cut_ = Cut::kLines;
    } else if (isUncuttablePage(cp)) {
        cut_ = Cut::kNowhere;
    }
    return skip;
}

size_t Utf8Feed::cutPoint(const uint8_t* p, size_t n) const {
    switch (cut_) {
        case Cut::kAnywhere:
            return n;
        case Cut::kUnits: {
            size_t k = n & ~size_t{1};
            if (k >= 2) {
                const unsigned unit = bigEndian_ ? (p[k - 2] << 8 | p[k - 1]) : (p[k - 1] << 8 | p[k - 2]);
                if (unit >= 0xD800 && unit <= 0xDBFF) k -= 2;  // its low surrogate is still to come
            }
            return k;
        }
        case Cut::kMarkup:
            for (size_t k = n; k > 0; --k) {
                if (p[k - 1] == '<') return k - 1;
                if (p[k - 1] == '>' || p[k - 1] == '\n') return k;
            }
            return 0;
        case Cut::kLines:
            for (size_t k = n; k > 0; --k) {
                if (p[k - 1] == '\n') return k;
            }
            return 0;
        case Cut::kNowhere:
            return 0;
    }
    return 0;
}

bool Utf8Feed::convert(const uint8_t* p, size_t n, bool last, DataBuffer& out, size_t& used, LogBase* log) {
    used = last ? n : cutPoint(p, n);
    if (mode_ == Mode::kAsIs) {
        out.append(p, static_cast<uint32_t>(used));
        return true;
    }
    if (used == 0) return true;
    const bool ok = mode_ == Mode::kFromUtf16 ? convert_->FromUtf16(p, static_cast<uint32_t>(used), out, log)
                                              : convert_->Convert(p, static_cast<uint32_t>(used), out, log);
    if (!ok && log) log->LogError("Failed to convert XML data to utf-8 internal representation");
    return ok;
}

uint64_t Utf8Feed::syncPoint(const uint8_t* p, size_t n, uint64_t offset, int before, uint64_t at) const {
    // The byte at an absolute offset k (offset - 1 is `before`).
    auto byteAt = [&](uint64_t k) { return k >= offset ? int{p[k - offset]} : before; };
    const uint64_t end = offset + n;
    switch (cut_) {
        case Cut::kAnywhere:
            return at <= end ? at : kNotFound;
        case Cut::kUnits: {
            uint64_t k = (at + 1) & ~uint64_t{1};
            if (k + 2 > end) return kNotFound;
            const unsigned unit = bigEndian_ ? (byteAt(k) << 8 | byteAt(k + 1)) : (byteAt(k + 1) << 8 | byteAt(k));
            if (unit >= 0xDC00 && unit <= 0xDFFF) k += 2;  // the second half of a pair
            return k;
        }
        case Cut::kMarkup:
            for (uint64_t k = at; k < end; ++k) {
                const int previous = k > 0 ? byteAt(k - 1) : '\n';
                if (byteAt(k) == '<' || previous == '>' || previous == '\n') return k;
            }
            return kNotFound;
        case Cut::kLines:
            for (uint64_t k = at; k < end; ++k) {
                if (k == 0 || byteAt(k - 1) == '\n') return k;
            }
            return kNotFound;
        case Cut::kNowhere:
            return kNotFound;
    }
    return kNotFound;
}

}  // namespace quorvel

#pragma once
// The conversion service between code pages, built over the C library's iconv.

#include <cstdint>

#include "charset/iconv_converter.h"
#include "charset/multi_lang.h"

namespace quorvel {

// A code page that iconv has no converter for behaves as one the platform cannot create a
// converter for. Nothing is approximated: a character the target lacks fails the conversion,
// and so do bytes that are invalid in the source. The one exception is the system's own encoder
// for 28591, used where the platform uses its code-page encoder, which writes '?' for a
// character that ISO-8859-1 lacks.
class MultiLangImpl final : public MultiLang {
public:
    MultiLangImpl() = default;
    ~MultiLangImpl() override = default;
    MultiLangImpl(const MultiLangImpl&) = delete;
    MultiLangImpl& operator=(const MultiLangImpl&) = delete;

    bool Convert(uint32_t sourceCodePage, uint32_t targetCodePage, const void* bytes, uint32_t length, DataBuffer& out,
                 LogBase* log) override;
    bool ConvertDirect(uint32_t sourceCodePage, uint32_t targetCodePage, const void* bytes, uint32_t length,
                       DataBuffer& out, LogBase* log) override;
    bool FromUnicode(uint32_t targetCodePage, const void* utf16, uint32_t length, DataBuffer& out,
                     LogBase* log) override;
    bool ToUnicode(uint32_t sourceCodePage, const void* bytes, uint32_t length, DataBuffer& out,
                   LogBase* log) override;

    // Inputs of this many bytes or more never go through the pair converter in one step.
    static constexpr uint32_t kOneStepLimit = 307200;
    // Least output room of a one-step conversion.
    static constexpr uint32_t kOneStepMinRoom = 150000;

    // The code pages the cached pair converter was made for, and whether it exists.
    uint32_t pairSourceCodePage() const { return pairSource_; }
    uint32_t pairTargetCodePage() const { return pairTarget_; }
    bool hasPairConverter() const { return pair_.isOpen(); }

private:
    IconvConverter* pairConverter(uint32_t sourceCodePage, uint32_t targetCodePage);
    bool convertThroughSystem(uint32_t sourceCodePage, uint32_t targetCodePage, const uint8_t* bytes, uint32_t length,
                              DataBuffer& out, LogBase* log);
    bool platformConversion(uint32_t sourceCodePage, uint32_t targetCodePage, const uint8_t* bytes, uint32_t length,
                            DataBuffer& out, LogBase* log);
    bool twoStepConversion(uint32_t sourceCodePage, uint32_t targetCodePage, const uint8_t* bytes, uint32_t length,
                           DataBuffer& out, LogBase* log);

    IconvConverter pair_;
    uint32_t pairSource_ = 28591;
    uint32_t pairTarget_ = 28591;
};

}  // namespace quorvel

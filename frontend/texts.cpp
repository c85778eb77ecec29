#include "frontend/texts.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "core/cartridge.h"
#include "core/cartridge_header.h"

namespace wenlo::ui {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::optional<int32_t> ParseHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
        value = value * 16 + uint32_t(d);
    }
    return int32_t(value);  // eight digits wrap to a negative number, as typed
}

// Accepts [sign] digits [. digits] [e [sign] digits] and nothing else, so
// that from_chars's other forms (hex floats, "inf", "nan") are not taken.
bool IsDecimalNumber(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t mantissa = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++mantissa;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++mantissa;
    }
    if (mantissa == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == s.size();
}

}  // namespace

std::string RomInfoText(const std::vector<uint8_t>& image) {
    std::string title;
    for (size_t i = cart::kTitleOffset;
         i < cart::kTitleOffset + cart::kTitleLength && i < image.size() && image[i]; ++i)
        title += char(image[i]);
    std::string text = "ROM Info\r\n\r\nInternal Name: " + title + "\r\nComplement Check: ";
    if (image.size() > cart::kChecksumHighOffset)
        text += Hex(image[cart::kChecksumHighOffset] * 256 + image[cart::kComplementOffset]);
    return text;
}

DumpFlags FlagsOfDump(std::string_view dump) {
    const size_t at = dump.find("AF=$");
    if (at == std::string_view::npos) return {};
    const std::optional<int32_t> af = ParseHex(dump.substr(at + 4, dump.find(' ', at) - at - 4));
    if (!af) return {};
    const uint32_t f = uint32_t(*af) & 0xFF;
    return {bool(f & 0x80), bool(f & 0x40), bool(f & 0x20), bool(f & 0x10)};
}

std::optional<int32_t> ParseAddress(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.size() >= 2 && text[0] == '&' && (text[1] == 'H' || text[1] == 'h'))
        return ParseHex(text.substr(2));
    if (!text.empty() && text[0] == '$') return ParseHex(text.substr(1));
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseHex(text.substr(2));
    if (!IsDecimalNumber(text)) return std::nullopt;
    // from_chars ignores the C locale, which Qt sets from the environment (a
    // German desktop would otherwise read "1.5" differently).
    if (text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    // nearbyint rounds in the current mode, which is to nearest, halves to even.
    const double rounded = std::nearbyint(value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
    return int32_t(rounded);
}

}  // namespace wenlo::ui

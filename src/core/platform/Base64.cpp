#include "platform/Base64.h"

#include <algorithm>
#include <openssl/evp.h>

namespace envio {
namespace {

constexpr std::size_t kMimeLine = 76;
// Whole lines of input at a time: 57 bytes make 76 characters.
constexpr std::size_t kMimeLineBytes = kMimeLine / 4 * 3;

void encodeInto(std::string_view bytes, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + (bytes.size() + 2) / 3 * 4 + 1);
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data() + start),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(start + static_cast<std::size_t>(n));
}

} // namespace

std::string base64(std::string_view bytes) {
    std::string out;
    encodeInto(bytes, out);
    return out;
}

std::string base64Url(std::string_view bytes) {
    std::string out = base64(bytes);
    std::replace(out.begin(), out.end(), '+', '-');
    std::replace(out.begin(), out.end(), '/', '_');
    out.erase(out.find_last_not_of('=') + 1);
    return out;
}

// Each line is encoded straight into its place: an attachment is thousands of lines, and the
// string is sized once.
std::string base64Mime(std::string_view bytes) {
    const std::size_t lines = (bytes.size() + kMimeLineBytes - 1) / kMimeLineBytes;
    std::string out((bytes.size() + 2) / 3 * 4 + 2 * lines + 1, '\0');
    auto* to = reinterpret_cast<unsigned char*>(out.data());
    const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size(); at += kMimeLineBytes) {
        const auto n = static_cast<int>(std::min(kMimeLineBytes, bytes.size() - at));
        to += EVP_EncodeBlock(to, from + at, n); // its closing NUL goes under the line break
        *to++ = '\r';
        *to++ = '\n';
    }
    out.resize(static_cast<std::size_t>(to - reinterpret_cast<unsigned char*>(out.data())));
    return out;
}

} // namespace envio

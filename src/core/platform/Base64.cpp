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

Base64MimeStream::Base64MimeStream(std::string_view bytes) : bytes_(bytes) {}

std::size_t Base64MimeStream::size() const {
    const std::size_t lines = (bytes_.size() + kMimeLineBytes - 1) / kMimeLineBytes;
    return (bytes_.size() + 2) / 3 * 4 + 2 * lines;
}

// Whole lines go straight into the reader's room; only one that does not fit is encoded aside
// and handed over in parts.
std::size_t Base64MimeStream::read(char* to, std::size_t room) {
    const std::size_t pending = std::min(room, lineEnd_ - lineSent_);
    std::copy_n(line_ + lineSent_, pending, to);
    lineSent_ += pending;
    std::size_t given = pending;
    const auto* from = reinterpret_cast<const unsigned char*>(bytes_.data());
    while (given < room && encoded_ < bytes_.size()) {
        const auto n = static_cast<int>(std::min(kMimeLineBytes, bytes_.size() - encoded_));
        const bool fits = room - given >= kMimeLine + 2;
        auto* line = reinterpret_cast<unsigned char*>(fits ? to + given : line_);
        // Its closing NUL goes under the line break.
        const auto length = static_cast<std::size_t>(EVP_EncodeBlock(line, from + encoded_, n));
        line[length] = '\r';
        line[length + 1] = '\n';
        encoded_ += static_cast<std::size_t>(n);
        if (fits) {
            given += length + 2;
        } else {
            lineEnd_ = length + 2;
            lineSent_ = std::min(room - given, lineEnd_);
            std::copy_n(line_, lineSent_, to + given);
            given += lineSent_;
        }
    }
    return given;
}

void Base64MimeStream::rewind() {
    encoded_ = 0;
    lineSent_ = 0;
    lineEnd_ = 0;
}

} // namespace envio

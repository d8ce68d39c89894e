#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace envio {

// Base64 (RFC 4648) of some bytes, on one line, with its padding.
std::string base64(std::string_view bytes);

// The URL-safe alphabet without padding (RFC 4648, section 5), as OAuth2's PKCE asks for.
std::string base64Url(std::string_view bytes);

// The body of a MIME part in base64, lines of 76 characters ended by CRLF (RFC 2045), handed over
// in pieces of whatever size the reader asks for: a sender's read callback fills its own buffer
// with it, so the whole text of an attachment is never held at once.
class Base64MimeStream {
public:
    // `bytes` must outlive the stream.
    explicit Base64MimeStream(std::string_view bytes);
    // Of the whole text.
    [[nodiscard]] std::size_t size() const;
    // The next piece, at most `room` characters; 0 at the end.
    std::size_t read(char* to, std::size_t room);
    void rewind();

private:
    std::string_view bytes_;
    std::size_t encoded_ = 0; // bytes already turned into lines
    // A line that did not fit whole in the reader's room, and how much of it went.
    char line_[80] = {};
    std::size_t lineSent_ = 0;
    std::size_t lineEnd_ = 0;
};

} // namespace envio

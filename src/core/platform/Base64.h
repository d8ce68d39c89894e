#pragma once

#include <string>
#include <string_view>

namespace envio {

// Base64 (RFC 4648) of some bytes, on one line, with its padding.
std::string base64(std::string_view bytes);

// The URL-safe alphabet without padding (RFC 4648, section 5), as OAuth2's PKCE asks for.
std::string base64Url(std::string_view bytes);

// The body of a MIME part in base64: lines of 76 characters ended by CRLF (RFC 2045).
std::string base64Mime(std::string_view bytes);

} // namespace envio

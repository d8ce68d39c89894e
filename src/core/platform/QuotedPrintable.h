#pragma once

#include <string>
#include <string_view>

namespace envio {

// A text part's body in quoted-printable (RFC 2045, section 6.7), from text in CRLF lines: each
// CRLF stays a line break, no line of the result is longer than 76 characters, a space or tab
// that ends a line is encoded, since mail systems strip it, and so is a dot that starts one.
//
// Written here rather than left to curl's own encoder: curl cannot tell beforehand how long its
// encoding will be, so a message with such a part has no known size, and without it the sender
// cannot tell when the message's data have all gone (see MensajeSmtp::alEntregarDatos).
std::string quotedPrintable(std::string_view texto);

} // namespace envio

#pragma once

#include <string>

namespace envio::test {

// What a mail client makes of a received message.
struct ReadMessage {
    std::string subject, from, to;
    std::string readReceiptTo; // Disposition-Notification-To
    std::string headerNames;   // one a line, in order
    std::string body;          // the plain-text body, decoded
    int attachments = 0;
    std::string attachmentName; // the first attachment's file name, decoded
    std::string attachment;     // and its bytes
};

// Reads `raw` (as the test mail server saved it) with Python's email package under its strict
// policy (tools/mailserver/read_message.py), so that what the program writes is checked by a
// reader it does not share code with. Throws std::runtime_error when the reader fails, which a
// malformed message makes it do.
ReadMessage readAsMailClient(const std::string& raw);

} // namespace envio::test

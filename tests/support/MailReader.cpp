#include "MailReader.h"

#include "TemporaryFolder.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#ifndef ENVIO_MAIL_READER_SCRIPT
#error "ENVIO_MAIL_READER_SCRIPT must be the absolute path of read_message.py, as a string"
#endif

namespace envio::test {

ReadMessage readAsMailClient(const std::string& raw) {
    TemporaryFolder folder;
    folder.write("message.eml", raw);
    // Debian's interpreter, as for the test mail server: another python3 first on PATH may
    // parse differently.
    const std::string command = std::string("/usr/bin/python3 '") + ENVIO_MAIL_READER_SCRIPT +
                                "' '" + folder.path().string() + "'";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("a mail client could not read the message:\n" +
                                 raw.substr(0, 2000));
    }
    auto read = [&](const char* name) {
        return std::filesystem::exists(folder / name) ? folder.read(name) : std::string();
    };
    ReadMessage message;
    message.subject = read("subject");
    message.from = read("from");
    message.to = read("to");
    message.readReceiptTo = read("mdn");
    message.headerNames = read("headers");
    message.body = read("body");
    message.attachments = std::atoi(read("attachments").c_str());
    message.attachmentName = read("attachment-name");
    message.attachment = read("attachment");
    return message;
}

} // namespace envio::test

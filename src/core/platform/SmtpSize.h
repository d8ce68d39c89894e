#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace envio {

struct SmtpSizeQuery {
    std::string host;
    int port = 25;
    bool implicitTls = false; // TLS from the first byte (the implicit-TLS port with SSL on)
    std::optional<std::filesystem::path> caFile;
    std::chrono::seconds timeout{10};
};

// The largest message the server takes, as its EHLO reply advertises it (RFC 1870 "SIZE n"),
// asked once on a connection of its own that sends nothing but EHLO and NOOP. Nothing when the
// server names no limit (or "SIZE 0") or cannot be reached: the send itself then tells.
std::optional<std::uintmax_t> askSmtpSize(const SmtpSizeQuery& query);

// The SIZE value of an EHLO reply's lines, if any (the parsing on its own, for tests).
std::optional<std::uintmax_t> sizeFromEhlo(const std::string& ehloReply);

} // namespace envio

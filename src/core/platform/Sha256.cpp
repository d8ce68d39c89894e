#include "platform/Sha256.h"

#include <array>
#include <fstream>
#include <memory>
#include <new>
#include <openssl/evp.h>

namespace envio {
namespace {

using Context = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

Context newContext() {
    Context context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        context.reset();
    }
    return context;
}

std::optional<std::string> hexDigest(EVP_MD_CTX* context) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned length = 0;
    if (EVP_DigestFinal_ex(context, digest.data(), &length) != 1) {
        return std::nullopt;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0F];
    }
    return hex;
}

} // namespace

std::optional<std::string> sha256OfFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const Context context = newContext();
    if (!in || !context) {
        return std::nullopt;
    }
    std::array<char, 65536> buffer{};
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (in.gcount() > 0) {
            EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(in.gcount()));
        }
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return hexDigest(context.get());
}

std::string sha256OfText(std::string_view text) {
    const Context context = newContext();
    if (!context) {
        throw std::bad_alloc();
    }
    EVP_DigestUpdate(context.get(), text.data(), text.size());
    return hexDigest(context.get()).value_or(std::string());
}

} // namespace envio

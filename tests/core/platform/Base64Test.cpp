// What goes on the wire in base64: the alphabets and padding of RFC 4648, and a MIME body whose
// lines a mail server takes (at most 76 characters, CRLF).
#include "platform/Base64.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

TEST(Base64Test, Rfc4648VectorsInBothAlphabets) {
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(base64("\xfb\xff\xbf"), "+/+/");
    EXPECT_EQ(base64Url("\xfb\xff\xbf"), "-_-_");
    EXPECT_EQ(base64Url("fo"), "Zm8");
}

TEST(Base64Test, MimeBodyIsWholeLinesOfAtMost76Characters) {
    // Nothing, whole lines only, and a short last line.
    for (const std::size_t size : {0, 57, 114, 1000}) {
        std::string bytes;
        for (std::size_t i = 0; i < size; ++i) {
            bytes += static_cast<char>(i * 7);
        }
        const std::string cuerpo = base64Mime(bytes);
        std::string unido;
        std::size_t desde = 0;
        while (desde < cuerpo.size()) {
            const auto fin = cuerpo.find("\r\n", desde);
            ASSERT_NE(fin, std::string::npos) << "the last line must end too";
            EXPECT_LE(fin - desde, 76U);
            unido += cuerpo.substr(desde, fin - desde);
            desde = fin + 2;
        }
        EXPECT_EQ(unido, base64(bytes)) << size;
    }
}

} // namespace
} // namespace envio

// A text body as it goes on the wire: lines a mail server takes, nothing a relay may strip, and
// the very text back once decoded.
#include "platform/QuotedPrintable.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

// RFC 2045's reading: soft line breaks go, "=XX" is the byte XX.
std::string decodificar(const std::string& qp) {
    std::string texto;
    for (std::size_t i = 0; i < qp.size(); ++i) {
        if (qp.compare(i, 3, "=\r\n") == 0) {
            i += 2;
        } else if (qp[i] == '=') {
            texto += static_cast<char>(std::stoi(qp.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            texto += qp[i];
        }
    }
    return texto;
}

TEST(QuotedPrintableTest, LongLinesBreakWithin76CharactersWithoutSplittingAnEscape) {
    std::string texto = std::string(100, 'a') + " = ";
    for (int i = 0; i < 40; ++i) {
        texto += "ñ";
    }
    texto += "\r\ncorta\r\n" + std::string(75, 'b');
    const std::string qp = quotedPrintable(texto);
    std::size_t desde = 0;
    while (desde < qp.size()) {
        const auto fin = qp.find("\r\n", desde);
        const auto largo = (fin == std::string::npos ? qp.size() : fin) - desde;
        EXPECT_LE(largo, 76U) << qp.substr(desde, largo);
        desde = fin == std::string::npos ? qp.size() : fin + 2;
    }
    EXPECT_EQ(decodificar(qp), texto);
}

// Each of these would reach the reader changed: blanks that end a line are stripped on the way,
// a dot that starts one is doubled by SMTP (and would upset the count of what went), the rest
// are not text.
TEST(QuotedPrintableTest, WhatTheWayWouldChangeIsEncoded) {
    EXPECT_EQ(quotedPrintable("hola \r\nadiós\t"), "hola=20\r\nadi=C3=B3s=09");
    EXPECT_EQ(quotedPrintable("a=b c\x7f"), "a=3Db c=7F");
    EXPECT_EQ(quotedPrintable("x\ny\r"), "x=0Ay=0D");
    EXPECT_EQ(quotedPrintable(".\r\n.a.b"), "=2E\r\n=2Ea.b");
    // The dot that a soft line break would leave at the start of a line.
    EXPECT_EQ(quotedPrintable(std::string(75, 'x') + ".y"), std::string(75, 'x') + "=\r\n=2Ey");
}

} // namespace
} // namespace envio

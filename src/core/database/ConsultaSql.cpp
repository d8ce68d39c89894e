#include "database/ConsultaSql.h"

#include "database/Texto.h"

namespace envio {
namespace {

struct Token {
    enum class Clase { Nombre, Texto, Numero, Simbolo, Fin } clase = Clase::Fin;
    std::string texto;
    bool entreCorchetes = false; // "[Desc]" is a name, never the keyword
};

// ASCII only: the process locale (which the windows set) must not decide what a name is.
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isNameChar(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

class Lexer {
public:
    Lexer(std::string_view sql, std::string_view original) : sql_(sql), original_(original) {}

    std::vector<Token> tokens() {
        std::vector<Token> out;
        while (true) {
            skipBlanks();
            if (pos_ >= sql_.size()) {
                out.push_back({});
                return out;
            }
            out.push_back(next());
        }
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw ErrorSql("Consulta no admitida (" + why + "): " + std::string(original_));
    }

    void skipBlanks() {
        while (pos_ < sql_.size() && isBlank(sql_[pos_])) {
            ++pos_;
        }
    }

    Token next() {
        const char c = sql_[pos_];
        if (c == '\'') {
            return quoted();
        }
        if (c == '[') {
            const auto close = sql_.find(']', pos_);
            if (close == std::string_view::npos) {
                fail("falta el corchete de cierre");
            }
            Token t{Token::Clase::Nombre, std::string(sql_.substr(pos_ + 1, close - pos_ - 1)),
                    true};
            pos_ = close + 1;
            return t;
        }
        if (isDigit(c) || c == '-' || c == '.') {
            return number();
        }
        if (isNameChar(c)) {
            const std::size_t start = pos_;
            while (pos_ < sql_.size() && isNameChar(sql_[pos_])) {
                ++pos_;
            }
            return {Token::Clase::Nombre, std::string(sql_.substr(start, pos_ - start))};
        }
        if (c == '*' || c == '=' || c == ',' || c == ';') {
            ++pos_;
            return {Token::Clase::Simbolo, std::string(1, c)};
        }
        fail(std::string("símbolo inesperado '") + c + "'");
    }

    Token quoted() {
        std::string text;
        ++pos_;
        while (true) {
            if (pos_ >= sql_.size()) {
                fail("falta la comilla de cierre");
            }
            if (sql_[pos_] == '\'') {
                if (pos_ + 1 < sql_.size() && sql_[pos_ + 1] == '\'') {
                    text += '\'';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return {Token::Clase::Texto, text};
            }
            text += sql_[pos_++];
        }
    }

    Token number() {
        const std::size_t start = pos_;
        ++pos_;
        while (pos_ < sql_.size() && (isDigit(sql_[pos_]) || sql_[pos_] == '.')) {
            ++pos_;
        }
        Token t{Token::Clase::Numero, std::string(sql_.substr(start, pos_ - start))};
        if (!Valor::numero(t.texto).comoNumero()) {
            fail("número mal escrito '" + t.texto + "'");
        }
        return t;
    }

    std::string_view sql_;
    std::string_view original_;
    std::size_t pos_ = 0;
};

class Parser {
public:
    Parser(std::vector<Token> tokens, std::string_view original)
        : tokens_(std::move(tokens)), original_(original) {}

    ConsultaSql parse() {
        ConsultaSql q;
        if (acceptKeyword("SELECT")) {
            q.tipo = ConsultaSql::Tipo::Seleccion;
            parseFields(q);
            expectKeyword("FROM");
            q.tabla = expectName();
            if (acceptKeyword("WHERE")) {
                do {
                    q.condiciones.push_back(parseCondition());
                } while (acceptKeyword("AND"));
            }
            if (acceptKeyword("ORDER")) {
                expectKeyword("BY");
                Orden orden{expectName()};
                if (acceptKeyword("DESC")) {
                    orden.descendente = true;
                } else {
                    acceptKeyword("ASC");
                }
                q.orden = orden;
            }
        } else if (acceptKeyword("DELETE")) {
            q.tipo = ConsultaSql::Tipo::Borrado;
            acceptSymbol("*");
            expectKeyword("FROM");
            q.tabla = expectName();
        } else {
            fail("sólo SELECT y DELETE");
        }
        acceptSymbol(";");
        if (peek().clase != Token::Clase::Fin) {
            fail("sobra '" + peek().texto + "'");
        }
        return q;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw ErrorSql("Consulta no admitida (" + why + "): " + std::string(original_));
    }

    const Token& peek() const { return tokens_[pos_]; }

    bool isKeyword(const Token& t, std::string_view keyword) const {
        return t.clase == Token::Clase::Nombre && !t.entreCorchetes &&
               igualesSinMayusculas(t.texto, keyword);
    }

    bool acceptKeyword(std::string_view keyword) {
        if (isKeyword(peek(), keyword)) {
            ++pos_;
            return true;
        }
        return false;
    }

    void expectKeyword(std::string_view keyword) {
        if (!acceptKeyword(keyword)) {
            fail("se esperaba " + std::string(keyword));
        }
    }

    bool acceptSymbol(std::string_view symbol) {
        if (peek().clase == Token::Clase::Simbolo && peek().texto == symbol) {
            ++pos_;
            return true;
        }
        return false;
    }

    std::string expectName() {
        static constexpr std::string_view reserved[] = {"SELECT", "FROM", "WHERE", "AND", "OR",
                                                        "ORDER",  "BY",   "IS",    "NOT", "NULL",
                                                        "DELETE", "LIKE", "ASC",   "DESC"};
        const Token& t = peek();
        if (t.clase != Token::Clase::Nombre) {
            fail("se esperaba un nombre");
        }
        for (const auto word : reserved) {
            if (isKeyword(t, word)) {
                fail("se esperaba un nombre y no " + t.texto);
            }
        }
        ++pos_;
        return t.texto;
    }

    void parseFields(ConsultaSql& q) {
        if (acceptSymbol("*")) {
            return;
        }
        do {
            q.campos.push_back(expectName());
        } while (acceptSymbol(","));
    }

    Condicion parseCondition() {
        Condicion c;
        c.campo = expectName();
        if (acceptKeyword("IS")) {
            c.operador =
                acceptKeyword("NOT") ? Condicion::Operador::NoEsNulo : Condicion::Operador::EsNulo;
            expectKeyword("NULL");
            return c;
        }
        if (!acceptSymbol("=")) {
            fail("sólo se admiten = e IS NULL");
        }
        const Token& literal = peek();
        if (literal.clase == Token::Clase::Texto) {
            c.valor = Valor::texto(literal.texto);
        } else if (literal.clase == Token::Clase::Numero) {
            c.valor = Valor::numero(literal.texto);
        } else {
            fail("se esperaba un número o un texto entre comillas");
        }
        ++pos_;
        return c;
    }

    std::vector<Token> tokens_;
    std::string_view original_;
    std::size_t pos_ = 0;
};

} // namespace

ConsultaSql analizarSql(std::string_view sql) {
    return Parser(Lexer(sql, sql).tokens(), sql).parse();
}

} // namespace envio

// The deck reference (docs/deck-reference.md) against the program: every
// keyword of the keyword table and every text of a message that can end a run
// must appear in it, so that the two cannot drift apart.
//
// The messages are found in the sources under src/, not in a list kept here:
//  - a routine ends the run when it calls stop_run or a [[noreturn]]
//    routine that reaches it, or returns an exit status other than
//    kExitNormal;
//  - every text in such a routine counts, and so does every text of the
//    routines called in a stop statement and in the simple statements that
//    lead up to it (back to the first control statement of its block), such
//    as the grid size of a dimension conflict or the report of a failed file;
//  - a text is a string literal, or a quoted piece of a format literal such
//    as "(' Datei ',A20,' nicht gefunden')", without the blanks around it;
//    only texts with a blank inside count (single words are card labels,
//    file names, keywords and routine names), and texts thrown as exceptions
//    are the program's internal errors, reported as "interner Fehler".
// A new message therefore fails this test, with its file and line, until
// the reference quotes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "input/input.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

namespace fs = std::filesystem;

// ------------------------------------------------------------ C++ tokens
struct Token {
    enum Kind { Ident, Text, Punct, Other } kind;
    std::string text;  //!< identifier, punctuation, or the value of a string literal
    int line;
};

//! The tokens of a C++ source: comments, preprocessor lines and character
//! literals dropped, adjacent string literals joined, escapes resolved.
std::vector<Token> tokens_of(const std::string& src) {
    std::vector<Token> t;
    int line = 1;
    std::size_t i = 0;
    const std::size_t n = src.size();
    bool line_start = true;
    const auto is_ident = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    while (i < n) {
        const char c = src[i];
        if (c == '\n') {
            ++line, ++i, line_start = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (line_start && c == '#') {  // preprocessor line, with continuations
            while (i < n && src[i] != '\n') i += (src[i] == '\\' && i + 1 < n) ? 2 : 1;
            continue;
        }
        line_start = false;
        if (src.compare(i, 2, "//") == 0) {
            while (i < n && src[i] != '\n') ++i;
            continue;
        }
        if (src.compare(i, 2, "/*") == 0) {
            const std::size_t e = src.find("*/", i + 2);
            for (std::size_t k = i; k < std::min(e, n); ++k) line += src[k] == '\n';
            i = e == std::string::npos ? n : e + 2;
            continue;
        }
        if (c == '"' || (c == 'R' && i + 1 < n && src[i + 1] == '"')) {
            std::string value;
            if (c == 'R') {  // R"delim( ... )delim"
                const std::size_t open = std::min(src.find('(', i + 2), n);
                const std::string close = ")" + src.substr(i + 2, open - i - 2) + "\"";
                const std::size_t e = std::min(src.find(close, open), n);
                value = src.substr(std::min(open + 1, n), e - std::min(open + 1, e));
                i = std::min(e + close.size(), n);
            } else {
                for (++i; i < n && src[i] != '"'; ++i) {
                    if (src[i] != '\\') {
                        value += src[i];
                        continue;
                    }
                    const char x = src[++i];
                    value += x == 'n' ? '\n' : x == 't' ? '\t' : x;
                }
                ++i;
            }
            if (!t.empty() && t.back().kind == Token::Text) {
                t.back().text += value;
            } else {
                t.push_back({Token::Text, value, line});
            }
            continue;
        }
        if (c == '\'') {  // a character literal
            for (++i; i < n && src[i] != '\''; ++i)
                if (src[i] == '\\') ++i;
            ++i;
            t.push_back({Token::Other, "'", line});
            continue;
        }
        if (is_ident(c)) {
            std::size_t e = i;
            while (e < n && (is_ident(src[e]) || (std::isdigit(static_cast<unsigned char>(c)) && src[e] == '.'))) ++e;
            t.push_back({std::isdigit(static_cast<unsigned char>(c)) ? Token::Other : Token::Ident,
                         src.substr(i, e - i), line});
            i = e;
            continue;
        }
        t.push_back({Token::Punct, std::string(1, c), line});
        ++i;
    }
    return t;
}

// ------------------------------------------------------------ routines
struct Routine {
    std::string file;
    std::string name;
    std::size_t begin, end;  //!< token range of the body, without its braces
    const std::vector<Token>* tokens;
};

struct Sources {
    std::map<std::string, std::vector<Token>> tokens;  //!< by file
    std::vector<Routine> routines;
    std::set<std::string> noreturn;  //!< routines declared [[noreturn]]
    std::set<std::string> stopping;  //!< stop_run and the [[noreturn]] routines that reach it
};

bool is_punct(const Token& t, std::string_view p) { return t.kind == Token::Punct && t.text == p; }

//! Index of the token that closes the bracket opened at i.
std::size_t closing(const std::vector<Token>& t, std::size_t i) {
    const std::string open = t[i].text;
    const std::string close = open == "(" ? ")" : open == "{" ? "}" : "]";
    int depth = 0;
    for (std::size_t k = i; k < t.size(); ++k) {
        if (is_punct(t[k], open)) ++depth;
        if (is_punct(t[k], close) && --depth == 0) return k;
    }
    return t.size();
}

//! The routine bodies of a file (outermost function bodies; lambdas and
//! local classes stay inside their routine) and the [[noreturn]] names.
void scan_file(Sources& s, const std::string& file) {
    const std::vector<Token>& t = s.tokens[file];
    for (std::size_t i = 0; i + 4 < t.size(); ++i) {
        if (!(is_punct(t[i], "[") && is_punct(t[i + 1], "[") && t[i + 2].text == "noreturn")) continue;
        for (std::size_t k = i + 3; k < t.size(); ++k)
            if (is_punct(t[k], "(")) {
                if (t[k - 1].kind == Token::Ident) s.noreturn.insert(t[k - 1].text);
                break;
            }
    }
    static const std::set<std::string> qualifiers{"const", "noexcept", "override", "final", "mutable"};
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!is_punct(t[i], "{")) continue;
        std::size_t k = i;
        while (k > 0 && t[k - 1].kind == Token::Ident && qualifiers.count(t[k - 1].text) != 0) --k;
        if (k == 0 || !is_punct(t[k - 1], ")")) continue;  // a class, namespace or initialiser
        // The name before the parameter list.
        int depth = 0;
        std::size_t p = k - 1;
        for (; p > 0; --p) {
            if (is_punct(t[p], ")")) ++depth;
            if (is_punct(t[p], "(") && --depth == 0) break;
        }
        static const std::set<std::string> statements{"if", "for", "while", "switch", "catch"};
        const std::string name = p > 0 && t[p - 1].kind == Token::Ident ? t[p - 1].text : "";
        if (statements.count(name) != 0) continue;
        const std::size_t e = closing(t, i);
        s.routines.push_back({file, name, i + 1, e, &t});
        i = e;  // what lies inside belongs to this routine
    }
}

Sources read_sources() {
    Sources s;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(GRUV_SOURCE_DIR) / "src")) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".cpp" && ext != ".hpp") continue;
        const std::string file = fs::relative(entry.path(), GRUV_SOURCE_DIR).string();
        s.tokens[file] = tokens_of(test::read_file(entry.path()));
    }
    for (const auto& [file, t] : s.tokens) scan_file(s, file);
    // A [[noreturn]] routine that only throws or aborts reports an internal
    // error, not a deck; the others end the run through stop_run.
    s.stopping.insert("stop_run");
    for (bool grown = true; grown;) {
        grown = false;
        for (const Routine& r : s.routines) {
            if (s.noreturn.count(r.name) == 0 || s.stopping.count(r.name) != 0) continue;
            bool stops = false;
            for (std::size_t i = r.begin; i < r.end && !stops; ++i)
                stops = (*r.tokens)[i].kind == Token::Ident && s.stopping.count((*r.tokens)[i].text) != 0;
            if (stops) s.stopping.insert(r.name);
            grown = grown || stops;
        }
    }
    return s;
}

bool is_failure_status(const Token& t) {
    return t.kind == Token::Ident &&
           (t.text == "kExitInput" || t.text == "kExitAborted" || t.text == "kExitInternal" || t.text == "kExitWrite");
}

//! Where a routine ends the run: its calls of stop_run and of the routines
//! that always reach it, and its return statements that name a failure status.
std::vector<std::size_t> stops_in(const Sources& s, const Routine& r) {
    const auto& t = *r.tokens;
    std::vector<std::size_t> at;
    for (std::size_t i = r.begin; i < r.end; ++i) {
        if (t[i].kind == Token::Ident && s.stopping.count(t[i].text) != 0 && is_punct(t[i + 1], "(")) at.push_back(i);
        if (is_failure_status(t[i])) {
            std::size_t k = i;  // back to the start of the statement it stands in
            bool returned = false;
            while (k > r.begin && !is_punct(t[k - 1], ";") && !is_punct(t[k - 1], "{") && !is_punct(t[k - 1], "}")) {
                --k;
                if (t[k].text == "return") returned = true;
            }
            if (returned) at.push_back(i);
        }
    }
    return at;
}

//! The routines called in the stop statement at token i and in the
//! statements that lead up to it: back over the simple statements of its
//! block (calls, assignments, declarations) to the first control statement
//! or block. Only the stop statement when it is the body of a condition or
//! loop, whose statements before it run whether or not it stops.
std::vector<std::string> calls_before(const Routine& r, std::size_t i) {
    const auto& t = *r.tokens;
    std::vector<std::string> names;
    const auto statement_start = [&](std::size_t k) {
        int depth = 0;
        while (k > r.begin) {
            const Token& p = t[k - 1];
            if (is_punct(p, ")") || is_punct(p, "]")) ++depth;
            if ((is_punct(p, "(") || is_punct(p, "[")) && depth > 0) --depth;
            if (depth == 0 && (is_punct(p, ";") || is_punct(p, "{") || is_punct(p, "}"))) break;
            --k;
        }
        return k;
    };
    static const std::set<std::string> control{"if",   "else",  "for",      "while", "do",   "switch", "case",
                                               "default", "return", "break", "continue", "goto", "try"};
    static const std::set<std::string> not_calls{"if", "for", "while", "switch", "return", "sizeof", "catch"};
    const auto calls_in = [&](std::size_t from, std::size_t to) {
        for (std::size_t p = from; p + 1 < to; ++p)
            if (t[p].kind == Token::Ident && is_punct(t[p + 1], "(") && not_calls.count(t[p].text) == 0)
                names.push_back(t[p].text);
    };
    std::size_t k = statement_start(i);
    std::size_t stop_end = i;
    while (stop_end < r.end && !is_punct(t[stop_end], ";")) ++stop_end;
    calls_in(i + 1, stop_end);
    if (control.count(t[k].text) != 0) return names;
    while (k > r.begin && is_punct(t[k - 1], ";")) {
        const std::size_t end = k - 1;
        const std::size_t start = statement_start(end);
        if (start == end || control.count(t[start].text) != 0) break;
        calls_in(start, end);
        k = start;
    }
    return names;
}

//! The texts of a string literal: the quoted pieces of a format, or the
//! literal itself; trimmed.
std::vector<std::string> texts_of(const std::string& literal) {
    const auto trim = [](std::string s) {
        const std::size_t a = s.find_first_not_of(" \n\t");
        if (a == std::string::npos) return std::string();
        return s.substr(a, s.find_last_not_of(" \n\t") - a + 1);
    };
    std::vector<std::string> pieces;
    const std::string whole = trim(literal);
    if (whole.size() >= 2 && whole.front() == '(' && whole.back() == ')') {
        for (std::size_t q = whole.find('\''); q != std::string::npos; q = whole.find('\'', q + 1)) {
            std::string piece;
            for (++q; q < whole.size(); ++q) {
                if (whole[q] != '\'') {
                    piece += whole[q];
                } else if (q + 1 < whole.size() && whole[q + 1] == '\'') {
                    piece += '\'', ++q;
                } else {
                    break;
                }
            }
            pieces.push_back(trim(piece));
        }
    } else {
        pieces.push_back(whole);
    }
    std::vector<std::string> texts;
    for (const std::string& p : pieces)
        if (p.find(' ') != std::string::npos &&
            std::any_of(p.begin(), p.end(), [](unsigned char c) { return std::isalpha(c) != 0; }))
            texts.push_back(p);
    return texts;
}

struct Message {
    std::string text, where;
    bool operator<(const Message& o) const { return text < o.text || (text == o.text && where < o.where); }
};

//! Every text of a message that can end a run, with its place.
std::set<Message> stop_messages(const Sources& s) {
    std::set<const Routine*> reporting;
    for (const Routine& r : s.routines) {
        const auto stops = stops_in(s, r);
        if (stops.empty()) continue;
        reporting.insert(&r);
        for (const std::size_t i : stops)
            for (const std::string& name : calls_before(r, i))
                for (const Routine& callee : s.routines)
                    if (callee.name == name) reporting.insert(&callee);
    }
    std::set<Message> found;
    for (const Routine* r : reporting) {
        const auto& t = *r->tokens;
        for (std::size_t i = r->begin; i < r->end; ++i) {
            if (t[i].kind == Token::Ident && t[i].text == "throw") {
                // An exception of the program's own logic ends as "interner Fehler".
                while (i < r->end && !is_punct(t[i], ";")) ++i;
                continue;
            }
            if (t[i].kind != Token::Text) continue;
            for (std::string& text : texts_of(t[i].text)) found.insert({text, r->file + ":" + std::to_string(t[i].line)});
        }
    }
    return found;
}

TEST(DeckReference, NamesEveryKeywordAndQuotesEveryStopMessage) {
    const std::string reference = test::source_file("docs/deck-reference.md");
    ASSERT_FALSE(reference.empty()) << "docs/deck-reference.md is missing";

    int keywords = 0;
    for (int n = 1; keyword_text(static_cast<Keyword>(n)) != "    "; ++n, ++keywords) {
        const std::string quoted = "`" + std::string(keyword_text(static_cast<Keyword>(n))) + "`";
        EXPECT_NE(reference.find(quoted), std::string::npos) << "keyword " << quoted << " is not in the reference";
    }
    EXPECT_EQ(keywords, 31);

    const Sources sources = read_sources();
    const std::set<Message> messages = stop_messages(sources);
    std::string missing;
    for (const Message& m : messages)
        if (reference.find(m.text) == std::string::npos) missing += "  " + m.where + ": \"" + m.text + "\"\n";
    EXPECT_TRUE(missing.empty()) << "texts of messages that end a run, not quoted in docs/deck-reference.md:\n"
                                 << missing;

    // The search itself: messages of the card reader, the grid, the restart
    // file, the command line and the keyword check, and those written by a
    // routine called just before the stop (the grid size of a dimension
    // conflict, a failed result file), are among those found.
    for (const char* known : {"fehlerhaftes Datenformat in Karte", "unerwartet Ende der Eingabedatei erreicht in Karte",
                              "Datei GRUVWS nicht verhanden - Simulation abgebrochen", "unbekannte Option:",
                              "Anzahl der Knoten:", "konnte nicht", ". Schluesselwort:"}) {
        EXPECT_TRUE(std::any_of(messages.begin(), messages.end(),
                                [&](const Message& m) { return m.text.find(known) != std::string::npos; }))
            << known;
    }
}

}  // namespace
}  // namespace gruv

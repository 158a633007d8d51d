// The lenient JSON field reader: key search, string decoding and the
// typed readers, on texts that tools and files really produce and on
// broken ones.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "json/json_reader.h"

namespace {

std::string repeat(const std::string &s, int n) {
    std::string out;
    for (int i = 0; i < n; i++) out += s;
    return out;
}

// The whole literal, NUL bytes inside it included.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

struct Span {
    const char *text, *end;
    explicit Span(const std::string &s) : text(s.c_str()), end(s.c_str() + strlen(s.c_str())) {}
};

// The value's text from its first byte, or "(null)".
std::string found(const std::string &json, const char *key) {
    Span s(json);
    const char *v = json_find_key(s.text, s.end, key);
    return v ? std::string(v) : std::string("(null)");
}

TEST(JsonFindKey, TopLevelOnly) {
    struct Case {
        std::string json;
        const char *key;
        std::string value;
    } cases[] = {
        {R"({"state":{"ok":true},"ok":false})", "ok", "false}"},
        {R"({"a":{"ok":true}})", "ok", "(null)"},
        {R"({"error":"ok","ok":true})", "ok", "true}"},         // a value equal to the key is no key
        {"  \t\r\n{ \"interval\" :\n 5 }", "interval", "5 }"},
        {"{\"k\"\v: 1}", "k", "(null)"},                        // VT is not whitespace
        {"{\"k\"\f: 1}", "k", "(null)"},
        {"{\"k\":   ", "k", "(null)"},                          // nothing after the colon
        {R"([{"k":1}])", "k", "(null)"},
        {R"({"a":1} {"ok":true})", "ok", "true}"},              // level -1 then 0 again
        {R"({"a":"}{]","k":2})", "k", "2}"},                    // brackets in strings don't count
        {R"({"acc\u0065ss_token":"t"})", "access_token", "\"t\"}"},
        {R"("k":3)", "k", "3"},                                  // no brace: scan from the start
        {"", "k", "(null)"},
        {"   ", "k", "(null)"},
        {R"({"k)", "k", "(null)"},                               // unterminated key
        {R"({"k":1,"k":2})", "k", "1,\"k\":2}"},                 // the first match wins
        {"\xEF\xBB\xBF{\"k\":1}", "k", "1}"},                    // a byte-order mark is skipped
        {"\xEF\xBB\xBF \r\n{\"k\":1}", "k", "1}"},               // and whitespace after it
        {" \xEF\xBB\xBF{\"k\":1}", "k", "(null)"},               // only at the very start
        {"\xEF\xBB{\"k\":1}", "k", "(null)"},                    // half a mark is no mark
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(found(c.json, c.key), c.value);
    }
}

TEST(JsonFindKey, LongKeysCompareOn127Bytes) {
    std::string k127(127, 'k'), k128(128, 'k');
    EXPECT_EQ(found("{\"" + k127 + "\":1}", k127.c_str()), "1}");
    EXPECT_EQ(found("{\"" + k128 + "\":1}", k128.c_str()), "(null)");  // never found
    EXPECT_EQ(found("{\"" + k128 + "\":1}", k127.c_str()), "1}");      // cut to 127
    EXPECT_EQ(found(std::string("{\"k\":1}"), "k"), "1}");
    EXPECT_EQ(json_find_key(nullptr, nullptr, "k"), nullptr);
}

TEST(JsonFindKey, SearchStopsAtEnd) {
    std::string s = R"({"a":1,"k":2})";
    const char *end = s.c_str() + 7;  // the text ends before "k"
    EXPECT_EQ(json_find_key(s.c_str(), end, "k"), nullptr);
}

// Every reader honours end: a span cut inside a value reads only what lies
// before end, as though the text stopped there.
TEST(JsonReader, ValuesStopAtEnd) {
    struct Case {
        const char *why;
        std::string text;
        size_t len;  // the span's length
        long long num;
        int present, boolean;
        std::string str;  // json_str_field
    } cases[] = {
        {"string cut before its quote", R"({"v":"value"})", 9, 0, 1, 0, "val"},
        {"string cut right after its opening quote", R"({"v":"value"})", 6, 0, 0, 0, ""},
        {"number cut", R"({"v":12345})", 8, 123, 0, 1, "123"},
        {"quoted number cut after the quote", R"({"v":"12"})", 6, 0, 0, 0, ""},
        {"true cut to tr", R"({"v":true})", 7, 0, 0, 0, "tr"},
        {"quoted true cut", R"({"v":"true"})", 9, 0, 1, 0, "tru"},
        {"escape cut after its backslash", R"({"v":"a\n"})", 8, 0, 1, 0, "a\\"},
        {"\\u escape cut in its digits", R"({"v":"\u00e9"})", 11, 0, 1, 0, "\x0e"},
        {"surrogate pair cut", R"({"v":"\ud83d\ude00"})", 14, 0, 1, 0, "\xef\xbf\xbd\xef\xbf\xbd"},
        {"UTF-8 character cut", "{\"v\":\"a\xc3\xa9\"}", 8, 0, 1, 0, "a\xc3"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        // The span lies in a block of exactly its length: no NUL follows it.
        std::vector<char> block(c.text.begin(), c.text.begin() + c.len);
        const char *text = block.data();
        const char *end = text + block.size();
        EXPECT_EQ(json_num_field(text, end, "v"), c.num);
        EXPECT_EQ(json_str_present(text, end, "v"), c.present);
        EXPECT_EQ(json_bool_field(text, end, "v", 7), c.boolean);
        char out[64] = "preset";
        json_str_field(text, end, "v", out, sizeof out);
        EXPECT_EQ(std::string(out), c.str);
    }
}

TEST(JsonReadString, DecodesEscapes) {
    struct Case {
        std::string json;
        size_t cap;
        std::string out;
        size_t consumed;  // cursor offset afterwards
    } cases[] = {
        {R"("plain")", 64, "plain", 7},
        {R"("\b\f\n\r\t\"\\\/\q")", 64, "\b\f\n\r\t\"\\/q", 20},
        {R"("abcdef")", 4, "abc", 8},                 // cut, but consumed whole
        {R"("abc)", 64, "abc", 4},                    // unterminated: cursor at end
        {"\"ab\\", 64, "ab\\", 4},                    // backslash before end stands for itself
        // A NUL is a byte of the string, bare or escaped: U+FFFD, and the
        // string goes on to its closing quote.
        {bytes("\"ab\0cd\"x"), 64, "ab\xef\xbf\xbd" "cd", 7},
        {bytes("\"a\\\0b\""), 64, "a\xef\xbf\xbd" "b", 6},
        {R"("")", 64, "", 2},
        {R"("\u00e9")", 64, "\xc3\xa9", 8},           // UTF-8, not the low byte
        {R"("Zo\u00eb")", 64, "Zo\xc3\xab", 10},
        {R"("\u20ac")", 64, "\xe2\x82\xac", 8},
        {R"("\ud83d\ude00")", 64, "\xf0\x9f\x98\x80", 14},
        {R"("\ud83dx")", 64, "\xef\xbf\xbdx", 9},      // lone high surrogate
        {R"("\ude00")", 64, "\xef\xbf\xbd", 8},        // lone low surrogate
        {R"("\ud83d\u0041")", 64, "\xef\xbf\xbd" "A", 14},
        {R"("\u0000")", 64, "\xef\xbf\xbd", 8},        // code point 0
        {R"("\u")", 64, "\xef\xbf\xbd", 4},            // no digit reads as 0
        {R"("\u41g")", 64, "Ag", 7},                   // fewer digits: their value
        {R"("\u00E9")", 64, "\xc3\xa9", 8},
        {R"("\u0041)", 64, "A", 7},                    // ends mid-string
        {"\"\\u00", 64, "\xef\xbf\xbd", 5},            // ends mid-escape
        {R"("ab\u20ac")", 5, "ab", 10},                // a character that does not fit is dropped whole
        {R"("a\u20acb")", 5, "a\xe2\x82\xac", 10},
        {R"("\u20acb")", 3, "", 9},                    // and nothing after it is stored
        // Raw UTF-8 is cut between characters too.
        {"\"\xc3\xa9\xc3\xa9\xc3\xa9\"", 4, "\xc3\xa9", 8},
        {"\"\xc3\xa9\xc3\xa9\xc3\xa9\"", 6, "\xc3\xa9\xc3\xa9", 8},
        {"\"a\xf0\x9f\x98\x80" "b\"", 5, "a", 8},      // a 4-byte character, 3 bytes of room
        {"\"a\xf0\x9f\x98\x80" "b\"", 6, "a\xf0\x9f\x98\x80", 8},
        // Ill-formed bytes are kept as they are (the writer replaces them),
        // each run whole: E0 A0 lacks its last byte, FF begins nothing.
        {"\"\xe0\xa0x\xffy\"", 64, "\xe0\xa0x\xffy", 7},
        {"\"\xe0\xa0x\"", 2, "", 5},                   // the 2-byte run does not fit in 1
        {"\"\xc3\"", 64, "\xc3", 3},                   // a lead byte right before the quote
        // The cut looks at the decoded bytes: a raw lead byte and an
        // escaped continuation byte make one character.
        {"\"\xc3\\\xa9\"", 2, "", 5},
        {"\"\xc3\\\xa9\"", 3, "\xc3\xa9", 5},
        {R"("a\u00e9")", 3, "a", 9},                  // an escaped character is whole or absent
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.json);
        char out[64];
        memset(out, '#', sizeof out);
        const char *cursor = c.json.c_str();
        const char *end = cursor + c.json.size();
        ASSERT_EQ(json_read_string_at(&cursor, end, out, c.cap), 1);
        EXPECT_EQ(std::string(out), c.out);
        EXPECT_EQ((size_t)(cursor - c.json.c_str()), c.consumed);
    }
}

TEST(JsonReadString, RefusesWhatIsNoString) {
    char out[8] = "keep";
    const char *text = "abc";
    const char *cursor = text;
    EXPECT_EQ(json_read_string_at(&cursor, text + 3, out, sizeof out), 0);
    EXPECT_EQ(cursor, text);
    EXPECT_STREQ(out, "keep");
    const char *quote = "\"x\"";
    cursor = quote;
    EXPECT_EQ(json_read_string_at(&cursor, quote, out, sizeof out), 0);  // already at end
    EXPECT_EQ(cursor, quote);
    EXPECT_STREQ(out, "keep");
    const char *null_cursor = nullptr;
    EXPECT_EQ(json_read_string_at(&null_cursor, text + 3, out, sizeof out), 0);
}

// Escape pairs count for nothing: the first byte that is no part of one
// decides, so that a token made only of escapes (as "\n") is no token.
TEST(JsonStrPresent, SomethingBesidesEscapePairs) {
    struct Case {
        std::string value;
        int present;
    } cases[] = {
        {R"("tok")", 1},
        {R"("")", 0},
        {R"("\n")", 0},          // only an escape pair
        {R"("\t\n\"")", 0},
        {R"("\\")", 0},         // an escaped backslash is a pair too
        {R"("\n\tx")", 1},      // a plain byte after the pairs
        {R"("\u0041")", 1},      // the digits after \u are plain bytes
        {R"("\u0000")", 1},
        {R"("\u")", 0},          // \u and then the closing quote
        {"null", 0},
        {"12", 0},
        {"\"\\", 1},             // a backslash directly before end stands for itself
        {"\"\\n", 0},            // a pair that reaches end: nothing after it
        {"\"", 0},               // an unterminated empty string
        {R"({"t":"x"})", 0},     // an object holding a string is no string
        {R"(["x"])", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        std::string json = "{\"access_token\":" + c.value;
        Span s(json);
        EXPECT_EQ(json_str_present(s.text, s.end, "access_token"), c.present);
    }
    std::string none = R"({"refresh_token":"x"})";
    Span s(none);
    EXPECT_EQ(json_str_present(s.text, s.end, "access_token"), 0);
}

TEST(JsonNumField, IntegersLeniently) {
    struct Case {
        std::string value;
        long long n;
    } cases[] = {
        {"123", 123},
        {R"("123")", 123},
        {"-5", -5},
        {"1.9", 1},
        {"-", 0},
        {"+5", 0},
        {R"(" 5")", 0},
        {"null", 0},
        {"true", 0},
        {"1e3", 1},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", INT64_MAX},          // beyond the range: saturates
        {"99999999999999999999999", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"-99999999999999999999999", INT64_MIN},
        {"007", 7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        std::string json = "{\"n\":" + c.value + "}";
        Span s(json);
        EXPECT_EQ(json_num_field(s.text, s.end, "n"), c.n);
    }
    std::string none = "{}";
    Span s(none);
    EXPECT_EQ(json_num_field(s.text, s.end, "n"), 0);
}

TEST(JsonBoolField, PrefixTests) {
    struct Case {
        std::string value;
        int result;
    } cases[] = {
        {"true", 1},    {R"("true")", 1}, {"1", 1},         {R"("1")", 1},    {"10", 1},
        {"false", 0},   {"null", 0},      {"2", 0},         {"-1", 0},        {R"("TRUE")", 0},
        {R"("yes")", 0}, {"trueish", 1},  {R"("10")", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        std::string json = "{\"b\":" + c.value + "}";
        Span s(json);
        EXPECT_EQ(json_bool_field(s.text, s.end, "b", 7), c.result);
    }
    std::string none = R"({"a":{"b":true}})";
    Span s(none);
    EXPECT_EQ(json_bool_field(s.text, s.end, "b", 7), 7);
}

TEST(JsonStrField, TextsNumbersAndNull) {
    struct Case {
        std::string json;
        size_t cap;
        int result;
        std::string out;  // "preset" when untouched
    } cases[] = {
        {R"({"s":"hello"})", 256, 1, "hello"},
        {R"({"s":""})", 256, 1, ""},
        {R"({"s":null})", 256, 0, "preset"},
        {R"({"t":"x"})", 256, 0, "preset"},
        {"{\"s\":42   }", 256, 1, "42"},
        {R"({"s":[1,2]})", 256, 0, "preset"},      // an array reads as absent
        {R"({"s":{"access_token":"tok","x":1}})", 256, 0, "preset"},  // so does an object
        {R"({"s":  {}})", 256, 0, "preset"},
        {R"({"s":false})", 256, 1, "false"},
        {R"({"s":true,"x":1})", 256, 1, "true"},
        {"{\"s\": ,}", 256, 0, ""},
        {"{\"s\":" + std::string("\"") + std::string(300, 'z') + "\"}", 256, 1, std::string(255, 'z')},
        {"{\"s\":123456", 4, 1, "123"},
        // A cut at the capacity keeps whole characters, quoted or bare:
        // 200 two-byte characters leave 127 (254 bytes) in 255.
        {"{\"s\":\"" + repeat("\xc3\xa9", 200) + "\"}", 256, 1, repeat("\xc3\xa9", 127)},
        {"{\"s\":" + repeat("\xc3\xa9", 200) + "}", 256, 1, repeat("\xc3\xa9", 127)},
        {"{\"s\":\"" + repeat("\xe2\x82\xac", 100) + "\"}", 256, 1, repeat("\xe2\x82\xac", 85)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.json.substr(0, 40));
        char out[256] = "preset";
        Span s(c.json);
        EXPECT_EQ(json_str_field(s.text, s.end, "s", out, c.cap), c.result);
        EXPECT_EQ(std::string(out), c.out);
    }
}

// A NUL inside the span is a byte like any other: the keys after it are
// still found, as a tool's whole answer must be read, not its text up to
// its first NUL.
TEST(JsonReader, NulBytesInsideTheSpan) {
    struct Case {
        const char *why;
        std::string json;
        const char *key;
        int boolean;      // json_bool_field, fallback 7
        int present;      // json_str_present
        std::string str;  // json_str_field, "preset" when untouched
    } cases[] = {
        {"a NUL in an earlier string", bytes("{\"a\":\"x\0\",\"ok\":false}"), "ok", 0, 0, "false"},
        {"a NUL in an earlier key", bytes("{\"\0\":1,\"ok\":true}"), "ok", 1, 0, "true"},
        {"a token after a NUL", bytes("{\"x\":\"\0\",\"access_token\":\"t\"}"), "access_token", 0, 1, "t"},
        {"a NUL as the value's first byte", bytes("{\"s\":\"\0\"}"), "s", 0, 1, "\xef\xbf\xbd"},
        {"a NUL ends a bare value", bytes("{\"s\":12\0" "34,\"k\":1}"), "s", 1, 0, "12"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        // The span lies in a block of exactly its length: no NUL follows it.
        std::vector<char> block(c.json.begin(), c.json.end());
        const char *text = block.data();
        const char *end = text + block.size();
        EXPECT_EQ(json_bool_field(text, end, c.key, 7), c.boolean);
        EXPECT_EQ(json_str_present(text, end, c.key), c.present);
        char out[64] = "preset";
        json_str_field(text, end, c.key, out, sizeof out);
        EXPECT_EQ(std::string(out), c.str);
    }
}

TEST(JsonReader, DeepNestingAndBrokenTextsEndQuietly) {
    std::string deep(100000, '[');
    deep += "\"ok\":true";
    Span d(deep);
    EXPECT_EQ(json_bool_field(d.text, d.end, "ok", 5), 5);
    std::string closers = "{" + std::string(100000, '}') + "{\"ok\":true}";
    Span c(closers);
    EXPECT_EQ(json_bool_field(c.text, c.end, "ok", 5), 5);  // the level stays far below 0
    for (const char *broken : {"{\"a", "{\"a\\", "{\"a\":\"\\u12", "{\"a\":\"x\\", "{\"ok\"", "{\"ok\":"}) {
        SCOPED_TRACE(broken);
        std::string s = broken;
        Span b(s);
        char out[16] = "keep";
        EXPECT_EQ(json_bool_field(b.text, b.end, "ok", 3), 3);
        EXPECT_EQ(json_num_field(b.text, b.end, "a"), 0);
        json_str_field(b.text, b.end, "zz", out, sizeof out);
        EXPECT_STREQ(out, "keep");
    }
}

}  // namespace

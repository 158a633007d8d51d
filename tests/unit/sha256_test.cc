// The digest behind the pending login's name: known answers around the
// padding's block boundaries, and the short name taken from it.
#include <gtest/gtest.h>

#include <string>

#include "base/sha256.h"

namespace {

std::string hex_of(const unsigned char *p, size_t n) {
    static const char DIGITS[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; i++) {
        s += DIGITS[p[i] >> 4];
        s += DIGITS[p[i] & 15];
    }
    return s;
}

TEST(Sha256, KnownAnswers) {
    struct Case {
        const char *why;
        std::string input;
        const char *digest;
    } cases[] = {
        {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes leave no room for the length: the padding takes a second block.
        {"56 bytes", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"one whole block", std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {"many blocks and a tail", std::string(1000, 'a'),
         "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        unsigned char d[SHA256_BYTES];
        sha256(c.input.data(), c.input.size(), d);
        EXPECT_EQ(hex_of(d, sizeof d), c.digest);
    }
}

TEST(Sha256, ContentIdIsTheDigestsOpening) {
    char id[CONTENT_ID_CAP];
    content_id("abc", 3, id);
    EXPECT_EQ(std::string(id), "ba7816bf8f01cfea");
    // Two markers written in the same second differ in their code alone.
    char other[CONTENT_ID_CAP];
    content_id("{\"created\":1700000000,\"user_code\":\"AAAA-0001\"}", 46, id);
    content_id("{\"created\":1700000000,\"user_code\":\"AAAA-0002\"}", 46, other);
    EXPECT_NE(std::string(id), std::string(other));
}

}  // namespace

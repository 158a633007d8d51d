// The node password check against a model of its three ways: the header
// equal to the password; an Authorization value of optional spaces, then
// optionally the scheme word "Bearer " in any letter case and more spaces,
// and then exactly the password; the whole first pwd= value equal to the
// password as given or percent-decoded. An unset or empty password lets
// everything pass.
//
// The input picks the four texts and, for each way, whether to build a
// form that carries the password (so that passing cases are reached
// without the fuzzer having to guess the password).
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <ctype.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "cgi/auth.h"
#include "fuzz_support.h"

namespace {

bool model_bearer(const std::string &auth, const std::string &password) {
    size_t i = 0;
    while (i < auth.size() && auth[i] == ' ') i++;
    if (auth.size() - i >= 7 && strncasecmp(auth.c_str() + i, "Bearer ", 7) == 0) {
        i += 7;
        while (i < auth.size() && auth[i] == ' ') i++;
    }
    return auth.substr(i) == password;
}

// "%" and two hex digits decode to their byte; anything else stays.
std::string model_decode(const std::string &v) {
    std::string out;
    for (size_t i = 0; i < v.size(); i++) {
        if (v[i] == '%' && i + 2 < v.size() && isxdigit((unsigned char)v[i + 1]) &&
            isxdigit((unsigned char)v[i + 2])) {
            out += (char)std::stoi(v.substr(i + 1, 2), nullptr, 16);
            i += 2;
        } else {
            out += v[i];
        }
    }
    return out;
}

bool model_pwd(const std::string &query, const std::string &password) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t amp = query.find('&', start);
        std::string seg = query.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        if (seg.compare(0, 4, "pwd=") == 0) return seg.substr(4) == password || model_decode(seg.substr(4)) == password;
        if (amp == std::string::npos) break;
        start = amp + 1;
    }
    return false;
}

// The password with the bytes that `pick` selects written as %XX (upper or
// lower case digits), so that the decoded comparison is reached.
std::string percent_encoded(const std::string &password, const std::string &pick) {
    static const char UPPER[] = "0123456789ABCDEF", LOWER[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < password.size(); i++) {
        unsigned char p = pick.empty() ? 0xff : (unsigned char)pick[i % pick.size()];
        if (p & 1) {
            const char *digits = (p & 2) ? UPPER : LOWER;
            unsigned char c = (unsigned char)password[i];
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += password[i];
        }
    }
    return out;
}

std::string text(FuzzedDataProvider &in, size_t max) {
    return up_to_nul(in.ConsumeRandomLengthString(max));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    uint8_t shape = in.ConsumeIntegral<uint8_t>();
    std::string password = text(in, 400);
    std::string header = text(in, 400);
    std::string auth = text(in, 400);
    std::string query = text(in, 600);
    // Forms that carry the password, each with fuzzed surroundings.
    if (shape & 0x08) header = password;
    if (shape & 0x10) auth = auth.substr(0, 8) + password;
    if (shape & 0x20) query = query + "&pwd=" + password + header.substr(0, 3);
    if (shape & 0x80) query = query + "&pwd=" + percent_encoded(password, auth) + header.substr(0, 3);

    const char *p = (shape & 0x01) ? nullptr : password.c_str();
    const char *h = (shape & 0x02) ? nullptr : header.c_str();
    const char *a = (shape & 0x04) ? nullptr : auth.c_str();
    const char *q = (shape & 0x40) ? nullptr : query.c_str();

    bool expected = !p || password.empty() || (h && header == password) ||
                    (a && model_bearer(auth, password)) || (q && model_pwd(query, password));
    FUZZ_CHECK(password_passes(p, h, a, q) == (expected ? 1 : 0));
    return 0;
}

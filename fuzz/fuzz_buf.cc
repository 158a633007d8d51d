// The response buffer and the JSON string encoding. Four properties:
//  - buf_json writes exactly the reference encoding, which is valid JSON in
//    well-formed UTF-8 and decodes back to the input's bytes (up to its
//    first NUL) with each ill-formed part replaced by U+FFFD, and to the
//    input itself when that is well-formed;
//  - build_error writes the status line, the JSON header block and one
//    valid UTF-8 JSON object whose "error" and "detail" decode back to the
//    code and detail given (repaired the same way), "detail" present
//    exactly when the detail is not empty;
//  - any sequence of appends keeps the Buf's invariants (NUL at len,
//    len + 1 <= cap, cap 0 or 1024 * 2^k) and the same bytes as a model;
//  - a failed append is sticky: nothing is appended after it.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/buf.h"
#include "cgi/emit.h"
#include "fuzz_support.h"
#include "base/limits.h"

namespace {

void check_invariants(const Buf &b, const std::string &model) {
    if (!b.data) {
        FUZZ_CHECK(b.len == 0 && b.cap == 0);
        FUZZ_CHECK(model.empty());
        return;
    }
    FUZZ_CHECK(b.len + 1 <= b.cap && b.cap <= BUF_MAX_CAP);
    FUZZ_CHECK(b.cap >= BUF_FIRST_CAP && b.cap % BUF_FIRST_CAP == 0);
    FUZZ_CHECK(((b.cap / BUF_FIRST_CAP) & (b.cap / BUF_FIRST_CAP - 1)) == 0);
    FUZZ_CHECK(b.data[b.len] == '\0');
    FUZZ_CHECK(model == std::string(b.data, b.len));
}

void check_encoding(const std::string &raw) {
    std::string text = up_to_nul(raw);
    Buf b = {};
    FUZZ_CHECK(buf_json(&b, raw.c_str()) == 1);
    std::string written(b.data, b.len);
    FUZZ_CHECK(written == reference_json_string(text));
    FUZZ_CHECK(strict_utf8_valid(written));
    std::string decoded;
    JsonScan scan(written);
    FUZZ_CHECK(scan.string(&decoded) && scan.at_end());
    FUZZ_CHECK(decoded == reference_utf8_repair(text));
    if (strict_utf8_valid(text)) FUZZ_CHECK(decoded == text);
    buf_free(&b);
}

const int STATUSES[] = {200, 400, 500, 502};
const char *const REASONS[] = {"OK", "Bad Request", "Internal Server Error", "Bad Gateway"};

void check_error_document(int which, const std::string &code, const std::string &detail) {
    Buf b = {};
    FUZZ_CHECK(build_error(&b, STATUSES[which], REASONS[which], code.c_str(), detail.c_str()) == 1);
    std::string out(b.data, b.len);
    buf_free(&b);

    std::string head = "Status: " + std::to_string(STATUSES[which]) + " " + REASONS[which] + "\r\n" +
                       JSON_HEADER;
    FUZZ_CHECK(out.compare(0, head.size(), head) == 0);
    std::vector<JsonScan::Member> members;
    std::string body = out.substr(head.size());
    FUZZ_CHECK(strict_utf8_valid(body));
    FUZZ_CHECK(parse_document(body, &members));
    FUZZ_CHECK(members.size() == (detail.empty() ? 2u : 3u));
    FUZZ_CHECK(members[0].key == "ok" && members[0].raw == "false");
    FUZZ_CHECK(members[1].key == "error" && members[1].is_string &&
               members[1].decoded == reference_utf8_repair(code));
    if (!detail.empty()) {
        FUZZ_CHECK(members[2].key == "detail" && members[2].is_string &&
                   members[2].decoded == reference_utf8_repair(detail));
    }
}

void run_appends(FuzzedDataProvider &in) {
    Buf b = {};
    std::string model;
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 4)) {
            case 0: {
                std::string s = up_to_nul(in.ConsumeRandomLengthString(3000));
                FUZZ_CHECK(buf_adds(&b, s.c_str()) == 1);
                model += s;
                break;
            }
            case 1: {
                // Raw bytes, NULs included, through buf_addn.
                std::string s = in.ConsumeRandomLengthString(5000);
                FUZZ_CHECK(buf_addn(&b, s.data(), s.size()) == 1);
                model += s;
                break;
            }
            case 2: {
                int ch = in.ConsumeIntegral<int>();
                FUZZ_CHECK(buf_addc(&b, ch) == 1);
                model += (char)(unsigned char)ch;
                break;
            }
            case 3: {
                // A formatted append is whole, or fails when it is longer
                // than BUF_FORMAT_SCRATCH - 1 bytes; the Buf then starts over.
                std::string s = up_to_nul(in.ConsumeRandomLengthString(4000));
                std::string formatted = s + "|" + std::to_string(s.size());
                int fits = formatted.size() < BUF_FORMAT_SCRATCH;
                FUZZ_CHECK(buf_addf(&b, "%s|%d", s.c_str(), (int)s.size()) == fits);
                if (fits) {
                    model += formatted;
                    break;
                }
                FUZZ_CHECK(b.failed == 1);
                check_invariants(b, model);
                buf_free(&b);
                model.clear();
                break;
            }
            case 4: {
                std::string s = in.ConsumeRandomLengthString(300);
                FUZZ_CHECK(buf_json(&b, s.c_str()) == 1);
                model += reference_json_string(s);
                break;
            }
        }
        check_invariants(b, model);
    }
    // A need beyond the cap fails and changes nothing, and every append
    // after it fails too.
    FUZZ_CHECK(b.failed == 0);
    Buf before = b;
    FUZZ_CHECK(buf_need(&b, BUF_MAX_CAP) == 0);
    FUZZ_CHECK(b.data == before.data && b.len == before.len && b.cap == before.cap);
    FUZZ_CHECK(b.failed == 1);
    FUZZ_CHECK(buf_addc(&b, 'x') == 0 && buf_adds(&b, "") == 0 && buf_json(&b, "") == 0);
    FUZZ_CHECK(buf_addn(&b, "x", 1) == 0 && buf_addf(&b, "%d", 1) == 0);
    check_invariants(b, model);
    buf_free(&b);
    FUZZ_CHECK(b.data == nullptr && b.len == 0 && b.cap == 0 && b.failed == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    int which = in.ConsumeIntegralInRange(0, 3);
    std::string first = in.ConsumeRandomLengthString(2000);
    std::string second = in.ConsumeRandomLengthString(2000);
    check_encoding(first);
    check_error_document(which, up_to_nul(first), up_to_nul(second));
    run_appends(in);
    return 0;
}

// The POSIX command line (platform_posix.cc): whatever bytes the tool
// command holds, the line read back as a shell reads it is exactly one
// word equal to the command, then the option text, then the standard error
// redirection. The word is single-quoted text with each quote written as
// '\'' and nothing else outside quotes, so no byte of the command is ever
// interpreted. A command that does not fit is refused whole, never cut.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "fuzz_support.h"
#include "base/limits.h"
#include "platform/platform.h"

namespace {

// Reads the first shell word of line when it has the only shape that the
// quoting may produce; *rest gets what follows it.
bool read_quoted_word(const std::string &line, std::string *word, std::string *rest) {
    size_t i = 0;
    word->clear();
    while (true) {
        if (i >= line.size() || line[i] != '\'') return false;
        size_t close = line.find('\'', i + 1);
        if (close == std::string::npos) return false;
        *word += line.substr(i + 1, close - i - 1);
        i = close + 1;
        if (line.compare(i, 2, "\\'") != 0) break;
        *word += '\'';
        i += 2;
    }
    *rest = line.substr(i);
    return true;
}

const char *const ARGS[] = {"", "--status", "--start --force", "-local"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    const char *args = ARGS[in.ConsumeIntegralInRange(0, 3)];
    size_t cap = in.ConsumeBool() ? COMMAND_LINE_CAP : in.ConsumeIntegralInRange<size_t>(1, 700);
    std::string command = up_to_nul(in.ConsumeRemainingBytesAsString());

    size_t quoted = 2;
    for (char c : command) quoted += c == '\'' ? 4 : 1;
    std::string tail = args[0] ? std::string(" ") + args + " 2>/dev/null" : " 2>/dev/null";
    bool fits = quoted <= QUOTED_COMMAND_MAX && quoted + tail.size() + 1 <= cap;

    char *out = (char *)malloc(cap);
    int r = plat_command_line(command.c_str(), args, out, cap);
    FUZZ_CHECK(memchr(out, '\0', cap) != nullptr);
    FUZZ_CHECK(r == (fits ? 1 : 0));
    if (r) {
        std::string word, rest;
        FUZZ_CHECK(read_quoted_word(out, &word, &rest));
        FUZZ_CHECK(word == command);
        FUZZ_CHECK(rest == tail);
    } else {
        FUZZ_CHECK(out[0] == '\0');
    }
    free(out);
    return 0;
}

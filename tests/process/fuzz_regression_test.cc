// Inputs that the fuzz targets found crashing, kept as regression cases.
// Each runs the real code on the real platform, with the files in a fresh
// directory and tools that the shell cannot find.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/platform.h"
#include "state/status.h"

namespace {

// A credentials file in a fresh directory, every other source absent.
struct CredentialsOnly {
    std::string dir;
    explicit CredentialsOnly(const std::string &creds) {
        char tmpl[] = "/tmp/lumivane-regress-XXXXXX";
        dir = mkdtemp(tmpl);
        std::ofstream(dir + "/auth.json", std::ios::binary) << creds;
        setenv("LUMIVANE_CREDS_PATH", (dir + "/auth.json").c_str(), 1);
        setenv("LUMIVANE_PENDING_PATH", (dir + "/pending.json").c_str(), 1);
        setenv("LUMIVANE_ENV_DIR", dir.c_str(), 1);
        setenv("LUMIVANE_LOGIN_BIN", (dir + "/no-login").c_str(), 1);
        setenv("LUMIVANE_TOKEN_BIN", (dir + "/no-token").c_str(), 1);
    }
    ~CredentialsOnly() {
        unlink((dir + "/auth.json").c_str());
        rmdir(dir.c_str());
        for (const char *v : {"LUMIVANE_CREDS_PATH", "LUMIVANE_PENDING_PATH", "LUMIVANE_ENV_DIR",
                              "LUMIVANE_LOGIN_BIN", "LUMIVANE_TOKEN_BIN"})
            unsetenv(v);
    }
};

// fuzz_status: "expires_in" at the top of the 64-bit range made now +
// lifetime overflow (undefined behaviour, caught by UBSan). The expiry now
// saturates, lies in the future, and the document stays consistent.
TEST(FuzzRegression, ExpiresInAtTheLimitSaturates) {
    struct Case {
        const char *why;
        const char *creds;
        long long expires_at;  // -1: now + lifetime, checked against the clock
    } cases[] = {
        {"the crashing input's value", R"({"refr":"R","expires_in":9223372036854775807k"})", INT64_MAX},
        {"a run of digits saturated by the reader", R"({"expires_in":99999999999999999999999})", INT64_MAX},
        {"one below the limit still overflows the sum", R"({"expires_in":9223372036854775806})", INT64_MAX},
        {"an ordinary lifetime is added", R"({"expires_in":3600})", -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        CredentialsOnly world(c.creds);
        long long before = plat_now();
        Status st;
        collect_status(&st);
        long long after = plat_now();
        if (c.expires_at == -1) {
            EXPECT_GE(st.expires_at, before + 3600);
            EXPECT_LE(st.expires_at, after + 3600);
        } else {
            EXPECT_EQ(st.expires_at, c.expires_at);
        }
        EXPECT_EQ(st.expired, 0);
        Buf doc = {};
        append_status_document(&doc, &st, LEAD_PLAIN);
        std::string text(doc.data, doc.len);
        buf_free(&doc);
        EXPECT_NE(text.find(",\"expires_at\":" + std::to_string(st.expires_at) + ","), std::string::npos) << text;
    }
}

}  // namespace

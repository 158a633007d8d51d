#include "platform/tool_launch.h"

#include <string.h>

#include "base/ascii.h"

static int same(char a, char b, int ignore_case) {
    return ignore_case ? ascii_lower((unsigned char)a) == ascii_lower((unsigned char)b) : a == b;
}

// The request's variables, which never reach a tool: every CGI meta-variable
// (RFC 3875), the server extensions that carry the request (its address,
// query, document and scheme), what the common host modules derive from it
// (client certificate and TLS session, single sign-on claims and tokens,
// the client's location, the HTTP/2 stream), the request headers (HTTP_*),
// the credentials IIS passes on, and the node password. A host copies the
// query, the password in `pwd=` included, into several of them, and the
// sign-on modules put the user's own tokens into theirs.
// README.md lists the same table under Security.
enum HiddenKind {
    HIDE_NAME,    // exactly this name
    HIDE_PREFIX,  // every name that begins with it
    KEEP_NAME,    // passes although a prefix above would hide it
};

struct HiddenVariable {
    const char *name;
    HiddenKind kind;
};

static const HiddenVariable REQUEST_VARIABLES[] = {
    // RFC 3875
    {"AUTH_TYPE", HIDE_NAME},
    {"CONTENT_LENGTH", HIDE_NAME},
    {"CONTENT_TYPE", HIDE_NAME},
    {"GATEWAY_INTERFACE", HIDE_NAME},
    {"PATH_INFO", HIDE_NAME},
    {"PATH_TRANSLATED", HIDE_NAME},
    {"QUERY_STRING", HIDE_NAME},
    {"REMOTE_", HIDE_PREFIX},
    {"REQUEST_METHOD", HIDE_NAME},
    {"SCRIPT_NAME", HIDE_NAME},
    {"SERVER_", HIDE_PREFIX},
    // Server extensions (Apache core and mod_rewrite, nginx's fastcgi_params
    // as fcgiwrap passes them, lighttpd's mod_cgi)
    {"REQUEST_URI", HIDE_NAME},
    {"REQUEST_ID", HIDE_NAME},
    {"REDIRECT_", HIDE_PREFIX},
    {"SCRIPT_FILENAME", HIDE_NAME},
    {"SCRIPT_URI", HIDE_NAME},
    {"SCRIPT_URL", HIDE_NAME},
    {"SCRIPT_TRANSLATED", HIDE_NAME},
    {"ORIG_PATH_INFO", HIDE_NAME},
    {"DOCUMENT_ROOT", HIDE_NAME},
    {"DOCUMENT_URI", HIDE_NAME},
    {"REQUEST_SCHEME", HIDE_NAME},
    {"HTTPS", HIDE_NAME},
    {"CONTEXT_", HIDE_PREFIX},
    {"UNIQUE_ID", HIDE_NAME},
    // mod_ssl (and lighttpd's, and nginx configurations that copy its
    // names): client certificate, SNI, session id, cipher. OpenSSL's own
    // trust settings, which an operator may give the tools, share the
    // prefix and are no request's.
    {"SSL_", HIDE_PREFIX},
    {"SSL_CERT_FILE", KEEP_NAME},
    {"SSL_CERT_DIR", KEEP_NAME},
    // mod_auth_openidc (claims, OIDC_access_token, OIDC_id_token...),
    // mod_auth_mellon, mod_authnz_ldap
    {"OIDC_", HIDE_PREFIX},
    {"MELLON_", HIDE_PREFIX},
    {"AUTHENTICATE_", HIDE_PREFIX},
    {"AUTHORIZE_", HIDE_PREFIX},
    // mod_geoip
    {"GEOIP_", HIDE_PREFIX},
    // mod_http2
    {"HTTP2", HIDE_NAME},
    {"H2PUSH", HIDE_NAME},
    {"H2_", HIDE_PREFIX},
    // IIS's CGI module: credentials, client and server certificates, the
    // raw request (ALL_HTTP and ALL_RAW hold every header, the password's
    // included; URL and UNENCODED_URL the address)
    {"AUTH_USER", HIDE_NAME},
    {"AUTH_PASSWORD", HIDE_NAME},
    {"LOGON_USER", HIDE_NAME},
    {"CERT_", HIDE_PREFIX},
    {"CRYPT_", HIDE_PREFIX},
    {"HTTPS_KEYSIZE", HIDE_NAME},
    {"HTTPS_SECRETKEYSIZE", HIDE_NAME},
    {"HTTPS_SERVER_ISSUER", HIDE_NAME},
    {"HTTPS_SERVER_SUBJECT", HIDE_NAME},
    {"ALL_HTTP", HIDE_NAME},
    {"ALL_RAW", HIDE_NAME},
    {"URL", HIDE_NAME},
    {"UNENCODED_URL", HIDE_NAME},
    {"CACHE_URL", HIDE_NAME},
    {"IIS_WasUrlRewritten", HIDE_NAME},
    {"LOCAL_ADDR", HIDE_NAME},
    {"LOCAL_PORT", HIDE_NAME},
    {"INSTANCE_ID", HIDE_NAME},
    {"INSTANCE_META_PATH", HIDE_NAME},
    {"INSTANCE_NAME", HIDE_NAME},
    {"APPL_MD_PATH", HIDE_NAME},
    {"APPL_PHYSICAL_PATH", HIDE_NAME},
    // Request headers, and the node password
    {"HTTP_", HIDE_PREFIX},
    {"BOT_PASSWORD", HIDE_NAME},
};

// 1 when the name (n bytes) is `v`, or begins with it for a prefix.
static int name_matches(const char *name, size_t n, const HiddenVariable *v, int ignore_case) {
    size_t len = strlen(v->name);
    if (v->kind == HIDE_PREFIX ? n < len : n != len) return 0;
    for (size_t i = 0; i < len; i++) {
        if (!same(name[i], v->name[i], ignore_case)) return 0;
    }
    return 1;
}

int tool_env_passes(const char *entry, int ignore_case) {
    const char *eq = strchr(entry, '=');
    // Windows keeps per-drive directories as "=C:=C:\dir": the name starts
    // after the first byte.
    if (eq == entry) eq = strchr(entry + 1, '=');
    if (!eq) return 1;
    size_t n = (size_t)(eq - entry);
    int hidden = 0;
    for (const HiddenVariable &v : REQUEST_VARIABLES) {
        if (!name_matches(entry, n, &v, ignore_case)) continue;
        if (v.kind == KEEP_NAME) return 1;
        hidden = 1;
    }
    return !hidden;
}

// Writes dir (n bytes), a separator when dir is non-empty, name and ext
// into out. Returns 0 when it does not fit.
static int join(const char *dir, size_t n, char sep, const char *name, const char *ext, size_t ext_len,
                char *out, size_t cap) {
    size_t name_len = strlen(name);
    int add_sep = n > 0 && dir[n - 1] != sep;
    size_t need = n + (add_sep ? 1 : 0) + name_len + ext_len + 1;
    if (need > cap) return 0;
    size_t at = 0;
    memcpy(out + at, dir, n);
    at += n;
    if (add_sep) out[at++] = sep;
    memcpy(out + at, name, name_len);
    at += name_len;
    memcpy(out + at, ext, ext_len);
    at += ext_len;
    out[at] = '\0';
    return 1;
}

// Tries one search entry; 1 when a candidate passed (it is in out).
static int try_entry(const char *dir, size_t n, const char *name, const ToolSearchRules *rules,
                     ToolFileTest test, void *ctx, char *out, size_t cap) {
    if (!rules->extensions) return join(dir, n, rules->dir_sep, name, "", 0, out, cap) && test(out, ctx);
    if (strchr(name, '.') && join(dir, n, rules->dir_sep, name, "", 0, out, cap) && test(out, ctx)) return 1;
    const char *e = rules->extensions;
    while (*e) {
        const char *end = strchr(e, ';');
        size_t len = end ? (size_t)(end - e) : strlen(e);
        if (len && join(dir, n, rules->dir_sep, name, e, len, out, cap) && test(out, ctx)) return 1;
        e += len;
        if (*e == ';') e++;
    }
    return 0;
}

int tool_search(const char *name, const char *search, const ToolSearchRules *rules, ToolFileTest test,
                void *ctx, char *out, size_t cap) {
    if (cap == 0) return 0;
    out[0] = '\0';
    if (!name[0]) return 0;
    const char *at = search;
    for (;;) {
        const char *end = strchr(at, rules->list_sep);
        size_t n = end ? (size_t)(end - at) : strlen(at);
        const char *dir = at;
        // Windows lets an entry stand in double quotes.
        if (!rules->empty_is_cwd && n >= 2 && dir[0] == '"' && dir[n - 1] == '"') {
            dir++;
            n -= 2;
        }
        if ((n > 0 || rules->empty_is_cwd) && try_entry(dir, n, name, rules, test, ctx, out, cap)) return 1;
        if (!end) break;
        at = end + 1;
    }
    out[0] = '\0';
    return 0;
}

static int ends_with_ci(const char *text, const char *suffix) {
    size_t n = strlen(text), m = strlen(suffix);
    if (n < m) return 0;
    for (size_t i = 0; i < m; i++) {
        if (ascii_lower((unsigned char)text[n - m + i]) != ascii_lower((unsigned char)suffix[i])) return 0;
    }
    return 1;
}

int tool_is_batch(const char *path) { return ends_with_ci(path, ".bat") || ends_with_ci(path, ".cmd"); }

// A bounded writer: once full, every further write fails and the text is
// dropped by the caller.
struct Line {
    char *out;
    size_t cap, len;
    int ok;
};

static void put(Line *l, char c) {
    if (!l->ok || l->len + 1 >= l->cap) {
        l->ok = 0;
        return;
    }
    l->out[l->len++] = c;
    l->out[l->len] = '\0';
}

static void puts_(Line *l, const char *s) {
    for (; *s; s++) put(l, *s);
}

static int finish(Line *l) {
    if (!l->ok && l->cap) l->out[0] = '\0';
    return l->ok;
}

// One argument as the C runtime reads it back: quoted when it is empty or
// holds a space, a tab or a quote; backslashes doubled only where a quote
// follows them.
static void put_argument(Line *l, const char *arg) {
    if (arg[0] && !strpbrk(arg, " \t\n\v\"")) {
        puts_(l, arg);
        return;
    }
    put(l, '"');
    size_t slashes = 0;
    for (const char *c = arg;; c++) {
        if (*c == '\\') {
            slashes++;
            continue;
        }
        if (*c == '\0') {
            for (size_t i = 0; i < slashes * 2; i++) put(l, '\\');
            break;
        }
        size_t count = (*c == '"') ? slashes * 2 + 1 : slashes;
        for (size_t i = 0; i < count; i++) put(l, '\\');
        put(l, *c);
        slashes = 0;
    }
    put(l, '"');
}

int tool_direct_command_line(const char *path, const char *const *args, int nargs, char *out, size_t cap) {
    Line l = {out, cap, 0, cap > 0};
    if (cap) out[0] = '\0';
    if (strchr(path, '"')) l.ok = 0;
    put(&l, '"');
    puts_(&l, path);
    put(&l, '"');
    for (int i = 0; i < nargs; i++) {
        put(&l, ' ');
        put_argument(&l, args[i]);
    }
    return finish(&l);
}

static int batch_safe_path(const char *path) {
    for (const unsigned char *c = (const unsigned char *)path; *c; c++) {
        if (*c == '"' || *c == '%' || *c < 0x20 || *c == 0x7f) return 0;
    }
    return 1;
}

static int batch_safe_argument(const char *arg) {
    if (!arg[0]) return 0;
    for (const char *c = arg; *c; c++) {
        int ok = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
                 strchr("-_.=/:", *c) != nullptr;
        if (!ok) return 0;
    }
    return 1;
}

int tool_batch_command_line(const char *cmd_exe, const char *path, const char *const *args, int nargs,
                            char *out, size_t cap) {
    Line l = {out, cap, 0, cap > 0};
    if (cap) out[0] = '\0';
    if (!batch_safe_path(path) || strchr(cmd_exe, '"')) l.ok = 0;
    for (int i = 0; i < nargs; i++) {
        if (!batch_safe_argument(args[i])) l.ok = 0;
    }
    // /d: no AutoRun commands; /v:off: no delayed expansion ('!'); /s /c:
    // the first and the last quote of the rest are removed, and what is
    // left, "<path>" <args>, is the command cmd runs.
    put(&l, '"');
    puts_(&l, cmd_exe);
    puts_(&l, "\" /d /v:off /s /c \"\"");
    puts_(&l, path);
    put(&l, '"');
    for (int i = 0; i < nargs; i++) {
        put(&l, ' ');
        puts_(&l, args[i]);
    }
    put(&l, '"');
    return finish(&l);
}

// Every error code that the plugin itself writes in a document's "error"
// member, listed once, with when it is sent. Code names a code only
// through the constants below; the console's sentence table is tested
// against this list (tests/web/texts.test.mjs reads it), so a code added
// here without a sentence fails there. A tool's own codes, passed on as
// the tool wrote them, are the tool's and are not listed.
//
// One row per code: X(constant, "code"). Keep each row on one line.
#pragma once

#define LUMIVANE_ERROR_CODES(X)                                                              \
    X(ERR_CLI_UNAVAILABLE, "cli_unavailable")         /* the login tool is not installed */ \
    X(ERR_START_FAILED, "start_failed")               /* start: the login tool failed */    \
    X(ERR_START_INCOMPLETE, "start_incomplete")       /* start: no address or code */       \
    X(ERR_ALREADY_LOGGED_IN, "already_logged_in")     /* start: credentials exist */        \
    X(ERR_POLL_FAILED, "poll_failed")                 /* poll: the login tool failed */     \
    X(ERR_CANCEL_FAILED, "cancel_failed")             /* cancel: nothing was cancelled */   \
    X(ERR_REFRESH_FAILED, "refresh_failed")           /* refresh: no live token */          \
    X(ERR_REFRESH_UNAVAILABLE, "refresh_unavailable") /* the token tool is not installed */ \
    X(ERR_NOT_LOGGED_IN, "not_logged_in")             /* refresh without a session */       \
    X(ERR_CROSS_SITE_REQUEST, "cross_site_request")   /* a change asked by another site */  \
    X(ERR_HOST_NOT_ALLOWED, "host_not_allowed")       /* a Host the node does not know */   \
    X(ERR_UNKNOWN_ACTION, "unknown_action")           /* no such action */                  \
    X(ERR_INVALID_PASSWORD, "invalid node password")  /* the fixed 401 response */          \
    X(ERR_RESPONSE_FAILED, "response_failed")         /* the fixed 500 stand-in */

#define LUMIVANE_ERROR_CODE_CONSTANT(name, code) constexpr char name[] = code;
LUMIVANE_ERROR_CODES(LUMIVANE_ERROR_CODE_CONSTANT)
#undef LUMIVANE_ERROR_CODE_CONSTANT


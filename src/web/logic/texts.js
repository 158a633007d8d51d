/* Every word the console shows, keyed by a name: the fixed texts in
   TEXTS (a function where a number or a name goes in), what each error
   code means in SENTENCES. A translation is these two tables.

   The console's logic is five classic scripts that page.html loads in
   order, each adding to the one namespace ConsoleLogic: texts, format,
   answers, machine, view. Nothing in them touches the page, the network,
   storage or the clock, so tests/web/ runs them under node --test as the
   page runs them. */
(function (root) {
  'use strict';

  var L = root.ConsoleLogic = root.ConsoleLogic || {};

  var LOGIN_TOOL = 'vantorel-lumivane-login';
  var TOKEN_TOOL = 'vantorel-lumivane-fetchtoken';
  var PLUGIN = 'plugin_lumivane_login';
  var ELLIPSIS = '\u2026';
  var DOT = ' \u00b7 ';

  var TEXTS = {
    /* session notes */
    noSession: 'No session on this node yet. Start a device login below.',
    toolCheckFailed: function (sentence) { return 'The login tool\'s status check failed: ' + sentence + '.'; },
    toolUnstartable: function (command) {
      return 'The login tool this node is set to run (' + (command || LOGIN_TOOL) + ') is there but cannot be ' +
        'started: it is not an executable program. Fix LUMIVANE_LOGIN_BIN in the host\'s configuration and restart ' +
        'the host; reloading this page changes nothing.';
    },
    alreadyIn: 'This node already has LumiVane credentials. Use Re-login to replace them.',
    toolMissing: 'The login tool ' + LOGIN_TOOL + ' is not installed on this node, so no login can start. ' +
      'Install it, or set LUMIVANE_LOGIN_BIN to its path in the host\'s configuration.',
    signedInAs: function (who) { return who ? 'Signed in as ' + who + '.' : 'Signed in.'; },
    expiredNote: function (ago) { return 'Expired' + (ago ? ' ' + ago + ' ago' : '') + '. Try Refresh Token Now; if that fails, re-login.'; },
    startFailed: function (sentence) { return 'Start failed: ' + sentence + '.'; },
    refreshFailed: function (sentence) { return 'Refresh failed: ' + sentence + '.'; },
    refreshed: 'Token re-read.',
    refreshedLive: 'Token re-read. CLI confirmed a live token.',
    reachError: function (sentence) { return 'Error: ' + sentence + '.'; },
    reachRetrying: function (sentence) { return sentence + '. Retrying' + ELLIPSIS; },
    startUnreachable: function (sentence) { return 'Start failed: ' + sentence + '. Retrying' + ELLIPSIS; },
    refreshUnreachable: function (sentence) { return 'Refresh failed: ' + sentence + '. Retrying' + ELLIPSIS; },
    refreshRevoked: function (why) {
      return 'Refresh failed: the login service no longer accepts this node\'s refresh token' + (why ? ' (' + why + ')' : '') +
        '. Sign in again with Re-login.';
    },
    /* flow notes */
    signedInFlow: 'Signed in. The credential file has been written.',
    cancelled: 'Device flow cancelled.',
    cancelledElsewhere: 'This login was cancelled, perhaps from another window.',
    noMarker: 'The node shows no pending login for this code; check LUMIVANE_PENDING_PATH.',
    endedElsewhere: 'This login ended in another window.',
    replaced: 'This code was replaced by a login started elsewhere, and no longer works.',
    expired: 'The code has expired. Start a new login.',
    expiredRelogin: 'The code has expired. Press Re-login (replace) for a new one.',
    unknownCode: 'A login is pending on this node, but its code is not known in this browser. ' +
      'Cancel it, or start a new login.',
    pollError: function (sentence) { return 'Poll error: ' + sentence + '.'; },
    slowerPace: function (sec) { return 'The login service asked for a slower pace: checking every ' + sec + ' s.'; },
    loginFailed: function (sentence) { return 'Login failed: ' + sentence + '.'; },
    cancelFailed: function (sentence) { return 'Cancel failed: ' + sentence + '.'; },
    copied: 'Code copied. Open the link and approve.',
    copyOpened: 'Copy the code shown above, then approve on the page that opened.',
    copyNotOpened: 'Copy the code shown above, then open the address and approve.',
    codeShown: function (code) { return 'Your code is ' + code.split('').join(' ') + '.'; },
    copyDescribe: 'Copies the code and opens the approval page in a new tab.',
    copyHint: 'Copying is not available on this page: copy the code by hand before the page opens ' +
      '(one click on the code selects all of it).',
    confirm: 'A login is already pending on this node, started in another window or browser; ' +
      'its code is not shown here. Starting a new login replaces it, and its code stops working.',
    /* the flow card's steps and labels */
    loading: 'Checking this node' + ELLIPSIS,
    waitingNode: 'Waiting for the node to answer' + ELLIPSIS,
    requesting: 'Requesting a code' + ELLIPSIS,
    pollSignedIn: 'Signed in',
    pollCancelling: 'Cancelling' + ELLIPSIS,
    pollWaiting: 'Waiting for approval',
    pollStillWaiting: 'Still waiting for approval',
    pollTrouble: 'Having trouble checking; retrying',
    pollSlow: 'Still checking with the node' + ELLIPSIS,
    idleSignedIn: ['Signed in. ', 'Re-login (replace)', ' above starts a login that replaces this session.'],
    idleNoTool: ['No login can start here until the login tool is installed.', '', ''],
    idleUnstartable: ['No login can start here until the host can start the login tool.', '', ''],
    idleRefused: ['Nothing is asked of the node until this page is opened again.', '', ''],
    idleEnded: ['No login in progress. Press ', 'Start LumiVane Login', ' above for a new code.'],
    idle: ['No login in progress. Press ', 'Start LumiVane Login', ' above to begin.'],
    codeExpiresIn: function (left) { return 'Code expires in ' + left; },
    copyOpen: 'Copy Code & Open LumiVane',
    open: 'Open LumiVane',
    addrWithQr: 'Or open:',
    addrAlone: 'Open:',
    /* the pill */
    pillChecking: 'Checking',
    pillUnknown: 'Unknown',
    pillConnected: 'Connected',
    pillExpired: 'Expired',
    pillSigningIn: 'Signing in',
    pillNotConnected: 'Not Connected',
    /* the session rows */
    statusChecking: 'Checking',
    statusUnknown: 'Unknown',
    statusSignedIn: 'Signed in',
    statusSignedInExpired: 'Signed in (token expired)',
    statusFlow: 'Device flow in progress',
    statusSignedOut: 'Not signed in',
    none: '-',
    tokenNone: 'none',
    tokenValid: function (left) { return 'valid, expires in ' + left; },
    tokenExpired: function (ago) { return ago ? 'expired ' + ago + ' ago' : 'expired'; },
    refreshStored: 'stored (presence only)',
    refreshNotStored: 'not stored',
    profileExists: function (name) { return name + ' (exists)'; },
    profileDefault: 'grandlumivane',
    profileMissing: 'not created',
    accountDefault: 'LumiVane',
    /* the tools line, the title, the footer */
    loginToolAbsent: LOGIN_TOOL + ' is not on this node.',
    loginToolPresent: 'Login CLI present',
    loginToolFailing: 'Login CLI failing',
    loginToolUnstartable: 'Login CLI cannot be started',
    tokenTool: function (present) { return DOT + 'token CLI ' + (present ? 'present' : 'missing'); },
    title: 'lumivane',
    titleWithCode: function (code) { return code + DOT + 'lumivane'; },
    footer: PLUGIN,
    /* units of time */
    unknownTime: 'unknown',
    seconds: function (n) { return n + 's'; },
    secondsAgo: function (n) { return n + ' s'; },
    minutes: function (n) { return n + ' min'; },
    hours: function (n) { return n + ' h'; },
    hoursMinutes: function (h, m) { return h + ' h ' + m + ' min'; },
    days: function (n) { return n + ' days'; },
  };

  /* What each error code means, in words, for every code that the plugin
     or the tools behind it send. A sentence is a clause: the caller puts
     "Start failed: " or the like before it and the plugin's detail after
     it. Codes in QUIET_DETAIL come with a detail that only repeats the
     sentence; FIXED_DETAIL holds the plugin's own detail of a code for a
     tool that gave none, which a tool's error code says better. */
  var SENTENCES = {
    /* the plugin's own */
    cli_unavailable: 'the login tool ' + LOGIN_TOOL + ' is not installed on this node',
    cli_spawn_failed: 'the login tool is on this node but cannot be started',
    start_failed: 'the login tool could not start a login',
    start_incomplete: 'the login tool answered without a code or an address to approve it at',
    cross_site_request: 'the node refused a request that came from a page on another site',
    host_not_allowed: 'the node does not know the name this page was opened under; open it by the node\'s address, ' +
      'or add that name to LUMIVANE_ALLOWED_HOSTS on the node',
    poll_failed: 'the login tool could not be asked about the login',
    cancel_failed: 'the login tool did not cancel the login',
    refresh_failed: 'the token tool did not confirm a live token',
    refresh_unavailable: 'the token tool ' + TOKEN_TOOL + ' is not installed on this node',
    not_logged_in: 'there is no session to refresh, because this node is not signed in',
    unknown_action: 'the node did not understand the request; this page and the plugin may not match',
    'invalid node password': 'the node refused this page\'s password; open the console again from the node\'s own page',
    response_failed: 'the node could not put its answer together',
    /* from the login service, passed on by the login tool (RFC 8628) */
    access_denied: 'the login was denied on the approval page',
    expired_token: 'the code expired before it was approved',
    no_pending_login: 'there is no login in progress on this node',
    invalid_grant: 'the login service no longer accepts this code',
    invalid_client: 'the login service does not know this node\'s login tool',
    unauthorized_client: 'the login service does not let this node\'s login tool sign in this way',
    invalid_request: 'the login service refused the login tool\'s request',
    server_error: 'the login service had an error',
    temporarily_unavailable: 'the login service is busy; try again in a moment',
    rate_limited: 'the login service is refusing requests for a while; try again later',
    network_error: 'the login tool could not reach the login service',
    unknown_option: 'the login tool does not understand what the plugin asked of it',
    exists: 'this node already has credentials',
    already_logged_in: 'this node already has credentials',
  };
  var QUIET_DETAIL = { cli_unavailable: true, refresh_unavailable: true, unknown_action: true };
  var FIXED_DETAIL = { cancel_failed: 'login CLI rejected the cancel', refresh_failed: 'token CLI returned no token' };
  var UNKNOWN_CODE = 'the node answered with an error this page does not know';
  var NO_REASON = 'the node gave no reason';
  var UNREACHABLE = function (http) { return http ? 'can\'t reach the node (HTTP ' + http + ')' : 'can\'t reach the node'; };

  function has(obj, key) {
    return Object.prototype.hasOwnProperty.call(obj, key);
  }

  function text(v) {
    return typeof v === 'string' ? v : '';
  }

  /* The clause for an error code: its sentence, then, in one pair of
     parentheses, the reasons a reader has not read yet: a code this page
     has no sentence for, the tool's own error code (toolError, beside a
     plugin code such as cancel_failed; in words where it has a sentence)
     and the detail. Never a bare code alone, never nothing, each reason
     once. */
  function errorSentence(code, detail, toolError) {
    var c = text(code);
    var d = has(QUIET_DETAIL, c) ? '' : text(detail);
    var t = text(toolError);
    var out = has(SENTENCES, c) ? SENTENCES[c] : (c ? UNKNOWN_CODE : NO_REASON);
    var why = has(SENTENCES, c) || !c ? [] : [c];
    if (t && d === FIXED_DETAIL[c]) d = '';
    if (t && t !== c && has(SENTENCES, t)) out += ': ' + SENTENCES[t];
    else if (t && t !== c) why.push(t);
    if (d) why.push(d);
    return why.length ? out + ' (' + why.join(': ') + ')' : out;
  }

  /* The clause for any failed answer: one the plugin sent, or none. */
  function failureSentence(result) {
    if (result.kind === 'doc') return errorSentence(result.doc.error, result.doc.detail, result.doc.tool_error);
    return UNREACHABLE(result.http);
  }

  function capital(text) {
    return text.charAt(0).toUpperCase() + text.slice(1);
  }

  /* The session note while the node's state is unknown. */
  function reachText(result) {
    if (result.kind === 'doc') return TEXTS.reachError(failureSentence(result));
    return TEXTS.reachRetrying(capital(failureSentence(result)));
  }

  L.TEXTS = TEXTS;
  L.SENTENCES = SENTENCES;
  L.errorSentence = errorSentence;
  L.FIXED_DETAIL = FIXED_DETAIL;
  L.failureSentence = failureSentence;
  L.reachText = reachText;
})(this);

/* What the page shows for a model, as plain values: every text, which
   step of the flow card is on, which buttons are usable. console.js draws
   it and decides nothing. Loaded after machine.js. */
(function (root) {
  'use strict';

  var L = root.ConsoleLogic;
  var T = L.TEXTS;
  var P = L.P;
  var msg = L.msg;
  var cliPresent = L.cliPresent;
  var showsCode = L.showsCode;
  var canStart = L.canStart;
  var openableUrl = L.openableUrl;
  var fmtExpiry = L.fmtExpiry;
  var fmtLeft = L.fmtLeft;
  var secondsLeft = L.secondsLeft;
  var expiredNote = L.expiredNote;
  var expiredToken = L.expiredToken;

  function pillOf(m, li, ex, signing) {
    if (m.phase === P.LOADING) return { cls: 'off', text: T.pillChecking };
    if (m.phase === P.UNREACHABLE) return { cls: 'warn', text: T.pillUnknown };
    if (li && !ex) return { cls: 'ok', text: T.pillConnected };
    if (li) return { cls: 'warn', text: T.pillExpired };
    if (signing) return { cls: 'warn', text: T.pillSigningIn };
    return { cls: 'off', text: T.pillNotConnected };
  }

  function sessionNoteOf(m, s, li, ex, signing) {
    if (m.phase === P.UNREACHABLE) return msg('err', m.reach);
    if (m.sessionMsg) return m.sessionMsg;
    if (!s) return msg('', '');
    if (li && ex) return msg('err', expiredNote(s.expires_in_sec));
    if (li) {
      var who = s.account || s.username;
      return msg('ok', T.signedInAs(who));
    }
    if (!cliPresent(m)) return msg('err', T.toolMissing);
    if (signing) return msg('', '');
    return msg('ok', T.noSession);
  }

  function pollLabelOf(m) {
    if (m.outcome === 'done') return T.pollSignedIn;
    if (m.phase === P.CANCELLING) return T.pollCancelling;
    if (!m.flow) return T.pollWaiting;
    if (m.trouble) return T.pollTrouble;
    if (m.pollSlow) return T.pollSlow;
    return m.flow.stillPending ? T.pollStillWaiting : T.pollWaiting;
  }

  /* The idle line of the flow card: [text, button name in bold, text]. */
  function idleLineOf(m, li) {
    if (li) return T.idleSignedIn;
    if (!cliPresent(m)) return T.idleNoTool;
    if (m.phase === P.ENDED) return T.idleEnded;
    return T.idle;
  }

  /* Everything the page shows, as plain values. */
  function view(m) {
    var s = m.phase === P.UNREACHABLE ? null : m.session;
    var li = !!(s && s.logged_in === true);
    var ex = li && s.expired === true;
    var following = m.phase === P.FOLLOWING || m.phase === P.CANCELLING;
    var signing = following || (m.phase === P.CONFIRMING && m.back === P.FOLLOWING);
    var held = m.phase === P.LOADING || m.phase === P.UNREACHABLE;
    var busy = m.phase === P.STARTING || m.phase === P.CANCELLING || m.phase === P.CONFIRMING;
    var code = following ? m.flow.code : '';
    var cli = cliPresent(m);

    var step = 'idle';
    if (held) step = 'loading';
    else if (m.phase === P.STARTING) step = 'starting';
    else if (m.phase === P.CONFIRMING) step = 'confirm';
    else if (following) step = 'active';

    var flowNote = m.flowMsg || msg('', '');
    if (!m.flowMsg && following && code === '') flowNote = msg('warn', T.unknownCode);

    var status = T.statusChecking;
    if (m.phase === P.UNREACHABLE) status = T.statusUnknown;
    else if (s && li) status = ex ? T.statusSignedInExpired : T.statusSignedIn;
    else if (s) status = signing ? T.statusFlow : T.statusSignedOut;

    var token = T.none;
    if (s && li) token = ex ? expiredToken(s.expires_in_sec) : T.tokenValid(fmtExpiry(s.expires_in_sec));
    else if (s) token = T.tokenNone;

    var label = li ? String(s.account || s.username || T.accountDefault) : '';
    return {
      title: code ? T.titleWithCode(code) : T.title,
      pill: pillOf(m, li, ex, signing),
      rows: {
        vStatus: status,
        vAccount: s ? String(s.account || s.username || T.none) : T.none,
        vToken: token,
        vRefresh: s ? (s.has_refresh ? T.refreshStored : T.refreshNotStored) : T.none,
        vProfile: s ? (s.profile_exists ? T.profileExists(s.profile || T.profileDefault) : T.profileMissing) : T.none,
        vPath: s && s.path ? String(s.path) : T.none,
      },
      tools: s ? { login: s.cli_present !== false, token: s.token_cli_present === true } : null,
      badge: li ? { label: label, av: label.charAt(0).toUpperCase() } : null,
      buttons: {
        refresh: { disabled: held || m.refreshing, primary: li },
        /* The primary action: Start when signed out, unless a code is on
           its way or shown (then Copy & Open is); Refresh when signed in. */
        start: { disabled: !canStart(m, false) || busy, primary: !li && !showsCode(m) && m.phase !== 'starting' },
        relogin: { hidden: !li, disabled: !canStart(m, true) || busy },
        cancel: { disabled: m.phase === P.CANCELLING },
        copy: { label: m.canCopy ? T.copyOpen : T.open },
      },
      sessionNote: sessionNoteOf(m, s, li, ex, signing || m.phase === P.STARTING),
      flowNote: flowNote,
      step: step,
      stepText: m.phase === P.LOADING ? T.loading : (m.phase === P.UNREACHABLE ? T.waitingNode : T.requesting),
      idleLine: idleLineOf(m, li),
      confirmText: T.confirm,
      busy: held || m.phase === P.STARTING,
      flow: following ? {
        known: code !== '',
        code: code,
        url: m.flow.url,
        openUrl: openableUrl(m.flow.url),
        expiry: m.flow.expiresAt ? T.codeExpiresIn(fmtLeft(secondsLeft(m.flow.expiresAt, m.now))) : '',
        cancelling: m.phase === P.CANCELLING,
      } : null,
      pollLabel: pollLabelOf(m),
      copyHint: m.canCopy ? '' : T.copyHint,
      toolMissing: !cli,
    };
  }

  L.view = view;
})(this);

/* The console: shows the node's LumiVane sign-in state and drives the device
   login through the plugin's own actions (status, start, poll, cancel,
   refresh). It never receives a token value.

   Every value that comes from a document (account, path, error texts, the
   user code, the verification address) is written with textContent, never
   as HTML; the little fixed markup there is (the token line's spans) is
   built from constants. The verification address is opened only when it is
   an absolute http: or https: URL, and always without an opener. */
(function () {
  'use strict';

  /* Polling pace: never faster than MIN_POLL_SEC, whatever a document
     says; every slow_down answer adds SLOW_DOWN_SEC for the rest of the
     flow (RFC 8628, section 3.5). */
  var MIN_POLL_SEC = 5;
  var SLOW_DOWN_SEC = 5;
  var COUNTDOWN_MS = 1000;
  /* Side of the drawn QR code in canvas pixels, quiet zone included; the
     zone is the four modules that scanners need around the symbol. */
  var QR_PX = 168;
  var QR_QUIET = 4;

  /* Read once from the page address. */
  var params = new URLSearchParams(window.location.search);
  function param(name) {
    var v = params.get(name);
    return v === null ? '' : v;
  }
  function stored(key) {
    try { return window.localStorage.getItem(key) || ''; } catch (e) { return ''; }
  }
  var node = param('node');
  var sid = param('id');
  var HUB = param('plugin');
  var pwd = param('pwd') || (node ? stored('bot_pwd_' + node) : '') || stored('bot_active_pwd');
  /* The started flow of this node (code, address, expiry, pace), kept so
     that a reload or a second tab can show the code again. A user code is
     not a credential: it is short-lived and useless without an approval. */
  var FLOW_KEY = 'lumivane_flow_' + node;

  /* The flow this page follows. Invariants: pollTimer is set only while
     flowActive and no poll is in flight; flowGen changes whenever a flow
     begins or ends, so that an answer to a request of an earlier flow is
     dropped instead of ending or reviving the current one. */
  var flowActive = false;
  var flowGen = 0;
  var flowVerify = '';
  var flowCode = '';
  var flowExpiresAt = 0;    /* ms since the epoch; 0: unknown, no countdown */
  var pollBaseSec = MIN_POLL_SEC;
  var pollExtraSec = 0;
  var pollTimer = null;
  var pollInFlight = false;
  var pollErrorShown = false;
  var countdownTimer = null;
  /* Set when a flow ends on this page (done, failed, cancelled, expired):
     from then on a status that still says pending (a marker the tool left
     behind) does not start polling again; only Start or Re-login does. */
  var flowEnded = false;
  var startInFlight = false;

  function $(id) { return document.getElementById(id); }
  function setText(id, text) { $(id).textContent = text; }
  function enc(s) { return encodeURIComponent(s); }
  function failText(err) { return err && err.message ? err.message : String(err); }

  /* One call to the plugin. Resolves with the parsed JSON body, whatever the
     HTTP status (error documents are JSON too); rejects on a network or
     parse failure. */
  function api(action, extra) {
    var url = HUB
      ? '/plugins?plugin=' + enc(HUB) + '&action=' + enc(action)
      : '/plugin_lumivane_login?action=' + enc(action);
    if (extra) url += '&' + extra;
    if (node) url += '&node=' + enc(node);
    if (sid) url += '&id=' + enc(sid);
    if (pwd) url += '&pwd=' + enc(pwd);
    var headers = {};
    if (pwd) headers['X-Bot-Password'] = pwd;
    return window.fetch(url, { headers: headers, cache: 'no-store', credentials: 'same-origin' })
      .then(function (r) { return r.json(); });
  }

  /* Notes and the pill are live regions: an unchanged text is left alone
     so that a screen reader does not announce it again on every status
     read, and an error note is announced at once (assertive). */
  function note(id, cls, text) {
    var el = $(id);
    var className = 'note ' + cls + (text ? ' show' : '');
    if (el.className === className && el.textContent === text) return;
    el.setAttribute('aria-live', cls === 'err' ? 'assertive' : 'polite');
    el.className = className;
    el.textContent = text;
    if (id === 'flowNote') pollErrorShown = false;
  }

  function setPill(cls, text) {
    $('pill').className = 'pill ' + cls;
    if ($('pillText').textContent !== text) setText('pillText', text);
  }

  function fmtExpiry(sec) {
    var s = Number(sec);
    if (!(s > 0)) return 'unknown';
    if (s < 60) return s + 's';
    var m = Math.floor(s / 60);
    if (m < 60) return m + ' min';
    var h = Math.floor(m / 60);
    if (h < 48) return h + ' h ' + (m % 60) + ' min';
    return Math.floor(h / 24) + ' days';
  }

  /* Time left on the code as m:ss. */
  function fmtLeft(sec) {
    var m = Math.floor(sec / 60);
    var r = sec % 60;
    return m + ':' + (r < 10 ? '0' : '') + r;
  }

  function span(cls, text) {
    var el = document.createElement('span');
    el.className = cls;
    el.textContent = text;
    return el;
  }

  function renderTokLine(d) {
    var line = $('tokLine');
    line.textContent = '';
    if (!d.cli_present) {
      line.appendChild(span('no', 'vantorel-lumivane-login is not on this node.'));
      return;
    }
    line.appendChild(span('ok', 'Login CLI present'));
    line.appendChild(document.createTextNode(
      ' \u00b7 token CLI ' + (d.token_cli_present ? 'present' : 'missing')));
  }

  /* Focus never stays on a control that is being disabled or hidden (the
     browser would drop it to the page body): it moves to `target`. */
  function focusAway(el, target) {
    if (document.activeElement === el) target.focus();
  }
  function focusInside(container) {
    return container.contains(document.activeElement);
  }

  /* Start and Re-login are disabled while a start is in flight (a second
     start would replace the first code unseen), and Start also while this
     page follows a flow whose code it shows. A pending login whose code is
     unknown here, or one left over after a flow ended, keeps Start
     available: starting anew is the way out of it. */
  function syncButtons() {
    var start = $('btnStartLogin');
    var relogin = $('btnRelogin');
    var startOff = startInFlight || (flowActive && flowCode !== '');
    if (startOff) focusAway(start, flowActive && flowCode ? $('btnCopyOpen') : $('flowTitle'));
    if (startInFlight) focusAway(relogin, $('flowTitle'));
    start.disabled = startOff;
    relogin.disabled = startInFlight;
  }

  function showStep(active) {
    if (!active && focusInside($('stepActive'))) $('btnStartLogin').focus();
    $('stepIdle').classList.toggle('on', !active);
    $('stepActive').classList.toggle('on', active);
  }

  function renderStatus(d, gen) {
    if (!d || !d.ok) {
      setPill('off', 'Not Connected');
      note('sessionNote', 'err', d && d.error ? 'Error: ' + d.error : 'No response');
      return;
    }
    var li = !!d.logged_in;
    var ex = !!d.expired;
    var pend = !!d.pending;

    if (li && !ex) setPill('ok', 'Connected');
    else if (li) setPill('warn', 'Expired');
    else if (pend) setPill('warn', 'Signing in');
    else setPill('off', 'Not Connected');

    if (li) setText('vStatus', ex ? 'Signed in (token expired)' : 'Signed in');
    else setText('vStatus', pend ? 'Device flow in progress' : 'Not signed in');
    setText('vAccount', d.account || d.username || '-');
    if (li) {
      setText('vToken', ex ? 'expired (' + fmtExpiry(d.expires_in_sec) + ')'
                           : 'valid, expires in ' + fmtExpiry(d.expires_in_sec));
    } else {
      setText('vToken', 'none');
    }
    setText('vRefresh', d.has_refresh ? 'stored (presence only)' : 'not stored');
    setText('vProfile', d.profile_exists ? (d.profile || 'grandlumivane') + ' (exists)' : 'not created');
    setText('vPath', d.path || '-');
    renderTokLine(d);

    if (li) {
      var label = String(d.account || d.username || 'LumiVane');
      setText('userLabel', label);
      setText('userAv', label.charAt(0).toUpperCase());
      $('userBadge').hidden = false;
    } else {
      $('userBadge').hidden = true;
    }
    if (!li) focusAway($('btnRelogin'), $('btnStartLogin'));
    $('btnRelogin').hidden = !li;

    /* A status asked for before a flow began or ended describes another
       moment: it must neither stop nor revive the flow of now. */
    if (gen === flowGen && !startInFlight) {
      if (pend && !flowActive && !flowEnded) {
        resumeFlow();
      } else if (!pend && flowActive) {
        endFlow();
      } else if (!pend) {
        forgetFlow();
      }
    }
    syncButtons();

    if (!li && !pend) note('sessionNote', 'ok', 'No session on this node yet. Start a device login below.');
    else if (li && !ex) note('sessionNote', '', '');
    else if (li && ex) note('sessionNote', 'err', 'Token expired. Re-login to refresh the session.');
  }

  function refresh() {
    var gen = flowGen;
    return api('status').then(function (d) { renderStatus(d, gen); }, function (err) {
      setPill('off', 'Not Connected');
      note('sessionNote', 'err', 'Request failed: ' + failText(err));
    });
  }

  /* ---- The stored flow ---- */

  function saveFlow() {
    try {
      window.localStorage.setItem(FLOW_KEY, JSON.stringify({
        code: flowCode, url: flowVerify, expires_at: flowExpiresAt, interval: pollBaseSec,
      }));
    } catch (e) {}
  }

  function forgetFlow() {
    try { window.localStorage.removeItem(FLOW_KEY); } catch (e) {}
  }

  /* The stored flow when it is usable (well formed, not expired), else null. */
  function loadFlow() {
    var f;
    try { f = JSON.parse(window.localStorage.getItem(FLOW_KEY) || 'null'); } catch (e) { return null; }
    if (!f || typeof f !== 'object') return null;
    if (typeof f.code !== 'string' || f.code === '' || typeof f.url !== 'string') return null;
    var exp = Number(f.expires_at);
    if (!(exp >= 0) || (exp > 0 && exp <= Date.now())) return null;
    return { code: f.code, url: f.url, expiresAt: exp, interval: Number(f.interval) };
  }

  /* ---- Showing a flow ---- */

  /* The verification address as a URL that may be opened, or '' when it is
     not an absolute http: or https: address (javascript:, data:, relative
     texts and anything unparsable are only ever shown). */
  function openableUrl(text) {
    var u;
    try { u = new URL(text); } catch (e) { return ''; }
    return u.protocol === 'http:' || u.protocol === 'https:' ? u.href : '';
  }

  /* The address as a link when it may be opened, else as plain text. */
  function renderVerify() {
    var box = $('verifyUrl');
    box.textContent = '';
    var href = openableUrl(flowVerify);
    if (!href) {
      box.textContent = flowVerify;
      return;
    }
    var a = document.createElement('a');
    a.href = href;
    a.target = '_blank';
    a.rel = 'noopener noreferrer';
    a.textContent = flowVerify;
    box.appendChild(a);
  }

  /* Draws the address as a QR code, for approving on a phone. Only an
     address that may be opened is drawn (a phone would follow any other
     one too), as its parsed form, which is plain ASCII. The symbol is
     black on white in both themes: scanners expect dark modules on a light
     ground. */
  function renderQr() {
    var canvas = $('qrCode');
    var href = openableUrl(flowVerify);
    var qr = null;
    if (href && typeof window.qrcode === 'function') {
      try {
        qr = window.qrcode(0, 'M');
        qr.addData(href, 'Byte');
        qr.make();
      } catch (e) {
        qr = null;   /* too long for any QR version: the link still works */
      }
    }
    var ctx = qr ? canvas.getContext('2d') : null;
    if (!ctx) {
      canvas.hidden = true;
      return;
    }
    var n = qr.getModuleCount();
    var cell = Math.max(2, Math.floor(QR_PX / (n + 2 * QR_QUIET)));
    var size = (n + 2 * QR_QUIET) * cell;
    canvas.width = size;
    canvas.height = size;
    ctx.fillStyle = '#ffffff';
    ctx.fillRect(0, 0, size, size);
    ctx.fillStyle = '#000000';
    for (var r = 0; r < n; r++) {
      for (var c = 0; c < n; c++) {
        if (qr.isDark(r, c)) ctx.fillRect((c + QR_QUIET) * cell, (r + QR_QUIET) * cell, cell, cell);
      }
    }
    canvas.hidden = false;
  }

  function renderFlow() {
    var known = flowCode !== '';
    $('flowKnown').hidden = !known;
    setText('userCode', flowCode || '--');
    renderVerify();
    renderQr();
    setText('pollLabel', 'Waiting for approval');
    tickCountdown();
  }

  /* ---- Following a flow ---- */

  function pollDelayMs() {
    return (Math.max(MIN_POLL_SEC, pollBaseSec) + pollExtraSec) * 1000;
  }

  function schedulePoll() {
    if (pollTimer) window.clearTimeout(pollTimer);
    pollTimer = window.setTimeout(pollOnce, pollDelayMs());
  }

  function stopTimers() {
    if (pollTimer) window.clearTimeout(pollTimer);
    pollTimer = null;
    if (countdownTimer) window.clearInterval(countdownTimer);
    countdownTimer = null;
  }

  /* Begins following a flow: `f` holds its code, address, expiry and pace,
     or is null for a pending login whose code this page does not know. The
     first poll comes one interval later. */
  function beginFlow(f) {
    stopTimers();
    flowGen++;
    flowActive = true;
    flowCode = f ? f.code : '';
    flowVerify = f ? f.url : '';
    flowExpiresAt = f ? f.expiresAt : 0;
    pollBaseSec = f && f.interval > 0 ? f.interval : MIN_POLL_SEC;
    pollExtraSec = 0;
    renderFlow();
    showStep(true);
    if (flowExpiresAt) countdownTimer = window.setInterval(tickCountdown, COUNTDOWN_MS);
    schedulePoll();
    syncButtons();
  }

  /* Ends the flow for good: no timer, no stored code, the idle step, and
     focus on Start. Only Start, Re-login or a reload follows a login again. */
  function endFlow() {
    stopTimers();
    flowGen++;
    flowActive = false;
    flowEnded = true;
    forgetFlow();
    /* Whatever the flow note said belongs to the flow; the caller sets the
       note that tells how it ended. */
    note('flowNote', '', '');
    syncButtons();
    var wasInside = focusInside($('flowCard'));
    showStep(false);
    if (wasInside || document.activeElement === document.body) $('btnStartLogin').focus();
  }

  /* A status says pending and this page follows no flow (a reload, a second
     tab): show the stored code when there is one, else say plainly that the
     code is not known here. */
  function resumeFlow() {
    var f = loadFlow();
    beginFlow(f);
    if (!f) {
      forgetFlow();
      note('flowNote', 'warn', 'A login is pending on this node, but its code is not known in this browser. ' +
        'Cancel it, or start a new login.');
    }
  }

  function tickCountdown() {
    if (!flowActive || !flowExpiresAt) {
      setText('flowExpiry', '');
      return;
    }
    var left = Math.ceil((flowExpiresAt - Date.now()) / 1000);
    if (left <= 0) {
      endFlow();
      note('flowNote', 'err', 'The code has expired. Start a new login.');
      refresh();
      return;
    }
    setText('flowExpiry', 'Code expires in ' + fmtLeft(left));
  }

  function pollError(text) {
    note('flowNote', 'err', text);
    pollErrorShown = true;
  }

  function pollOnce() {
    pollTimer = null;
    if (!flowActive) return;
    /* An answer for an earlier flow is still outstanding: one request at a
       time, so this tick waits for another interval. */
    if (pollInFlight) {
      schedulePoll();
      return;
    }
    var gen = flowGen;
    pollInFlight = true;
    api('poll').then(function (d) {
      pollInFlight = false;
      if (gen !== flowGen) return;
      onPollAnswer(d);
    }, function (err) {
      pollInFlight = false;
      if (gen !== flowGen) return;
      pollError('Poll request failed: ' + failText(err));
      schedulePoll();
    });
  }

  function onPollAnswer(d) {
    if (!d || !d.ok) {
      pollError(d && d.error ? 'Poll error: ' + d.error : 'Poll failed');
      schedulePoll();
      return;
    }
    if (d.state === 'done' || d.logged_in === true) {
      endFlow();
      note('flowNote', 'ok', 'Signed in. The credential file has been written.');
      setText('pollLabel', 'Signed in');
      refresh();
      return;
    }
    if (d.state === 'failed' && d.error === 'slow_down') {
      pollExtraSec += SLOW_DOWN_SEC;
      note('flowNote', '', 'The login service asked for a slower pace: checking every ' +
        pollDelayMs() / 1000 + ' s.');
      schedulePoll();
      return;
    }
    /* authorization_pending as a failure is the tool's way of saying
       "still pending": it is handled below like a pending answer. */
    if (d.state === 'failed' && d.error !== 'authorization_pending') {
      endFlow();
      note('flowNote', 'err', 'Login failed: ' + (d.error || 'unknown') + (d.detail ? ' - ' + d.detail : ''));
      /* Re-read the state: without it the pill would still say "Signing
         in". A pending marker left behind no longer revives the flow. */
      refresh();
      return;
    }
    var stillPending = d.state === 'failed';
    if (!stillPending && Number(d.interval) > 0) pollBaseSec = Number(d.interval);
    if (pollErrorShown) note('flowNote', '', '');
    setText('pollLabel', stillPending ? 'Still waiting for approval' : 'Waiting for approval');
    schedulePoll();
  }

  /* ---- The operator's buttons ---- */

  function doStart(force) {
    if (startInFlight) return;
    var pressed = force ? $('btnRelogin') : $('btnStartLogin');
    startInFlight = true;
    syncButtons();
    note('sessionNote', '', '');
    function settle() {
      startInFlight = false;
      syncButtons();
      if (document.activeElement === $('flowTitle') || document.activeElement === document.body) {
        (pressed.hidden || pressed.disabled ? $('btnStartLogin') : pressed).focus();
      }
    }
    api('start', force ? 'force=1' : '').then(function (d) {
      if (!d || !d.ok) {
        settle();
        note('sessionNote', 'err', d && d.error ? 'Start failed: ' + d.error : 'Start failed');
        return;
      }
      if (d.already_logged_in) {
        settle();
        /* The warning goes up once the status is rendered: rendering a
           signed-in session clears the session note. */
        refresh().then(function () {
          note('sessionNote', 'warn', 'This node already has LumiVane credentials. Use Re-login to replace them.');
        });
        return;
      }
      startInFlight = false;
      flowEnded = false;
      var expiresIn = Number(d.expires_in);
      beginFlow({
        code: d.user_code ? String(d.user_code) : '',
        url: d.verify_url ? String(d.verify_url) : '',
        expiresAt: expiresIn > 0 ? Date.now() + expiresIn * 1000 : 0,
        interval: Number(d.interval),
      });
      if (flowCode) saveFlow();
      note('flowNote', '', '');
      $(flowCode ? 'btnCopyOpen' : 'btnCancel').focus();
      refresh();
    }, function (err) {
      settle();
      note('sessionNote', 'err', 'Start request failed: ' + failText(err));
    });
  }

  function openVerify() {
    var href = openableUrl(flowVerify);
    if (href) window.open(href, '_blank', 'noopener');
    return href !== '';
  }

  function copyOpen() {
    /* Both happen inside the click, in this order: the clipboard write is
       asked for while this page still has the focus (the browser refuses a
       write from a page that lost it to the new tab), and the address opens
       at once so that popup blockers let it through. A refused write then
       opens nothing more. */
    var clip = navigator.clipboard;
    var writing = null;
    try {
      if (clip && typeof clip.writeText === 'function') writing = clip.writeText(flowCode);
    } catch (e) {
      writing = null;
    }
    var opened = flowVerify ? openVerify() : false;
    function copied() { note('flowNote', 'ok', 'Code copied. Open the link and approve.'); }
    /* Nothing reached the clipboard (none on a plain-http LAN address, or
       the write was refused): say so, and what to do instead. */
    function notCopied() {
      note('flowNote', 'warn', opened
        ? 'Copy the code shown above, then approve on the page that opened.'
        : 'Copy the code shown above, then open the address and approve.');
    }
    if (writing) writing.then(copied, notCopied);
    else notCopied();
  }

  function onCancel() {
    endFlow();
    api('cancel').then(function (d) {
      showStep(false);
      if (d && d.ok) note('flowNote', 'ok', 'Device flow cancelled.');
      else note('flowNote', 'err', 'Cancel failed: ' + ((d && d.error) || 'unknown'));
      refresh();
    }, function (err) {
      note('flowNote', 'err', 'Cancel request failed: ' + failText(err));
    });
  }

  function onRefresh() {
    note('sessionNote', '', '');
    var gen = flowGen;
    api('refresh').then(function (d) {
      if (!d || !d.ok) {
        note('sessionNote', 'err', d && d.error ? 'Refresh failed: ' + d.error : 'Refresh failed');
        return;
      }
      /* Rendered first: the rendering sets its own session note, which the
         answer to the operator's press must not be hidden behind. */
      renderStatus(d, gen);
      note('sessionNote', 'ok', d.refreshed === true ? 'Token re-read. CLI confirmed a live token.' : 'Token re-read.');
    }, function (err) {
      note('sessionNote', 'err', 'Refresh request failed: ' + failText(err));
    });
  }

  function onThemeToggle() {
    if (typeof window.vnApplyTheme !== 'function') return;
    window.vnApplyTheme(window.vnTheme() === 'dark' ? 'light' : 'dark');
  }

  $('btnStartLogin').addEventListener('click', function () { doStart(false); });
  $('btnRelogin').addEventListener('click', function () { doStart(true); });
  $('btnCancel').addEventListener('click', onCancel);
  $('btnRefresh').addEventListener('click', onRefresh);
  $('btnCopyOpen').addEventListener('click', copyOpen);
  $('themeToggle').addEventListener('click', onThemeToggle);

  setText('footInfo', 'plugin_lumivane_login');
  refresh();
})();

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

  var POLL_MS = 5000;

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

  var pollTimer = null;
  var flowActive = false;
  var flowVerify = '';
  var flowCode = '';

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

  function note(id, cls, text) {
    var el = $(id);
    el.className = 'note ' + cls + (text ? ' show' : '');
    el.textContent = text;
  }

  function setPill(cls, text) {
    $('pill').className = 'pill ' + cls;
    setText('pillText', text);
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

  function showStep(active) {
    $('stepIdle').classList.toggle('on', !active);
    $('stepActive').classList.toggle('on', active);
  }

  function renderStatus(d) {
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
    $('btnRelogin').hidden = !li;
    $('btnStartLogin').disabled = pend;

    if (pend && !flowActive) {
      startPolling();
    } else if (!pend && flowActive) {
      stopPolling();
      showStep(false);
    }

    if (!li && !pend) note('sessionNote', 'ok', 'No session on this node yet. Start a device login below.');
    else if (li && !ex) note('sessionNote', '', '');
    else if (li && ex) note('sessionNote', 'err', 'Token expired. Re-login to refresh the session.');
  }

  function refresh() {
    return api('status').then(renderStatus, function (err) {
      setPill('off', 'Not Connected');
      note('sessionNote', 'err', 'Request failed: ' + failText(err));
    });
  }

  function startPolling() {
    flowActive = true;
    showStep(true);
    if (!pollTimer) pollTimer = window.setInterval(pollOnce, POLL_MS);
  }

  function stopPolling() {
    flowActive = false;
    if (pollTimer) window.clearInterval(pollTimer);
    pollTimer = null;
  }

  function pollOnce() {
    if (!flowActive) return;
    api('poll').then(function (d) {
      if (!d || !d.ok) {
        note('flowNote', 'err', d && d.error ? 'Poll error: ' + d.error : 'Poll failed');
        return;
      }
      if (d.state === 'done' || d.logged_in === true) {
        stopPolling();
        showStep(false);
        note('flowNote', 'ok', 'Signed in. The credential file has been written.');
        setText('pollLabel', 'Signed in');
        refresh();
        return;
      }
      if (d.state === 'failed') {
        stopPolling();
        showStep(false);
        note('flowNote', 'err', 'Login failed: ' + (d.error || 'unknown') + (d.detail ? ' - ' + d.detail : ''));
        /* Re-read the state: without it the pill would still say "Signing
           in" and the start button would stay disabled. */
        refresh();
        return;
      }
      setText('pollLabel', 'Waiting for approval');
    }, function (err) {
      note('flowNote', 'err', 'Poll request failed: ' + failText(err));
    });
  }

  function doStart(force) {
    note('sessionNote', '', '');
    api('start', force ? 'force=1' : '').then(function (d) {
      if (!d || !d.ok) {
        note('sessionNote', 'err', d && d.error ? 'Start failed: ' + d.error : 'Start failed');
        return;
      }
      if (d.already_logged_in) {
        /* The warning goes up once the status is rendered: rendering a
           signed-in session clears the session note. */
        refresh().then(function () {
          note('sessionNote', 'warn', 'This node already has LumiVane credentials. Use Re-login to replace them.');
        });
        return;
      }
      flowVerify = d.verify_url ? String(d.verify_url) : '';
      flowCode = d.user_code ? String(d.user_code) : '';
      setText('userCode', flowCode || '--');
      setText('verifyUrl', flowVerify);
      setText('pollLabel', 'Waiting for approval');
      note('flowNote', '', '');
      startPolling();
      refresh();
    }, function (err) {
      note('sessionNote', 'err', 'Start request failed: ' + failText(err));
    });
  }

  /* The verification address as a URL that may be opened, or '' when it is
     not an absolute http: or https: address (javascript:, data:, relative
     texts and anything unparsable are only ever shown). */
  function openableUrl(text) {
    var u;
    try { u = new URL(text); } catch (e) { return ''; }
    return u.protocol === 'http:' || u.protocol === 'https:' ? u.href : '';
  }

  function openVerify() {
    var href = openableUrl(flowVerify);
    if (href) window.open(href, '_blank', 'noopener');
    return href !== '';
  }

  function copyOpen() {
    function copied() { note('flowNote', 'ok', 'Code copied. Open the link and approve.'); }
    /* The address opens at once, inside the click, so that popup blockers
       let it through; a refused clipboard write then opens nothing more. */
    var opened = flowVerify ? openVerify() : false;
    var clip = navigator.clipboard;
    if (clip && typeof clip.writeText === 'function') {
      clip.writeText(flowCode).then(copied, function () {
        if (!opened) openVerify();
        copied();
      });
    } else {
      copied();
    }
  }

  function onCancel() {
    stopPolling();
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
    api('refresh').then(function (d) {
      if (!d || !d.ok) {
        note('sessionNote', 'err', d && d.error ? 'Refresh failed: ' + d.error : 'Refresh failed');
        return;
      }
      /* Rendered first: the rendering sets its own session note, which the
         answer to the operator's press must not be hidden behind. */
      renderStatus(d);
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

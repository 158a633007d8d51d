/* The console: shows the node's LumiVane sign-in state and drives the device
   login through the plugin's own actions (status, start, poll, cancel,
   refresh). It never receives a token value.

   Every decision and every word lives in the logic scripts (logic/*.js,
   window.ConsoleLogic): this file turns the operator's presses, the
   plugin's answers, timers and the tab's visibility into events, hands
   each to `transition`, draws the `view` of the model that comes back,
   and carries out the effects it lists
   (requests, timers, storage, focus, scrolling, the clipboard). Drawing
   only draws: nothing under render() sends an event.

   Every value that comes from a document (account, path, error texts, the
   user code, the verification address) is written with textContent, never
   as HTML; the little fixed markup there is (the token line's spans, the
   bold button name) is built from constants. The verification address is
   opened only when it is an absolute http: or https: URL, and always
   without an opener. */
(function () {
  'use strict';

  var L = window.ConsoleLogic;
  var T = L.TEXTS;

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
  var where = {
    hub: param('plugin'),
    node: node,
    sid: param('id'),
    pwd: L.pagePassword(param('pwd'), node, stored),
  };
  /* The stored flow belongs to the node, whichever page shows it (the
     node's own console or a host page's frame): it is keyed by the
     node's credentials path once a status told it. */
  function flowKeyFor(result) {
    var doc = result && result.kind === 'doc' ? result.doc : null;
    var path = doc && typeof doc.path === 'string' ? doc.path : '';
    if (!path && model && model.session && typeof model.session.path === 'string') path = model.session.path;
    return L.flowKey(path || node);
  }

  /* The password as the header carries it (percent-encoded beyond
     printable ASCII); pwdInUrl is set once the host was seen to drop the
     header: from then on, for the life of the page, every call carries
     pwd as well. */
  var headerPwd = L.headerPassword(where.pwd);
  var pwdInUrl = false;

  var model = null;
  var timers = {};

  function $(id) { return document.getElementById(id); }

  /* ---- Requests ---- */

  function send(action, extra) {
    var headers = {};
    if (headerPwd && !pwdInUrl) headers['X-Bot-Password'] = headerPwd;
    return window.fetch(L.actionUrl(where, action, extra, pwdInUrl),
      { headers: headers, cache: 'no-store', credentials: 'same-origin' });
  }

  /* One call to the plugin. Resolves, never rejects, with the HTTP status
     (0 when nothing answered) and the body text. */
  function request(action, extra) {
    return send(action, extra).then(function (r) {
      if (!L.retryWithPwd(r.status, where.pwd, pwdInUrl)) return r;
      pwdInUrl = true;
      return send(action, extra);
    }).then(function (r) {
      return r.text().then(function (text) {
        return { http: r.status, text: text };
      }, function () {
        return { http: r.status, text: '' };
      });
    }, function () {
      return { http: 0, text: '' };
    });
  }

  function storedFlow(result) {
    try { return window.localStorage.getItem(flowKeyFor(result)); } catch (e) { return null; }
  }

  /* ---- Events in, effects out ---- */

  /* The one loop: an event goes through transition, the new model is
     drawn, and each effect is carried out with `dispatch` as the way its
     outcome (an answer, a timer, the clipboard) comes back as an event. */
  function dispatch(ev) {
    ev.now = Date.now();
    var out = L.transition(model, ev);
    model = out.model;
    render(L.view(model));
    out.effects.forEach(function (effect) { perform(effect, dispatch); });
  }

  function perform(effect, emit) {
    switch (effect.type) {
      case 'call':
        request(effect.action, effect.extra).then(function (res) {
          var result = L.classify(res.http, res.text);
          emit({ type: 'answer', tag: effect.tag, gen: effect.gen, result: result, stored: storedFlow(result) });
        });
        break;
      case 'timer':
        window.clearTimeout(timers[effect.name]);
        timers[effect.name] = window.setTimeout(function () {
          timers[effect.name] = null;
          emit({ type: 'timer', name: effect.name });
        }, effect.ms);
        break;
      case 'stop':
        window.clearTimeout(timers[effect.name]);
        timers[effect.name] = null;
        break;
      case 'store':
        try { window.localStorage.setItem(flowKeyFor(null), effect.text); } catch (e) {}
        break;
      case 'forget':
        try { window.localStorage.removeItem(flowKeyFor(null)); } catch (e) {}
        break;
      case 'focus':
        moveFocus(effect.id, effect.force);
        break;
      case 'scroll':
        /* On a small screen the code panel starts below the fold. */
        $(effect.id).scrollIntoView({ block: 'start' });
        break;
      case 'copy':
        copyOpen(effect.code, effect.url, emit);
        break;
    }
  }

  function canCopy() {
    var clip = navigator.clipboard;
    return !!(window.isSecureContext && clip && typeof clip.writeText === 'function');
  }

  /* Both happen inside the click, in this order: the clipboard write is
     asked for while this page still has the focus (the browser refuses a
     write from a page that lost it to the new tab), and the address opens
     at once so that popup blockers let it through. The outcome comes back
     as an event once the write has settled. */
  function copyOpen(code, url, emit) {
    var writing = null;
    try {
      if (canCopy()) writing = navigator.clipboard.writeText(code);
    } catch (e) {
      writing = null;
    }
    var opened = url !== '';
    if (opened) window.open(url, '_blank', 'noopener');
    Promise.resolve(writing).then(function () { return writing !== null; }, function () { return false; })
      .then(function (ok) { emit({ type: 'copied', ok: ok, opened: opened }); });
  }

  /* Moves focus to `id` when asked to (force, after a press), or when the
     operator's place is gone: focus on the page body, inside the flow card,
     or on a control that is no longer usable. A page without the focus (a
     tab in the background, the frame of a host whose own page has it) is
     left alone unless asked. */
  function moveFocus(id, force) {
    var el = $(id);
    var active = document.activeElement;
    var lost = !active || active === document.body || $('flowCard').contains(active) || !usable(active);
    if (!force && !document.hasFocus()) return;
    if ((force || lost) && el && usable(el)) el.focus({ preventScroll: true });
  }

  function usable(el) {
    return !el.disabled && el.getClientRects().length > 0;
  }

  /* ---- Drawing ---- */

  function setText(id, text) {
    var el = $(id);
    if (el.textContent !== text) el.textContent = text;
  }

  /* Notes and the pill are live regions: an unchanged text is left alone
     so that a screen reader does not announce it again on every status
     read, and an error note is announced at once (assertive). */
  function note(id, n) {
    var el = $(id);
    var className = 'note ' + n.cls + (n.text ? ' show' : '');
    if (el.className === className && el.textContent === n.text) return;
    el.setAttribute('aria-live', n.cls === 'err' ? 'assertive' : 'polite');
    el.className = className;
    el.textContent = n.text;
  }

  function span(cls, text) {
    var el = document.createElement('span');
    el.className = cls;
    el.textContent = text;
    return el;
  }

  function renderTools(tools) {
    var line = $('tokLine');
    var key = tools ? String(tools.login) + tools.token : '';
    if (line.getAttribute('data-shown') === key) return;
    line.setAttribute('data-shown', key);
    line.textContent = '';
    if (!tools) return;
    if (tools.login === 'absent' || tools.login === 'unstartable') {
      line.appendChild(span('no', tools.login === 'absent' ? T.loginToolAbsent : T.loginToolUnstartable));
      return;
    }
    line.appendChild(tools.login === 'ok' ? span('ok', T.loginToolPresent) : span('no', T.loginToolFailing));
    line.appendChild(document.createTextNode(T.tokenTool(tools.token)));
  }

  function renderButton(id, b) {
    var el = $(id);
    if ('primary' in b) {
      var cls = b.primary ? 'btn' : 'btn ghost';
      if (el.className !== cls) el.className = cls;
    }
    if ('hidden' in b) el.hidden = b.hidden;
    if ('disabled' in b) el.disabled = b.disabled;
    if ('busy' in b) el.setAttribute('aria-disabled', b.busy ? 'true' : 'false');
  }

  function renderIdleLine(parts) {
    var line = $('idleLine');
    var key = parts.join('|');
    if (line.getAttribute('data-shown') === key) return;
    line.setAttribute('data-shown', key);
    line.textContent = parts[0];
    if (parts[1]) {
      var b = document.createElement('b');
      b.textContent = parts[1];
      line.appendChild(b);
    }
    if (parts[2]) line.appendChild(document.createTextNode(parts[2]));
  }

  function renderSteps(step) {
    var steps = { loading: 'stepLoading', idle: 'stepIdle', starting: 'stepStarting', confirm: 'stepConfirm', active: 'stepActive' };
    for (var name in steps) $(steps[name]).classList.toggle('on', name === step);
  }

  /* The address as a link when it may be opened, else as plain text. */
  function renderVerify(url, openUrl) {
    var box = $('verifyUrl');
    var key = url + '\n' + openUrl;
    if (box.getAttribute('data-shown') === key) return;
    box.setAttribute('data-shown', key);
    box.textContent = '';
    if (!openUrl) {
      box.textContent = url;
      return;
    }
    var a = document.createElement('a');
    a.href = openUrl;
    a.target = '_blank';
    a.rel = 'noopener noreferrer';
    a.textContent = url;
    box.appendChild(a);
  }

  /* Draws the address as a QR code, for approving on a phone. Only an
     address that may be opened is drawn (a phone would follow any other
     one too), as its parsed form, which is plain ASCII. The symbol is
     black on white in both themes: scanners expect dark modules on a light
     ground. */
  var qrShown = null;
  function renderQr(openUrl) {
    if (qrShown === openUrl) return;
    qrShown = openUrl;
    var canvas = $('qrCode');
    var qr = null;
    if (openUrl && typeof window.qrcode === 'function') {
      try {
        qr = window.qrcode(0, 'M');
        qr.addData(openUrl, 'Byte');
        qr.make();
      } catch (e) {
        qr = null;   /* too long for any QR version: the link still works */
      }
    }
    var ctx = qr ? canvas.getContext('2d') : null;
    canvas.hidden = !ctx;
    $('qrBox').hidden = !ctx;
    setText('addrLabel', ctx ? T.addrWithQr : T.addrAlone);
    if (!ctx) return;
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
  }

  function renderFlow(f) {
    if (!f) return;
    $('flowKnown').hidden = !f.known;
    setText('userCode', f.code || '--');
    setText('flowExpiry', f.expiry);
    $('codeBox').classList.toggle('cancelling', f.cancelling);
    renderVerify(f.url, f.openUrl);
    renderQr(f.openUrl);
  }

  function render(v) {
    if (document.title !== v.title) document.title = v.title;
    var pillClass = 'pill ' + v.pill.cls;
    if ($('pill').className !== pillClass) $('pill').className = pillClass;
    setText('pillText', v.pill.text);
    for (var id in v.rows) setText(id, v.rows[id]);
    renderTools(v.tools);
    $('userBadge').hidden = !v.badge;
    if (v.badge) {
      setText('userLabel', v.badge.label);
      setText('userAv', v.badge.av);
    }
    renderButton('btnRefresh', v.buttons.refresh);
    renderButton('btnStartLogin', v.buttons.start);
    renderButton('btnRelogin', v.buttons.relogin);
    renderButton('btnCancel', v.buttons.cancel);
    setText('btnCopyOpen', v.buttons.copy.label);
    setText('copyHint', v.copyHint);
    $('copyHint').hidden = !v.copyHint;
    note('sessionNote', v.sessionNote);
    note('flowNote', v.flowNote);
    renderSteps(v.step);
    setText('workText', v.step === 'starting' ? v.stepText : '');
    setText('loadingText', v.step === 'loading' ? v.stepText : '');
    renderIdleLine(v.idleLine);
    setText('confirmText', v.confirmText);
    $('flowCard').setAttribute('aria-busy', v.busy ? 'true' : 'false');
    renderFlow(v.flow);
    setText('pollLabel', v.pollLabel);
    setText('codeAnnounce', v.announce);
    /* Focus never stays on a control that was just disabled or hidden (the
       browser would drop it to the page body): it waits on the flow
       card's title. */
    var active = document.activeElement;
    if (document.hasFocus() && active && active !== document.body && !usable(active)) {
      $('flowTitle').focus({ preventScroll: true });
    }
  }

  /* ---- Wiring ---- */

  function press(what) {
    return function () { dispatch({ type: 'press', what: what }); };
  }

  function onThemeToggle() {
    if (typeof window.vnApplyTheme !== 'function') return;
    window.vnApplyTheme(window.vnTheme() === 'dark' ? 'light' : 'dark');
  }

  $('btnStartLogin').addEventListener('click', press('start'));
  $('btnRelogin').addEventListener('click', press('relogin'));
  $('btnReplace').addEventListener('click', press('replace'));
  $('btnKeep').addEventListener('click', press('keep'));
  $('btnCancel').addEventListener('click', press('cancel'));
  $('btnRefresh').addEventListener('click', press('refresh'));
  $('btnCopyOpen').addEventListener('click', press('copy'));
  $('themeToggle').addEventListener('click', onThemeToggle);
  document.addEventListener('visibilitychange', function () {
    dispatch({ type: document.visibilityState === 'visible' ? 'visible' : 'hidden' });
  });
  window.addEventListener('online', function () { dispatch({ type: 'online' }); });

  setText('footInfo', T.footer);
  setText('copyDesc', T.copyDescribe);
  var first = L.boot(Date.now(), canCopy());
  model = first.model;
  render(L.view(model));
  first.effects.forEach(function (effect) { perform(effect, dispatch); });
  if (document.visibilityState === 'hidden') dispatch({ type: 'hidden' });
})();

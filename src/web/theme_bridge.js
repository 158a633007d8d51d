/* Theme bridge: the functions the console and a hosting frame use to change
   the theme, and the exchange with the host. A theme is only ever "light"
   or "dark"; anything else is ignored, so a stray message cannot break the
   palette. */
(function () {
  var root = document.documentElement;
  function apply(t) {
    if (t !== 'light' && t !== 'dark') return;
    if (root.getAttribute('data-theme') === t) return;
    root.setAttribute('data-theme', t);
    if (!root.classList.contains('embedded')) {
      try { window.localStorage.setItem('bot_theme', t); } catch (e) {}
    }
    try { window.dispatchEvent(new CustomEvent('bot-theme', { detail: t })); } catch (e) {}
  }
  window.vnApplyTheme = apply;
  window.vnTheme = function () {
    var t = root.getAttribute('data-theme');
    return t === 'light' || t === 'dark' ? t : 'dark';
  };
  /* Only the frame's parent is the host: a page of any other site that
     opened this one, or this page itself, does not set the theme. */
  window.addEventListener('message', function (ev) {
    if (ev.source !== window.parent || ev.source === window) return;
    var d = ev.data;
    if (d && typeof d === 'object' && d.type === 'vn-theme') apply(d.theme);
  });
  try {
    /* Inside the host's frame: ask the host which theme it shows. */
    if (window.parent && window.parent !== window) {
      window.parent.postMessage({ type: 'vn-theme-request' }, '*');
    }
  } catch (e) {}
})();

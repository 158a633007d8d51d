/* Early theme choice: runs before the page is styled, so the first paint
   already has the right palette. Order: theme= in the address, then the
   stored choice, then the system preference. Each step is guarded on its
   own: storage that is switched off must not stop the page. */
(function () {
  var root = document.documentElement;
  var query = '';
  var theme = null;
  try {
    query = window.location.search || '';
    var m = /[?&]theme=(light|dark)/.exec(query);
    if (m) theme = m[1];
  } catch (e) {}
  if (!theme) {
    try {
      var stored = window.localStorage.getItem('bot_theme');
      if (stored === 'light' || stored === 'dark') theme = stored;
    } catch (e) {}
  }
  if (!theme) {
    try {
      theme = window.matchMedia('(prefers-color-scheme: light)').matches ? 'light' : 'dark';
    } catch (e) {
      theme = 'dark';
    }
  }
  /* Reached on every path with a theme: theme.css holds the light palette
     only under data-theme="light", so the attribute must always be set. */
  root.setAttribute('data-theme', theme === 'light' ? 'light' : 'dark');
  var embedded = false;
  try {
    /* The host owns the title and the theme when it frames the console. */
    embedded = /[?&]embed=(1|true)(&|$)/.test(query);
    if (embedded) root.classList.add('embedded');
  } catch (e) {}
  /* A host's theme is the host's, not the operator's choice for the
     console opened on its own: only an unframed console remembers one. */
  if (!embedded) {
    try {
      window.localStorage.setItem('bot_theme', theme);
    } catch (e) {}
  }
})();

// The viewer's shell: shows the book's pages in a frame and runs the
// toolbar, the search panel, the About box and the splash screen.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const frame = $('page');
  const exitToken = document.querySelector('meta[name="exit-token"]').content;
  const ZOOM_STEPS = [0.5, 0.67, 0.75, 0.8, 0.9, 1, 1.1, 1.25, 1.5, 1.75, 2, 2.5, 3];
  const SPLASH_MS = 3000;
  const HEARTBEAT_MS = 5000;

  let book = null;
  let pages = [];
  const pageIndex = new Map();  // lower-case path -> index in pages
  const history = { list: [], pos: -1, moving: false };
  let zoom = 1;
  let pendingTerms = null;  // search words to highlight in the next page
  const enabled = new Set();  // toolbar groups shown

  // ---- pages -------------------------------------------------------------

  function pageUrl(path) {
    return '/book/' + path.split('/').map(encodeURIComponent).join('/');
  }

  function frameLocation() {
    try {
      return frame.contentWindow.location;
    } catch (e) {
      return null;  // a page of another origin (an outside link)
    }
  }

  function currentPath() {
    const loc = frameLocation();
    if (!loc || !loc.pathname.startsWith('/book/')) return null;
    try {
      return decodeURIComponent(loc.pathname.slice(6));
    } catch (e) {
      return null;
    }
  }

  function currentIndex() {
    const path = currentPath();
    if (path === null) return -1;
    const i = pageIndex.get(path.toLowerCase());
    return i === undefined ? -1 : i;
  }

  function open(path, terms) {
    pendingTerms = terms || null;
    const url = pageUrl(path);
    // Our own moves replace the frame's entry, so that the browser's
    // history and ours do not fight; ours records every page shown.
    const loc = frameLocation();
    if (loc && loc.href !== 'about:blank') loc.replace(url);
    else frame.src = url;
  }

  // The next (dir 1) or previous (dir -1) page of the page sequence.
  function neighbour(dir) {
    const i = currentIndex();
    if (i < 0) return dir > 0 ? pages.find((p) => p.seq) || null : null;
    for (let k = i + dir; k >= 0 && k < pages.length; k += dir) {
      if (pages[k].seq) return pages[k];
    }
    return null;
  }

  function onFrameLoad() {
    const loc = frameLocation();
    if (loc) {
      const href = loc.pathname + loc.search + loc.hash;
      if (history.moving) {
        history.moving = false;
      } else if (history.list[history.pos] !== href) {
        history.list.splice(history.pos + 1);
        history.list.push(href);
        history.pos = history.list.length - 1;
      }
      const path = currentPath();
      if (path !== null) window.history.replaceState(null, '', '#' + encodeURI(path));
      const doc = frame.contentDocument;
      if (doc) {
        doc.addEventListener('keydown', onKey);
        applyZoom();
        if (pendingTerms) highlight(doc, pendingTerms);
      }
    }
    pendingTerms = null;
    markCurrentResult();
    updateButtons();
    document.body.dataset.page = currentPath() || '';
  }

  // ---- toolbar -----------------------------------------------------------

  function updateButtons() {
    const set = (id, on) => { const b = $(id); if (b) b.disabled = !on; };
    set('btn-prev', neighbour(-1) !== null);
    set('btn-next', neighbour(1) !== null);
    set('btn-back', history.pos > 0);
    set('btn-forward', history.pos < history.list.length - 1);
    set('btn-zoom-out', zoom > ZOOM_STEPS[0]);
    set('btn-zoom-in', zoom < ZOOM_STEPS[ZOOM_STEPS.length - 1]);
    const level = $('zoom-level');
    if (level) level.textContent = Math.round(zoom * 100) + '%';
  }

  function goHome() { if (pages.length) open(pages[0].path); }
  function goNeighbour(dir) { const p = neighbour(dir); if (p) open(p.path); }

  function goHistory(step) {
    const to = history.pos + step;
    if (to < 0 || to >= history.list.length) return;
    history.pos = to;
    history.moving = true;
    const loc = frameLocation();
    if (loc) loc.replace(history.list[to]);
    else frame.src = history.list[to];
  }

  async function copySelection() {
    let text = '';
    try { text = String(frame.contentWindow.getSelection() || ''); } catch (e) { /* outside page */ }
    if (!text) { toast('Select some text in the page first.'); return; }
    try {
      await navigator.clipboard.writeText(text);
    } catch (e) {
      const area = document.createElement('textarea');
      area.value = text;
      document.body.appendChild(area);
      area.select();
      document.execCommand('copy');
      area.remove();
    }
    toast('Copied.');
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else document.documentElement.requestFullscreen().catch(() => {});
  }

  function zoomKey() { return 'folivex.zoom.' + (book ? book.id : ''); }

  function setZoom(value) {
    zoom = value;
    try { localStorage.setItem(zoomKey(), String(zoom)); } catch (e) { /* storage off */ }
    applyZoom();
    updateButtons();
  }

  function stepZoom(dir) {
    let i = ZOOM_STEPS.findIndex((z) => z >= zoom - 1e-6);
    if (i < 0) i = ZOOM_STEPS.length - 1;
    if (dir > 0 && ZOOM_STEPS[i] <= zoom + 1e-6) i += 1;
    if (dir < 0) i -= 1;
    i = Math.max(0, Math.min(ZOOM_STEPS.length - 1, i));
    setZoom(ZOOM_STEPS[i]);
  }

  function applyZoom() {
    const doc = frame.contentDocument;
    if (doc && doc.documentElement) doc.documentElement.style.zoom = zoom === 1 ? '' : String(zoom);
  }

  function printPage() {
    try {
      frame.contentWindow.focus();
      frame.contentWindow.print();
    } catch (e) {
      window.print();
    }
  }

  async function exitBook() {
    try {
      await fetch('/api/exit', { method: 'POST', headers: { 'X-Exit-Token': exitToken } });
    } catch (e) { /* the server may already be gone */ }
    window.close();
    setTimeout(() => { $('closed').hidden = false; }, 300);
  }

  let toastTimer = 0;
  function toast(text) {
    const t = $('toast');
    t.textContent = text;
    t.hidden = false;
    clearTimeout(toastTimer);
    toastTimer = setTimeout(() => { t.hidden = true; }, 1800);
  }

  // ---- search ------------------------------------------------------------

  let searchTimer = 0;
  let searchSerial = 0;
  let lastResults = [];

  function openSearch() {
    const panel = $('search-panel');
    const wasHidden = panel.hidden;
    panel.hidden = false;
    $('btn-search').setAttribute('aria-pressed', 'true');
    const input = $('search-input');
    input.focus();
    input.select();
    if (wasHidden) runSearch();
  }

  function closeSearch() {
    $('search-panel').hidden = true;
    const b = $('btn-search');
    if (b) { b.setAttribute('aria-pressed', 'false'); b.focus(); }
  }

  function toggleSearch() {
    if ($('search-panel').hidden) openSearch(); else closeSearch();
  }

  async function runSearch() {
    const query = $('search-input').value.trim();
    const serial = ++searchSerial;
    const status = $('search-status');
    status.textContent = query ? 'Searching\u2026' : '';
    let data;
    try {
      const response = await fetch('/api/search?q=' + encodeURIComponent(query));
      data = await response.json();
    } catch (e) {
      if (serial === searchSerial) status.textContent = 'The search is not available.';
      return;
    }
    if (serial !== searchSerial) return;  // a newer query is under way
    showResults(data, query);
  }

  function showResults(data, query) {
    const list = $('search-results');
    const status = $('search-status');
    list.replaceChildren();
    list.classList.toggle('contents', data.contents);
    lastResults = data.results;
    if (data.contents) {
      status.textContent = data.results.length ? 'Contents' : 'This book has no pages in its sequence.';
    } else if (!data.total) {
      status.textContent = 'No pages contain \u201c' + query + '\u201d.';
    } else {
      status.textContent = data.total === 1 ? '1 page found'
        : data.total + ' pages found' + (data.total > data.results.length ? ', best ' + data.results.length + ' shown' : '');
    }
    for (const r of data.results) {
      const li = document.createElement('li');
      const a = document.createElement('a');
      a.href = pageUrl(r.path);
      a.dataset.path = r.path;
      const title = document.createElement('div');
      title.className = 'title';
      title.textContent = r.title;
      a.appendChild(title);
      if (r.snippet) {
        const snippet = document.createElement('div');
        snippet.className = 'snippet';
        r.snippet.forEach((part, i) => {
          if (i % 2) {
            const m = document.createElement('mark');
            m.textContent = part;
            snippet.appendChild(m);
          } else if (part) {
            snippet.appendChild(document.createTextNode(part));
          }
        });
        a.appendChild(snippet);
        const path = document.createElement('div');
        path.className = 'path';
        path.textContent = r.path;
        a.appendChild(path);
      }
      a.addEventListener('click', (e) => {
        e.preventDefault();
        open(r.path, data.contents ? null : data.terms);
      });
      li.appendChild(a);
      list.appendChild(li);
    }
    markCurrentResult();
  }

  function markCurrentResult() {
    const path = (currentPath() || '').toLowerCase();
    for (const a of $('search-results').querySelectorAll('a')) {
      a.classList.toggle('current', a.dataset.path.toLowerCase() === path);
    }
  }

  function escapeRegExp(s) { return s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&'); }

  // Marks every whole-word occurrence of the terms in the page and scrolls
  // to the first one.
  function highlight(doc, terms) {
    if (!doc.body || !terms.length) return;
    const sorted = [...terms].sort((a, b) => b.length - a.length).map(escapeRegExp);
    const re = new RegExp('(?<![\\p{L}\\p{N}\\p{M}])(?:' + sorted.join('|') + ')(?![\\p{L}\\p{N}\\p{M}])', 'giu');
    const walker = doc.createTreeWalker(doc.body, NodeFilter.SHOW_TEXT, {
      acceptNode(node) {
        const tag = node.parentNode && node.parentNode.nodeName;
        return tag === 'SCRIPT' || tag === 'STYLE' || tag === 'TEXTAREA' ? NodeFilter.FILTER_REJECT : NodeFilter.FILTER_ACCEPT;
      },
    });
    const nodes = [];
    while (walker.nextNode()) nodes.push(walker.currentNode);
    let first = null;
    for (const node of nodes) {
      const text = node.nodeValue;
      re.lastIndex = 0;
      let m;
      let last = 0;
      const parts = [];
      while ((m = re.exec(text)) !== null) {
        if (m[0].length === 0) { re.lastIndex++; continue; }
        parts.push(doc.createTextNode(text.slice(last, m.index)));
        const mark = doc.createElement('mark');
        mark.className = 'folivex-hit';
        mark.style.cssText = 'background:#ffe58a;color:inherit;border-radius:2px';
        mark.textContent = m[0];
        parts.push(mark);
        if (!first) first = mark;
        last = m.index + m[0].length;
      }
      if (!parts.length) continue;
      parts.push(doc.createTextNode(text.slice(last)));
      node.replaceWith(...parts);
    }
    if (first) first.scrollIntoView({ block: 'center' });
  }

  // ---- About box and splash ----------------------------------------------

  function safeWebAddress(url) {
    if (/^(https?|ftp):\/\//i.test(url)) return url;
    if (/^[a-z][a-z0-9+.-]*:/i.test(url)) return null;  // javascript: and friends
    return 'http://' + url;
  }

  function fillAbout(texts) {
    $('about-title').textContent = texts.title || 'E-Book';
    $('about-author').textContent = texts.author;
    $('about-copyright').textContent = texts.copyright;
    const url = $('about-url');
    url.textContent = texts.url;
    const href = texts.url ? safeWebAddress(texts.url) : null;
    if (href) url.href = href; else url.removeAttribute('href');
    const mail = $('about-email');
    mail.textContent = texts.email;
    if (texts.email) mail.href = 'mailto:' + texts.email; else mail.removeAttribute('href');
    $('about-info').textContent = texts.aboutInfo.replace(/\r\n?/g, '\n');
  }

  function openAbout() {
    $('about').hidden = false;
    $('about-ok').focus();
  }

  function closeAbout() { $('about').hidden = true; }

  function showSplash(then) {
    const splash = $('splash');
    const img = $('splash-image');
    let done = false;
    const finish = () => {
      if (done) return;
      done = true;
      splash.hidden = true;
      then();
    };
    img.onerror = finish;
    img.src = '/api/splash';
    splash.hidden = false;
    splash.addEventListener('click', finish);
    setTimeout(finish, SPLASH_MS);
  }

  // ---- keyboard ----------------------------------------------------------

  function onKey(e) {
    const ctrl = e.ctrlKey || e.metaKey;
    let handled = true;
    if (e.key === 'Escape') {
      if (!$('about').hidden) closeAbout();
      else if (!$('search-panel').hidden) closeSearch();
      else handled = false;
    } else if (e.altKey && !ctrl && e.key === 'ArrowLeft' && enabled.has('history')) {
      goHistory(-1);
    } else if (e.altKey && !ctrl && e.key === 'ArrowRight' && enabled.has('history')) {
      goHistory(1);
    } else if (ctrl && !e.altKey && (e.key === 'f' || e.key === 'F') && enabled.has('search')) {
      openSearch();
    } else if (e.key === 'F11' && enabled.has('fullScreen')) {
      toggleFullScreen();
    } else if (ctrl && !e.altKey && (e.key === 'p' || e.key === 'P') && enabled.has('print')) {
      printPage();
    } else if (ctrl && (e.key === '+' || e.key === '=') && enabled.has('fontSize')) {
      stepZoom(1);
    } else if (ctrl && (e.key === '-' || e.key === '_') && enabled.has('fontSize')) {
      stepZoom(-1);
    } else if (ctrl && e.key === '0' && enabled.has('fontSize')) {
      setZoom(1);
    } else {
      handled = false;
    }
    if (handled) e.preventDefault();
  }

  // ---- start -------------------------------------------------------------

  function setUpToolbar(settings) {
    const toolbar = $('toolbar');
    if (!settings.showToolbar) {
      toolbar.remove();
      return;
    }
    for (const group of [...toolbar.querySelectorAll('.group')]) {
      const name = group.dataset.button;
      if (settings.buttons[name]) enabled.add(name);
      else group.remove();  // buttons the book does not offer are not there at all
    }
    toolbar.hidden = false;
    const on = (id, fn) => { const b = $(id); if (b) b.addEventListener('click', fn); };
    on('btn-home', goHome);
    on('btn-prev', () => goNeighbour(-1));
    on('btn-next', () => goNeighbour(1));
    on('btn-back', () => goHistory(-1));
    on('btn-forward', () => goHistory(1));
    on('btn-copy', copySelection);
    on('btn-search', toggleSearch);
    on('btn-fullscreen', toggleFullScreen);
    on('btn-zoom-out', () => stepZoom(-1));
    on('btn-zoom-in', () => stepZoom(1));
    on('btn-print', printPage);
    on('btn-about', openAbout);
    on('btn-exit', exitBook);
  }

  async function start() {
    book = await (await fetch('/api/book')).json();
    pages = book.pages;
    pages.forEach((p, i) => { if (!pageIndex.has(p.path.toLowerCase())) pageIndex.set(p.path.toLowerCase(), i); });
    document.title = book.texts.title || 'E-Book';
    try {
      const saved = parseFloat(localStorage.getItem(zoomKey()));
      if (saved >= ZOOM_STEPS[0] && saved <= ZOOM_STEPS[ZOOM_STEPS.length - 1]) zoom = saved;
    } catch (e) { /* storage off */ }

    setUpToolbar(book.settings);
    fillAbout(book.texts);
    $('about-ok').addEventListener('click', closeAbout);
    $('about').addEventListener('click', (e) => { if (e.target === $('about')) closeAbout(); });
    $('search-close').addEventListener('click', closeSearch);
    $('search-form').addEventListener('submit', (e) => { e.preventDefault(); clearTimeout(searchTimer); runSearch(); });
    $('search-input').addEventListener('input', () => {
      clearTimeout(searchTimer);
      searchTimer = setTimeout(runSearch, 250);
    });
    window.addEventListener('keydown', onKey);
    frame.addEventListener('load', onFrameLoad);

    // A reload keeps the page that was shown.
    let first = pages.length ? pages[0].path : null;
    if (location.hash.length > 1) {
      try {
        const wanted = decodeURI(location.hash.slice(1)).toLowerCase();
        if (pageIndex.has(wanted)) first = pages[pageIndex.get(wanted)].path;
      } catch (e) { /* malformed: start at home */ }
    }
    if (first) open(first); else $('empty-book').hidden = false;
    updateButtons();

    const afterSplash = () => { if (book.settings.showAboutAtStart) openAbout(); };
    if (book.hasSplash) showSplash(afterSplash); else afterSplash();

    const beat = () => fetch('/api/heartbeat', { method: 'POST', cache: 'no-store' }).catch(() => {});
    beat();
    setInterval(beat, HEARTBEAT_MS);
    document.body.dataset.ready = '1';
  }

  start().catch((e) => {
    document.body.textContent = 'The e-book could not be shown: ' + e;
  });
})();

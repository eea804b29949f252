// The viewer's shell: shows the book's pages in a frame and runs the
// toolbar, the About box, the splash screen and the keyboard; remembers
// where the reader is; and says so when the viewer program has ended.
// The side panels, menus, themes and printing of the whole book have
// files of their own.
import {
  $, frame, state, setBook, findPage, frameLocation, frameDocument, currentPath, currentIndex,
  open, takePending, store, isTextField, toast,
} from './core.js';
import { initPanels, openPanel, togglePanel, closePanels, markCurrent, highlight } from './panels.js';
import { toggleMenu, closeMenus, menuOpen, menuKey, setUpToolbarFit } from './menus.js';
import { initTheme, preparePage as prepareTheme } from './theme.js';
import { printWholeBook } from './print.js';

const exitToken = document.querySelector('meta[name="exit-token"]').content;
const ZOOM_STEPS = [0.5, 0.67, 0.75, 0.8, 0.9, 1, 1.1, 1.25, 1.5, 1.75, 2, 2.5, 3];
const SPLASH_MS = 3000;
const HEARTBEAT_MS = 5000;
const RECHECK_MS = 1000;    // a failed call is tried once more before the book counts as closed
const PLACE_SAVE_MS = 300;  // scrolling is written down this long after it stops
const NEXT_DOCUMENT_MS = 10000;

const history = { list: [], pos: -1, moving: false };
let zoom = 1;

// ---- pages -----------------------------------------------------------------

// The next (dir 1) or previous (dir -1) page of the page sequence.
function neighbour(dir) {
  const i = currentIndex();
  if (i < 0) return dir > 0 ? state.pages.find((p) => p.seq) || null : null;
  for (let k = i + dir; k >= 0 && k < state.pages.length; k += dir) {
    if (state.pages[k].seq) return state.pages[k];
  }
  return null;
}

function preparePage(doc) {
  applyZoom(doc);
  prepareTheme(doc);
}

// The font size and dark pages go onto the next page as soon as its
// document exists, so that it does not show at first in the wrong size or
// colours.
function watchNextDocument(old) {
  const until = Date.now() + NEXT_DOCUMENT_MS;
  const look = () => {
    const doc = frameDocument();
    if (doc && doc !== old && doc.documentElement) preparePage(doc);
    else if (Date.now() < until) setTimeout(look, 10);
  };
  setTimeout(look, 0);
}

function recordInHistory(loc) {
  const href = loc.pathname + loc.search + loc.hash;
  if (history.moving) {
    history.moving = false;
  } else if (history.list[history.pos] !== href) {
    history.list.splice(history.pos + 1);
    history.list.push(href);
    history.pos = history.list.length - 1;
  }
}

function onFrameLoad() {
  const pending = takePending();
  const loc = frameLocation();
  const doc = loc && frameDocument();
  if (!loc) {
    checkServer();  // a browser error page, or a page of another site
  } else if (doc && doc.documentElement && doc.documentElement.hasAttribute('data-folivex-closed')) {
    showClosed();  // the service worker answered for the server that has gone
    return;
  } else {
    recordInHistory(loc);
    const path = currentPath();
    if (path !== null) window.history.replaceState(null, '', '#' + encodeURI(path));
    if (doc) {
      doc.addEventListener('keydown', onKey);
      doc.addEventListener('pointerdown', () => closeMenus(false));
      doc.defaultView.addEventListener('pagehide', () => watchNextDocument(doc));
      doc.defaultView.addEventListener('scroll', placeChanged, { passive: true });
      preparePage(doc);
      if (pending.terms) highlight(doc, pending.terms);
      if (pending.top && doc.scrollingElement) doc.scrollingElement.scrollTop = pending.top;
    }
    savePlace();
  }
  markCurrent();
  updateButtons();
  document.body.dataset.page = currentPath() || '';
}

// ---- the reader's place ----------------------------------------------------

let placeTimer = 0;

function placeChanged() {
  clearTimeout(placeTimer);
  placeTimer = setTimeout(savePlace, PLACE_SAVE_MS);
}

function savePlace() {
  const path = currentPath();
  if (path === null || !findPage(path)) return;
  const doc = frameDocument();
  const top = doc && doc.scrollingElement ? Math.round(doc.scrollingElement.scrollTop) : 0;
  store.set('place', JSON.stringify({ path, top }));
}

// Where the book opens: the page named in the address (a reload), else the
// place the reader left, else the first page. A remembered page that the
// book no longer holds counts as none.
function startPlace() {
  let place = null;
  try {
    const saved = JSON.parse(store.get('place'));
    const page = saved && findPage(saved.path);
    if (page) place = { path: page.path, top: Math.max(0, Number(saved.top) || 0) };
  } catch (e) { /* nothing remembered, or not by us */ }
  if (location.hash.length > 1) {
    try {
      const page = findPage(decodeURI(location.hash.slice(1)));
      if (page) return { path: page.path, top: place && place.path === page.path ? place.top : 0 };
    } catch (e) { /* malformed: as if there were none */ }
  }
  if (place) return place;
  return state.pages.length ? { path: state.pages[0].path, top: 0 } : null;
}

// ---- toolbar ---------------------------------------------------------------

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

// Home is the first page of the directory, wherever the reader was.
function goHome() { if (state.pages.length) open(state.pages[0].path); }
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

function loadZoom() {
  let saved = store.get('zoom');
  if (saved === null) {
    // Earlier versions kept the size under the id of the book's contents.
    try { saved = localStorage.getItem('folivex.zoom.' + state.book.id); } catch (e) { /* storage off */ }
  }
  saved = parseFloat(saved);
  if (saved >= ZOOM_STEPS[0] && saved <= ZOOM_STEPS[ZOOM_STEPS.length - 1]) zoom = saved;
}

function setZoom(value) {
  zoom = value;
  store.set('zoom', zoom);
  applyZoom(frameDocument());
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

function applyZoom(doc) {
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
  savePlace();
  try {
    await fetch('/api/exit', { method: 'POST', headers: { 'X-Exit-Token': exitToken } });
  } catch (e) { /* the server may already be gone */ }
  window.close();
  setTimeout(showClosed, 300);
}

// ---- the end of the viewer -------------------------------------------------

let closed = false;
let closedPage = null;  // the text of /closed.html, fetched while the server runs
let heartbeat = 0;

async function callIn() {
  try {
    await fetch('/api/heartbeat', { method: 'POST', cache: 'no-store' });
    return true;
  } catch (e) {
    return false;
  }
}

// The heartbeat tells a default browser's viewer that the window is still
// open; when it cannot reach the server twice in a row, the server has gone.
async function checkServer() {
  if (closed || await callIn()) return;
  await new Promise((resolve) => setTimeout(resolve, RECHECK_MS));
  if (!closed && !(await callIn())) showClosed();
}

function showClosed() {
  if (closed) return;
  closed = true;
  clearInterval(heartbeat);
  const theme = document.documentElement.dataset.theme;
  if (!closedPage) {
    document.body.textContent = 'This book has been closed.';
    return;
  }
  const page = new DOMParser().parseFromString(closedPage, 'text/html');
  page.documentElement.dataset.theme = theme;
  document.replaceChild(document.adoptNode(page.documentElement), document.documentElement);
}

function watchServer() {
  fetch('/closed.html').then((r) => (r.ok ? r.text() : null)).then((text) => { closedPage = text; }).catch(() => {});
  // The service worker answers the pages asked for after the server has
  // gone; it needs a secure context, which 127.0.0.1 is.
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('/sw.js').catch(() => {});
  checkServer();
  heartbeat = setInterval(checkServer, HEARTBEAT_MS);
}

// ---- About box and splash --------------------------------------------------

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

// Returns true when the box was open.
function closeAbout() {
  if ($('about').hidden) return false;
  $('about').hidden = true;
  return true;
}

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

// ---- keyboard --------------------------------------------------------------

// Listens on the shell and on every page shown in the frame.
function onKey(e) {
  if (closed || e.defaultPrevented) return;
  const ctrl = e.ctrlKey || e.metaKey;
  const plain = !ctrl && !e.altKey && !e.shiftKey;
  // Plain keys belong to text fields, open menus and the About box.
  const free = !isTextField(e.target) && !menuOpen() && $('about').hidden;
  const has = (name) => state.enabled.has(name);
  let handled = true;
  if (e.key === 'Escape') {
    handled = closeMenus() || closeAbout() || closePanels();
  } else if (menuKey(e)) {
    // moved within the menu
  } else if (e.altKey && !ctrl && e.key === 'ArrowLeft' && has('history')) {
    goHistory(-1);
  } else if (e.altKey && !ctrl && e.key === 'ArrowRight' && has('history')) {
    goHistory(1);
  } else if (plain && free && (e.key === 'ArrowLeft' || e.key === 'ArrowRight') && has('prevNext')) {
    goNeighbour(e.key === 'ArrowLeft' ? -1 : 1);
  } else if (plain && free && e.key === 'Home' && has('home')) {
    goHome();
  } else if (!ctrl && !e.altKey && free && e.key === '/' && has('search')) {
    openPanel('search');
  } else if (ctrl && !e.altKey && (e.key === 'f' || e.key === 'F') && has('search')) {
    openPanel('search');
  } else if (e.key === 'F11' && has('fullScreen')) {
    toggleFullScreen();
  } else if (ctrl && !e.altKey && (e.key === 'p' || e.key === 'P') && has('print')) {
    printPage();
  } else if (ctrl && (e.key === '+' || e.key === '=') && has('fontSize')) {
    stepZoom(1);
  } else if (ctrl && (e.key === '-' || e.key === '_') && has('fontSize')) {
    stepZoom(-1);
  } else if (ctrl && e.key === '0' && has('fontSize')) {
    setZoom(1);
  } else {
    handled = false;
  }
  if (handled) e.preventDefault();
}

// ---- start -----------------------------------------------------------------

function setUpToolbar(settings) {
  const toolbar = $('toolbar');
  if (!settings.showToolbar) {
    toolbar.remove();
    return;
  }
  for (const group of [...toolbar.querySelectorAll('.group[data-button]')]) {
    const name = group.dataset.button;
    if (settings.buttons[name]) state.enabled.add(name);
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
  on('btn-contents', () => togglePanel('contents'));
  on('btn-search', () => togglePanel('search'));
  on('btn-theme', (e) => toggleMenu($('theme-menu'), e.currentTarget));
  on('btn-fullscreen', toggleFullScreen);
  on('btn-zoom-out', () => stepZoom(-1));
  on('btn-zoom-in', () => stepZoom(1));
  on('btn-print', (e) => toggleMenu($('print-menu'), e.currentTarget));
  on('print-page', () => { closeMenus(false); printPage(); });
  on('print-book', () => { closeMenus(false); printWholeBook(); });
  on('btn-about', openAbout);
  on('btn-exit', exitBook);
  setUpToolbarFit();
}

async function start() {
  setBook(await (await fetch('/api/book')).json());
  const book = state.book;
  document.title = book.texts.title || 'E-Book';
  loadZoom();
  initTheme();
  setUpToolbar(book.settings);
  initPanels();
  fillAbout(book.texts);
  $('about-ok').addEventListener('click', closeAbout);
  $('about').addEventListener('click', (e) => { if (e.target === $('about')) closeAbout(); });
  window.addEventListener('keydown', onKey);
  window.addEventListener('pagehide', savePlace);
  frame.addEventListener('load', onFrameLoad);

  const first = startPlace();
  if (first) open(first.path, { top: first.top }); else $('empty-book').hidden = false;
  updateButtons();

  const afterSplash = () => { if (book.settings.showAboutAtStart) openAbout(); };
  if (book.hasSplash) showSplash(afterSplash); else afterSplash();
  watchServer();
  document.body.dataset.ready = '1';
}

start().catch((e) => {
  document.body.textContent = 'The e-book could not be shown: ' + e;
});

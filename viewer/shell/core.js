// What the parts of the shell share: the book as /api/book describes it,
// the frame that shows its pages, moving that frame to a page, what the
// shell remembers for this book in the browser, and small helpers.

export const $ = (id) => document.getElementById(id);
export const frame = $('page');

export const state = {
  book: null,
  pages: [],             // the page directory: { path, title, seq, search }
  pageIndex: new Map(),  // lower-case path -> index in pages
  enabled: new Set(),    // the toolbar groups the book offers
};

export function setBook(book) {
  state.book = book;
  state.pages = book.pages;
  book.pages.forEach((p, i) => {
    const key = p.path.toLowerCase();
    if (!state.pageIndex.has(key)) state.pageIndex.set(key, i);
  });
}

// The pages of the page sequence, in reading order.
export function sequence() { return state.pages.filter((p) => p.seq); }

export function findPage(path) {
  const i = state.pageIndex.get(String(path).toLowerCase());
  return i === undefined ? null : state.pages[i];
}

// ---- the page frame --------------------------------------------------------

export function pageUrl(path) {
  return '/book/' + path.split('/').map(encodeURIComponent).join('/');
}

// The frame's location and document, or null while it shows something that
// is not ours (an outside link, a browser error page).
export function frameLocation() {
  try {
    const loc = frame.contentWindow.location;
    return loc.href ? loc : null;
  } catch (e) {
    return null;
  }
}

export function frameDocument() {
  try {
    return frame.contentDocument;
  } catch (e) {
    return null;
  }
}

export function currentPath() {
  const loc = frameLocation();
  if (!loc || !loc.pathname.startsWith('/book/')) return null;
  try {
    return decodeURIComponent(loc.pathname.slice(6));
  } catch (e) {
    return null;
  }
}

export function currentIndex() {
  const path = currentPath();
  if (path === null) return -1;
  const i = state.pageIndex.get(path.toLowerCase());
  return i === undefined ? -1 : i;
}

// What the next page shown in the frame should get: search words to mark,
// a scroll position to return to.
let pending = null;
export function takePending() {
  const p = pending;
  pending = null;
  return p || {};
}

export function open(path, extra) {
  pending = extra || null;
  const url = pageUrl(path);
  // Our own moves replace the frame's entry, so that the browser's
  // history and ours do not fight; ours records every page shown.
  const loc = frameLocation();
  if (loc && loc.href !== 'about:blank') loc.replace(url);
  else frame.src = url;
}

// ---- what the shell remembers for this book --------------------------------

// Kept in the browser's storage for the book's address, under the book's own
// key, so that two books served at the same address never mix.
export const store = {
  get(name) {
    try {
      return localStorage.getItem(storeKey(name));
    } catch (e) {
      return null;  // storage is switched off
    }
  },
  set(name, value) {
    try {
      if (value === null) localStorage.removeItem(storeKey(name));
      else localStorage.setItem(storeKey(name), String(value));
    } catch (e) { /* storage is switched off or full */ }
  },
};

function storeKey(name) { return 'folivex.' + state.book.storageKey + '.' + name; }

// ---- helpers ---------------------------------------------------------------

const TYPING_INPUTS = new Set(['text', 'search', 'email', 'url', 'tel', 'password', 'number',
  'date', 'datetime-local', 'month', 'week', 'time']);

// True where keys type text, so that shortcuts must leave them alone.
export function isTextField(el) {
  if (!el) return false;
  if (el.isContentEditable) return true;
  if (el.tagName === 'TEXTAREA' || el.tagName === 'SELECT') return true;
  return el.tagName === 'INPUT' && TYPING_INPUTS.has(el.type);
}

let toastTimer = 0;
export function toast(text, ms = 1800) {
  const t = $('toast');
  t.textContent = text;
  t.hidden = false;
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => { t.hidden = true; }, ms);
}

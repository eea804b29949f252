// The side panels: Contents (the page sequence with its titles, the page
// shown marked) and Search (ranked results with snippets; with no words it
// lists the contents too). One panel shows at a time.
import { $, currentPath, open, pageUrl, sequence } from './core.js';

const PANELS = { contents: 'contents-panel', search: 'search-panel' };
const BUTTONS = { contents: 'btn-contents', search: 'btn-search' };

export function openPanel(name) {
  for (const other of Object.keys(PANELS)) if (other !== name) closePanel(other, false);
  const panel = $(PANELS[name]);
  const wasHidden = panel.hidden;
  panel.hidden = false;
  const b = $(BUTTONS[name]);
  if (b) b.setAttribute('aria-pressed', 'true');
  if (name === 'search') {
    const input = $('search-input');
    input.focus();
    input.select();
    if (wasHidden) runSearch();
  } else {
    markCurrent();
    const current = $('contents-list').querySelector('a.current') || $('contents-list').querySelector('a');
    if (current) current.focus({ preventScroll: true });
  }
}

// Returns true when the panel was open.
function closePanel(name, refocus = true) {
  const panel = $(PANELS[name]);
  if (panel.hidden) return false;
  panel.hidden = true;
  const b = $(BUTTONS[name]);
  if (b) {
    b.setAttribute('aria-pressed', 'false');
    if (refocus && b.offsetParent) b.focus();
  }
  return true;
}

export function togglePanel(name) {
  if ($(PANELS[name]).hidden) openPanel(name); else closePanel(name);
}

export function closePanels() {
  let closed = false;
  for (const name of Object.keys(PANELS)) closed = closePanel(name) || closed;
  return closed;
}

// ---- lists of pages --------------------------------------------------------

// Fills list with entries { path, title, snippet? }; a click opens the page
// (with terms marked in it, for search results).
function fillList(list, entries, terms) {
  list.replaceChildren();
  for (const r of entries) {
    const li = document.createElement('li');
    const a = document.createElement('a');
    a.href = pageUrl(r.path);
    a.dataset.path = r.path;
    const title = document.createElement('div');
    title.className = 'title';
    title.textContent = r.title;
    a.appendChild(title);
    if (r.snippet) a.append(snippetOf(r.snippet), pathLine(r.path));
    a.addEventListener('click', (e) => {
      e.preventDefault();
      open(r.path, terms ? { terms } : null);
      // In a narrow window the panel lies over the page (shell.css): out of the way.
      const panel = list.closest('.panel');
      if (getComputedStyle(panel).position === 'absolute') {
        closePanel(Object.keys(PANELS).find((name) => PANELS[name] === panel.id), false);
      }
    });
    li.appendChild(a);
    list.appendChild(li);
  }
  markCurrent();
}

// A snippet comes as text, hit, text, hit, ...
function snippetOf(parts) {
  const snippet = document.createElement('div');
  snippet.className = 'snippet';
  parts.forEach((part, i) => {
    if (i % 2) {
      const m = document.createElement('mark');
      m.textContent = part;
      snippet.appendChild(m);
    } else if (part) {
      snippet.appendChild(document.createTextNode(part));
    }
  });
  return snippet;
}

function pathLine(path) {
  const line = document.createElement('div');
  line.className = 'path';
  line.textContent = path;
  return line;
}

// Marks the page shown in both lists and keeps it in view in the contents.
export function markCurrent() {
  const path = (currentPath() || '').toLowerCase();
  for (const list of [$('contents-list'), $('search-results')]) {
    for (const a of list.querySelectorAll('a')) {
      const here = a.dataset.path.toLowerCase() === path;
      a.classList.toggle('current', here);
      if (here) a.setAttribute('aria-current', 'page'); else a.removeAttribute('aria-current');
    }
  }
  const current = $('contents-list').querySelector('a.current');
  if (current && !$('contents-panel').hidden) current.scrollIntoView({ block: 'nearest' });
}

function fillContents() {
  fillList($('contents-list'), sequence(), null);
}

// ---- search ----------------------------------------------------------------

let searchTimer = 0;
let searchSerial = 0;

async function runSearch() {
  const query = $('search-input').value.trim();
  const serial = ++searchSerial;
  const status = $('search-status');
  const list = $('search-results');
  if (!query) {
    status.textContent = sequence().length ? 'Contents' : 'This book has no pages in its sequence.';
    list.classList.add('contents');
    fillList(list, sequence(), null);
    return;
  }
  status.textContent = 'Searching\u2026';
  let data;
  try {
    const response = await fetch('/api/search?q=' + encodeURIComponent(query));
    data = await response.json();
  } catch (e) {
    if (serial === searchSerial) status.textContent = 'The search is not available.';
    return;
  }
  if (serial !== searchSerial) return;  // a newer query is under way
  if (!data.total) {
    status.textContent = 'No pages contain \u201c' + query + '\u201d.';
  } else {
    status.textContent = data.total === 1 ? '1 page found'
      : data.total + ' pages found' + (data.total > data.results.length ? ', best ' + data.results.length + ' shown' : '');
  }
  list.classList.remove('contents');
  fillList(list, data.results, data.terms);
}

export function initPanels() {
  fillContents();
  $('contents-close').addEventListener('click', () => closePanel('contents'));
  $('search-close').addEventListener('click', () => closePanel('search'));
  $('search-form').addEventListener('submit', (e) => { e.preventDefault(); clearTimeout(searchTimer); runSearch(); });
  $('search-input').addEventListener('input', () => {
    clearTimeout(searchTimer);
    searchTimer = setTimeout(runSearch, 250);
  });
}

// ---- marking search words in the page --------------------------------------

function escapeRegExp(s) { return s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&'); }

// Marks every whole-word occurrence of the terms in the page and scrolls
// to the first one.
export function highlight(doc, terms) {
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

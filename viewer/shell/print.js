// Printing the whole book: the pages of the page sequence are gathered, in
// reading order, into one document in a hidden frame, each page in a
// section of its own that starts on a new sheet, and printed at once.
//
// A document has one base address and one set of style sheets, so each
// page is adapted on the way in: its addresses (pictures, links, addresses
// inside its styles) are made absolute against the page's own, and its
// style sheets are confined to its section with @scope, where the rules
// the author wrote for html and body apply to the section itself. Pages
// with the same style sheets share one scoped copy. Scripts are left out.
import { $, frame, pageUrl, sequence, state, toast } from './core.js';

const FETCHES_AT_ONCE = 6;
const IMPORT_DEPTH = 4;           // @import inside @import inside ...
const PICTURE_WAIT_MS = 20000;    // the longest wait for pictures to load
const PAGE_CLASS = 'folivex-print-page';
const BASE_CSS = 'html,body{margin:0;padding:0}' +
  `.${PAGE_CLASS}{display:block;margin:8px}` +  // the margin a body has by default
  `.${PAGE_CLASS}+.${PAGE_CLASS}{break-before:page}`;
const URL_ATTRIBUTES = new Set(['src', 'href', 'poster', 'data', 'background', 'action', 'cite']);

let busy = false;

export async function printWholeBook() {
  const pages = sequence();
  if (!pages.length) { toast('This book has no pages in its sequence.'); return; }
  if (busy) return;
  busy = true;
  toast('Preparing ' + pages.length + (pages.length === 1 ? ' page' : ' pages') + ' for printing\u2026', 600000);
  try {
    const doc = await buildDocument(pages);
    await picturesLoaded(doc);
    $('toast').hidden = true;
    // Tests read this to know the document is complete.
    document.body.dataset.bookPrints = String(Number(document.body.dataset.bookPrints || 0) + 1);
    doc.defaultView.focus();
    doc.defaultView.print();
    frame.contentWindow.focus();  // the keys go to the page again, not to the hidden frame
  } catch (e) {
    toast('The book could not be prepared for printing: ' + e.message, 5000);
  } finally {
    busy = false;
  }
}

// ---- one document for the whole book ---------------------------------------

function printFrame() {
  let f = $('print-frame');
  if (!f) {
    f = document.createElement('iframe');
    f.id = 'print-frame';
    f.title = 'The whole book, for printing';
    f.tabIndex = -1;
    f.setAttribute('aria-hidden', 'true');
    document.body.appendChild(f);
  }
  return f;
}

async function buildDocument(pages) {
  const sheets = new Map();  // address -> its text, fetched once per print
  const loaded = await eachLimited(pages, FETCHES_AT_ONCE, (p) => loadPage(p, sheets));
  const doc = printFrame().contentDocument;
  doc.open();
  doc.write('<!DOCTYPE html><html><head><meta charset="utf-8"></head><body></body></html>');
  doc.close();
  doc.title = state.book.texts.title || 'E-Book';
  appendStyle(doc, BASE_CSS);
  const styleIds = new Map();  // the pages' style text -> the number of its scope
  for (const page of loaded) {
    let id = styleIds.get(page.css);
    if (id === undefined) {
      id = styleIds.size;
      styleIds.set(page.css, id);
      appendStyle(doc, scopeCss(page.css, `.${PAGE_CLASS}[data-style="${id}"]`));
    }
    const section = doc.createElement('section');
    section.className = PAGE_CLASS;
    section.dataset.page = page.path;
    section.dataset.style = id;
    carryAttributes(page.doc, section);
    for (const node of [...page.doc.body.childNodes]) section.appendChild(doc.importNode(node, true));
    doc.body.appendChild(section);
  }
  return doc;
}

function appendStyle(doc, css) {
  const style = doc.createElement('style');
  style.textContent = css;
  doc.head.appendChild(style);
}

// What the page's html and body carry that its styles may select on.
function carryAttributes(page, section) {
  const classes = [page.documentElement.className, page.body.className].join(' ').trim();
  if (classes) section.className += ' ' + classes;
  for (const name of ['lang', 'dir']) {
    const value = page.body.getAttribute(name) || page.documentElement.getAttribute(name);
    if (value) section.setAttribute(name, value);
  }
  const style = page.body.getAttribute('style');
  if (style) section.setAttribute('style', style);
}

async function picturesLoaded(doc) {
  const waits = [...doc.images].filter((img) => !img.complete).map((img) => new Promise((resolve) => {
    img.addEventListener('load', resolve, { once: true });
    img.addEventListener('error', resolve, { once: true });
  }));
  await Promise.race([Promise.all([...waits, doc.fonts.ready]),
    new Promise((resolve) => setTimeout(resolve, PICTURE_WAIT_MS))]);
}

// Runs fn over items, at most limit at a time; the results keep items' order.
async function eachLimited(items, limit, fn) {
  const results = new Array(items.length);
  let next = 0;
  const worker = async () => {
    while (next < items.length) {
      const i = next++;
      results[i] = await fn(items[i]);
    }
  };
  await Promise.all(Array.from({ length: Math.min(limit, items.length) }, worker));
  return results;
}

// ---- one page --------------------------------------------------------------

async function loadPage(p, sheets) {
  const url = new URL(pageUrl(p.path), location.href);
  const response = await fetch(url);
  if (!response.ok) throw new Error(p.path + ' (' + response.status + ')');
  const type = response.headers.get('content-type') || '';
  const doc = document.implementation.createHTMLDocument(p.title);
  if (type.startsWith('image/')) {
    const img = doc.createElement('img');
    img.src = url.href;
    doc.body.appendChild(img);
    return { path: p.path, doc, css: '' };
  }
  const text = decode(await response.arrayBuffer());
  if (!type.includes('html')) {
    const pre = doc.createElement('pre');
    pre.textContent = text;
    doc.body.appendChild(pre);
    return { path: p.path, doc, css: '' };
  }
  const page = new DOMParser().parseFromString(text, 'text/html');
  const baseElement = page.querySelector('base[href]');
  const base = baseElement ? new URL(baseElement.getAttribute('href'), url) : url;
  for (const el of page.querySelectorAll('script, base')) el.remove();
  const css = await pageCss(page, base, sheets);
  absolutise(page.body, base);
  return { path: p.path, doc: page, css };
}

// Pages are served as the book holds them, without a stated encoding: the
// page's own <meta charset>, else UTF-8 when the bytes are valid UTF-8,
// else Windows-1252, as the viewer reads the book's texts.
function decode(bytes) {
  const b = new Uint8Array(bytes, 0, Math.min(bytes.byteLength, 2));
  if (b[0] === 0xFF && b[1] === 0xFE) return new TextDecoder('utf-16le').decode(bytes);
  if (b[0] === 0xFE && b[1] === 0xFF) return new TextDecoder('utf-16be').decode(bytes);
  const head = new TextDecoder('windows-1252').decode(bytes.slice(0, 1024));
  const meta = /<meta[^>]+charset\s*=\s*["']?\s*([\w-]+)/i.exec(head);
  if (meta) {
    try { return new TextDecoder(meta[1]).decode(bytes); } catch (e) { /* a name no decoder knows */ }
  }
  try {
    return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
  } catch (e) {
    return new TextDecoder('windows-1252').decode(bytes);
  }
}

function resolve(address, base) {
  const a = address.trim();
  if (!a || /^(#|data:|javascript:|mailto:|about:)/i.test(a)) return address;
  try {
    return new URL(a, base).href;
  } catch (e) {
    return address;
  }
}

function absoluteCssUrls(css, base) {
  return css.replace(/url\(\s*(['"]?)([^'")]*)\1\s*\)/gi, (all, quote, address) =>
    (/^\s*(data:|#)/i.test(address) ? all : 'url("' + resolve(address, base) + '")'));
}

function absolutise(root, base) {
  for (const el of [root, ...root.querySelectorAll('*')]) {
    for (const attr of [...el.attributes]) {
      if (URL_ATTRIBUTES.has(attr.localName)) {
        attr.value = resolve(attr.value, base);
      } else if (attr.localName === 'srcset') {
        attr.value = attr.value.split(',').map((candidate) => {
          const [address, ...size] = candidate.trim().split(/\s+/);
          return [resolve(address, base), ...size].join(' ');
        }).join(', ');
      } else if (attr.localName === 'style' && attr.value.includes('url(')) {
        attr.value = absoluteCssUrls(attr.value, base);
      }
    }
    if (el.localName === 'img') el.loading = 'eager';  // the frame is never scrolled
  }
}

// ---- the page's style sheets -----------------------------------------------

// The text of the page's style elements and linked style sheets in order,
// imports inlined and addresses made absolute; the elements are removed.
async function pageCss(page, base, sheets) {
  const parts = [];
  for (const el of page.querySelectorAll('style, link[rel~="stylesheet" i]')) {
    el.remove();
    if (el.localName === 'link' && /\balternate\b/i.test(el.rel)) continue;
    let text;
    if (el.localName === 'style') {
      text = await inlineImports(el.textContent, base, sheets, 0);
    } else {
      const href = new URL(el.getAttribute('href') || '', base);
      text = await inlineImports(await sheetText(href, sheets), href, sheets, 0);
    }
    const media = (el.getAttribute('media') || '').trim();
    parts.push(media && media !== 'all' ? `@media ${media} {\n${text}\n}` : text);
  }
  return parts.join('\n');
}

function sheetText(url, sheets) {
  const key = url.href;
  if (!sheets.has(key)) {
    sheets.set(key, fetch(url).then((r) => (r.ok ? r.text() : '')).catch(() => ''));
  }
  return sheets.get(key);
}

const IMPORT = /@import\s+(?:url\(\s*)?(['"]?)([^'")\s;]+)\1\s*\)?\s*([^;]*);/gi;

async function inlineImports(css, base, sheets, depth) {
  let out = absoluteCssUrls(css, base).replace(/@charset\s+[^;]*;/gi, '');
  for (const m of [...out.matchAll(IMPORT)]) {
    const url = new URL(m[2], base);
    const inner = depth < IMPORT_DEPTH
      ? await inlineImports(await sheetText(url, sheets), url, sheets, depth + 1) : '';
    const media = m[3].trim();
    out = out.replace(m[0], () => (media ? `@media ${media} {\n${inner}\n}` : inner));
  }
  return out;
}

// Rules that may stand inside @scope; the others (@font-face, @keyframes,
// @page, ...) stay outside it.
const SCOPABLE = ['CSSStyleRule', 'CSSMediaRule', 'CSSSupportsRule', 'CSSContainerRule',
  'CSSLayerBlockRule'].map((name) => window[name]).filter(Boolean);

function scopeCss(css, scope) {
  if (!css.trim()) return '';
  const sheet = new CSSStyleSheet();
  try {
    sheet.replaceSync(css);
  } catch (e) {
    return '';
  }
  const rules = [...sheet.cssRules];
  if (typeof CSSScopeRule === 'undefined') return rules.map((r) => r.cssText).join('\n');
  const outside = [];
  const inside = [];
  for (const rule of rules) {
    rescopeRule(rule);
    (SCOPABLE.some((type) => rule instanceof type) ? inside : outside).push(rule.cssText);
  }
  return outside.join('\n') + `\n@scope (${scope}) {\n${inside.join('\n')}\n}`;
}

function rescopeRule(rule) {
  if (rule instanceof CSSStyleRule) {
    rule.selectorText = splitSelectors(rule.selectorText).map(rescopeSelector).join(', ');
  } else if (rule.cssRules) {
    for (const inner of rule.cssRules) rescopeRule(inner);
  }
}

function splitSelectors(text) {
  const out = [];
  let depth = 0;
  let start = 0;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (c === '(' || c === '[') depth++;
    else if (c === ')' || c === ']') depth--;
    else if (c === ',' && depth === 0) {
      out.push(text.slice(start, i).trim());
      start = i + 1;
    }
  }
  out.push(text.slice(start).trim());
  return out;
}

const ROOT = /^(?:html|:root)(?![\w-])([^\s>+~]*)/i;
const BODY = /^body(?![\w-])([^\s>+~]*)/i;

// "html", "body", "html > body" at the start of a selector name the page's
// section: ":scope", keeping what else they asked of it ("body.wide p" ->
// ":scope.wide p").
function rescopeSelector(selector) {
  let rest = selector;
  let also = '';
  const root = ROOT.exec(rest);
  if (root) {
    also += root[1];
    rest = rest.slice(root[0].length);
    const between = /^\s*>?\s*/.exec(rest)[0];
    const body = BODY.exec(rest.slice(between.length));
    if (body) {
      also += body[1];
      rest = rest.slice(between.length + body[0].length);
    }
  } else {
    const body = BODY.exec(rest);
    if (!body) return selector;
    also += body[1];
    rest = rest.slice(body[0].length);
  }
  return ':scope' + also + rest;
}

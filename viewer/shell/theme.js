// Reading themes. The shell (toolbar, panels, menus, About box) is light,
// sepia or dark; until the reader chooses, it follows the system's dark
// setting. "Dark pages" turns the author's pages to light on dark: the
// whole frame is inverted (shell.css), and inside the page the pictures are
// inverted once more, so they keep their own colours. Both choices are
// remembered per book.
import { $, frameDocument, store } from './core.js';
import { closeMenus } from './menus.js';

const THEMES = ['light', 'sepia', 'dark'];
const system = window.matchMedia('(prefers-color-scheme: dark)');
let chosen = null;  // one of THEMES, or null: as the system
let darkPages = false;

const PAGE_STYLE_ID = 'folivex-dark-pages';
const PICTURE = 'data-folivex-picture';
// Pictures, and elements whose background is a picture, turned back; a
// picture inside one of those is already turned back with it. Printing
// leaves the page as the author made it.
const PAGE_CSS = '@media screen{img,video,canvas,embed,object,svg image,[' + PICTURE + ']' +
  '{filter:invert(1) hue-rotate(180deg)!important}' +
  '[' + PICTURE + '] :is(img,video,canvas,embed,object,image,[' + PICTURE + '])' +
  '{filter:none!important}}';
// Looking for background pictures costs a style lookup per element; a page
// larger than this keeps the rest of its background pictures inverted.
const MOST_ELEMENTS_LOOKED_AT = 20000;

function shellTheme() { return chosen || (system.matches ? 'dark' : 'light'); }

function apply() {
  const root = document.documentElement;
  root.dataset.theme = shellTheme();
  root.classList.toggle('dark-pages', darkPages);
  const menu = $('theme-menu');
  if (!menu) return;  // the book has been closed
  for (const item of menu.querySelectorAll('[data-theme]')) {
    item.setAttribute('aria-checked', String(item.dataset.theme === (chosen || 'system')));
  }
  $('dark-pages').setAttribute('aria-checked', String(darkPages));
  const doc = frameDocument();
  if (doc) preparePage(doc);
}

// Puts the dark pages style into a page's document, or takes it out. Safe to
// call more than once per page; called as soon as the document exists and
// again when it has loaded.
export function preparePage(doc) {
  const root = doc.documentElement;
  if (!root) return;
  let style = doc.getElementById(PAGE_STYLE_ID);
  if (!darkPages) {
    if (style) style.remove();
    return;
  }
  if (!style) {
    style = doc.createElement('style');
    style.id = PAGE_STYLE_ID;
    style.textContent = PAGE_CSS;
    (doc.head || root).appendChild(style);
  }
  if (doc.readyState === 'complete') markBackgroundPictures(doc);
}

function markBackgroundPictures(doc) {
  if (!doc.body) return;
  const view = doc.defaultView;
  let looked = 0;
  for (const el of doc.body.getElementsByTagName('*')) {
    if (++looked > MOST_ELEMENTS_LOOKED_AT) break;
    if (el.hasAttribute(PICTURE)) continue;
    if (view.getComputedStyle(el).backgroundImage.includes('url(')) el.setAttribute(PICTURE, '');
  }
}

export function initTheme() {
  const saved = store.get('theme');
  chosen = THEMES.includes(saved) ? saved : null;
  darkPages = store.get('darkPages') === '1';
  system.addEventListener('change', apply);
  for (const item of $('theme-menu').querySelectorAll('[data-theme]')) {
    item.addEventListener('click', () => {
      chosen = THEMES.includes(item.dataset.theme) ? item.dataset.theme : null;
      store.set('theme', chosen);
      apply();
      closeMenus();
    });
  }
  $('dark-pages').addEventListener('click', () => {
    darkPages = !darkPages;
    store.set('darkPages', darkPages ? '1' : null);
    apply();
    closeMenus();
  });
  apply();
}

// Before the book is known, the shell already takes the system's colours.
document.documentElement.dataset.theme = shellTheme();

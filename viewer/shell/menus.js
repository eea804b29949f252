// Pop-up menus (Theme, Print, More) and the toolbar's fit to the window:
// when the buttons do not fit, their labels give way to icons (the
// tooltips stay), and the groups that still do not fit move into the More
// menu.
import { $ } from './core.js';

// The toolbar groups in the order they move into More: the ones a reader
// needs least while reading go first.
const OVERFLOW_ORDER = ['about', 'print', 'fullScreen', 'copy', 'theme', 'fontSize', 'history',
  'exit', 'search', 'home', 'prevNext'];

// How the toolbar tries to fit, in turn: every label; labels only on the
// buttons that move through the book (shell.css); icons alone.
const FITS = ['labels', 'some-labels', 'icons'];

let shown = null;     // the open menu
let shownFrom = null; // the button it hangs from
let barItems = [];    // the toolbar's children in their own order

// A button inside the More menu is out of sight once that closes, so its
// own menu hangs from More instead.
function anchorFor(button) {
  return button.closest('#more-menu') ? $('btn-more') : button;
}

function openMenu(menu, button) {
  const anchor = anchorFor(button);
  closeMenus(false);
  menu.hidden = false;
  const r = anchor.getBoundingClientRect();
  menu.style.left = Math.max(4, Math.min(r.left, window.innerWidth - menu.offsetWidth - 4)) + 'px';
  menu.style.top = (r.bottom + 4) + 'px';
  menu.style.maxHeight = Math.max(120, window.innerHeight - r.bottom - 12) + 'px';
  anchor.setAttribute('aria-expanded', 'true');
  shown = menu;
  shownFrom = anchor;
  const first = items(menu)[0];
  if (first) first.focus();
}

export function toggleMenu(menu, button) {
  if (shown === menu) closeMenus(); else openMenu(menu, button);
}

// Returns true when a menu was open.
export function closeMenus(refocus = true) {
  if (!shown) return false;
  shown.hidden = true;
  shownFrom.setAttribute('aria-expanded', 'false');
  if (refocus && shownFrom.offsetParent) shownFrom.focus();
  shown = null;
  shownFrom = null;
  return true;
}

export function menuOpen() { return shown !== null; }

function items(menu) {
  return [...menu.querySelectorAll('button')].filter((b) => b.offsetParent && !b.disabled);
}

// Up and Down move between the open menu's items; returns true when the
// key was one of them.
export function menuKey(e) {
  if (!shown || (e.key !== 'ArrowDown' && e.key !== 'ArrowUp')) return false;
  const list = items(shown);
  if (!list.length) return true;
  const at = list.indexOf(document.activeElement);
  const step = e.key === 'ArrowDown' ? 1 : -1;
  list[(at + step + list.length) % list.length].focus();
  return true;
}

// A press anywhere outside the open menu and its button closes it (a press
// in the page's frame closes it too: shell.js listens there).
function pressedAt(target) {
  if (!shown) return;
  if (shown.contains(target) || shownFrom.contains(target)) return;
  closeMenus(false);
}

// ---- the toolbar's fit -----------------------------------------------------

function groupName(g) { return g.dataset.button || g.dataset.tool || ''; }

function fitToolbar() {
  const bar = $('toolbar');
  if (!bar || bar.hidden) return;
  closeMenus(false);
  const more = bar.querySelector('[data-tool="more"]');
  bar.append(...barItems);
  more.hidden = true;
  const fits = () => bar.scrollWidth <= bar.clientWidth;
  for (const fit of FITS) {
    bar.dataset.fit = fit;
    if (fits()) return;
  }
  more.hidden = false;
  const moved = new Set();
  for (const name of OVERFLOW_ORDER) {
    const group = barItems.find((g) => groupName(g) === name && g.parentNode === bar);
    if (!group) continue;
    group.remove();
    moved.add(group);
    if (fits()) break;
  }
  $('more-menu').append(...barItems.filter((g) => moved.has(g)));
}

export function setUpToolbarFit() {
  const bar = $('toolbar');
  barItems = [...bar.children];
  $('btn-more').addEventListener('click', (e) => toggleMenu($('more-menu'), e.currentTarget));
  // A button chosen in More closes it, except the font size steps, which
  // are pressed a few times in a row.
  $('more-menu').addEventListener('click', (e) => {
    const button = e.target.closest('button');
    if (shown === $('more-menu') && button && !button.closest('[data-button="fontSize"]')) closeMenus(false);
  });
  document.addEventListener('pointerdown', (e) => pressedAt(e.target));
  new ResizeObserver(() => fitToolbar()).observe(bar);
  fitToolbar();
}

// The viewer's shell page in headless Chromium, against folivex-view serving
// books made with folivexc make: toolbar per the book's settings, the page
// sequence, history, search, About, font size, splash and Exit. Each test
// has a browser context of its own, so nothing one remembers reaches another.
// node shell.test.js --folivexc F --view V
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const lib = require('./lib');

const { shown, frameDoc } = lib;
const o = lib.options();
const playwright = lib.loadPlaywright();

let work;
let chromium;
const viewers = {};

before(async () => {
  work = lib.tempDir('folivex-browser-');
  const folder = path.join(work, 'book');
  lib.writeTree(folder, lib.BOOK_FILES);
  fs.writeFileSync(path.join(work, 'splash.bmp'), lib.tinyBmp());
  const texts = ['--author', 'Ada Writer', '--copyright', '(c) 2024 Ada', '--url', 'example.org/book',
    '--email', 'ada@example.org', '--about', 'Line one\nLine two'];
  const books = {
    full: lib.makeBook(o.folivexc, folder, path.join(work, 'full.exe'), ['--title', 'Full Book', ...texts]),
    limited: lib.makeBook(o.folivexc, folder, path.join(work, 'limited.exe'),
      ['--title', 'Limited', '--buttons', 'home,search']),
    noSearch: lib.makeBook(o.folivexc, folder, path.join(work, 'nosearch.exe'),
      ['--title', 'No Search', '--buttons', 'home,prevnext,exit']),
    bare: lib.makeBook(o.folivexc, folder, path.join(work, 'bare.exe'), ['--title', 'Bare', '--no-toolbar']),
    splash: lib.makeBook(o.folivexc, folder, path.join(work, 'splash.exe'),
      ['--title', 'Splash Book', ...texts, '--splash', path.join(work, 'splash.bmp'), '--about-at-start']),
  };
  for (const [name, book] of Object.entries(books)) viewers[name] = await lib.startViewer(o.view, book);
  chromium = await lib.startChromium(playwright);
});

after(async () => {
  if (chromium) await chromium.close();
  for (const v of Object.values(viewers)) await v.stop();
  fs.rmSync(work, { recursive: true, force: true });
});

// A test with a fresh browser context; fn(context, openShell(bookName)).
function shellTest(name, fn) {
  test(name, { timeout: 60000 }, async () => {
    const context = await chromium.newContext();
    try {
      await fn(context, (book) => lib.openShell(context, viewers[book].url));
    } finally {
      await context.close();
    }
  });
}

shellTest('the shell carries the book title and its icon', async (context, openShell) => {
  const p = await openShell('full');
  assert.equal(await p.title(), 'Full Book');
  assert.equal(await p.getAttribute('link[rel="icon"]', 'href'), '/favicon.ico');
  await shown(p, 'a-start.htm');
});

shellTest('the toolbar holds exactly the buttons the book enables', async (context, openShell) => {
  const p = await openShell('limited');
  // Contents comes with Search; the theme control is always there.
  for (const id of ['btn-home', 'btn-search', 'btn-contents', 'btn-theme']) assert.equal(await p.locator('#' + id).count(), 1, id);
  for (const id of ['btn-prev', 'btn-next', 'btn-back', 'btn-forward', 'btn-copy', 'btn-fullscreen',
    'btn-zoom-in', 'btn-zoom-out', 'btn-print', 'btn-about', 'btn-exit']) {
    assert.equal(await p.locator('#' + id).count(), 0, id);
  }
  const noSearch = await openShell('noSearch');
  for (const id of ['btn-search', 'btn-contents']) assert.equal(await noSearch.locator('#' + id).count(), 0, id);
  assert.equal(await noSearch.locator('#btn-theme').count(), 1);
  const bare = await openShell('bare');
  assert.equal(await bare.locator('#toolbar').count(), 0);
  await shown(bare, 'a-start.htm');
});

shellTest('Next and Prev follow the page sequence and skip pages outside it', async (context, openShell) => {
  const p = await openShell('full');
  await shown(p, 'a-start.htm');
  assert.ok(await p.isDisabled('#btn-prev'));
  await p.click('#btn-next');
  await shown(p, 'c-middle.htm');
  await p.click('#btn-next');
  await shown(p, 'd-end.htm');
  assert.ok(await p.isDisabled('#btn-next'));
  await p.click('#btn-prev');
  await shown(p, 'c-middle.htm');
  await p.click('#btn-prev');
  await shown(p, 'a-start.htm');
});

shellTest('Home, Back and Forward (buttons and Alt+arrows)', async (context, openShell) => {
  const p = await openShell('full');
  await shown(p, 'a-start.htm');
  await p.frameLocator('#page').locator('#to-d').click();  // a link in the page
  await shown(p, 'd-end.htm');
  await p.click('#btn-prev');
  await shown(p, 'c-middle.htm');
  await p.click('#btn-home');
  await shown(p, 'a-start.htm');
  await p.click('#btn-back');
  await shown(p, 'c-middle.htm');
  await p.keyboard.press('Alt+ArrowLeft');
  await shown(p, 'd-end.htm');
  await p.click('#btn-forward');
  await shown(p, 'c-middle.htm');
  await p.keyboard.press('Alt+ArrowRight');
  await shown(p, 'a-start.htm');
  assert.ok(await p.isDisabled('#btn-forward'));
});

shellTest('search finds words only in searchable pages and highlights them', async (context, openShell) => {
  const p = await openShell('full');
  await shown(p, 'a-start.htm');
  await p.keyboard.press('Control+f');
  assert.ok(await p.isVisible('#search-panel'));
  // An empty query lists the pages of the sequence with their titles.
  await p.waitForFunction(() => document.getElementById('search-status').textContent === 'Contents');
  assert.deepEqual(await p.locator('#search-results .title').allTextContents(), ['Start', 'Middle', 'End']);
  await p.fill('#search-input', 'ZYZZYVA');
  await p.waitForFunction(() => /found/.test(document.getElementById('search-status').textContent));
  assert.equal(await p.textContent('#search-status'), '1 page found');
  assert.deepEqual(await p.locator('#search-results .title').allTextContents(), ['Middle']);
  assert.equal(await p.textContent('#search-results mark'), 'zyzzyva');
  await p.click('#search-results a');
  await shown(p, 'c-middle.htm');
  await p.waitForFunction(() => document.getElementById('page').contentDocument.querySelectorAll('mark.folivex-hit').length === 1);
  await p.fill('#search-input', 'nowhere');
  await p.waitForFunction(() => /No pages/.test(document.getElementById('search-status').textContent));
  await p.keyboard.press('Escape');
  assert.ok(await p.isHidden('#search-panel'));
});

shellTest('font size applies to every page and is remembered', async (context, openShell) => {
  const p = await openShell('full');
  await shown(p, 'a-start.htm');
  await p.click('#btn-zoom-in');
  await p.click('#btn-zoom-in');
  assert.equal(await p.textContent('#zoom-level'), '125%');
  assert.equal(await frameDoc(p, (doc) => doc.documentElement.style.zoom), '1.25');
  await p.click('#btn-next');
  await shown(p, 'c-middle.htm');
  assert.equal(await frameDoc(p, (doc) => doc.documentElement.style.zoom), '1.25');
  await p.reload();
  await p.waitForSelector('body[data-ready]');
  await shown(p, 'c-middle.htm');  // a reload keeps the page too
  assert.equal(await p.textContent('#zoom-level'), '125%');
  assert.equal(await frameDoc(p, (doc) => doc.documentElement.style.zoom), '1.25');
  await p.keyboard.press('Control+0');
  assert.equal(await p.textContent('#zoom-level'), '100%');
});

shellTest('About shows the six texts with their line breaks', async (context, openShell) => {
  const p = await openShell('full');
  assert.ok(await p.isHidden('#about'));
  await p.click('#btn-about');
  assert.equal(await p.textContent('#about-title'), 'Full Book');
  assert.equal(await p.textContent('#about-author'), 'Ada Writer');
  assert.equal(await p.textContent('#about-copyright'), '(c) 2024 Ada');
  assert.equal(await p.getAttribute('#about-url', 'href'), 'http://example.org/book');
  assert.equal(await p.getAttribute('#about-email', 'href'), 'mailto:ada@example.org');
  assert.equal(await p.innerText('#about-info'), 'Line one\nLine two');
  await p.click('#about-ok');
  assert.ok(await p.isHidden('#about'));
});

shellTest('the splash shows at start, goes on a click, and the About box follows', async (context, openShell) => {
  const p = await openShell('splash');
  assert.ok(await p.isVisible('#splash'));
  await p.waitForFunction(() => document.getElementById('splash-image').naturalWidth === 2);
  assert.ok(await p.isHidden('#about'));
  await p.click('#splash');
  assert.ok(await p.isHidden('#splash'));
  assert.ok(await p.isVisible('#about'));
  await p.close();
  const q = await openShell('splash');
  await q.waitForSelector('#splash', { state: 'hidden', timeout: 4500 });  // on its own after 3 s
  assert.ok(await q.isVisible('#about'));
});

shellTest('Copy puts the selection on the clipboard', async (context, openShell) => {
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: viewers.full.url.replace(/\/$/, '') });
  const p = await openShell('full');
  await shown(p, 'a-start.htm');
  await frameDoc(p, (doc) => { const r = doc.createRange(); r.selectNodeContents(doc.querySelector('h1')); doc.getSelection().addRange(r); });
  await p.click('#btn-copy');
  await p.waitForFunction(async () => (await navigator.clipboard.readText()) === 'Start');
});

// Last: it ends the viewer the others read.
shellTest('Exit ends the viewer', async (context, openShell) => {
  const p = await openShell('full');
  await p.click('#btn-exit');
  const code = await Promise.race([viewers.full.exited, new Promise((r) => setTimeout(() => r('timeout'), 5000))]);
  assert.equal(code, 0);
});

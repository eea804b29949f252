// The viewer's shell page in headless Chromium, against folivex-view serving
// books made with folivexc make: toolbar per the book's settings, the page
// sequence, history, search, About, font size, splash and Exit.
// node shell.test.js --folivexc F --view V
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const lib = require('./lib');

// A 2 x 2 24-bit bitmap, as a splash screen.
function tinyBmp() {
  const b = Buffer.alloc(54 + 16);
  b.write('BM', 0);
  b.writeUInt32LE(b.length, 2);
  b.writeUInt32LE(54, 10);
  b.writeUInt32LE(40, 14);
  b.writeInt32LE(2, 18);
  b.writeInt32LE(2, 22);
  b.writeUInt16LE(1, 26);
  b.writeUInt16LE(24, 28);
  b.writeUInt32LE(16, 34);
  b.fill(0x80, 54);
  return b;
}

const page = (title, body) => `<html><head><title>${title}</title></head><body>${body}</body></html>`;

// Directory order is name order: a, b (a text file: outside the page
// sequence and the search), c, d.
const FILES = {
  'a-start.htm': page('Start', '<h1>Start</h1><p>The first page. <a id="to-d" href="d-end.htm">To the end</a></p>'),
  'b-notes.txt': 'zyzzyva in a text file that is neither in the sequence nor searchable',
  'c-middle.htm': page('Middle', '<p>Some text before.</p><p>A rare zyzzyva lives here.</p>'),
  'd-end.htm': page('End', '<p>The last page.</p>'),
  'e-style.css': 'p { margin: 1em }',
};

async function main() {
  const o = lib.options();
  const playwright = lib.loadPlaywright();
  const work = lib.tempDir('folivex-browser-');
  const folder = path.join(work, 'book');
  lib.writeTree(folder, FILES);
  fs.writeFileSync(path.join(work, 'splash.bmp'), tinyBmp());
  const texts = ['--author', 'Ada Writer', '--copyright', '(c) 2024 Ada', '--url', 'example.org/book',
    '--email', 'ada@example.org', '--about', 'Line one\nLine two'];
  const books = {
    full: lib.makeBook(o.folivexc, folder, path.join(work, 'full.exe'), ['--title', 'Full Book', ...texts]),
    limited: lib.makeBook(o.folivexc, folder, path.join(work, 'limited.exe'),
      ['--title', 'Limited', '--buttons', 'home,search']),
    bare: lib.makeBook(o.folivexc, folder, path.join(work, 'bare.exe'), ['--title', 'Bare', '--no-toolbar']),
    splash: lib.makeBook(o.folivexc, folder, path.join(work, 'splash.exe'),
      ['--title', 'Splash Book', ...texts, '--splash', path.join(work, 'splash.bmp'), '--about-at-start']),
  };
  const viewers = {};
  for (const [name, book] of Object.entries(books)) viewers[name] = await lib.startViewer(o.view, book);
  const { context, close } = await lib.launchBrowser(playwright);

  async function openShell(name) {
    const p = await context.newPage();
    await p.goto(viewers[name].url);
    await p.waitForSelector('body[data-ready]');
    return p;
  }
  const shown = (p, pagePath) => p.waitForSelector(`body[data-page="${pagePath}"]`, { state: 'attached', timeout: 5000 });
  const frameDoc = (p, fn, arg) => p.evaluate(([f, a]) => (new Function('doc', 'a', 'return (' + f + ')(doc, a)'))(document.getElementById('page').contentDocument, a), [fn.toString(), arg]);

  const failed = await lib.runCases([
    ['the shell carries the book title and its icon', async () => {
      const p = await openShell('full');
      assert.equal(await p.title(), 'Full Book');
      assert.equal(await p.getAttribute('link[rel="icon"]', 'href'), '/favicon.ico');
      await shown(p, 'a-start.htm');
      await p.close();
    }],
    ['the toolbar holds exactly the buttons the book enables', async () => {
      const p = await openShell('limited');
      for (const id of ['btn-home', 'btn-search']) assert.equal(await p.locator('#' + id).count(), 1, id);
      for (const id of ['btn-prev', 'btn-next', 'btn-back', 'btn-forward', 'btn-copy', 'btn-fullscreen',
        'btn-zoom-in', 'btn-zoom-out', 'btn-print', 'btn-about', 'btn-exit']) {
        assert.equal(await p.locator('#' + id).count(), 0, id);
      }
      await p.close();
      const bare = await openShell('bare');
      assert.equal(await bare.locator('#toolbar').count(), 0);
      await shown(bare, 'a-start.htm');
      await bare.close();
    }],
    ['Next and Prev follow the page sequence and skip pages outside it', async () => {
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
      await p.close();
    }],
    ['Home, Back and Forward (buttons and Alt+arrows)', async () => {
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
      await p.close();
    }],
    ['search finds words only in searchable pages and highlights them', async () => {
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
      await p.close();
    }],
    ['font size applies to every page and is remembered', async () => {
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
      await p.close();
    }],
    ['About shows the six texts with their line breaks', async () => {
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
      await p.close();
    }],
    ['the splash shows at start, goes on a click, and the About box follows', async () => {
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
      await q.close();
    }],
    ['Copy puts the selection on the clipboard', async () => {
      await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: viewers.full.url.replace(/\/$/, '') });
      const p = await openShell('full');
      await shown(p, 'a-start.htm');
      await frameDoc(p, (doc) => { const r = doc.createRange(); r.selectNodeContents(doc.querySelector('h1')); doc.getSelection().addRange(r); });
      await p.click('#btn-copy');
      await p.waitForFunction(async () => (await navigator.clipboard.readText()) === 'Start');
      await p.close();
    }],
    ['Exit ends the viewer', async () => {
      const p = await openShell('full');
      await p.click('#btn-exit');
      const code = await Promise.race([viewers.full.exited, new Promise((r) => setTimeout(() => r('timeout'), 5000))]);
      assert.equal(code, 0);
      await p.close().catch(() => {});
    }],
  ]);

  await close();
  for (const v of Object.values(viewers)) await v.stop();
  fs.rmSync(work, { recursive: true, force: true });
  process.exit(failed ? 1 : 0);
}

main().catch((e) => { console.error(e); process.exit(1); });

// What a reader expects of the viewer beyond the author's buttons, in
// headless Chromium against folivex-view: the contents list kept in step,
// the place remembered across runs, reading themes and dark pages, the
// keyboard, narrow windows, printing the whole book, and the window once
// the viewer has ended. One test per feature, each in a browser context of
// its own.
// node reading.test.js --folivexc F --view V
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const lib = require('./lib');

const { page, shown, frameDoc } = lib;
const o = lib.options();
const playwright = lib.loadPlaywright();

let work;
let chromium;
let full;  // the viewer serving the usual book with every button

before(async () => {
  work = lib.tempDir('folivex-reading-');
  lib.writeTree(path.join(work, 'book'), lib.BOOK_FILES);
  full = await lib.startViewer(o.view, lib.makeBook(o.folivexc, path.join(work, 'book'),
    path.join(work, 'full.exe'), ['--title', 'Full Book']));
  chromium = await lib.startChromium(playwright);
});

after(async () => {
  if (chromium) await chromium.close();
  if (full) await full.stop();
  fs.rmSync(work, { recursive: true, force: true });
});

function readingTest(name, fn, contextOptions) {
  test(name, { timeout: 90000 }, async () => {
    const context = await chromium.newContext(contextOptions);
    try {
      await fn(context);
    } finally {
      await context.close();
    }
  });
}

const titlesIn = (p, selector) => p.locator(selector + ' .title').allTextContents();

readingTest('Contents lists the page sequence and keeps the page shown marked', async (context) => {
  const p = await lib.openShell(context, full.url);
  await shown(p, 'a-start.htm');
  await p.click('#btn-contents');
  assert.ok(await p.isVisible('#contents-panel'));
  assert.deepEqual(await titlesIn(p, '#contents-list'), ['Start', 'Middle', 'End']);  // not the text file
  const current = () => titlesIn(p, '#contents-list a[aria-current="page"]');
  assert.deepEqual(await current(), ['Start']);
  await p.click('#btn-next');
  await shown(p, 'c-middle.htm');
  assert.deepEqual(await current(), ['Middle']);
  await p.click('#btn-home');
  await shown(p, 'a-start.htm');
  await p.frameLocator('#page').locator('#to-d').click();
  await shown(p, 'd-end.htm');
  assert.deepEqual(await current(), ['End']);
  await p.click('#btn-back');
  await shown(p, 'a-start.htm');
  assert.deepEqual(await current(), ['Start']);
  await p.click('#contents-list a >> text=Middle');
  await shown(p, 'c-middle.htm');
  assert.deepEqual(await current(), ['Middle']);
  // One panel at a time: Search takes Contents' place.
  await p.click('#btn-search');
  assert.ok(await p.isHidden('#contents-panel'));
  assert.equal(await p.getAttribute('#btn-contents', 'aria-pressed'), 'false');
});

readingTest('the place is remembered across runs, per book, and Home still goes first', async (context) => {
  const long = '<p style="height:5000px">A long page.</p>';
  const folder = path.join(work, 'place');
  const files = {
    'a.htm': page('A', '<p>First.</p>'),
    'b.htm': page('B', long),
    'c.htm': page('C', '<p>Last.</p>'),
  };
  lib.writeTree(folder, files);
  const bookFile = lib.makeBook(o.folivexc, folder, path.join(work, 'place.exe'));
  let viewer = await lib.startViewer(o.view, bookFile);
  const port = new URL(viewer.url).port;
  const restart = async (book) => {
    await viewer.stop();
    viewer = await lib.startViewer(o.view, book, ['--port', port]);
    assert.equal(new URL(viewer.url).port, port, 'the viewer came back at the same port');
    return lib.openShell(context, viewer.url);
  };
  const scrolledTo = (p) => frameDoc(p, (doc) => doc.scrollingElement.scrollTop);
  try {
    let p = await lib.openShell(context, viewer.url);
    await p.click('#btn-next');
    await shown(p, 'b.htm');
    await frameDoc(p, (doc) => { doc.scrollingElement.scrollTop = 1200; });
    await p.waitForFunction(() => Object.keys(localStorage).some((k) => k.endsWith('.place') &&
      JSON.parse(localStorage[k]).top === 1200));
    await p.close();

    p = await restart(bookFile);
    await shown(p, 'b.htm');
    await p.waitForFunction(() => document.getElementById('page').contentDocument.scrollingElement.scrollTop === 1200);
    await p.click('#btn-home');
    await shown(p, 'a.htm');
    await p.click('#btn-next');
    await shown(p, 'b.htm');
    await p.close();

    // Another book at the same address starts at its own first page.
    const other = path.join(work, 'other-place');
    lib.writeTree(other, { '0.htm': page('Zero', '<p>Another book.</p>'), 'b.htm': files['b.htm'] });
    p = await restart(lib.makeBook(o.folivexc, other, path.join(work, 'other-place.exe')));
    await shown(p, '0.htm');
    await p.close();

    // The book rebuilt without the page the reader left: its first page.
    fs.rmSync(path.join(folder, 'b.htm'));
    lib.makeBook(o.folivexc, folder, bookFile);
    p = await restart(bookFile);
    await shown(p, 'a.htm');
    assert.equal(await scrolledTo(p), 0);
  } finally {
    await viewer.stop();
  }
});

// Samples the page frame as shown: the blank page at (40, 600) and the
// picture of the first page as an <img> and as a background.
async function frameColours(p) {
  const png = lib.readPng(await p.locator('#page').screenshot());
  return { blank: png.at(40, 600), img: png.at(320, 220), background: png.at(420, 220) };
}
const isPicture = (rgb) => rgb.every((v, i) => Math.abs(v - lib.PICTURE_RGB[i]) <= 12);
const brightness = ([r, g, b]) => (r + g + b) / 3;

readingTest('themes follow the system until chosen; dark pages keep pictures natural', async (context) => {
  const p = await lib.openShell(context, full.url);
  await shown(p, 'a-start.htm');
  const theme = () => p.getAttribute('html', 'data-theme');
  const toolbarShade = () => p.evaluate(() => getComputedStyle(document.getElementById('toolbar')).backgroundColor);
  assert.equal(await theme(), 'dark');  // the system is dark (this context's setting)
  assert.match(await toolbarShade(), /^rgb\((\d\d?), (\d\d?), (\d\d?)\)$/);  // a dark toolbar
  await p.click('#btn-theme');
  await p.click('#theme-menu [data-theme="sepia"]');
  assert.equal(await theme(), 'sepia');
  await p.reload();
  await p.waitForSelector('body[data-ready]');
  assert.equal(await theme(), 'sepia');  // remembered over the system's setting
  await p.emulateMedia({ colorScheme: 'light' });
  assert.equal(await theme(), 'sepia');
  await p.click('#btn-theme');
  assert.equal(await p.getAttribute('#theme-menu [data-theme="sepia"]', 'aria-checked'), 'true');
  await p.click('#theme-menu [data-theme="system"]');
  assert.equal(await theme(), 'light');
  await p.emulateMedia({ colorScheme: 'dark' });
  await p.waitForFunction(() => document.documentElement.dataset.theme === 'dark');  // following it again

  await shown(p, 'a-start.htm');
  let colours = await frameColours(p);
  assert.ok(brightness(colours.blank) > 200 && isPicture(colours.img) && isPicture(colours.background), JSON.stringify(colours));
  await p.click('#btn-theme');
  await p.click('#dark-pages');
  colours = await frameColours(p);
  assert.ok(brightness(colours.blank) < 40, 'the page is dark: ' + colours.blank);
  assert.ok(isPicture(colours.img), 'the <img> keeps its colour: ' + colours.img);
  assert.ok(isPicture(colours.background), 'the background picture keeps its colour: ' + colours.background);
  await p.reload();
  await p.waitForSelector('body[data-ready]');
  await shown(p, 'a-start.htm');
  await p.waitForFunction(() => document.getElementById('page').contentDocument.querySelector('[data-folivex-picture]'));
  colours = await frameColours(p);
  assert.ok(brightness(colours.blank) < 40 && isPicture(colours.img) && isPicture(colours.background), JSON.stringify(colours));
}, { colorScheme: 'dark' });

readingTest('keyboard: arrows, Home, / and Escape, also from inside the page', async (context) => {
  const p = await lib.openShell(context, full.url);
  await shown(p, 'a-start.htm');
  await p.keyboard.press('ArrowRight');
  await shown(p, 'c-middle.htm');
  await p.keyboard.press('ArrowRight');
  await shown(p, 'd-end.htm');
  await p.keyboard.press('ArrowLeft');
  await shown(p, 'c-middle.htm');
  await p.frameLocator('#page').locator('p').first().click();  // the focus is in the page now
  await p.keyboard.press('ArrowRight');
  await shown(p, 'd-end.htm');
  await p.frameLocator('#page').locator('p').first().click();
  await p.keyboard.press('Home');
  await shown(p, 'a-start.htm');

  await p.keyboard.press('/');
  assert.ok(await p.isVisible('#search-panel'));
  assert.equal(await p.evaluate(() => document.activeElement.id), 'search-input');
  await p.keyboard.type('ab');
  await p.keyboard.press('ArrowLeft');  // moves the caret, not the book
  await p.keyboard.press('/');
  assert.equal(await p.inputValue('#search-input'), 'a/b');
  await p.keyboard.press('Home');
  assert.equal(await p.evaluate(() => document.body.dataset.page), 'a-start.htm');

  const escapes = async (open, selector) => {
    await open();
    assert.ok(await p.isVisible(selector), selector);
    await p.keyboard.press('Escape');
    assert.ok(await p.isHidden(selector), selector);
  };
  await p.keyboard.press('Escape');
  assert.ok(await p.isHidden('#search-panel'));
  await escapes(() => p.click('#btn-contents'), '#contents-panel');
  await escapes(() => p.click('#btn-theme'), '#theme-menu');
  await escapes(() => p.click('#btn-print'), '#print-menu');
  await escapes(() => p.click('#btn-about'), '#about');
  await p.keyboard.press('ArrowRight');  // nothing open any more: the arrows move again
  await shown(p, 'c-middle.htm');
});

// Every button of the book, by id.
const BUTTONS = ['btn-home', 'btn-prev', 'btn-next', 'btn-back', 'btn-forward', 'btn-copy', 'btn-contents',
  'btn-search', 'btn-zoom-out', 'btn-zoom-in', 'btn-theme', 'btn-fullscreen', 'btn-print', 'btn-about', 'btn-exit'];

readingTest('narrow windows: nothing clipped, the rest in More, each button reachable', async (context) => {
  const p = await lib.openShell(context, full.url);
  await shown(p, 'a-start.htm');
  const inWindow = (id) => p.evaluate(([i]) => {
    const r = document.getElementById(i).getBoundingClientRect();
    return r.width > 0 && r.left >= 0 && r.right <= window.innerWidth && r.top >= 0;
  }, [id]);
  const inMore = (id) => p.evaluate(([i]) => !!document.getElementById(i).closest('#more-menu'), [id]);
  for (const width of [1400, 1050, 800, 600, 400]) {
    await p.setViewportSize({ width, height: 700 });
    await p.waitForFunction(() => {
      const bar = document.getElementById('toolbar');
      return bar.scrollWidth <= bar.clientWidth;
    }, null, { timeout: 3000 });
    const more = [];
    for (const id of BUTTONS) {
      if (await inMore(id)) more.push(id);
      else assert.ok(await inWindow(id), `${id} at ${width} px`);
    }
    assert.equal(await p.isVisible('#btn-more'), more.length > 0, `More at ${width} px`);
    if (width >= 1050) assert.deepEqual(more, [], `nothing in More at ${width} px`);
    if (!more.length) continue;
    await p.click('#btn-more');
    for (const id of more) assert.ok(await inWindow(id), `${id} in More at ${width} px`);
    await p.keyboard.press('Escape');
  }
  // At 400 px the About box is one of them, and opens from More.
  assert.ok(await inMore('btn-about'));
  await p.click('#btn-more');
  await p.click('#btn-about');
  assert.ok(await p.isVisible('#about'));
  assert.ok(await p.isHidden('#more-menu'));
  // A panel lies over the page there, and goes once a page is chosen.
  await p.keyboard.press('Escape');
  if (await inMore('btn-contents')) await p.click('#btn-more');
  await p.click('#btn-contents');
  await p.click('#contents-list a >> text=End');
  await shown(p, 'd-end.htm');
  assert.ok(await p.isHidden('#contents-panel'));
});

readingTest('Print: the whole book in one document, each page on its own sheet', async (context) => {
  const folder = path.join(work, 'print');
  lib.writeTree(folder, {
    '1-intro.htm': page('Intro', '<h1>Intro</h1><p id="p1">First words.</p><img src="img/dot.png" alt="">',
      '<link rel="stylesheet" href="css/book.css"><style>p { color: rgb(200, 0, 0) }</style>'),
    '2-part/chapter.htm': page('Chapter', '<h1>Chapter</h1><p id="p2">Middle words.</p>' +
      '<img src="../img/dot.png" alt=""><div id="box" style="background-image:url(../img/dot.png)">box</div>',
    '<link rel="stylesheet" href="../css/book.css">'),
    '3-notes.txt': 'not in the page sequence',
    '4-end.htm': page('End', '<p id="p4">Last words.</p>', '<style>body { background: rgb(0, 0, 200) }</style>'),
    'css/book.css': '@import "more.css"; body { margin-left: 33px }',
    'css/more.css': 'h1 { color: rgb(0, 128, 0) }',
    'img/dot.png': lib.solidPng(8, [0, 0, 0]),
  });
  const viewer = await lib.startViewer(o.view, lib.makeBook(o.folivexc, folder, path.join(work, 'print.exe')));
  try {
    const p = await lib.openShell(context, viewer.url);
    await shown(p, '1-intro.htm');
    await p.click('#btn-print');
    await p.click('#print-book');
    await p.waitForSelector('body[data-book-prints="1"]', { state: 'attached', timeout: 20000 });
    const doc = await p.evaluate(() => {
      const d = document.getElementById('print-frame').contentDocument;
      const style = (sel, prop) => (d.querySelector(sel) ? getComputedStyle(d.querySelector(sel))[prop] : null);
      return {
        pages: [...d.querySelectorAll('section')].map((s) => [s.dataset.page, getComputedStyle(s).breakBefore,
          s.innerText.replace(/\s+/g, ' ').trim(), getComputedStyle(s).marginLeft, getComputedStyle(s).backgroundColor]),
        pictures: [...d.images].map((img) => img.naturalWidth),
        box: style('#box', 'backgroundImage'),
        colours: ['#p1', '#p2', '#p4', 'h1'].map((sel) => style(sel, 'color')),
        scripts: d.querySelectorAll('script').length,
      };
    });
    assert.deepEqual(doc.pages.map((s) => s.slice(0, 3)), [
      ['1-intro.htm', 'auto', 'Intro First words.'],
      ['2-part/chapter.htm', 'page', 'Chapter Middle words. box'],
      ['4-end.htm', 'page', 'Last words.'],
    ]);
    assert.deepEqual(doc.pictures, [8, 8], 'pictures found from each page\'s own folder');
    assert.match(doc.box, /\/book\/img\/dot\.png/);
    // Each page keeps its own styles: the linked sheet (and its import) only
    // where it is linked, a page's <style> only in that page.
    assert.deepEqual(doc.pages.map((s) => s[3]), ['33px', '33px', '8px']);
    assert.deepEqual(doc.pages.map((s) => s[4]), ['rgba(0, 0, 0, 0)', 'rgba(0, 0, 0, 0)', 'rgb(0, 0, 200)']);
    assert.deepEqual(doc.colours, ['rgb(200, 0, 0)', 'rgb(0, 0, 0)', 'rgb(0, 0, 0)', 'rgb(0, 128, 0)']);

    // Ctrl+P still prints the page shown, not the book.
    await frameDoc(p, (doc) => { doc.defaultView.print = () => { doc.body.dataset.printed = 'yes'; }; });
    await p.keyboard.press('Control+p');
    assert.equal(await frameDoc(p, (doc) => doc.body.dataset.printed), 'yes');
    assert.equal(await p.getAttribute('body', 'data-book-prints'), '1');
  } finally {
    await viewer.stop();
  }
});

const CLOSED = 'This book has been closed';

readingTest('when the viewer ends, its window says the book has been closed', async (context) => {
  const viewer = await lib.startViewer(o.view, lib.makeBook(o.folivexc, path.join(work, 'book'),
    path.join(work, 'closing.exe'), ['--title', 'Closing Book']));
  const reading = await lib.openShell(context, viewer.url);
  const idle = await lib.openShell(context, viewer.url);
  await shown(reading, 'a-start.htm');
  await reading.waitForFunction(() => navigator.serviceWorker.controller !== null, null, { timeout: 10000 });
  await viewer.stop();

  // A link clicked afterwards.
  await reading.frameLocator('#page').locator('#to-d').click();
  await reading.waitForFunction((t) => document.title === t, CLOSED, { timeout: 5000 });
  assert.equal(await reading.textContent('h1'), CLOSED);
  // A window that just sits there learns it from the heartbeat.
  await idle.waitForFunction((t) => document.title === t, CLOSED, { timeout: 15000 });
  assert.equal(await idle.textContent('h1'), CLOSED);
  assert.equal(await idle.locator('#toolbar').count(), 0);
  // A page asked for anew, as a reload does.
  const again = await context.newPage();
  await again.goto(viewer.url + 'book/a-start.htm');
  assert.equal(await again.textContent('h1'), CLOSED);
});

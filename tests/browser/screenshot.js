// Makes a screenshot of the shell showing a book: node screenshot.js
// --folivexc F --view V --book-folder DIR --out PNG [--scale 1.5] [--search WORD]
// [--width PX] [--theme light|sepia|dark] [--dark-pages 1] [--contents 1] [--page N]
'use strict';
const path = require('node:path');
const lib = require('./lib');

(async () => {
  const o = lib.options();
  const playwright = lib.loadPlaywright();
  const work = lib.tempDir('folivex-shot-');
  const book = lib.makeBook(o.folivexc, o['book-folder'], path.join(work, 'book.exe'),
    ['--title', 'Folivex Sample Book', '--author', 'Ada Writer', '--copyright', '\u00a9 2024 Ada Writer',
      '--url', 'example.org', '--email', 'ada@example.org', '--about', 'A short guide.\nSecond line.']);
  const viewer = await lib.startViewer(o.view, book);
  const { context, close } = await lib.launchBrowser(playwright);
  try {
    const page = context.pages()[0] || await context.newPage();
    const width = Number(o.width || 1200);
    if (o.scale || o.width) {
      const scale = Number(o.scale || 1);
      await page.setViewportSize({ width: Math.round(width / scale), height: Math.round(800 / scale) });
    }
    await page.goto(viewer.url);
    await page.waitForSelector('body[data-ready]');
    await page.waitForTimeout(500);
    if (o.search) {
      await page.click('#btn-search');
      await page.fill('#search-input', o.search);
      await page.waitForFunction(() => /found/.test(document.getElementById('search-status').textContent));
      await page.click('#search-results li a');
      await page.waitForTimeout(600);
    }
    if (o.theme) {
      await page.click('#btn-theme');
      await page.click(`#theme-menu [data-theme="${o.theme}"]`);
    }
    if (o['dark-pages']) {
      await page.click('#btn-theme');
      await page.click('#dark-pages');
    }
    for (let i = 0; i < Number(o.page || 0); i++) await page.click('#btn-next');
    if (o.contents) await page.click('#btn-contents');
    if (o.page || o.contents) await page.waitForTimeout(600);
    if (o.about) { await page.click('#btn-about'); await page.waitForTimeout(200); }
    await page.screenshot({ path: o.out });
  } finally {
    await close();
    await viewer.stop();
  }
})().catch((e) => { console.error(e); process.exit(1); });

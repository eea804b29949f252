// Helpers for the browser tests: books made with folivexc, the viewer
// serving them with --no-browser, headless Chromium driven by
// playwright-core, the shell's usual waits, and pictures as PNG bytes.
'use strict';
const { spawn, execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');

const SKIP = 77;  // ctest's SKIP_RETURN_CODE
const CHROMIUM = process.env.FOLIVEX_CHROMIUM || '/usr/bin/chromium';

function options() {
  const args = process.argv.slice(2);
  const out = {};
  for (let i = 0; i + 1 < args.length; i += 2) out[args[i].replace(/^--/, '')] = args[i + 1];
  return out;
}

// playwright-core, or a clean skip when it or Chromium is missing.
function loadPlaywright() {
  if (!fs.existsSync(CHROMIUM)) {
    console.log('SKIP: no Chromium at ' + CHROMIUM);
    process.exit(SKIP);
  }
  try {
    return require('playwright-core');
  } catch (e) {
    console.log('SKIP: playwright-core is not installed (npm ci in tests/browser)');
    process.exit(SKIP);
  }
}

function tempDir(prefix) {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}

// Writes files ({relative path: text or Buffer}) under dir.
function writeTree(dir, files) {
  for (const [rel, content] of Object.entries(files)) {
    const file = path.join(dir, rel);
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, content);
  }
}

function makeBook(folivexc, folder, out, args = []) {
  execFileSync(folivexc, ['make', folder, '-o', out, ...args], { stdio: 'pipe' });
  return out;
}

// Starts folivex-view on book (args: more options, e.g. --port); resolves
// to { url, exited, output(), stop() }.
async function startViewer(viewer, book, args = []) {
  const dir = tempDir('folivex-view-');
  const urlFile = path.join(dir, 'url.txt');
  const child = spawn(viewer, [book, '--no-browser', '--url-file', urlFile, ...args],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  child.stdout.on('data', (d) => { output += d; });
  child.stderr.on('data', (d) => { output += d; });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  for (let i = 0; i < 100; i++) {
    if (fs.existsSync(urlFile)) {
      const url = fs.readFileSync(urlFile, 'utf8').trim();
      if (url) {
        return {
          url,
          exited,
          output: () => output,
          async stop() {
            if (child.exitCode === null) child.kill('SIGTERM');
            await Promise.race([exited, new Promise((r) => setTimeout(r, 3000))]);
            if (child.exitCode === null) child.kill('SIGKILL');
            fs.rmSync(dir, { recursive: true, force: true });
          },
        };
      }
    }
    if (child.exitCode !== null) break;
    await new Promise((r) => setTimeout(r, 100));
  }
  child.kill('SIGKILL');
  throw new Error('the viewer did not start: ' + output);
}

const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];
const VIEWPORT = { width: 1200, height: 800 };

// One browser profile, as a reader's window has (screenshots).
async function launchBrowser(playwright) {
  const profile = tempDir('folivex-chromium-');
  const context = await playwright.chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS, viewport: VIEWPORT,
  });
  const close = async () => {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { context, close };
}

// A browser whose contexts each start with empty storage, so that what
// the shell remembers in one test never reaches another:
// (await startChromium(pw)).newContext(options).
async function startChromium(playwright) {
  const browser = await playwright.chromium.launch({ executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS });
  return {
    newContext: (options = {}) => browser.newContext({ viewport: VIEWPORT, ...options }),
    close: () => browser.close(),
  };
}

// ---- the shell ---------------------------------------------------------------

async function openShell(context, url) {
  const p = await context.newPage();
  await p.goto(url);
  await p.waitForSelector('body[data-ready]');
  return p;
}

// Waits until the shell shows pagePath in its frame.
function shown(p, pagePath) {
  return p.waitForSelector(`body[data-page="${pagePath}"]`, { state: 'attached', timeout: 5000 });
}

// Runs fn(doc, arg) on the document in the shell's page frame.
function frameDoc(p, fn, arg) {
  return p.evaluate(([f, a]) => (new Function('doc', 'a', 'return (' + f + ')(doc, a)'))(
    document.getElementById('page').contentDocument, a), [fn.toString(), arg]);
}

// ---- pictures ------------------------------------------------------------------

const page = (title, body, head = '') => `<html><head><title>${title}</title>${head}</head><body>${body}</body></html>`;

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

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(buf) {
  let c = 0xFFFFFFFF;
  for (const b of buf) c = CRC_TABLE[(c ^ b) & 0xFF] ^ (c >>> 8);
  return (c ^ 0xFFFFFFFF) >>> 0;
}

// A PNG of one colour ([r, g, b]), size x size pixels.
function solidPng(size, rgb) {
  const chunk = (type, data) => {
    const out = Buffer.alloc(12 + data.length);
    out.writeUInt32BE(data.length, 0);
    out.write(type, 4);
    data.copy(out, 8);
    out.writeUInt32BE(crc32(out.subarray(4, 8 + data.length)), 8 + data.length);
    return out;
  };
  const head = Buffer.alloc(13);
  head.writeUInt32BE(size, 0);
  head.writeUInt32BE(size, 4);
  head.set([8, 2, 0, 0, 0], 8);  // 8-bit RGB
  const row = Buffer.concat([Buffer.from([0]), Buffer.from(Array(size).fill(rgb).flat())]);
  const pixels = zlib.deflateSync(Buffer.concat(Array(size).fill(row)));
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', head),
    chunk('IDAT', pixels), chunk('IEND', Buffer.alloc(0))]);
}

// Reads an 8-bit RGB or RGBA PNG without interlacing (what Chromium's
// screenshots are); returns { width, height, at(x, y) -> [r, g, b] }.
function readPng(png) {
  const width = png.readUInt32BE(16);
  const height = png.readUInt32BE(20);
  const channels = png[25] === 6 ? 4 : 3;
  if (png[24] !== 8 || (png[25] !== 2 && png[25] !== 6) || png[28] !== 0) throw new Error('unexpected PNG kind');
  const parts = [];
  for (let at = 8; at < png.length;) {
    const length = png.readUInt32BE(at);
    if (png.toString('latin1', at + 4, at + 8) === 'IDAT') parts.push(png.subarray(at + 8, at + 8 + length));
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(parts));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; x++) {
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c;
      const paeth = Math.abs(p - a) <= Math.abs(p - b) && Math.abs(p - a) <= Math.abs(p - c) ? a
        : Math.abs(p - b) <= Math.abs(p - c) ? b : c;
      const predictor = [0, a, b, (a + b) >> 1, paeth][filter];
      pixels[y * stride + x] = (line[x] + predictor) & 0xFF;
    }
  }
  return { width, height, at: (x, y) => [...pixels.subarray((y * width + x) * channels, (y * width + x) * channels + 3)] };
}

// ---- books -------------------------------------------------------------------

// A dark blue: dark pages that forgot to turn pictures back would show it
// light. (Strongly saturated colours come back a little paler through the
// two inversions, so the test does not use one.)
const PICTURE_RGB = [40, 60, 110];

// The books most tests read. Directory order is name order: a, b (a text
// file: outside the page sequence and the search), c, d, then a style sheet
// and a picture, which the first page shows as an <img> and as the
// background of a box, each at a fixed place.
const BOOK_FILES = {
  'a-start.htm': page('Start', '<h1>Start</h1><p>The first page. <a id="to-d" href="d-end.htm">To the end</a></p>' +
    '<img id="pic" src="pic/blue.png" alt="" style="position:absolute;left:300px;top:200px">' +
    '<div id="bg" style="position:absolute;left:400px;top:200px;width:40px;height:40px;background:url(pic/blue.png)"></div>'),
  'b-notes.txt': 'zyzzyva in a text file that is neither in the sequence nor searchable',
  'c-middle.htm': page('Middle', '<p>Some text before.</p><p>A rare zyzzyva lives here.</p>'),
  'd-end.htm': page('End', '<p>The last page.</p>'),
  'e-style.css': 'p { margin: 1em }',
  'pic/blue.png': solidPng(40, PICTURE_RGB),
};

module.exports = {
  SKIP, options, loadPlaywright, tempDir, writeTree, makeBook, startViewer, launchBrowser, startChromium,
  openShell, shown, frameDoc, page, tinyBmp, solidPng, readPng, PICTURE_RGB, BOOK_FILES,
};

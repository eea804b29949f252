// Helpers for the browser tests: books made with folivexc, the viewer
// serving them with --no-browser, and headless Chromium driven by
// playwright-core.
'use strict';
const { spawn, execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

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

// Starts folivex-view on book; resolves to { url, stop() }.
async function startViewer(viewer, book) {
  const dir = tempDir('folivex-view-');
  const urlFile = path.join(dir, 'url.txt');
  const child = spawn(viewer, [book, '--no-browser', '--url-file', urlFile], { stdio: ['ignore', 'pipe', 'pipe'] });
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

async function launchBrowser(playwright) {
  const profile = tempDir('folivex-chromium-');
  const context = await playwright.chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1200, height: 800 },
  });
  const close = async () => {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { context, close };
}

// Runs named async cases in order; prints a line each and sets the exit code.
async function runCases(cases) {
  let failed = 0;
  for (const [name, fn] of cases) {
    const start = Date.now();
    try {
      await fn();
      console.log(`ok   ${name} (${Date.now() - start} ms)`);
    } catch (e) {
      failed++;
      console.log(`FAIL ${name}: ${e && e.stack ? e.stack : e}`);
    }
  }
  console.log(failed ? `${failed} of ${cases.length} failed` : `all ${cases.length} passed`);
  return failed;
}

module.exports = { SKIP, options, loadPlaywright, tempDir, writeTree, makeBook, startViewer, launchBrowser, runCases };

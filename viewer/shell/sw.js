// The viewer's service worker. Once the viewer program has ended, a page
// asked for in its window (a link clicked, the window reloaded) gets the
// page that says the book has been closed instead of the browser's error.
// Everything else goes to the server as if this were not here.
'use strict';

const CACHE = 'folivex-shell';
const CLOSED = '/closed.html';

async function keepClosedPage() {
  const cache = await caches.open(CACHE);
  await cache.add(new Request(CLOSED, { cache: 'no-cache' }));
}

self.addEventListener('install', (event) => {
  event.waitUntil(keepClosedPage().then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  const preload = self.registration.navigationPreload;
  event.waitUntil(Promise.all([self.clients.claim(), preload ? preload.enable() : null]));
});

async function navigate(event) {
  try {
    const response = (await event.preloadResponse) || (await fetch(event.request));
    // The shell has loaded: the closed page is taken afresh, so that it
    // matches the viewer that runs now.
    if (new URL(event.request.url).pathname === '/') event.waitUntil(keepClosedPage().catch(() => {}));
    return response;
  } catch (e) {
    return (await caches.match(CLOSED)) || Response.error();
  }
}

self.addEventListener('fetch', (event) => {
  if (event.request.mode === 'navigate') event.respondWith(navigate(event));
});

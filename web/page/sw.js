'use strict';
// Keeps the page's own files for use without a network. The network is asked first, so that a
// new version arrives at the next visit; the kept copy answers when it cannot be reached. The
// person's data lives in IndexedDB and is never touched here.
const CACHE = 'ketatobi-page';
const FILES = ['./', 'index.html', 'style.css', 'app.js', 'storage.js', 'dialogs.js', 'pad.js', 'bytes.js', 'log.js', 'ketatobi.js', 'ketatobi.wasm',
  'manifest.webmanifest', 'icon.svg', 'icon-192.png', 'icon-512.png',
  'session.html', 'session.css', 'session.js', 'session_curve.js'];
// A server that does not answer is taken for no network after this long.
const NETWORK_WAIT_MS = 4000;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(self.clients.claim());
});

function fromNetwork(request) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('timeout')), NETWORK_WAIT_MS);
    fetch(request).then((response) => {
      clearTimeout(timer);
      resolve(response);
    }, (error) => {
      clearTimeout(timer);
      reject(error);
    });
  });
}

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(CACHE);
    try {
      const response = await fromNetwork(request);
      if (response.ok) await cache.put(request, response.clone());
      return response;
    } catch (error) {
      const kept = await cache.match(request, { ignoreSearch: true }) ||
        (request.mode === 'navigate' ? await cache.match('index.html') : undefined);
      if (kept) return kept;
      throw error;
    }
  })());
});

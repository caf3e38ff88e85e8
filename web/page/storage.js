'use strict';
// The person's files, kept in this browser's IndexedDB under the desktop's file names. Nothing
// here leaves the browser. Writes go one after another, so the last one given is the one kept.
const KetaStorage = (() => {
  const DB_NAME = 'ketatobi';
  const STORE = 'files';
  const LOCK = 'ketatobi-files';
  // How long a page waits for the files while the page before it in this tab goes away.
  const HAND_OVER_MS = 3000;
  let opening = null;
  let queue = Promise.resolve();
  let owner = true; // false: another tab keeps the files, and this one writes nothing

  function open() {
    if (!opening) {
      opening = new Promise((resolve, reject) => {
        const request = indexedDB.open(DB_NAME, 1);
        // Version 1 is the only layout so far; a later one must keep every file it finds.
        request.onupgradeneeded = () => {
          if (!request.result.objectStoreNames.contains(STORE)) request.result.createObjectStore(STORE);
        };
        request.onsuccess = () => resolve(request.result);
        request.onerror = () => reject(request.error);
        request.onblocked = () => reject(new Error('blocked'));
      });
    }
    return opening;
  }

  async function get(name) {
    const db = await open();
    return new Promise((resolve, reject) => {
      const request = db.transaction(STORE, 'readonly').objectStore(STORE).get(name);
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
    });
  }

  function put(name, value) {
    if (!owner) return Promise.resolve();
    const write = async () => {
      const db = await open();
      await new Promise((resolve, reject) => {
        // Strict durability where the browser offers it: a result is on disk when this resolves.
        const tx = db.transaction(STORE, 'readwrite', { durability: 'strict' });
        tx.objectStore(STORE).put(value, name);
        tx.oncomplete = () => resolve();
        tx.onerror = () => reject(tx.error);
        tx.onabort = () => reject(tx.error || new Error('aborted'));
      });
    };
    const done = queue.then(write, write);
    queue = done.catch(() => {});
    return done;
  }

  // Asks the browser not to clear the files when space runs short; true when it agreed.
  async function persist() {
    if (!navigator.storage || !navigator.storage.persist) return false;
    if (await navigator.storage.persisted()) return true;
    return navigator.storage.persist();
  }

  // One page at a time keeps the files: two tabs each holding the history or the log in memory
  // would write over each other's results. The lock is the browser's and goes with the page.
  // Resolves to false when another page kept it past the wait; this page then writes nothing.
  function claim() {
    if (!navigator.locks) return Promise.resolve(true);
    return new Promise((resolve) => {
      const signal = AbortSignal.timeout(HAND_OVER_MS);
      navigator.locks.request(LOCK, { signal }, () => {
        resolve(true);
        return new Promise(() => {}); // held for the page's life
      }).catch(() => {
        owner = false;
        resolve(false);
      });
    });
  }

  return { get, put, persist, claim, owner: () => owner };
})();

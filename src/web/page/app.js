// The page's start: the user's name, the sections and their tabs, and the
// connection's messages handed to the view that shows them.
import { $, toast } from './dom.js';
import { replyName } from './protocol.js';
import { Connection } from './connection.js';
import { NowPlaying } from './nowplaying.js';
import { Spectrum } from './spectrum.js';
import { Queue } from './queue.js';
import { Library } from './library.js';
import { Uploads } from './upload.js';
import { People } from './people.js';

const kNameKey = 'tembrel.name';

function storedName() {
  try {
    return localStorage.getItem(kNameKey) || '';
  } catch {
    return '';
  }
}

function storeName(name) {
  try {
    localStorage.setItem(kNameKey, name);
  } catch {
    // Private browsing may refuse storage; the name then lasts this visit.
  }
}

// Asks for a name with the page's own dialog.
function askName(current) {
  return new Promise((resolve) => {
    const dialog = $('join');
    const input = $('join-name');
    input.value = current;
    $('join-form').onsubmit = (event) => {
      event.preventDefault();
      const name = input.value.trim();
      if (!name) return;
      dialog.close();
      resolve(name);
    };
    dialog.oncancel = (event) => event.preventDefault();
    dialog.showModal();
    input.focus();
  });
}

function showSection(id) {
  for (const panel of document.querySelectorAll('.panel')) panel.hidden = panel.id !== id;
  for (const tab of document.querySelectorAll('.tabs button')) {
    if (tab.dataset.show === id) tab.setAttribute('aria-current', 'page');
    else tab.removeAttribute('aria-current');
  }
}

class App {
  constructor(name) {
    this.connection = new Connection(name);
    this.now = new NowPlaying(this.connection);
    this.spectrum = new Spectrum(this.connection);
    this.queue = new Queue(this.connection);
    this.library = new Library(this.connection, this.queue);
    this.uploads = new Uploads(this.connection);
    this.people = new People(this.connection);
    this.handlers = {};
    this.countdown = 0;
    this.firstStatus = false;
    this.bind();
  }

  bind() {
    const c = this.connection;
    c.addEventListener('up', () => this.onUp());
    c.addEventListener('down', (e) => this.showBanner(`Connection lost: ${e.detail.why}.`));
    c.addEventListener('retry', (e) => this.onRetry(e.detail));
    c.addEventListener('message', (e) => this.onMessage(e.detail));
    $('banner-retry').onclick = () => c.retryNow();
    for (const tab of document.querySelectorAll('.tabs button')) tab.onclick = () => showSection(tab.dataset.show);
    document.addEventListener('show-section', (e) => {
      if (matchMedia('(max-width: 999px)').matches) showSection(e.detail);
    });
    $('rename').onclick = async () => {
      const name = await askName(c.name);
      storeName(name);
      c.rejoin(name);
    };
  }

  onUp() {
    const proto = this.connection.proto;
    clearInterval(this.countdown);
    $('banner').hidden = true;
    document.body.dataset.link = 'up';
    const link = $('link');
    link.textContent = this.connection.name;
    link.classList.remove('down');
    link.setAttribute('aria-label', `Connected as ${this.connection.name}`);
    // The join sends everything again: the queue, the artists, the status.
    this.queue.reset();
    this.library.reset();
    this.people.reset();
    this.now.reset();
    this.handlers = {
      ...this.now.handlers(), ...this.spectrum.handlers(), ...this.queue.handlers(), ...this.library.handlers(),
    };
    this.joinId = proto.id.join;
    this.leaveId = proto.id.leave;
  }

  onMessage(message) {
    const name = replyName(message);
    if (message.id === this.leaveId) {
      this.people.left(message);
      return;
    }
    if (message.id === this.joinId && !name.startsWith('^')) {
      this.people.joined(message);
      return;
    }
    const handler = this.handlers[name];
    if (!handler) return;
    handler(message);
    if (!this.firstStatus && name === this.connection.proto.reply.Status) {
      this.firstStatus = true;
      performance.mark('tembrel-first-status');
      document.body.dataset.status = 'shown';
    }
  }

  showBanner(text) {
    this.bannerBase = text;
    $('banner-text').textContent = text;
    $('banner').hidden = false;
    document.body.dataset.link = 'down';
    const link = $('link');
    link.textContent = 'offline';
    link.classList.add('down');
    link.setAttribute('aria-label', 'Not connected');
  }

  // Counts down to the next attempt in the banner.
  onRetry({ wait }) {
    if ($('banner').hidden) this.showBanner('Cannot reach the jukebox server.');
    const until = Date.now() + wait;
    clearInterval(this.countdown);
    const tick = () => {
      const seconds = Math.max(0, Math.ceil((until - Date.now()) / 1000));
      $('banner-text').textContent = `${this.bannerBase} Reconnecting${seconds ? ` in ${seconds} s` : ''}…`;
    };
    tick();
    this.countdown = setInterval(tick, 250);
  }
}

async function main() {
  const fromAddress = new URLSearchParams(location.search).get('name')?.trim();
  let name = fromAddress || storedName();
  if (!name) {
    name = await askName('');
    storeName(name);
  }
  const app = new App(name);
  window.tembrel = app;
  app.connection.start();
  if (!('WebSocket' in window)) toast('This browser cannot connect: it has no WebSocket.', true);
}

main();

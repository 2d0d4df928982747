// The WebSocket session: joins with the user's name, answers the host's
// pings, runs requests one at a time, notices a dead link and reconnects
// with a growing delay.
import { Protocol, replyName, valueText } from './protocol.js';

const kFirstRetryMs = 500;
const kMaxRetryMs = 10000;
// The server pushes the status every second, so a quiet link is a dead one.
const kSilenceLimitMs = 6000;
const kRequestTimeoutMs = 20000;
const kOpenTimeoutMs = 8000;

export class Connection extends EventTarget {
  constructor(name) {
    super();
    this.name = name;
    this.proto = null;
    this.socket = null;
    this.up = false;
    this.retries = 0;
    this.retryTimer = 0;
    this.watchdog = 0;
    this.tokenCount = 0;
    this.queue = [];
    this.active = null;
    this.closing = '';
    this.attempts = 0;
  }

  start() {
    this.connect();
  }

  emit(type, detail) {
    this.dispatchEvent(new CustomEvent(type, { detail }));
  }

  // Opens the socket and fetches the protocol table at the same time; joins
  // once both are there.
  async connect() {
    this.retryTimer = 0;
    const attempt = ++this.attempts;
    const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
    const socket = new WebSocket(`${scheme}//${location.host}/ws`);
    this.socket = socket;
    socket.onerror = () => {};
    // A socket to a host that vanished from the network may hang in its
    // opening for minutes; the retry schedule decides instead.
    const opened = new Promise((resolve, reject) => {
      socket.onopen = resolve;
      socket.onclose = reject;
      setTimeout(reject, kOpenTimeoutMs);
    });
    let proto;
    try {
      // Fetched again on every connection: a restarted server may be newer.
      [proto] = await Promise.all([Protocol.load(), opened]);
    } catch {
      proto = null;
    }
    if (attempt !== this.attempts) return;
    if (!proto || socket.readyState !== WebSocket.OPEN) {
      socket.onclose = null;
      socket.close();
      this.socket = null;
      this.scheduleRetry('the server does not answer');
      return;
    }
    this.proto = proto;
    socket.onmessage = (event) => this.onFrame(socket, event.data);
    socket.onclose = () => this.onClose(socket, this.closing || 'the connection closed');
    this.onOpen(socket);
  }

  onOpen(socket) {
    if (socket !== this.socket) return;
    this.retries = 0;
    this.closing = '';
    this.up = true;
    this.send({ id: this.proto.id.join, values: [this.proto.text(this.name)] });
    this.kick();
    this.emit('up', { proto: this.proto });
    this.pump();
  }

  onClose(socket, why) {
    if (socket !== this.socket) return;
    this.socket = null;
    clearTimeout(this.watchdog);
    const wasUp = this.up;
    this.up = false;
    this.failRequests(why);
    if (wasUp) this.emit('down', { why });
    this.scheduleRetry(why);
  }

  scheduleRetry(why) {
    const delay = Math.min(kMaxRetryMs, kFirstRetryMs * 2 ** this.retries);
    this.retries += 1;
    const wait = Math.round(delay * (0.8 + Math.random() * 0.4));
    this.emit('retry', { why, wait });
    this.retryTimer = setTimeout(() => this.connect(), wait);
  }

  // Tries again at once (the banner's button).
  retryNow() {
    if (this.socket || !this.retryTimer) return;
    clearTimeout(this.retryTimer);
    this.connect();
  }

  // Joins again under another name: a new user for the server.
  rejoin(name) {
    this.name = name;
    const old = this.socket;
    this.socket = null;
    this.up = false;
    clearTimeout(this.watchdog);
    clearTimeout(this.retryTimer);
    this.failRequests('joined again');
    old?.close();
    this.connect();
  }

  kick() {
    clearTimeout(this.watchdog);
    this.watchdog = setTimeout(() => {
      const socket = this.socket;
      if (!socket) return;
      // A closing handshake on a dead link can take minutes: give up now.
      this.onClose(socket, 'the server went quiet');
      socket.close();
    }, kSilenceLimitMs);
  }

  send(message) {
    if (!this.socket || this.socket.readyState !== WebSocket.OPEN) return false;
    this.socket.send(JSON.stringify(message));
    return true;
  }

  // Sends a command whose effect every user learns from the broadcasts.
  command(name, argument) {
    return this.send(this.proto.command(name, argument));
  }

  // Sends messages and collects what comes back until a reply named `until`
  // arrives, or, without `until`, until an echo sent behind them returns: the
  // server answers a user's messages in order, so everything the sender is
  // told about them has arrived by then.
  request(messages, until) {
    return new Promise((resolve, reject) => {
      this.queue.push({ messages, until, resolve, reject, replies: [] });
      this.pump();
    });
  }

  pump() {
    if (this.active || !this.up || this.queue.length === 0) return;
    const request = this.queue.shift();
    this.active = request;
    for (const message of request.messages()) this.send(message);
    if (!request.until) {
      this.tokenCount += 1;
      request.token = `web-page barrier ${this.tokenCount}`;
      this.send({ id: this.proto.id.echo, values: [this.proto.text(request.token)] });
    }
    request.timer = setTimeout(() => this.finish(new Error('the server did not answer')), kRequestTimeoutMs);
  }

  finish(error) {
    const request = this.active;
    if (!request) return;
    this.active = null;
    clearTimeout(request.timer);
    if (error) request.reject(error);
    else request.resolve(request.replies);
    this.pump();
  }

  failRequests(why) {
    const error = new Error(why);
    this.finish(error);
    for (const request of this.queue.splice(0)) request.reject(error);
  }

  onFrame(socket, data) {
    if (socket !== this.socket) return;
    this.kick();
    let message;
    try {
      message = JSON.parse(data);
    } catch {
      return;
    }
    const ids = this.proto.id;
    if (message.id === ids.ping) {
      this.send(message);
      return;
    }
    const request = this.active;
    if (message.id === ids.echo) {
      if (request && request.token === valueText(message.values[0])) this.finish(null);
      return;
    }
    if (message.id === ids.serverStopping) {
      this.closing = 'the server stopped';
      return;
    }
    if (message.id === ids.dropped) {
      this.closing ||= 'the server closed the connection';
      return;
    }
    if (request) {
      request.replies.push(message);
      if (request.until && replyName(message) === request.until) this.finish(null);
    }
    this.emit('message', message);
  }
}

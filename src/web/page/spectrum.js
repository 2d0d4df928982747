// The live spectrum: 16 bars drawn once per ^Spectrum the server sends, so
// the page shows the server's rate; "Spectrum off" when none arrive.
import { $ } from './dom.js';
import { replyText } from './protocol.js';

// Without a frame for this long the stream counts as off (the slowest rate
// sends one every 66 ms).
const kQuietMs = 1500;
const kRateWindowMs = 2000;

export class Spectrum {
  constructor(connection) {
    this.connection = connection;
    this.canvas = $('spectrum');
    this.bands = [];
    this.pending = false;
    this.quietTimer = 0;
    this.arrivals = [];
    this.frames = 0;
    this.colors = null;
    matchMedia('(prefers-color-scheme: dark)').addEventListener('change', () => { this.colors = null; });
    this.setOff(true);
  }

  handlers() {
    const r = this.connection.proto.reply;
    return {
      [r.Spectrum]: (m) => this.frame(replyText(m)),
      [r.StopSpectrum]: () => this.setOff(true),
      [r.StartSpectrum]: () => {},
    };
  }

  frame(text) {
    this.bands = text.split(this.connection.proto.separator).map((v) => Math.max(0, Math.min(100, parseInt(v, 10) || 0)));
    this.frames += 1;
    const now = performance.now();
    this.arrivals.push(now);
    while (this.arrivals.length && now - this.arrivals[0] > kRateWindowMs) this.arrivals.shift();
    this.setOff(false);
    clearTimeout(this.quietTimer);
    this.quietTimer = setTimeout(() => this.setOff(true), kQuietMs);
    if (!this.pending) {
      this.pending = true;
      requestAnimationFrame(() => this.draw());
    }
  }

  setOff(off) {
    $('spectrum-off').hidden = !off;
    this.canvas.dataset.state = off ? 'off' : 'on';
    if (off) {
      this.bands = [];
      this.arrivals = [];
      $('spectrum-rate').textContent = '';
      this.draw();
    }
  }

  draw() {
    this.pending = false;
    const canvas = this.canvas;
    const ratio = window.devicePixelRatio || 1;
    const width = Math.round(canvas.clientWidth * ratio) || canvas.width;
    const height = Math.round(canvas.clientHeight * ratio) || canvas.height;
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const context = canvas.getContext('2d');
    context.clearRect(0, 0, width, height);
    const count = this.bands.length;
    if (count === 0) return;
    this.colors ||= barColors();
    const gradient = context.createLinearGradient(0, height, 0, 0);
    gradient.addColorStop(0, this.colors[0]);
    gradient.addColorStop(1, this.colors[1]);
    context.fillStyle = gradient;
    const gap = Math.max(1, Math.round(width / count / 6));
    const bar = (width - gap * (count + 1)) / count;
    this.bands.forEach((value, i) => {
      const h = Math.max(1, (value / 100) * (height - 2));
      context.fillRect(gap + i * (bar + gap), height - h, bar, h);
    });
    const span = this.arrivals.length > 1 ? this.arrivals.at(-1) - this.arrivals[0] : 0;
    if (span > 0) $('spectrum-rate').textContent = `${Math.round(((this.arrivals.length - 1) * 1000) / span)}/s`;
  }
}

function barColors() {
  const style = getComputedStyle(document.documentElement);
  return [style.getPropertyValue('--bars-from').trim(), style.getPropertyValue('--bars-to').trim()];
}

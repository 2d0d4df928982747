// The shared queue: entries arrive as ^AddTrack (the whole list at join,
// then each new one); the current entry is marked; a tap plays an entry.
import { $, el } from './dom.js';
import { replyText } from './protocol.js';

export class Queue {
  constructor(connection) {
    this.connection = connection;
    this.entries = [];
    this.current = 0;
    document.addEventListener('current-entry', (event) => this.mark(event.detail));
  }

  get size() {
    return this.entries.length;
  }

  handlers() {
    const proto = this.connection.proto;
    return {
      [proto.reply.AddTrack]: (m) => this.add(proto.fields('AddTrack', replyText(m))),
    };
  }

  reset() {
    this.entries = [];
    $('queue-list').replaceChildren();
    this.showCount();
  }

  add(entry) {
    this.entries.push(entry);
    const number = this.entries.length;
    const row = el('li', { 'data-entry': String(number) },
      el('button', {
        className: 'row', type: 'button',
        onclick: () => this.connection.command(this.connection.proto.cmd.PlayTrack, String(number)),
        'aria-label': `Play ${entry.title} by ${entry.artist}`,
      }, el('span', { className: 'name' }, entry.title), el('span', { className: 'kind' }, entry.artist)),
      el('span', { className: 'length' }, entry.length));
    $('queue-list').append(row);
    this.showCount();
    this.mark(this.current);
  }

  showCount() {
    const capacity = this.connection.proto?.limits.playlistCapacity;
    $('queue-count').textContent = this.entries.length ? `${this.entries.length} of ${capacity}` : '';
    $('queue-empty').hidden = this.entries.length > 0;
  }

  mark(trackNo) {
    this.current = trackNo;
    for (const row of $('queue-list').children) {
      const isCurrent = Number(row.dataset.entry) === trackNo;
      row.setAttribute('aria-current', String(isCurrent));
    }
  }
}

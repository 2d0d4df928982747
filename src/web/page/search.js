// Find-as-you-type over the whole library with the "Search" command. Each
// match carries the numbers that browse to it and queue it.
import { $, el, row, queueButton, trackLabel } from './dom.js';
import { replyName, replyText } from './protocol.js';

const kTypingPauseMs = 150;

export class Search {
  constructor(connection, library) {
    this.connection = connection;
    this.library = library;
    this.active = false;
    this.serial = 0;
    this.timer = 0;
    const input = $('search');
    input.addEventListener('input', () => {
      clearTimeout(this.timer);
      this.timer = setTimeout(() => this.run(input.value.trim()), kTypingPauseMs);
    });
    input.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') this.clear();
    });
  }

  clear() {
    $('search').value = '';
    this.run('');
  }

  async run(text) {
    const serial = ++this.serial;
    if (!text) {
      this.active = false;
      this.library.render();
      return;
    }
    this.active = true;
    const proto = this.connection.proto;
    try {
      const replies = await this.connection.request(() => [proto.command(proto.cmd.Search, text)], proto.reply.Search);
      if (serial !== this.serial) return;
      const reply = replies.find((m) => replyName(m) === proto.reply.Search);
      this.show(text, parse(replyText(reply), proto.separator));
    } catch (error) {
      if (serial === this.serial) $('lib-note').textContent = `Search failed: ${error.message}`;
    }
  }

  show(text, { matches, further }) {
    const lib = this.library;
    const first = lib.proto.limits.firstListedNumber;
    $('crumbs').replaceChildren(el('button', { type: 'button', onclick: () => this.clear() }, 'All artists'));
    const rows = matches.map((m) => {
      if (m.kind === 'artist') return row(m.artist, 'artist', () => { this.clear(); lib.openArtist(m.a - first); });
      if (m.kind === 'album') {
        return row(m.album, `album · ${m.artist}`, () => { this.clear(); lib.openAlbum(m.a - first, m.b - first); },
          queueButton(`Queue the album ${m.album}`, () => lib.queueAlbum(m.a, m.b, m.album)));
      }
      const where = m.album ? `${m.artist} · ${m.album}` : m.artist;
      return row(trackLabel(m.track), `track · ${where} · tap to queue`,
        () => lib.queueTrack(m.a, m.b, m.t, trackLabel(m.track)));
    });
    $('lib-list').replaceChildren(...rows);
    let note = matches.length ? '' : `Nothing matches “${text}”.`;
    if (further > 0) note = `${further} more matches: type more to narrow it down.`;
    $('lib-note').textContent = note;
  }
}

// SHOWN\FURTHER, then artist\A\ARTIST, album\A\B\ARTIST\ALBUM or
// track\A\B\T\ARTIST\ALBUM\TRACK, one per line.
export function parse(payload, separator) {
  const lines = payload.split('\n');
  const [, further] = (lines.shift() || '0').split(separator).map((n) => parseInt(n, 10) || 0);
  const matches = [];
  for (const line of lines) {
    const f = line.split(separator);
    if (f[0] === 'artist') matches.push({ kind: 'artist', a: +f[1], artist: f[2] });
    else if (f[0] === 'album') matches.push({ kind: 'album', a: +f[1], b: +f[2], artist: f[3], album: f[4] });
    else if (f[0] === 'track') {
      matches.push({ kind: 'track', a: +f[1], b: +f[2], t: +f[3], artist: f[4], album: f[5], track: f[6] });
    }
  }
  return { matches, further: further || 0 };
}

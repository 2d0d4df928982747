// The library: artists, then an artist's albums and loose tracks, then an
// album's tracks; a tap queues a track or a whole album. Browsing moves this
// user's selection on the server, which queueing then uses, so the page
// tracks that selection and moves it again before it queues elsewhere.
import { $, el, row, queueButton, toast, trackLabel } from './dom.js';
import { replyName, replyText } from './protocol.js';
import { Search } from './search.js';

export class Library {
  constructor(connection, queue) {
    this.connection = connection;
    this.queue = queue;
    this.artists = [];
    this.view = { level: 'artists' };
    this.selection = { artist: 0, album: 0 };
    this.navigation = 0;
    this.search = new Search(connection, this);
  }

  get proto() {
    return this.connection.proto;
  }

  // The protocol numbers the k-th listed item k + first (artists, albums,
  // tracks); an album number of `loose` stands for the loose tracks.
  listed(k) {
    return k + this.proto.limits.firstListedNumber;
  }

  get loose() {
    return this.proto.limits.looseTracksAlbumNumber;
  }

  handlers() {
    return { [this.proto.reply.AddArtist]: (m) => { this.artists.push(replyText(m)); this.renderSoon(); } };
  }

  // A new join is a new user on the server: no selection, and the artists
  // come again. A search in progress is asked again.
  reset() {
    this.artists = [];
    this.selection = { artist: 0, album: 0 };
    this.navigation += 1;
    this.view = { level: 'artists' };
    if (this.search.active) this.search.run($('search').value.trim());
    else this.renderSoon();
  }

  renderSoon() {
    if (this.view.level !== 'artists' || this.search.active) return;
    clearTimeout(this.renderTimer);
    this.renderTimer = setTimeout(() => this.render(), 30);
  }

  command(name, argument) {
    return this.proto.command(this.proto.cmd[name], argument);
  }

  // Selects an artist on the server: its albums and loose tracks.
  async selectArtist(artist) {
    const replies = await this.connection.request(() => [this.command('GetAlbums', String(artist))]);
    this.selection = { artist, album: this.loose };
    const r = this.proto.reply;
    return {
      albums: replies.filter((m) => replyName(m) === r.AddAlbum).map(replyText),
      loose: replies.filter((m) => replyName(m) === r.AddAlbumTracks).map(replyText),
    };
  }

  // Selects an album of the selected artist: its tracks.
  async selectAlbum(album) {
    const replies = await this.connection.request(() => [this.command('GetAlbumTracks', String(album))]);
    this.selection.album = album;
    return replies.filter((m) => replyName(m) === this.proto.reply.AddAlbumTracks).map(replyText);
  }

  async ensureSelection(artist, album) {
    if (this.selection.artist !== artist) await this.selectArtist(artist);
    if (this.selection.album !== album) await this.selectAlbum(album);
  }

  // Queues tracks of the selected album by number, in order, in one go;
  // returns how many the server added and its first refusal.
  async queueNumbers(numbers) {
    const replies = await this.connection.request(() => numbers.map((n) => this.command('PlayAlbumTrack', String(n))));
    const r = this.proto.reply;
    let added = 0;
    let refusal = '';
    let lastAdded = '';
    replies.forEach((m, i) => {
      if (replyName(m) !== r.Error) return;
      // The server tells everyone about an added track right before it
      // confirms to the sender; a refusal comes alone.
      if (i > 0 && replyName(replies[i - 1]) === r.AddTrack) {
        added += 1;
        lastAdded = replyText(m);
      } else if (!refusal) {
        refusal = replyText(m);
      }
    });
    return { added, refusal, lastAdded };
  }

  async queueTrack(artist, album, track, label) {
    try {
      await this.ensureSelection(artist, album);
      const { added, refusal, lastAdded } = await this.queueNumbers([track]);
      if (added) toast(lastAdded);
      else toast(refusal || `${label} was not queued`, true);
    } catch (error) {
      toast(`Not queued: ${error.message}`, true);
    }
  }

  async queueAlbum(artist, album, name) {
    try {
      if (this.selection.artist !== artist) await this.selectArtist(artist);
      const tracks = await this.selectAlbum(album);
      const capacity = this.proto.limits.playlistCapacity;
      const room = capacity - this.queue.size;
      if (room <= 0) {
        toast(`The queue is full (${capacity} tracks): nothing from ${name} was added.`, true);
        return;
      }
      const numbers = tracks.slice(0, room).map((_, k) => this.listed(k));
      const { added, refusal } = await this.queueNumbers(numbers);
      let text = `Queued ${added} of ${tracks.length} tracks of ${name}.`;
      if (tracks.length > room) text += ` The queue holds ${capacity} tracks: the rest did not fit.`;
      if (refusal) text += ` ${refusal}`;
      toast(text, added < tracks.length);
    } catch (error) {
      toast(`Not queued: ${error.message}`, true);
    }
  }

  async openArtist(k) {
    const serial = ++this.navigation;
    const artist = this.listed(k);
    $('lib-note').textContent = 'Loading…';
    try {
      const listing = await this.selectArtist(artist);
      if (serial !== this.navigation) return;
      this.view = { level: 'artist', k, artist, name: this.artists[k], ...listing };
      this.render();
    } catch (error) {
      $('lib-note').textContent = `Could not open the artist: ${error.message}`;
    }
  }

  async openAlbum(artistK, albumK) {
    const serial = ++this.navigation;
    const artist = this.listed(artistK);
    const album = this.listed(albumK);
    $('lib-note').textContent = 'Loading…';
    try {
      if (this.selection.artist !== artist || this.view.artist !== artist) {
        const listing = await this.selectArtist(artist);
        this.view = { level: 'artist', k: artistK, artist, name: this.artists[artistK], ...listing };
      }
      const tracks = await this.selectAlbum(album);
      if (serial !== this.navigation) return;
      this.view = { ...this.view, level: 'album', albumK, album, albumName: this.view.albums[albumK], tracks };
      this.render();
    } catch (error) {
      $('lib-note').textContent = `Could not open the album: ${error.message}`;
    }
  }

  showArtists() {
    this.navigation += 1;
    this.view = { level: 'artists' };
    this.render();
  }

  crumbs() {
    const nav = $('crumbs');
    const v = this.view;
    const parts = [el('button', { type: 'button', onclick: () => this.showArtists() }, `Artists (${this.artists.length})`)];
    if (v.level === 'artist' || v.level === 'album') {
      parts.push(el('span', { 'aria-hidden': 'true' }, '›'),
        el('button', { type: 'button', onclick: () => this.openArtist(v.k) }, v.name));
    }
    if (v.level === 'album') {
      parts.push(el('span', { 'aria-hidden': 'true' }, '›'), el('span', {}, v.albumName));
    }
    nav.replaceChildren(...parts);
  }

  render() {
    if (this.search.active) return;
    $('lib-note').textContent = '';
    this.crumbs();
    const list = $('lib-list');
    const v = this.view;
    if (v.level === 'artists') {
      list.replaceChildren(...this.artists.map((name, k) => row(name, 'artist', () => this.openArtist(k))));
      if (!this.artists.length) $('lib-note').textContent = 'The library is empty.';
    } else if (v.level === 'artist') {
      const albums = v.albums.map((name, k) => row(name, 'album', () => this.openAlbum(v.k, k),
        queueButton(`Queue the album ${name}`, () => this.queueAlbum(v.artist, this.listed(k), name))));
      const loose = v.loose.map((file, k) => row(trackLabel(file), 'track · tap to queue',
        () => this.queueTrack(v.artist, this.loose, this.listed(k), trackLabel(file))));
      list.replaceChildren(...albums, ...loose);
      if (!albums.length && !loose.length) $('lib-note').textContent = 'Nothing listed for this artist.';
    } else {
      const all = el('li', {}, el('button', {
        className: 'button primary add', type: 'button',
        onclick: () => this.queueAlbum(v.artist, v.album, v.albumName),
      }, `Queue the whole album (${v.tracks.length})`));
      const tracks = v.tracks.map((file, k) => row(trackLabel(file), 'track · tap to queue',
        () => this.queueTrack(v.artist, v.album, this.listed(k), trackLabel(file))));
      list.replaceChildren(all, ...tracks);
    }
  }
}

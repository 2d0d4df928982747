// Now playing: the status broadcasts drawn as title, times, seek bar, volume
// and switches; the transport buttons; the album picture of the current entry.
import { $ } from './dom.js';
import { replyName, replyText, base64Bytes } from './protocol.js';

export class NowPlaying {
  constructor(connection) {
    this.connection = connection;
    this.state = '';
    this.trackNo = 0;
    this.count = 0;
    this.volume = -1;
    this.timeS = 0;
    this.lengthS = 0;
    this.seeking = false;
    this.pictureKey = '';
    this.pictureUrl = '';
    this.bind();
  }

  get proto() {
    return this.connection.proto;
  }

  send(name, argument) {
    this.connection.command(this.proto.cmd[name], argument);
  }

  bind() {
    $('prev').onclick = () => this.send('Start');
    $('next').onclick = () => this.send('End');
    $('stop').onclick = () => this.send('Stop');
    // Pause toggles: it resumes a paused track where it stopped, while Play
    // would start it again from the beginning.
    $('play').onclick = () => {
      const { Playing, Paused } = this.proto.playState;
      this.send(this.state === Playing || this.state === Paused ? 'Pause' : 'Play');
    };
    $('shuffle').onclick = () => this.send('Shuffle');
    $('repeat').onclick = () => this.send('Repeat');
    $('mute').onclick = () => this.send('Mute');
    $('vol-up').onclick = () => this.send('Up');
    $('vol-down').onclick = () => this.send('Down');
    const volume = $('volume');
    volume.oninput = () => { $('volume-text').value = `${volume.value}%`; };
    volume.onchange = () => this.setVolume(Number(volume.value));
    const seek = $('seek');
    seek.oninput = () => {
      this.seeking = true;
      $('elapsed').textContent = clock(Math.round((seek.value / seek.max) * this.lengthS));
    };
    seek.onchange = () => {
      this.seeking = false;
      const steps = this.proto.limits.seekSliderEnd;
      this.send('SetTime', String(Math.round((seek.value / seek.max) * steps)));
    };
  }

  // The server moves the volume only in steps (and to zero with Mute), so a
  // chosen level becomes the number of steps nearest to it.
  setVolume(target) {
    const { volumeMax, volumeStep } = this.proto.limits;
    if (target === 0) {
      this.send('Mute');
      return;
    }
    const current = Math.max(this.volume, 0);
    const delta = ((target - current) * volumeMax) / 100;
    let steps = Math.round(delta / volumeStep);
    if (steps === 0 && target !== current) steps = Math.sign(delta);
    for (let i = 0; i < Math.abs(steps); i += 1) this.send(steps > 0 ? 'Up' : 'Down');
  }

  // Reply handlers by reply name.
  handlers() {
    const r = this.proto.reply;
    return {
      [r.CurrentTrackInfo]: (m) => this.trackInfo(this.proto.fields('CurrentTrackInfo', replyText(m))),
      [r.TrackName]: (m) => this.trackInfo({ title: replyText(m), album: '', artist: '' }),
      [r.TrackNo]: (m) => { this.trackNo = parseInt(replyText(m), 10) || 0; this.showPosition(); },
      [r.Status]: (m) => this.playState(replyText(m)),
      [r.Volume]: (m) => this.showVolume(parseInt(replyText(m), 10) || 0),
      [r.NumTracks]: (m) => { this.count = parseInt(replyText(m), 10) || 0; this.showPosition(); },
      [r.Elapsed]: (m) => this.elapsed(replyText(m)),
      [r.TimeS]: (m) => { this.timeS = parseInt(replyText(m), 10) || 0; },
      [r.LengthS]: (m) => { this.lengthS = parseInt(replyText(m), 10) || 0; this.showSeek(); },
      [r.ShuffleOn]: () => pressed('shuffle', true),
      [r.ShuffleOff]: () => pressed('shuffle', false),
      [r.RepeatOn]: () => pressed('repeat', true),
      [r.RepeatOff]: () => pressed('repeat', false),
    };
  }

  trackInfo({ title, album, artist }) {
    $('title').textContent = title;
    $('artist').textContent = artist;
    $('album').textContent = album;
    $('mini').textContent = artist ? `${title} · ${artist}` : title;
    document.title = artist ? `${title} · Tembrel` : 'Tembrel jukebox';
  }

  playState(text) {
    this.state = text;
    $('state').textContent = text;
    const states = this.proto.playState;
    const playing = text === states.Playing;
    $('play-icon').setAttribute('href', playing ? '#i-pause' : '#i-play');
    $('play').setAttribute('aria-label', playing ? 'Pause' : text === states.Paused ? 'Resume' : 'Play');
    $('seek').disabled = !playing;
  }

  showPosition() {
    $('position-of').textContent = this.count > 0 ? `track ${this.trackNo} of ${this.count}` : 'no track';
    this.dispatchCurrent();
    this.loadPicture();
  }

  dispatchCurrent() {
    document.dispatchEvent(new CustomEvent('current-entry', { detail: this.trackNo }));
  }

  showVolume(percent) {
    this.volume = percent;
    const slider = $('volume');
    if (document.activeElement !== slider || !slider.matches(':active')) slider.value = String(percent);
    $('volume-text').value = `${percent}%`;
  }

  // "^Elapsed" always comes; "^TimeS" and "^LengthS" follow it only while a
  // position is known, so "no position" clears the seek bar.
  elapsed(text) {
    if (!this.seeking) $('elapsed').textContent = text;
    if (text === this.proto.noElapsed) {
      this.timeS = 0;
      this.lengthS = 0;
      this.showSeek();
    }
  }

  showSeek() {
    $('length').textContent = this.lengthS > 0 ? clock(this.lengthS) : '-:--';
    if (this.seeking) return;
    const seek = $('seek');
    seek.value = this.lengthS > 0 ? String(Math.round((this.timeS / this.lengthS) * seek.max)) : '0';
  }

  // Asks for the current entry's picture once per entry.
  async loadPicture() {
    const key = this.count > 0 ? `${this.trackNo}:${$('title').textContent}` : '';
    if (key === this.pictureKey) return;
    this.pictureKey = key;
    if (!key) {
      this.showPicture(null);
      return;
    }
    const r = this.proto.reply;
    try {
      const replies = await this.connection.request(() => [this.proto.command(this.proto.cmd.GetDetail, String(this.trackNo))]);
      if (key !== this.pictureKey) return;
      const image = replies.find((m) => replyName(m) === r.Image);
      this.showPicture(image ? base64Bytes(image.values[this.proto.image.bytes]?.base64 || '') : null);
    } catch {
      this.pictureKey = '';
    }
  }

  showPicture(bytes) {
    const img = $('art');
    if (this.pictureUrl) URL.revokeObjectURL(this.pictureUrl);
    this.pictureUrl = '';
    if (!bytes || bytes.length === 0) {
      img.hidden = true;
      img.removeAttribute('src');
      return;
    }
    this.pictureUrl = URL.createObjectURL(new Blob([bytes], { type: 'image/jpeg' }));
    img.src = this.pictureUrl;
    img.alt = `Album picture of ${$('album').textContent}`;
    img.hidden = false;
  }

  reset() {
    this.pictureKey = '';
    this.seeking = false;
  }
}

function pressed(id, on) {
  $(id).setAttribute('aria-pressed', String(on));
}

export function clock(seconds) {
  const s = Math.max(0, seconds | 0);
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
}

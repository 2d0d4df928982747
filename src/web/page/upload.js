// Uploads: files chosen or dropped are sent one after another in chunks
// (StartFile, then SendFile per chunk, each after the server asked for
// it with ^GetFileChunk, then EndFile), each with its own progress bar.
import { $, el } from './dom.js';
import { replyName, replyText, blobBase64 } from './protocol.js';

const kChunkBytes = 256 * 1024;

// The server refused the upload; its message says why.
class Refusal extends Error {}

export class Uploads {
  constructor(connection) {
    this.connection = connection;
    this.waiting = [];
    this.busy = false;
    this.number = 0;
    this.bind();
  }

  get proto() {
    return this.connection.proto;
  }

  bind() {
    const input = $('files');
    input.onchange = () => {
      this.add([...input.files]);
      input.value = '';
    };
    const drop = $('drop');
    // Anywhere on the page: a file dropped outside the zone must not make
    // the browser leave the page to open it.
    document.addEventListener('dragover', (event) => {
      event.preventDefault();
      drop.classList.add('over');
    });
    document.addEventListener('dragleave', (event) => {
      if (!event.relatedTarget) drop.classList.remove('over');
    });
    document.addEventListener('drop', (event) => {
      event.preventDefault();
      drop.classList.remove('over');
      this.add([...(event.dataTransfer?.files || [])]);
    });
  }

  add(files) {
    for (const file of files) {
      const bar = el('progress', { max: 1, value: 0, 'aria-label': `Upload of ${file.name}` });
      const result = el('span', { className: 'result' }, 'waiting');
      const item = el('li', {}, el('span', { className: 'name' }, file.name), bar, result);
      $('upload-list').append(item);
      this.waiting.push({ file, bar, result, item });
    }
    if (files.length) document.dispatchEvent(new CustomEvent('show-section', { detail: 'upload' }));
    this.next();
  }

  async next() {
    if (this.busy || this.waiting.length === 0) return;
    this.busy = true;
    const job = this.waiting.shift();
    try {
      const { ok, text } = await this.send(job);
      this.finish(job, ok, text);
    } catch (error) {
      const text = error instanceof Refusal ? error.message : `Upload failed: ${error.message}`;
      this.finish(job, false, text);
    }
    this.busy = false;
    this.next();
  }

  finish(job, ok, text) {
    job.item.classList.toggle('failed', !ok);
    job.result.textContent = text;
    if (ok) job.bar.value = job.bar.max;
  }

  // One upload message: the command in value 0 and the upload values at the
  // positions the server lists; unused positions in between hold empty text.
  message(command, serverName, number, values = {}) {
    const p = this.proto;
    const u = p.upload;
    const list = [p.text(p.cmd[command])];
    list[u.chunkLength] = p.int(0);
    list[u.serverPath] = p.text(serverName);
    list[u.returnNumber] = p.int(number);
    for (const [key, value] of Object.entries(values)) list[u[key]] = value;
    for (let i = 0; i < list.length; i += 1) list[i] ??= p.text('');
    return { id: p.id.command, values: list };
  }

  async send({ file, bar, result }) {
    const p = this.proto;
    this.number += 1;
    const number = this.number;
    // The server keeps only this name, inside its upload folder; the prefix
    // keeps two guests' "track01.mp3" apart.
    const stamp = `${Date.now().toString(36)}${Math.floor(Math.random() * 1296).toString(36)}`;
    const serverName = `web-${stamp}-${file.name.replace(/[\\/]/g, '_')}`;
    // Each step waits for its answers; a refusal (the upload folder is full,
    // a chunk could not be stored) ends the upload with the server's reason.
    const step = async (messages) => {
      const replies = await this.connection.request(messages);
      const refusal = replies.find((m) => replyName(m) === p.reply.Error);
      if (refusal) throw new Refusal(replyText(refusal));
      if (!replies.some((m) => replyName(m) === p.reply.GetFileChunk)) {
        throw new Error('the server did not answer');
      }
    };
    result.textContent = 'sending';
    bar.max = Math.max(file.size, 1);
    await step(() => [this.message('StartFile', serverName, number)]);
    for (let offset = 0; offset < file.size; offset += kChunkBytes) {
      const slice = file.slice(offset, offset + kChunkBytes);
      const base64 = await blobBase64(slice);
      await step(() => [this.message('SendFile', serverName, number, {
        chunk: p.bytesBase64(base64), chunkLength: p.int(slice.size),
      })]);
      bar.value = offset + slice.size;
      result.textContent = `${Math.round((100 * (offset + slice.size)) / bar.max)}%`;
    }
    result.textContent = 'queueing';
    // The server names an untagged track after this path: the file name
    // after the last separator, the folders above it as album and artist.
    const clientPath = `./${file.webkitRelativePath || file.name}`;
    const replies = await this.connection.request(() => [this.message('EndFile', serverName, number, {
      clientPath: p.text(clientPath),
    })]);
    const r = p.reply;
    const index = replies.findIndex((m) => replyName(m) === r.Error);
    if (index < 0) return { ok: false, text: 'The server did not answer.' };
    const ok = index > 0 && replyName(replies[index - 1]) === r.AddTrack;
    return { ok, text: replyText(replies[index]) };
  }
}

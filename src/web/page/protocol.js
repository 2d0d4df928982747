// The protocol as the server defines it: names, message ids and value
// positions all come from /protocol.json, so the page never spells a layout
// the server does not have. Also the JSON form of a message's typed values.

const textEncoder = new TextEncoder();
const utf8 = new TextDecoder('utf-8');

// A lookup whose unknown keys throw: a name the server does not define is a
// fault in the page, not something to send silently.
function strictTable(entries, what) {
  const table = Object.create(null);
  for (const [key, value] of entries) table[key] = value;
  return new Proxy(table, {
    get(target, key) {
      if (typeof key !== 'string' || key in target) return target[key];
      throw new Error(`the server defines no ${what} "${key}"`);
    },
  });
}

function named(list) {
  return list.map((item) => (typeof item === 'string' ? item : item.name));
}

export class Protocol {
  constructor(table) {
    this.table = table;
    // Commands and replies by their own names: cmd.Play is "Play" when the
    // server knows it and an error when it does not; reply.Status is ^Status.
    this.cmd = strictTable(named(table.commands).map((n) => [n, n]), 'command');
    this.reply = strictTable(named(table.replies).map((n) => [n.replace(/^\^/, ''), n]), 'reply');
    this.id = strictTable(Object.entries(table.messageIds), 'message id');
    this.type = strictTable(named(table.valueTypes).map((n) => [n, n]), 'value type');
    this.upload = strictTable(Object.entries(table.upload), 'upload value');
    this.image = strictTable(Object.entries(table.image), 'picture value');
    this.playState = strictTable(table.status.playStates.map((n) => [n, n]), 'play state');
    this.separator = table.fieldSeparator;
    this.replyFields = Object.fromEntries(
      table.replies.filter((r) => Array.isArray(r.fields)).map((r) => [r.name, r.fields]));
    this.limits = table.limits;
    this.noElapsed = table.status.noElapsed;
  }

  static async load() {
    // The server marks the table no-cache: every load revalidates it, and
    // the first one takes what the page preloaded.
    const response = await fetch('/protocol.json');
    if (!response.ok) throw new Error(`protocol table: HTTP ${response.status}`);
    return new Protocol(await response.json());
  }

  // A payload of backslash-joined fields as an object, by the field names
  // the server lists for that reply: fields('AddTrack', text).title.
  fields(reply, text) {
    const names = this.replyFields[this.reply[reply]];
    if (!names) throw new Error(`the reply ${reply} has no fields`);
    const parts = text.split(this.separator);
    return Object.fromEntries(names.map((name, i) => [name, parts[i] ?? '']));
  }

  text(value) {
    return { type: this.type.Text, value: String(value) };
  }

  int(value) {
    return { type: this.type.FourByteB, value: value | 0 };
  }

  bytesBase64(base64) {
    return { type: this.type.Bytes, base64 };
  }

  // A command message: value 0 the command name, value 1 the argument.
  command(name, argument) {
    const values = [this.text(this.cmd[name])];
    if (argument !== undefined && argument !== '') values.push(this.text(argument));
    return { id: this.id.command, values };
  }
}

// The text of a value: UTF-8 text as sent, or raw bytes (base64) decoded
// leniently, since a tag may hold any bytes.
export function valueText(value) {
  if (!value) return '';
  if (typeof value.value === 'string') return value.value;
  if (typeof value.value === 'number') return String(value.value);
  if (typeof value.base64 === 'string') return utf8.decode(base64Bytes(value.base64));
  return '';
}

export function replyName(message) {
  return valueText(message.values[0]);
}

export function replyText(message) {
  return valueText(message.values[1]);
}

export function base64Bytes(base64) {
  const binary = atob(base64);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i += 1) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

export function utf8Length(text) {
  return textEncoder.encode(text).length;
}

// Reads a Blob slice as base64 through the browser's own encoder.
export function blobBase64(blob) {
  return new Promise((resolve, reject) => {
    const reader = new FileReader();
    reader.onload = () => resolve(String(reader.result).replace(/^data:[^,]*,/, ''));
    reader.onerror = () => reject(reader.error);
    reader.readAsDataURL(blob);
  });
}

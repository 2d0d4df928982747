// Who is connected: this user and everyone announced by a join or a leave
// since this page joined.
import { $, el } from './dom.js';
import { valueText } from './protocol.js';

export class People {
  constructor(connection) {
    this.connection = connection;
    this.others = new Map();
    this.serial = 0;
  }

  reset() {
    this.others.clear();
    this.render();
  }

  // Another user's join message (id 0, value 0 the name, not a reply).
  joined(message) {
    this.serial += 1;
    this.others.set(this.serial, valueText(message.values[0]));
    this.render();
  }

  // A leave message names the user; with equal names the earliest goes.
  left(message) {
    const name = valueText(message.values[0]);
    for (const [key, other] of this.others) {
      if (other === name) {
        this.others.delete(key);
        break;
      }
    }
    this.render();
  }

  render() {
    const list = $('people-list');
    list.replaceChildren(el('li', {}, el('span', { className: 'row' },
      el('span', { className: 'name' }, this.connection.name), el('span', { className: 'kind' }, 'you'))));
    for (const name of this.others.values()) {
      list.append(el('li', {}, el('span', { className: 'row' }, el('span', { className: 'name' }, name || '(no name)'))));
    }
  }
}

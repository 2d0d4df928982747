// Small DOM helpers shared by the views.

export const $ = (id) => document.getElementById(id);

// el('li', {className: 'x', onclick}, child, 'text', ...)
export function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (key.startsWith('aria-') || key.startsWith('data-')) node.setAttribute(key, value);
    else node[key] = value;
  }
  for (const child of children) {
    if (child !== null && child !== undefined) node.append(child);
  }
  return node;
}

let toastTimer = 0;
const kToastMs = 4000;

// A short notice for the user; `bad` marks a refusal or failure.
export function toast(text, bad = false) {
  const node = $('toast');
  node.textContent = text;
  node.classList.toggle('bad', bad);
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => { node.textContent = ''; }, kToastMs);
}

// A listed file name without its extension, as people name tracks.
export function trackLabel(fileName) {
  return fileName.replace(/\.[A-Za-z0-9]{2,4}$/, '');
}

// A list row: a wide button with a name and its kind, and an optional
// second button.
export function row(name, kind, onclick, extra = null) {
  return el('li', {},
    el('button', { className: 'row', type: 'button', onclick },
      el('span', { className: 'name' }, name), el('span', { className: 'kind' }, kind)),
    extra);
}

export function queueButton(label, onclick) {
  return el('button', { className: 'button add', type: 'button', onclick, 'aria-label': label }, 'Queue all');
}

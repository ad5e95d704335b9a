// Renders any dialog of the host generically: widgets are built once per item id, later states
// only patch captions, values, choices and enabled/visible states. The field the user is
// typing in is never overwritten.

const built = new Map(); // dialog id -> { root, menubar, body, title, widgets: Map(item id -> widget) }

// Changes sent and not yet answered, by "dialog:item". A state that arrives meanwhile was made
// before the change reached the application: it must not put the old value back into the
// widget the user has just changed (the answer, and later states, bring the value taken).
const pending = new Map();
let lastRendered = null;

function sendChange(send, dialog, item, value) {
  const key = `${dialog}:${item}`;
  pending.set(key, (pending.get(key) || 0) + 1);
  return send({ dialog, item, kind: 'change', value: String(value) }).finally(() => {
    const left = pending.get(key) - 1;
    if (left > 0) pending.set(key, left);
    else pending.delete(key);
    if (lastRendered) renderState(lastRendered.state, lastRendered.send);
  });
}

// A list box's selection as the host takes it: one index, or ascending indices joined by ','.
function selectionValue(select) {
  if (!select.multiple) return select.selectedIndex;
  return [...select.options].filter((o) => o.selected).map((o) => o.index).join(',');
}

// The rows of a list box with columns: cells padded to their column's width ('\t' separates
// them in a row), the headings first.
function columnRows(columns, rows) {
  const cells = [columns, ...rows.map((r) => r.split('\t'))];
  const widths = columns.map((_, i) => Math.max(...cells.map((c) => (c[i] || '').length)));
  return cells.map((c) =>
    widths.map((w, i) => (c[i] || '').padEnd(w, '\u00a0')).join('\u00a0\u00a0').trimEnd()
  );
}

function makeWidget(dialogId, item, send) {
  const row = document.createElement('div');
  row.className = 'item kind-' + item.kind;
  const caption = document.createElement('span');
  caption.className = 'caption';
  let input = null;
  let setValue = () => {};
  switch (item.kind) {
    case 'text':
    case 'number': {
      input = document.createElement('input');
      input.type = 'text';
      if (item.kind === 'number') input.inputMode = 'decimal';
      input.spellcheck = false;
      input.addEventListener('change', () => sendChange(send, dialogId, item.id, input.value));
      setValue = (v) => {
        if (document.activeElement !== input && input.value !== v) input.value = v;
      };
      break;
    }
    case 'toggle': {
      input = document.createElement('input');
      input.type = 'checkbox';
      input.addEventListener('change', () =>
        sendChange(send, dialogId, item.id, input.checked ? 1 : 0)
      );
      setValue = (v) => {
        input.checked = v === '1';
      };
      break;
    }
    case 'option':
    case 'listbox': {
      input = document.createElement('select');
      if (item.kind === 'listbox') {
        input.size = 8;
        input.multiple = !!item.multiple;
        if (item.columns) input.classList.add('columns');
      }
      input.addEventListener('change', () =>
        sendChange(send, dialogId, item.id, selectionValue(input))
      );
      if (item.activate) {
        // A double click on a row, or Enter in the list, presses the item's button.
        const activate = () => send({ dialog: dialogId, item: item.activate, kind: 'button' });
        input.addEventListener('dblclick', (e) => {
          if (e.target instanceof HTMLOptionElement) activate();
        });
        input.addEventListener('keydown', (e) => {
          if (e.key !== 'Enter') return;
          e.preventDefault();
          e.stopPropagation();
          activate();
        });
      }
      setValue = (v) => {
        if (input.multiple) {
          const rows = new Set(v.split(',').filter((r) => r !== '').map(Number));
          for (const o of input.options) o.selected = rows.has(o.index);
        } else if (document.activeElement !== input || item.kind === 'listbox') {
          input.selectedIndex = Number(v);
        }
      };
      break;
    }
    case 'grid': {
      // One cell per choice, in rows of item.gridColumns; a click chooses or drops a cell.
      input = document.createElement('div');
      input.className = 'grid';
      input.style.gridTemplateColumns = `repeat(${item.gridColumns || 8}, auto)`;
      const cells = (item.choices || []).map((label, index) => {
        const cell = document.createElement('button');
        cell.type = 'button';
        cell.className = 'cell';
        cell.dataset.value = String(index);
        cell.setAttribute('aria-pressed', 'false');
        cell.title = label;
        const color = (item.colors || [])[index];
        if (color) cell.style.background = color;
        else cell.textContent = label;
        cell.addEventListener('click', () => {
          cell.classList.toggle('chosen');
          const chosen = cells.filter((c) => c.classList.contains('chosen'));
          sendChange(send, dialogId, item.id, chosen.map((c) => c.dataset.value).join(','));
        });
        return cell;
      });
      input.append(...cells);
      let shownColors = JSON.stringify(item.colors || []);
      setValue = (v) => {
        const colors = widget.item.colors || [];
        const recolor = JSON.stringify(colors) !== shownColors;
        shownColors = JSON.stringify(colors);
        const rows = new Set(v.split(',').filter((r) => r !== '').map(Number));
        cells.forEach((c, i) => {
          if (recolor && colors[i]) c.style.background = colors[i];
          if (c.classList.contains('chosen') !== rows.has(i)) {
            c.classList.toggle('chosen', rows.has(i));
            c.setAttribute('aria-pressed', rows.has(i) ? 'true' : 'false');
          }
        });
      };
      break;
    }
    case 'button': {
      input = document.createElement('button');
      input.type = 'button';
      input.addEventListener('click', () => send({ dialog: dialogId, item: item.id, kind: 'button' }));
      break;
    }
    case 'menu': {
      // A pull-down menu of the menu bar: its entries go into the popup.
      const menu = document.createElement('details');
      const title = document.createElement('summary');
      title.append(caption);
      const popup = document.createElement('div');
      popup.className = 'menu-popup';
      popup.addEventListener('click', (e) => {
        if (e.target.closest('button, a')) menu.open = false;
      });
      menu.append(title, popup);
      row.append(menu);
      return { row, caption, input: null, setValue, choices: null, item, menu, popup };
    }
    case 'link': {
      // A page the application serves, opened in a window of its own.
      input = document.createElement('a');
      input.target = '_blank';
      input.rel = 'noopener';
      setValue = (v) => {
        if (input.getAttribute('href') !== v) input.setAttribute('href', v);
      };
      break;
    }
    case 'progress': {
      input = document.createElement('progress');
      input.max = 100;
      setValue = (v) => {
        input.value = Number(v) || 0;
      };
      break;
    }
    default:
      break; // label, group: the caption is all
  }
  if (input && item.kind === 'grid') {
    row.append(caption, input);
  } else if (input && item.kind !== 'button' && item.kind !== 'link') {
    const label = document.createElement('label');
    if (item.kind === 'toggle') label.append(input, caption);
    else label.append(caption, input);
    row.append(label);
  } else if (input) {
    row.append(input);
  } else {
    row.append(caption);
  }
  const widget = { row, caption, input, setValue, choices: null, item, key: `${dialogId}:${item.id}` };
  return widget;
}

// A "~" in a button's caption marks the next letter as its access key (Alt+letter), drawn
// underlined.
function setButtonText(widget, text) {
  widget.text = text;
  const at = text.indexOf('~');
  if (at < 0 || at + 1 >= text.length) {
    widget.input.textContent = text.replace('~', '');
    widget.input.accessKey = '';
    return;
  }
  const key = document.createElement('u');
  key.textContent = text[at + 1];
  widget.input.replaceChildren(text.slice(0, at), key, text.slice(at + 2));
  widget.input.accessKey = text[at + 1].toLowerCase();
}

function patchWidget(widget, item) {
  widget.item = item;
  const text = item.caption || '';
  if (widget.input && (item.kind === 'button' || item.kind === 'link')) {
    if (item.kind === 'link') {
      if (widget.input.textContent !== text) widget.input.textContent = text;
    } else if (widget.text !== text) {
      setButtonText(widget, text);
    }
    widget.input.classList.toggle('default', !!item.default);
  } else if (widget.caption.textContent !== text) {
    widget.caption.textContent = text;
  }
  const choices = JSON.stringify([item.columns || [], item.choices || []]);
  if (widget.input && widget.input.tagName === 'SELECT' && widget.choices !== choices) {
    widget.choices = choices;
    let rows = item.choices || [];
    if (item.columns) {
      const [heading, ...padded] = columnRows(item.columns, rows);
      rows = padded;
      if (!widget.heading) {
        widget.heading = document.createElement('div');
        widget.heading.className = 'column-heading';
        widget.input.before(widget.heading);
      }
      widget.heading.textContent = heading;
    }
    widget.input.replaceChildren(
      ...rows.map((c) => {
        const o = document.createElement('option');
        o.textContent = c;
        return o;
      })
    );
  }
  if (!pending.has(widget.key)) widget.setValue(item.value);
  if (widget.input) widget.input.disabled = !item.enabled;
  widget.row.hidden = !item.visible;
  widget.row.classList.toggle('disabled', !item.enabled);
}

function buildDialog(dialog, send) {
  const root = document.createElement('section');
  root.className = 'dialog';
  root.setAttribute('role', dialog.modal ? 'alertdialog' : 'dialog');
  root.dataset.id = dialog.id;
  const bar = document.createElement('header');
  const title = document.createElement('h2');
  const close = document.createElement('button');
  close.type = 'button';
  close.className = 'close';
  close.textContent = '\u00d7';
  close.title = 'Close';
  close.tabIndex = -1;
  close.addEventListener('click', () => send({ dialog: dialog.id, kind: 'close' }));
  bar.append(title, close);
  const menubar = document.createElement('nav');
  menubar.className = 'menubar';
  menubar.hidden = true;
  const body = document.createElement('div');
  body.className = 'body';
  root.append(bar, menubar, body);
  root.addEventListener('keydown', (e) => onKey(e, dialog.id, send));
  return { root, menubar, body, title, widgets: new Map() };
}

// Enter presses the default button (after the field being typed in is sent), Esc the cancel
// button, or closes the dialog when it has none.
function onKey(e, dialogId, send) {
  const entry = built.get(dialogId);
  if (!entry) return;
  const openMenu = e.target.closest?.('details[open]');
  if (openMenu && e.key === 'Escape') {
    e.preventDefault();
    openMenu.open = false;
    openMenu.querySelector('summary').focus();
    return;
  }
  const widgets = [...entry.widgets.values()];
  const usable = (w) => w.item.enabled && w.item.visible;
  if (e.key === 'Enter' && !(e.target instanceof HTMLButtonElement) && e.target.tagName !== 'SELECT') {
    const button = widgets.find((w) => w.item.kind === 'button' && w.item.default && usable(w));
    if (!button) return;
    e.preventDefault();
    if (e.target instanceof HTMLInputElement && e.target.type === 'text') {
      e.target.dispatchEvent(new Event('change'));
    }
    send({ dialog: dialogId, item: button.item.id, kind: 'button' });
  } else if (e.key === 'Escape') {
    e.preventDefault();
    const button = widgets.find((w) => w.item.kind === 'button' && w.item.cancel && usable(w));
    if (button) send({ dialog: dialogId, item: button.item.id, kind: 'button' });
    else send({ dialog: dialogId, kind: 'close' });
  }
}

// A click outside an open menu closes it.
document.addEventListener('click', (e) => {
  for (const menu of document.querySelectorAll('.menubar details[open]')) {
    if (!menu.contains(e.target)) menu.open = false;
  }
});

export function renderState(state, send) {
  lastRendered = { state, send };
  const desk = document.getElementById('desk');
  const modalLayer = document.getElementById('modal-layer');
  const seen = new Set();
  let newModal = null;
  for (const dialog of state.dialogs || []) {
    seen.add(dialog.id);
    let entry = built.get(dialog.id);
    if (!entry) {
      entry = buildDialog(dialog, send);
      built.set(dialog.id, entry);
      (dialog.modal ? modalLayer : desk).append(entry.root);
      if (dialog.modal) newModal = entry;
    }
    if (entry.title.textContent !== dialog.title) entry.title.textContent = dialog.title;
    for (const item of dialog.items) {
      let widget = entry.widgets.get(item.id);
      if (!widget) {
        widget = makeWidget(dialog.id, item, send);
        entry.widgets.set(item.id, widget);
        if (item.kind === 'menu') {
          entry.menubar.append(widget.row);
          entry.menubar.hidden = false;
        } else {
          const menu = item.menu && entry.widgets.get(item.menu);
          (menu && menu.popup ? menu.popup : entry.body).append(widget.row);
        }
      }
      patchWidget(widget, item);
    }
  }
  for (const [id, entry] of built) {
    if (!seen.has(id)) {
      entry.root.remove();
      built.delete(id);
    }
  }
  const anyModal = (state.dialogs || []).some((d) => d.modal);
  modalLayer.hidden = !anyModal;
  desk.inert = anyModal;
  if (newModal) {
    const focus =
      [...newModal.widgets.values()].find((w) => w.item.default) ||
      [...newModal.widgets.values()].find((w) => w.input);
    if (focus && focus.input) focus.input.focus({ preventScroll: true });
  }
}

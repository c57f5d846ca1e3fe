// The controls the program asks for beside a fragment (the "controls" of a
// fragment's parts, platform/shell.h): buttons, check boxes and choices of
// one among several, drawn in #sw-controls under the fragment, which stays
// exactly as the program composed it. They are main page elements like the
// menu links: input.mjs sends their clicks, and the snapshot of every click
// carries their state, so the click that acts on the fragment ("Ask the
// Oracle") reads them as it reads the form. A check box may be off while a
// field of the fragment holds one of some values (a deck that cannot tell
// its trumps), with a note saying why; what the user wanted comes back when
// the field changes again. Every page write clears them.

let panel = null;
let stopWatching = () => {};

export function setUpControls(element) {
  panel = element;
  panel.hidden = true;
}

export function clearControls() {
  stopWatching();
  stopWatching = () => {};
  panel.replaceChildren();
  panel.hidden = true;
}

function make(tag, properties = {}, ...children) {
  const element = document.createElement(tag);
  for (const [name, value] of Object.entries(properties)) element.setAttribute(name, value);
  element.append(...children);
  return element;
}

function button(control) {
  return make('button', { type: 'button', class: 'btn', id: control.id }, String(control.label));
}

function check(control) {
  const box = make('input', { type: 'checkbox', id: control.id });
  box.checked = control.value === '1';
  const label = make('label', { class: 'sw-check' }, box, ' ' + String(control.label));
  const wrapper = make('div', { class: 'sw-control' }, label);
  if (control.note) {
    const note = make('div', { class: 'sw-control-note', id: `${control.id}-note` }, String(control.note));
    note.hidden = true;
    box.setAttribute('aria-describedby', note.id);
    wrapper.append(note);
  }
  return wrapper;
}

function choice(control) {
  const legend = make('legend', {}, String(control.label));
  const group = make('fieldset', { class: 'sw-choice' }, legend);
  for (const option of Array.isArray(control.choices) ? control.choices : []) {
    const radio = make('input', { type: 'radio', name: control.id, id: `${control.id}-${option.value}`, value: String(option.value) });
    radio.checked = option.value === control.value;
    group.append(make('label', {}, radio, ' ' + String(option.text)));
  }
  return group;
}

// The fragment's field of that name or id.
function field(fileList, name) {
  const wanted = String(name).toLowerCase();
  return Array.from(fileList.querySelectorAll('[name],[id]')).find((element) =>
    (element.getAttribute('name') || '').toLowerCase() === wanted ||
    (element.getAttribute('id') || '').toLowerCase() === wanted) || null;
}

// Keeps a check box off while the watched field holds one of its values.
function watch(fileList, control, box) {
  const watched = field(fileList, control.watch);
  const offFor = Array.isArray(control.offFor) ? control.offFor.map(String) : [];
  if (!watched || offFor.length === 0) return;
  const note = panel.querySelector(`[id="${control.id}-note"]`);
  let wanted = box.checked;
  const update = () => {
    const off = offFor.includes(watched.value);
    if (off && !box.disabled) wanted = box.checked;
    box.disabled = off;
    box.checked = off ? false : wanted;
    if (note) note.hidden = !off;
  };
  update();
  watched.addEventListener('change', update);
  const previous = stopWatching;
  stopWatching = () => {
    previous();
    watched.removeEventListener('change', update);
  };
}

export function showControls(fileList, controls) {
  clearControls();
  if (!Array.isArray(controls) || controls.length === 0) return;
  const options = make('div', { class: 'sw-controls-options' });
  const buttons = make('div', { class: 'sw-controls-buttons' });
  const watched = [];
  for (const control of controls) {
    if (control.kind === 'check') {
      const wrapper = check(control);
      options.append(wrapper);
      if (control.watch) watched.push([control, wrapper.querySelector('input')]);
    } else if (control.kind === 'choice') {
      options.append(choice(control));
    } else {
      buttons.append(button(control));
    }
  }
  if (options.childElementCount > 0) panel.append(options);
  if (buttons.childElementCount > 0) panel.append(buttons);
  for (const [control, box] of watched) watch(fileList, control, box);
  panel.hidden = false;
}

'use strict';
// The box shot page: every control is a render option of the service, sent
// by its command-line name. The controls are built from the service's own
// description of its options (GET /options): ranges, starting values,
// captions, and the number the window shows for each. The preview is a
// small render, asked for a moment after the last change; a newer change
// cancels an older request.

const PreviewSide = 480;
const PreviewDelay = 150; // ms after the last change

// The bars of each group, by option name, in their order.
const Bars = {
  'box-bars': ['width', 'height', 'thickness'],
  'view-bars': ['side-angle', 'tilt-angle', 'turn', 'eye', 'depth', 'vertical', 'horizontal'],
  'look-bars': ['shadow', 'reflection', 'light'],
};
// A kind's own view, as /kinds names it, for each view bar.
const KindView = {
  'side-angle': 'sideAngle', 'tilt-angle': 'tiltAngle', turn: 'turn', eye: 'eye',
  depth: 'depth', vertical: 'vertical', horizontal: 'horizontal',
};

const $ = (id) => document.getElementById(id);
const covers = { front: null, side: null, top: null };
let kinds = [];
let options = {}; // by name, as GET /options describes them
let previewTimer = 0;
let previewRequest = null;
let previewSerial = 0;
let previewUrl = '';

// Ties go to the even neighbour, as the window's labels round.
function roundHalfEven(x) {
  const floor = Math.floor(x);
  if (Math.abs(x - floor - 0.5) > 1e-9) return Math.round(x);
  return floor % 2 === 0 ? floor : floor + 1;
}

// The number (and unit) the window shows for an option at this value.
function shownText(option, value) {
  const shown = option.shown;
  if (!shown) return String(value) + (option.unit || '');
  let number = value;
  if (shown.byForm) {
    const row = shown.byForm[Number($('form').value)];
    if (row && row[value - option.min] !== undefined) number = row[value - option.min];
  } else if (shown.scale) {
    number = roundHalfEven(Number((value * shown.scale).toFixed(9)));
  }
  return String(number) + (shown.unit || '');
}

function makeBars(containerId, names) {
  const container = $(containerId);
  for (const name of names) {
    const option = options[name];
    if (!option) continue;
    const span = option.bar || option;
    const id = 'bar-' + name;
    const row = document.createElement('div');
    row.className = 'bar';
    row.innerHTML = `<label for="${id}"></label><input type="range" id="${id}" name="${name}">` +
      `<output for="${id}"></output>`;
    row.querySelector('label').textContent = option.label || name;
    const input = row.querySelector('input');
    Object.assign(input, { min: span.min, max: span.max, step: 1, value: option.default ?? span.min });
    const shown = row.querySelector('output');
    shown.textContent = shownText(option, Number(input.value));
    input.addEventListener('input', () => { showBar(input); schedulePreview(); });
    container.appendChild(row);
  }
}

function showBar(input) {
  input.nextElementSibling.textContent = shownText(options[input.name], Number(input.value));
}

function bars() {
  return [...document.querySelectorAll('.bar input')];
}

function setBar(name, value) {
  const input = $('bar-' + name);
  if (!input) return;
  input.value = value;
  showBar(input);
}

function applyKind(index) {
  const kind = kinds[index];
  if (kind) for (const [bar, key] of Object.entries(KindView)) setBar(bar, kind[key]);
  // The window's box sizes read differently for each kind.
  for (const input of bars()) showBar(input);
}

function say(text, isError) {
  const status = $('status');
  status.textContent = text;
  status.classList.toggle('error', Boolean(isError));
}

// The options as form fields, for a picture of this size.
function renderForm(width, height, samples, format) {
  const form = new FormData();
  for (const [slot, file] of Object.entries(covers)) if (file) form.append(slot, file, file.name);
  form.append('form', $('form').value);
  for (const input of bars()) form.append(input.name, input.value);
  if ($('smooth-textures').checked) form.append('smooth-textures', 'true');
  form.append('background', $('background').value.toUpperCase());
  const transparent = $('transparent').checked && (format === 'png' || format === 'tga');
  if (transparent) form.append('transparent', 'true');
  form.append('size', `${width}x${height}`);
  form.append('samples', String(samples));
  form.append('format', format);
  return form;
}

async function errorText(response) {
  try {
    const body = await response.json();
    if (body && body.error) return body.error;
  } catch (e) { /* not JSON */ }
  if (response.status === 429) return 'The service is busy; trying again in a moment.';
  return `The service answered ${response.status}.`;
}

function outputSize() {
  const { min, max } = options.size;
  const clamp = (v) => Math.max(min, Math.min(max, Math.round(Number(v) || min)));
  return [clamp($('out-width').value), clamp($('out-height').value)];
}

function schedulePreview() {
  clearTimeout(previewTimer);
  previewTimer = setTimeout(drawPreview, PreviewDelay);
}

async function drawPreview() {
  const [w, h] = outputSize();
  const scale = Math.min(1, PreviewSide / Math.max(w, h));
  const serial = ++previewSerial;
  if (previewRequest) previewRequest.abort();
  previewRequest = new AbortController();
  $('busy').hidden = false;
  try {
    const response = await fetch('render', {
      method: 'POST',
      body: renderForm(Math.max(1, Math.round(w * scale)), Math.max(1, Math.round(h * scale)), 1, 'png'),
      signal: previewRequest.signal,
    });
    if (serial !== previewSerial) return;
    if (!response.ok) {
      const text = await errorText(response);
      say(text, true);
      if (response.status === 429) setTimeout(schedulePreview, 1000);
      return;
    }
    const blob = await response.blob();
    if (serial !== previewSerial) return;
    if (previewUrl) URL.revokeObjectURL(previewUrl);
    previewUrl = URL.createObjectURL(blob);
    $('preview').src = previewUrl;
    $('preview').dataset.serial = String(serial);
    say('');
  } catch (e) {
    if (e.name !== 'AbortError') say('The service cannot be reached.', true);
  } finally {
    if (serial === previewSerial) $('busy').hidden = true;
  }
}

function saveBlob(blob, name) {
  const url = URL.createObjectURL(blob);
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

async function download(path, name, button) {
  const [w, h] = outputSize();
  const format = $('format').value;
  button.disabled = true;
  say(path === 'model' ? 'Making the 3D model…' : 'Drawing the full picture…');
  try {
    const response = await fetch(path, { method: 'POST', body: renderForm(w, h, $('samples').value, format) });
    if (!response.ok) { say(await errorText(response), true); return; }
    saveBlob(await response.blob(), name);
    say('Downloaded ' + name + '.');
  } catch (e) {
    say('The service cannot be reached.', true);
  } finally {
    button.disabled = false;
  }
}

function takeCover(slot, file) {
  const label = document.querySelector(`.cover[data-slot="${slot}"]`);
  const img = label.querySelector('img');
  if (img.src) URL.revokeObjectURL(img.src);
  covers[slot] = file || null;
  img.hidden = !file;
  label.querySelector('.cover-hint').hidden = Boolean(file);
  if (file) img.src = URL.createObjectURL(file); else img.removeAttribute('src');
  label.querySelector('.cover-name').textContent =
    slot[0].toUpperCase() + slot.slice(1) + (file ? ': ' + file.name : '');
  schedulePreview();
}

function wireCovers() {
  for (const label of document.querySelectorAll('.cover')) {
    const slot = label.dataset.slot;
    const input = label.querySelector('input');
    input.addEventListener('change', () => takeCover(slot, input.files[0]));
    label.addEventListener('dragover', (e) => { e.preventDefault(); label.classList.add('over'); });
    label.addEventListener('dragleave', () => label.classList.remove('over'));
    label.addEventListener('drop', (e) => {
      e.preventDefault();
      label.classList.remove('over');
      if (e.dataTransfer.files.length) takeCover(slot, e.dataTransfer.files[0]);
    });
  }
  $('clear-covers').addEventListener('click', () => {
    for (const label of document.querySelectorAll('.cover')) {
      label.querySelector('input').value = '';
      takeCover(label.dataset.slot, null);
    }
  });
}

async function loadJson(path) {
  const response = await fetch(path);
  if (!response.ok) throw new Error(await errorText(response));
  return response.json();
}

// The kinds, the anti-aliasing and the picture's size limits, as the
// options name them; the page starts at the kind and samples its markup names.
function buildChoices() {
  const select = $('form');
  options.form.choices.forEach((name, index) => select.add(new Option(name, String(index))));
  select.value = select.dataset.start ?? String(options.form.default);
  const samples = $('samples');
  options.samples.values.forEach((n, i) => samples.add(new Option(options.samples.choices[i], String(n))));
  samples.value = samples.dataset.start ?? String(options.samples.default);
  for (const id of ['out-width', 'out-height']) Object.assign($(id), { min: options.size.min, max: options.size.max });
}

async function start() {
  wireCovers();
  try {
    const described = await loadJson('options');
    options = Object.fromEntries(described.options.map((o) => [o.name, o]));
  } catch (e) {
    say('The controls cannot be shown: the service did not describe its options (' + e.message + ')', true);
    for (const id of ['download-picture', 'download-model']) $(id).disabled = true;
    return;
  }
  buildChoices();
  for (const [container, names] of Object.entries(Bars)) makeBars(container, names);
  $('form').addEventListener('change', () => { applyKind(Number($('form').value)); schedulePreview(); });
  for (const id of ['smooth-textures', 'background', 'transparent', 'out-width', 'out-height'])
    $(id).addEventListener('input', schedulePreview);
  $('download-picture').addEventListener('click', (e) =>
    download('render', 'box.' + $('format').value, e.currentTarget));
  // The model's camera takes the picture's aspect, so it is sent the same form.
  $('download-model').addEventListener('click', (e) => download('model', 'box.glb', e.currentTarget));
  try {
    kinds = await loadJson('kinds');
  } catch (e) {
    say('The service cannot be reached.', true);
    return;
  }
  applyKind(Number($('form').value));
  drawPreview();
}

start();

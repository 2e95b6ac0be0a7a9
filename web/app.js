'use strict';
// The box shot page: every control is a render option of the service, sent
// by its command-line name. The preview is a small render, asked for a
// moment after the last change; a newer change cancels an older request.

const PreviewSide = 480;
const PreviewDelay = 150; // ms after the last change

// name, label, min, max, start (the box sizes are a new project's; the view's come from the kind)
const BoxBars = [
  ['width', 'Width', 1, 100, 50],
  ['height', 'Height', 1, 100, 50],
  ['thickness', 'Thickness', 1, 100, 50],
];
const ViewBars = [
  ['side-angle', 'Turn round (°)', -180, 180, 0],
  ['tilt-angle', 'Tilt (°)', -90, 90, 0],
  ['turn', 'Roll (0.1°)', -1800, 1800, 0],
  ['eye', 'Eye angle', 0, 60, 0],
  ['depth', 'Distance', 2, 80, 30],
  ['vertical', 'Up and down', -300, 300, 0],
  ['horizontal', 'Left and right', -300, 300, 0],
];
const LookBars = [
  ['shadow', 'Shadow', 0, 100, 0],
  ['reflection', 'Reflection', 0, 100, 0],
  ['light', 'Light', 0, 100, 0],
];
// A kind's own view, as /kinds names it, for each view bar.
const KindView = {
  'side-angle': 'sideAngle', 'tilt-angle': 'tiltAngle', turn: 'turn', eye: 'eye',
  depth: 'depth', vertical: 'vertical', horizontal: 'horizontal',
};

const $ = (id) => document.getElementById(id);
const covers = { front: null, side: null, top: null };
let kinds = [];
let previewTimer = 0;
let previewRequest = null;
let previewSerial = 0;
let previewUrl = '';

function makeBars(containerId, bars) {
  const container = $(containerId);
  for (const [name, label, min, max, start] of bars) {
    const id = 'bar-' + name;
    const row = document.createElement('div');
    row.className = 'bar';
    row.innerHTML = `<label for="${id}"></label><input type="range" id="${id}" name="${name}">` +
      `<output for="${id}"></output>`;
    row.querySelector('label').textContent = label;
    const input = row.querySelector('input');
    Object.assign(input, { min, max, step: 1, value: start });
    const shown = row.querySelector('output');
    shown.textContent = input.value;
    input.addEventListener('input', () => { shown.textContent = input.value; schedulePreview(); });
    container.appendChild(row);
  }
}

function setBar(name, value) {
  const input = $('bar-' + name);
  input.value = value;
  input.nextElementSibling.textContent = input.value;
}

function applyKind(index) {
  const kind = kinds[index];
  if (!kind) return;
  for (const [bar, key] of Object.entries(KindView)) setBar(bar, kind[key]);
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
  for (const [name] of [...BoxBars, ...ViewBars, ...LookBars]) form.append(name, $('bar-' + name).value);
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
  const clamp = (v) => Math.max(1, Math.min(4096, Math.round(Number(v) || 1)));
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

async function loadKinds() {
  const select = $('form');
  try {
    const response = await fetch('kinds');
    if (!response.ok) throw new Error(String(response.status));
    kinds = await response.json();
  } catch (e) {
    say('The service cannot be reached.', true);
    return;
  }
  kinds.forEach((kind, index) => select.add(new Option(kind.name, String(index))));
  select.value = '1';
  applyKind(1);
}

async function start() {
  makeBars('box-bars', BoxBars);
  makeBars('view-bars', ViewBars);
  makeBars('look-bars', LookBars);
  wireCovers();
  $('form').addEventListener('change', () => { applyKind(Number($('form').value)); schedulePreview(); });
  for (const id of ['smooth-textures', 'background', 'transparent', 'out-width', 'out-height'])
    $(id).addEventListener('input', schedulePreview);
  $('download-picture').addEventListener('click', (e) =>
    download('render', 'box.' + $('format').value, e.currentTarget));
  // The model's camera takes the picture's aspect, so it is sent the same form.
  $('download-model').addEventListener('click', (e) => download('model', 'box.glb', e.currentTarget));
  await loadKinds();
  drawPreview();
}

start();

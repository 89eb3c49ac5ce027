// The smartseg browser host's page: draws the shapes of each image, sends every edit to the
// server, and shows the prediction the server's trainer makes after the edits pause.
//
// Image coordinates are pixel corners (pixel (x, y) covers [x, x + 1) x [y, y + 1)), as the
// server and LabelMe files use them.
'use strict';

// Side of the downscaled view requested for large images; the full image is fetched when
// zoomed in beyond it.
const VIEW_SIDE = 2048;
// Polling is quick while the model catches up with the edits, slow while nothing happens.
const POLL_BUSY_MS = 120;
const POLL_IDLE_MS = 600;
const HIT_PIXELS = 6;

const app = {
  state: null,
  image: null,          // entry of state.images being shown
  bitmap: null,         // its pixels (possibly downscaled)
  bitmapKey: '',
  shapes: [],
  tool: 'polygon',
  label: null,
  zoom: 1, panX: 0, panY: 0,
  draft: null,          // shape being drawn
  selected: null,       // id of the selected shape
  drag: null,
  prediction: null,     // last /api/prediction answer shown
  overlay: null,        // canvas of the coloured overlay
  labelValues: null,    // {width, height, data} of the labels view
  viewData: null,       // decoded grey values of the current view
  view: 'labels',
  opacity: 0.5,
  pending: 0,           // edits whose answer has not arrived
  editGeneration: 0,    // generation of the latest edit answered; older predictions are stale
  shownGeneration: -1,
  suggestions: [],
};
window.smartseg = app;

const $ = (id) => document.getElementById(id);
const canvas = $('canvas');
const context = canvas.getContext('2d');

// --- server ---------------------------------------------------------------------------------

async function api(method, path, body) {
  const options = { method, headers: {} };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  const response = await fetch(path, options);
  const text = await response.text();
  let answer = {};
  try { answer = text ? JSON.parse(text) : {}; } catch (e) { answer = { error: text }; }
  if (!response.ok) throw new Error(answer.error || `${method} ${path}: ${response.status}`);
  return answer;
}

function query(parameters) {
  return new URLSearchParams(parameters).toString();
}

async function fetchBitmap(path) {
  const response = await fetch(path);
  if (!response.ok) throw new Error(`${path}: ${response.status}`);
  return createImageBitmap(await response.blob(),
                           { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
}

// Grey values of a PNG view, exactly as the server wrote them.
async function fetchGrey(path) {
  const bitmap = await fetchBitmap(path);
  const scratch = document.createElement('canvas');
  scratch.width = bitmap.width;
  scratch.height = bitmap.height;
  const scratchContext = scratch.getContext('2d', { willReadFrequently: true });
  scratchContext.drawImage(bitmap, 0, 0);
  const rgba = scratchContext.getImageData(0, 0, bitmap.width, bitmap.height).data;
  const data = new Uint8Array(bitmap.width * bitmap.height);
  for (let i = 0; i < data.length; ++i) data[i] = rgba[4 * i];
  return { width: bitmap.width, height: bitmap.height, data };
}

function setStatus(text, isError) {
  const status = $('status');
  status.textContent = text;
  status.classList.toggle('error', !!isError);
}

function fail(error) {
  setStatus(error.message || String(error), true);
}

// --- state ----------------------------------------------------------------------------------

async function refreshState() {
  app.state = await api('GET', '/api/state');
  if (!app.label || !app.state.labels.some((l) => l.name === app.label)) {
    app.label = app.state.labels.length ? app.state.labels[0].name : null;
  }
  // The lists are rebuilt only when they change, so that a rename in progress survives polling.
  const key = JSON.stringify([app.state.images, app.state.labels, app.state.warnings, app.label,
                              app.image && app.image.name]);
  if (key !== app.sideKey) {
    app.sideKey = key;
    renderSide();
  }
  renderViewChoices();
  renderStatus();
}

function colourOf(name) {
  const label = app.state && app.state.labels.find((l) => l.name === name);
  return label ? label.colour : '#888888';
}

function rgbOf(hex) {
  const value = parseInt(hex.slice(1), 16);
  return [(value >> 16) & 255, (value >> 8) & 255, value & 255];
}

function renderSide() {
  const images = $('images');
  images.replaceChildren();
  for (const image of app.state.images) {
    const item = document.createElement('li');
    item.dataset.image = image.name;
    item.classList.toggle('active', app.image && app.image.name === image.name);
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = image.name;
    const count = document.createElement('span');
    count.className = 'count';
    count.textContent = `${image.width}×${image.height} ${image.format} · ${image.shapes}`;
    item.append(name, count);
    item.addEventListener('click', () => openImage(image.name).catch(fail));
    images.append(item);
  }
  const labels = $('labels');
  labels.replaceChildren();
  for (const label of app.state.labels) {
    const item = document.createElement('li');
    item.dataset.label = label.name;
    item.classList.toggle('active', label.name === app.label);
    const colour = document.createElement('input');
    colour.type = 'color';
    colour.value = label.colour;
    colour.title = 'Colour';
    colour.addEventListener('change', () => editLabel(label.name, { colour: colour.value }));
    colour.addEventListener('click', (event) => event.stopPropagation());
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = label.name;
    name.title = 'Double-click to rename';
    name.addEventListener('dblclick', (event) => {
      event.stopPropagation();
      startRename(item, name, label.name);
    });
    const remove = document.createElement('button');
    remove.textContent = '×';
    remove.title = 'Remove the label and all its shapes';
    remove.className = 'remove';
    remove.addEventListener('click', (event) => {
      event.stopPropagation();
      removeLabel(label.name);
    });
    item.append(colour, name, remove);
    item.addEventListener('click', () => chooseLabel(label.name));
    labels.append(item);
  }
  $('warnings').textContent = (app.state.warnings || []).join('\n');
}

function startRename(item, nameElement, oldName) {
  const input = document.createElement('input');
  input.className = 'rename';
  input.value = oldName;
  nameElement.replaceWith(input);
  input.focus();
  input.select();
  let done = false;
  const finish = (apply) => {
    if (done) return;
    done = true;
    if (apply && input.value && input.value !== oldName) {
      editLabel(oldName, { name: input.value });
    } else {
      renderSide();
    }
  };
  input.addEventListener('keydown', (event) => {
    event.stopPropagation();
    if (event.key === 'Enter') finish(true);
    if (event.key === 'Escape') finish(false);
  });
  input.addEventListener('blur', () => finish(true));
  input.addEventListener('click', (event) => event.stopPropagation());
}

function renderViewChoices() {
  const select = $('view');
  const choices = [['labels', 'Labels'], ['none', 'Image only'], ['uncertainty', 'Uncertainty']];
  for (const label of app.state.labels) {
    choices.push([`mask:${label.name}`, `Mask: ${label.name}`]);
    choices.push([`probability:${label.name}`, `Probability: ${label.name}`]);
  }
  const key = choices.map((c) => c[0]).join('\n');
  if (select.dataset.key === key) return;
  select.dataset.key = key;
  select.replaceChildren(...choices.map(([value, text]) => {
    const option = document.createElement('option');
    option.value = value;
    option.textContent = text;
    return option;
  }));
  if (!choices.some((c) => c[0] === app.view)) app.view = 'labels';
  select.value = app.view;
}

function renderStatus() {
  if (!app.state || Date.now() - (app.savedAt || 0) < 3000) return;
  const trainer = app.state.trainer;
  const parts = [];
  if (app.image) parts.push(`${app.image.name} ${app.image.width}×${app.image.height}`);
  parts.push(`zoom ${app.zoom >= 1 ? app.zoom.toFixed(1) : app.zoom.toFixed(2)}`);
  if (trainer.error) {
    setStatus(`${parts.join(' · ')} · ${trainer.error}`, true);
    return;
  }
  if (trainer.training || app.pending) parts.push('training…');
  else parts.push(app.state.dirty ? 'model not trained' : 'model trained');
  if (app.prediction && app.prediction.available) {
    parts.push(`prediction ${app.prediction.current ? 'current' : 'updating'} ` +
               `(segmented in ${app.prediction.seconds.toFixed(2)} s)`);
  }
  const batch = trainer.batch;
  if (batch.running) parts.push(`segmenting the folder: ${batch.done}/${batch.total} ${batch.image}`);
  else if (batch.error) parts.push(`segmenting the folder failed: ${batch.error}`);
  else if (batch.total && batch.done === batch.total) {
    parts.push(`folder segmented into ${batch.folder}/`);
  }
  setStatus(parts.join(' · '), false);
}

// --- images ---------------------------------------------------------------------------------

async function openImage(name) {
  const image = app.state.images.find((i) => i.name === name);
  if (!image) throw new Error(`no image ${name}`);
  app.image = image;
  app.bitmap = null;
  app.selected = null;
  app.draft = null;
  app.prediction = null;
  app.overlay = null;
  app.labelValues = null;
  app.viewData = null;
  app.shownGeneration = -1;
  app.suggestions = [];
  app.showSuggestions = false;
  renderSuggestions();
  $('low').value = 0;
  $('high').value = 1000;
  await loadPixels();
  app.shapes = (await api('GET', `/api/shapes?${query({ image: name })}`)).shapes;
  fit();
  renderSide();
  await pollPrediction();
}

function contrastRange() {
  const image = app.image;
  const span = image.high - image.low;
  const low = image.low + span * $('low').value / 1000;
  let high = image.low + span * $('high').value / 1000;
  if (high <= low) high = low + Math.max(span / 1000, 1e-3);
  return { low, high };
}

async function loadPixels() {
  const image = app.image;
  const { low, high } = contrastRange();
  const large = Math.max(image.width, image.height) > VIEW_SIDE;
  const full = !large || app.zoom * VIEW_SIDE > Math.max(image.width, image.height);
  const parameters = { image: image.name, low, high };
  if (!full) parameters.max = VIEW_SIDE;
  const key = query(parameters);
  if (key === app.bitmapKey) return;
  app.bitmapKey = key;
  const bitmap = await fetchBitmap(`/api/pixels?${key}`);
  if (app.bitmapKey === key && app.image === image) {
    app.bitmap = bitmap;
    draw();
  }
}

function fit() {
  if (!app.image) return;
  const width = canvas.clientWidth, height = canvas.clientHeight;
  app.zoom = Math.min(width / app.image.width, height / app.image.height) * 0.95;
  app.panX = (width - app.image.width * app.zoom) / 2;
  app.panY = (height - app.image.height * app.zoom) / 2;
  draw();
}

// --- prediction -----------------------------------------------------------------------------

async function pollPrediction() {
  if (!app.image) return;
  const image = app.image;
  const answer = await api('GET', `/api/prediction?${query({ image: image.name })}`);
  if (app.image !== image) return;
  // An answer that left the server before our latest edit arrived there is stale however it
  // calls itself.
  answer.current = !!answer.current && answer.generation >= app.editGeneration;
  app.prediction = answer;
  if (answer.available && answer.generation !== app.shownGeneration) {
    await loadOverlay(answer);
  }
  renderStatus();
}

async function loadOverlay(prediction) {
  const image = app.image;
  const base = { image: image.name };
  if (Math.max(image.width, image.height) > VIEW_SIDE) base.max = VIEW_SIDE;
  const labels = await fetchGrey(`/api/prediction/view?${query({ ...base, view: 'labels' })}`);
  let viewData = labels;
  const [kind, label] = splitView(app.view);
  if (kind === 'uncertainty' || kind === 'probability') {
    if (kind === 'uncertainty' || prediction.labels.includes(label)) {
      const parameters = { ...base, view: kind };
      if (label) parameters.label = label;
      viewData = await fetchGrey(`/api/prediction/view?${query(parameters)}`);
    }
  }
  if (app.image !== image) return;
  app.labelValues = labels;
  app.viewData = viewData;
  app.shownGeneration = prediction.generation;
  if (app.showSuggestions) {
    app.suggestions = prediction.suggestions || [];
    renderSuggestions();
  }
  buildOverlay();
  draw();
}

function splitView(view) {
  const colon = view.indexOf(':');
  return colon < 0 ? [view, ''] : [view.slice(0, colon), view.slice(colon + 1)];
}

function buildOverlay() {
  app.overlay = null;
  const [kind, label] = splitView(app.view);
  if (kind === 'none' || !app.labelValues || !app.prediction) return;
  const names = app.prediction.labels;
  const source = kind === 'labels' || kind === 'mask' ? app.labelValues : app.viewData;
  const { width, height, data } = source;
  const overlay = document.createElement('canvas');
  overlay.width = width;
  overlay.height = height;
  const overlayContext = overlay.getContext('2d');
  const pixels = overlayContext.createImageData(width, height);
  const out = pixels.data;
  const colours = names.map((name) => rgbOf(colourOf(name)));
  const maskIndex = names.indexOf(label) + 1;
  const tint = kind === 'probability' ? rgbOf(colourOf(label)) : [255, 64, 64];
  for (let i = 0; i < data.length; ++i) {
    const value = data[i];
    let r = 0, g = 0, b = 0, a = 0;
    if (kind === 'labels' && value > 0 && value <= colours.length) {
      [r, g, b] = colours[value - 1];
      a = 255;
    } else if (kind === 'mask' && value === maskIndex) {
      [r, g, b] = colours[value - 1];
      a = 255;
    } else if (kind === 'probability' || kind === 'uncertainty') {
      [r, g, b] = tint;
      a = value;
    }
    out[4 * i] = r;
    out[4 * i + 1] = g;
    out[4 * i + 2] = b;
    out[4 * i + 3] = a;
  }
  overlayContext.putImageData(pixels, 0, 0);
  app.overlay = overlay;
}

function renderSuggestions() {
  const list = $('suggestions');
  list.replaceChildren();
  app.suggestions.forEach((box, index) => {
    const item = document.createElement('li');
    item.textContent = `${index + 1}. (${box.x}, ${box.y}) ${box.width}×${box.height} · ` +
                       `${Math.round(box.score * 100)}% unsure`;
    item.addEventListener('click', () => {
      const width = canvas.clientWidth, height = canvas.clientHeight;
      app.zoom = Math.min(width / box.width, height / box.height) * 0.5;
      app.panX = width / 2 - (box.x + box.width / 2) * app.zoom;
      app.panY = height / 2 - (box.y + box.height / 2) * app.zoom;
      app.highlight = box;
      loadPixels().catch(fail);
      draw();
    });
    list.append(item);
  });
  if (!app.suggestions.length && app.prediction && app.prediction.available) {
    const item = document.createElement('li');
    item.textContent = 'The model is sure everywhere.';
    list.append(item);
  }
}

// --- edits ----------------------------------------------------------------------------------

async function edit(method, path, body) {
  app.pending += 1;
  renderStatus();
  try {
    const answer = await api(method, path, body);
    if (answer.generation > app.editGeneration) app.editGeneration = answer.generation;
    return answer;
  } finally {
    app.pending -= 1;
  }
}

async function reloadShapes() {
  const image = app.image;
  const answer = await api('GET', `/api/shapes?${query({ image: image.name })}`);
  if (app.image === image) app.shapes = answer.shapes;
  draw();
}

async function addShape(type, points) {
  if (!app.label) {
    fail(new Error('Add a label first.'));
    return;
  }
  const image = app.image;
  const shape = { label: app.label, type, points };
  app.shapes.push({ ...shape, id: 0 });
  draw();
  try {
    await edit('POST', `/api/shapes?${query({ image: image.name })}`, shape);
  } catch (error) {
    fail(error);
  }
  await reloadShapes();
  await refreshState();
}

async function replaceShape(shape) {
  try {
    await edit('PUT', `/api/shapes?${query({ image: app.image.name, id: shape.id })}`,
               { label: shape.label, type: shape.type, points: shape.points });
  } catch (error) {
    fail(error);
  }
  await reloadShapes();
}

async function removeShape(id) {
  app.shapes = app.shapes.filter((s) => s.id !== id);
  if (app.selected === id) app.selected = null;
  draw();
  try {
    await edit('DELETE', `/api/shapes?${query({ image: app.image.name, id })}`);
  } catch (error) {
    fail(error);
  }
  await reloadShapes();
  await refreshState();
}

async function addLabel(name) {
  try {
    await edit('POST', '/api/labels', { name });
    app.label = name;
    await refreshState();
  } catch (error) {
    fail(error);
  }
}

async function editLabel(name, change) {
  try {
    const answer = await edit('PUT', `/api/labels?${query({ name })}`, change);
    if (app.label === name) app.label = answer.name;
    await refreshState();
    if (app.image) await reloadShapes();
    buildOverlay();
    draw();
  } catch (error) {
    fail(error);
  }
}

async function removeLabel(name) {
  try {
    await edit('DELETE', `/api/labels?${query({ name })}`);
    await refreshState();
    if (app.image) await reloadShapes();
  } catch (error) {
    fail(error);
  }
}

function chooseLabel(name) {
  app.label = name;
  const shape = app.shapes.find((s) => s.id === app.selected);
  if (app.tool === 'select' && shape && shape.label !== name) {
    shape.label = name;
    replaceShape(shape);
  }
  renderSide();
  draw();
}

// --- drawing --------------------------------------------------------------------------------

function toImage(event) {
  const bounds = canvas.getBoundingClientRect();
  return [(event.clientX - bounds.left - app.panX) / app.zoom,
          (event.clientY - bounds.top - app.panY) / app.zoom];
}

function clampPoint([x, y]) {
  return [Math.min(Math.max(x, 0), app.image.width), Math.min(Math.max(y, 0), app.image.height)];
}

function toScreen([x, y]) {
  return [x * app.zoom + app.panX, y * app.zoom + app.panY];
}

function tracePath(shape, target) {
  const points = shape.points.map(toScreen);
  target.beginPath();
  if (shape.type === 'rectangle') {
    const [a, b] = points;
    target.rect(a[0], a[1], b[0] - a[0], b[1] - a[1]);
  } else if (shape.type === 'ellipse') {
    const [a, b] = points;
    target.ellipse((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, Math.abs(b[0] - a[0]) / 2,
                   Math.abs(b[1] - a[1]) / 2, 0, 0, 2 * Math.PI);
  } else {
    points.forEach(([x, y], i) => (i ? target.lineTo(x, y) : target.moveTo(x, y)));
    if (shape.type === 'polygon' && !shape.open) target.closePath();
  }
}

function drawShape(shape, selected) {
  const colour = colourOf(shape.label);
  tracePath(shape, context);
  context.lineJoin = 'round';
  context.lineCap = 'round';
  if (shape.type === 'linestrip') {
    context.strokeStyle = colour;
    context.lineWidth = Math.max(2, 3 * app.zoom);
    context.stroke();
  } else {
    context.fillStyle = colour + '40';
    if (!shape.open) context.fill();
    context.strokeStyle = colour;
    context.lineWidth = 2;
    context.stroke();
  }
  if (selected) {
    context.setLineDash([5, 4]);
    context.strokeStyle = '#ffffff';
    context.lineWidth = 1;
    context.stroke();
    context.setLineDash([]);
  }
}

let drawQueued = false;
function draw() {
  if (drawQueued) return;
  drawQueued = true;
  requestAnimationFrame(() => {
    drawQueued = false;
    paint();
  });
}

function paint() {
  const ratio = window.devicePixelRatio || 1;
  const width = canvas.clientWidth, height = canvas.clientHeight;
  if (canvas.width !== Math.round(width * ratio) || canvas.height !== Math.round(height * ratio)) {
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
  }
  context.setTransform(ratio, 0, 0, ratio, 0, 0);
  context.clearRect(0, 0, width, height);
  if (!app.image) return;
  const drawWidth = app.image.width * app.zoom, drawHeight = app.image.height * app.zoom;
  context.imageSmoothingEnabled = app.zoom < 1;
  if (app.bitmap) context.drawImage(app.bitmap, app.panX, app.panY, drawWidth, drawHeight);
  if (app.overlay) {
    context.globalAlpha = app.opacity;
    context.imageSmoothingEnabled = false;
    context.drawImage(app.overlay, app.panX, app.panY, drawWidth, drawHeight);
    context.globalAlpha = 1;
  }
  for (const shape of app.shapes) drawShape(shape, shape.id === app.selected);
  if (app.draft) drawShape(app.draft, false);
  for (const box of app.suggestions) {
    const [x, y] = toScreen([box.x, box.y]);
    context.strokeStyle = box === app.highlight ? '#ffff00' : '#ffcc00a0';
    context.lineWidth = box === app.highlight ? 2 : 1;
    context.setLineDash([4, 3]);
    context.strokeRect(x, y, box.width * app.zoom, box.height * app.zoom);
    context.setLineDash([]);
  }
}

// --- hit tests ------------------------------------------------------------------------------

function hitShape(point) {
  const [sx, sy] = toScreen(point);
  const ratio = window.devicePixelRatio || 1;
  for (let i = app.shapes.length - 1; i >= 0; --i) {
    const shape = app.shapes[i];
    tracePath(shape, context);
    context.lineWidth = Math.max(HIT_PIXELS, 3 * app.zoom) * 2;
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    const inside = shape.type !== 'linestrip' && context.isPointInPath(sx * ratio, sy * ratio);
    if (inside || context.isPointInStroke(sx * ratio, sy * ratio)) return shape;
  }
  return null;
}

// --- input ----------------------------------------------------------------------------------

function finishPolygon() {
  const draft = app.draft;
  app.draft = null;
  if (!draft || draft.type !== 'polygon') return;
  const points = draft.points.slice(0, -1);  // the last point follows the cursor
  if (points.length >= 3) addShape('polygon', points);
  draw();
}

canvas.addEventListener('contextmenu', (event) => event.preventDefault());

canvas.addEventListener('mousedown', (event) => {
  if (!app.image) return;
  // Keys belong to the drawing now, not to the last button pressed (Enter would press it again).
  if (document.activeElement instanceof HTMLElement) document.activeElement.blur();
  const point = toImage(event);
  if (event.button === 2 || event.button === 1 || app.tool === 'pan') {
    app.drag = { kind: 'pan', x: event.clientX, y: event.clientY, panX: app.panX, panY: app.panY };
    return;
  }
  if (event.button !== 0) return;
  const inside = clampPoint(point);
  switch (app.tool) {
    case 'polygon':
      if (!app.draft) {
        app.draft = { type: 'polygon', label: app.label, points: [inside, inside], open: true };
      } else {
        app.draft.points.splice(app.draft.points.length - 1, 0, inside);
      }
      break;
    case 'rectangle':
    case 'ellipse':
      app.draft = { type: app.tool, label: app.label, points: [inside, inside] };
      app.drag = { kind: 'draft' };
      break;
    case 'brush':
      app.draft = { type: 'linestrip', label: app.label, points: [inside] };
      app.drag = { kind: 'draft' };
      break;
    case 'eraser':
      app.drag = { kind: 'erase' };
      erase(point);
      break;
    case 'select': {
      const shape = hitShape(point);
      app.selected = shape ? shape.id : null;
      if (shape) app.drag = { kind: 'move', shape, start: point, original: shape.points.map((p) => [...p]) };
      break;
    }
    default:
      break;
  }
  draw();
});

window.addEventListener('mousemove', (event) => {
  if (!app.image) return;
  const point = toImage(event);
  if (app.draft && app.draft.type === 'polygon' && !app.drag) {
    app.draft.points[app.draft.points.length - 1] = clampPoint(point);
    draw();
  }
  if (!app.drag) return;
  const drag = app.drag;
  if (drag.kind === 'pan') {
    app.panX = drag.panX + event.clientX - drag.x;
    app.panY = drag.panY + event.clientY - drag.y;
  } else if (drag.kind === 'draft' && app.draft) {
    const inside = clampPoint(point);
    if (app.draft.type === 'linestrip') {
      const last = app.draft.points[app.draft.points.length - 1];
      // One point per few screen pixels keeps scribbles light without losing their course.
      if (Math.hypot(inside[0] - last[0], inside[1] - last[1]) * app.zoom >= 4) {
        app.draft.points.push(inside);
      }
    } else {
      app.draft.points[1] = inside;
    }
  } else if (drag.kind === 'erase') {
    erase(point);
  } else if (drag.kind === 'move') {
    const dx = point[0] - drag.start[0], dy = point[1] - drag.start[1];
    const xs = drag.original.map((p) => p[0]), ys = drag.original.map((p) => p[1]);
    const ddx = Math.min(Math.max(dx, -Math.min(...xs)), app.image.width - Math.max(...xs));
    const ddy = Math.min(Math.max(dy, -Math.min(...ys)), app.image.height - Math.max(...ys));
    drag.shape.points = drag.original.map(([x, y]) => [x + ddx, y + ddy]);
    drag.moved = true;
  }
  draw();
});

window.addEventListener('mouseup', () => {
  const drag = app.drag;
  app.drag = null;
  if (!drag) return;
  if (drag.kind === 'pan') {
    loadPixels().catch(fail);
  } else if (drag.kind === 'draft' && app.draft) {
    const draft = app.draft;
    app.draft = null;
    const [a, b] = [draft.points[0], draft.points[draft.points.length - 1]];
    if (draft.type === 'linestrip') {
      if (draft.points.length === 1 || a[0] !== b[0] || a[1] !== b[1]) {
        if (draft.points.length === 1) draft.points.push([Math.min(a[0] + 1, app.image.width), a[1]]);
        addShape('linestrip', draft.points);
      }
    } else if (a[0] !== b[0] && a[1] !== b[1]) {
      addShape(draft.type, [a, b]);
    }
  } else if (drag.kind === 'move' && drag.moved) {
    replaceShape(drag.shape);
  }
  draw();
});

canvas.addEventListener('dblclick', () => {
  if (app.tool === 'polygon' && app.draft) {
    // The double click's second press added a vertex on top of the first.
    app.draft.points.splice(app.draft.points.length - 2, 1);
    finishPolygon();
  }
});

function erase(point) {
  const shape = hitShape(point);
  if (shape && shape.id) removeShape(shape.id);
}

canvas.addEventListener('wheel', (event) => {
  if (!app.image) return;
  event.preventDefault();
  const bounds = canvas.getBoundingClientRect();
  const x = event.clientX - bounds.left, y = event.clientY - bounds.top;
  const factor = Math.exp(-event.deltaY * 0.0015);
  const zoom = Math.min(Math.max(app.zoom * factor, 0.02), 64);
  app.panX = x - (x - app.panX) * zoom / app.zoom;
  app.panY = y - (y - app.panY) * zoom / app.zoom;
  app.zoom = zoom;
  draw();
  renderStatus();
  clearTimeout(app.wheelTimer);
  app.wheelTimer = setTimeout(() => loadPixels().catch(fail), 200);
}, { passive: false });

window.addEventListener('keydown', (event) => {
  if (event.target instanceof HTMLInputElement) return;
  if (event.key === 'Enter') finishPolygon();
  if (event.key === 'Escape') {
    app.draft = null;
    draw();
  }
  if ((event.key === 'Delete' || event.key === 'Backspace') && app.selected) {
    removeShape(app.selected);
  }
});

function chooseTool(tool) {
  app.tool = tool;
  app.draft = null;
  for (const button of document.querySelectorAll('#tools button')) {
    button.classList.toggle('active', button.dataset.tool === tool);
  }
  canvas.style.cursor = tool === 'pan' ? 'grab' : tool === 'select' ? 'default' : 'crosshair';
  draw();
}

for (const button of document.querySelectorAll('#tools button')) {
  button.addEventListener('click', () => chooseTool(button.dataset.tool));
}

$('add-label').addEventListener('submit', (event) => {
  event.preventDefault();
  const input = $('new-label');
  const name = input.value.trim();
  if (name) addLabel(name);
  input.value = '';
});

$('view').addEventListener('change', () => {
  app.view = $('view').value;
  app.shownGeneration = -1;
  if (app.prediction && app.prediction.available) loadOverlay(app.prediction).catch(fail);
  else draw();
});

$('opacity').addEventListener('input', () => {
  app.opacity = $('opacity').value / 100;
  draw();
});

for (const id of ['low', 'high']) {
  $(id).addEventListener('change', () => {
    app.bitmapKey = '';
    loadPixels().catch(fail);
  });
}

$('fit').addEventListener('click', fit);

$('suggest').addEventListener('click', () => {
  app.showSuggestions = true;
  app.suggestions = (app.prediction && app.prediction.suggestions) || [];
  renderSuggestions();
  draw();
});

$('save').addEventListener('click', async () => {
  const button = $('save');
  button.disabled = true;
  setStatus('Saving…');
  try {
    const answer = await api('POST', '/api/save');
    setStatus(`Saved ${answer.model}` +
              (answer.annotations.length ? ` and ${answer.annotations.length} LabelMe file(s)` : '') +
              (answer.dirty ? ' (the model is not trained yet)' : ''));
    app.savedAt = Date.now();
  } catch (error) {
    fail(error);
  } finally {
    button.disabled = false;
  }
});

$('segment-folder').addEventListener('click', async () => {
  try {
    await api('POST', '/api/segment-folder');
    await refreshState();
  } catch (error) {
    fail(error);
  }
});

window.addEventListener('resize', draw);

// --- start ----------------------------------------------------------------------------------

async function tick() {
  try {
    await refreshState();
    await pollPrediction();
  } catch (error) {
    fail(error);
  }
  setTimeout(tick, busy() ? POLL_BUSY_MS : POLL_IDLE_MS);
}

function busy() {
  const trainer = app.state && app.state.trainer;
  return app.pending > 0 || !trainer || trainer.training || trainer.batch.running ||
         (app.prediction && app.prediction.available === true && !app.prediction.current) ||
         (app.state.images.length > 0 && (!app.prediction || !app.prediction.available) &&
          app.state.labels.length > 0);
}

(async () => {
  chooseTool('polygon');
  try {
    await refreshState();
    if (app.state.images.length) await openImage(app.state.images[0].name);
    else setStatus('The folder holds no PNG or TIFF images.', true);
  } catch (error) {
    fail(error);
  }
  document.body.dataset.ready = 'true';
  setTimeout(tick, POLL_BUSY_MS);
})();

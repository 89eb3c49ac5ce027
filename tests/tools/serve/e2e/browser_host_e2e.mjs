// End-to-end test of `smartseg serve` in a real headless Chromium: open a demo scene, add two
// labels, draw a polygon and a scribble, wait for the live overlay and compare it with the scene's
// ground truth, save, restart the server and see the shapes and the trained model come back.
// A screenshot of every step lands in --out; any console error fails the test.
//
//   node browser_host_e2e.mjs --smartseg PATH --scene PATH --chromium PATH --out DIR
// Exit codes: 0 passed, 1 failed, 77 skipped (no headless Chromium).
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const STEP_TIMEOUT_MS = 90000;
const IOU_NEEDED = 0.9;

function argument(name) {
  const index = process.argv.indexOf(`--${name}`);
  if (index < 0 || index + 1 >= process.argv.length) {
    console.error(`browser_host_e2e: missing --${name}`);
    process.exit(2);
  }
  return process.argv[index + 1];
}

const smartseg = argument('smartseg');
const sceneWriter = argument('scene');
const chromium = argument('chromium');
const out = argument('out');

if (!fs.existsSync(chromium)) {
  console.log(`SKIPPED: no headless Chromium at ${chromium}; ` +
              'scripts/setup-deps installs Debian\'s chromium package');
  process.exit(77);
}

const puppeteer = (await import('puppeteer-core')).default;

fs.rmSync(out, { recursive: true, force: true });
const folder = path.join(out, 'folder');
fs.mkdirSync(folder, { recursive: true });
const truthPath = path.join(out, 'scene1_truth.png');
const written = spawnSync(sceneWriter, [path.join(folder, 'scene1.png'), truthPath]);
if (written.status !== 0) throw new Error(`serve_demo_scene failed: ${written.stderr}`);
const truthBase64 = fs.readFileSync(truthPath).toString('base64');

let step = 0;
const problems = [];

function check(condition, message) {
  if (!condition) throw new Error(message);
}

// Starts the server on a free port and answers {child, url} once it listens.
function startServer() {
  return new Promise((resolve, reject) => {
    const child = spawn(smartseg, ['serve', '--port', '0', folder],
                        { stdio: ['ignore', 'pipe', 'pipe'] });
    let output = '';
    const timer = setTimeout(() => reject(new Error(`the server did not start: ${output}`)),
                             STEP_TIMEOUT_MS);
    child.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /at (http:\/\/127\.0\.0\.1:\d+\/)/.exec(output);
      if (match) {
        clearTimeout(timer);
        resolve({ child, url: match[1] });
      }
    });
    child.stderr.on('data', (chunk) => { output += chunk; });
    child.on('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`the server ended with ${code}: ${output}`));
    });
  });
}

function stopServer(child) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('the server did not stop on SIGTERM')),
                             STEP_TIMEOUT_MS);
    child.removeAllListeners('exit');
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      // The program's signal cleanup ends it by the signal itself.
      if (signal === 'SIGTERM') resolve();
      else reject(new Error(`the server stopped with code ${code}, signal ${signal}`));
    });
    child.kill('SIGTERM');
  });
}

async function screenshot(page, name) {
  step += 1;
  const file = path.join(out, `${String(step).padStart(2, '0')}-${name}.png`);
  await page.screenshot({ path: file });
  console.log(`step ${step}: ${name} (${file})`);
}

// Screen position of the image point (x, y) in the page.
async function screenPoint(page, [x, y]) {
  return page.evaluate(([ix, iy]) => {
    const app = window.smartseg;
    const bounds = document.getElementById('canvas').getBoundingClientRect();
    return [bounds.left + app.panX + ix * app.zoom, bounds.top + app.panY + iy * app.zoom];
  }, [x, y]);
}

async function addLabel(page, name) {
  await page.click('#new-label');
  await page.keyboard.type(name);
  await page.click('#add-label-button');
  await page.waitForSelector(`#labels li[data-label="${name}"]`, { timeout: STEP_TIMEOUT_MS });
}

async function chooseLabel(page, name) {
  await page.click(`#labels li[data-label="${name}"] .name`);
  await page.waitForFunction((n) => window.smartseg.label === n, { timeout: STEP_TIMEOUT_MS }, name);
}

async function waitForShapes(page, count) {
  await page.waitForFunction(
    (n) => window.smartseg.pending === 0 && window.smartseg.shapes.length === n &&
           window.smartseg.shapes.every((s) => s.id > 0),
    { timeout: STEP_TIMEOUT_MS }, count);
}

// Waits until the overlay shows a prediction made after the last edit.
async function waitForOverlay(page) {
  await page.waitForFunction(() => {
    const app = window.smartseg;
    return app.pending === 0 && app.prediction && app.prediction.available &&
           app.prediction.current && app.prediction.generation >= app.editGeneration &&
           app.shownGeneration === app.prediction.generation &&
           app.labelValues !== null && app.overlay !== null;
  }, { timeout: STEP_TIMEOUT_MS, polling: 100 });
}

// IoU of each label's overlay pixels against the ground truth; `truthOf` maps a label name to the
// truth values it stands for.
async function overlayIoU(page, truthOf) {
  return page.evaluate(async (base64, mapping) => {
    const app = window.smartseg;
    const image = new Image();
    image.src = `data:image/png;base64,${base64}`;
    await image.decode();
    const scratch = document.createElement('canvas');
    scratch.width = image.width;
    scratch.height = image.height;
    const context = scratch.getContext('2d');
    context.drawImage(image, 0, 0);
    const truth = context.getImageData(0, 0, image.width, image.height).data;
    const predicted = app.labelValues;
    if (predicted.width !== image.width || predicted.height !== image.height) {
      return { error: `overlay ${predicted.width}x${predicted.height}, truth ${image.width}x${image.height}` };
    }
    const result = {};
    for (const [name, values] of Object.entries(mapping)) {
      const index = app.prediction.labels.indexOf(name) + 1;
      let both = 0, either = 0;
      for (let i = 0; i < predicted.data.length; ++i) {
        const isPredicted = predicted.data[i] === index;
        const isTrue = values.includes(truth[4 * i]);
        if (isPredicted && isTrue) both += 1;
        if (isPredicted || isTrue) either += 1;
      }
      result[name] = either ? both / either : 1;
    }
    return result;
  }, truthBase64, truthOf);
}

const truthOf = { stripes: [2], other: [1, 3] };

// Opens the served page and waits until the app has loaded its state.
async function open(page) {
  await page.goto(server.url, { waitUntil: 'load' });
  await page.waitForSelector('body[data-ready="true"]', { timeout: STEP_TIMEOUT_MS });
}

// Waits for a current overlay, shows it and checks each label's IoU against the truth.
async function checkOverlay(page, when) {
  await waitForOverlay(page);
  await screenshot(page, when.replaceAll(' ', '-'));
  const iou = await overlayIoU(page, truthOf);
  console.log(`overlay IoU ${when}: ${JSON.stringify(iou)}`);
  check(!iou.error, iou.error);
  for (const [name, value] of Object.entries(iou)) {
    check(value > IOU_NEEDED, `${when}, the ${name} IoU is ${value.toFixed(3)}, not above ${IOU_NEEDED}`);
  }
}
// Just inside the outline of the stripes region of the first demo scene (centred at (92, 100),
// radius 58 x (1 + 0.12 sin(3 angle + 0.3))), and a scribble 8 pixels outside it that goes on
// through the background and the grain region: one shape per side of the boundary that matters.
const polygon = [[145.6, 100.5], [146.0, 122.7], [130.9, 138.9], [110.3, 143.5], [92.5, 144.9],
                 [73.2, 147.0], [52.1, 140.9], [40.4, 122.1], [43.6, 100.5], [51.8, 83.6],
                 [58.7, 66.7], [71.3, 49.3], [92.5, 42.9], [112.3, 52.8], [124.2, 68.8],
                 [134.7, 83.0]];
const scribble = [[160.6, 100.5], [161.5, 122.9], [150.5, 142.6], [131.4, 154.0], [111.2, 158.0],
                  [92.5, 159.9], [72.8, 161.1], [51.3, 157.1], [33.5, 143.4], [25.8, 122.2],
                  [28.6, 100.5], [36.0, 82.1], [43.7, 65.0], [53.8, 47.2], [70.4, 32.4],
                  [92.5, 27.9], [113.6, 35.6], [128.9, 50.3], [140.3, 65.8], [151.3, 81.4],
                  [160.6, 100.5], [170, 60], [250, 40], [310, 15], [310, 100], [228, 150],
                  [200, 170], [160, 240], [20, 240]];

const userData = fs.mkdtempSync(path.join(os.tmpdir(), 'smartseg-e2e-profile-'));
let browser = null;
let server = null;
let exitCode = 0;
try {
  server = await startServer();
  browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: userData,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--window-size=1280,800'],
    defaultViewport: { width: 1280, height: 800 },
  });
  const page = await browser.newPage();
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console error: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));

  await open(page);
  check(await page.evaluate(() => window.smartseg.image.name) === 'scene1.png',
        'the first image is not shown');
  await screenshot(page, 'opened');

  await addLabel(page, 'stripes');
  await addLabel(page, 'other');
  await screenshot(page, 'labels');

  await chooseLabel(page, 'stripes');
  await page.click('#tools button[data-tool="polygon"]');
  for (const point of polygon) {
    const [x, y] = await screenPoint(page, point);
    await page.mouse.click(x, y);
  }
  await page.keyboard.press('Enter');
  await waitForShapes(page, 1);
  await screenshot(page, 'polygon');

  await chooseLabel(page, 'other');
  await page.click('#tools button[data-tool="brush"]');
  const start = await screenPoint(page, scribble[0]);
  await page.mouse.move(start[0], start[1]);
  await page.mouse.down();
  for (const point of scribble.slice(1)) {
    const [x, y] = await screenPoint(page, point);
    await page.mouse.move(x, y, { steps: 8 });
  }
  await page.mouse.up();
  await waitForShapes(page, 2);
  await screenshot(page, 'scribble');

  await checkOverlay(page, 'before the restart');

  await page.click('#save');
  await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Saved'),
                             { timeout: STEP_TIMEOUT_MS });
  await screenshot(page, 'saved');
  check(fs.existsSync(path.join(folder, 'smartseg.model')), 'no model file after saving');
  check(fs.existsSync(path.join(folder, 'scene1.json')), 'no LabelMe file after saving');

  // The page polls the server; it leaves first, so that the restart costs it no failed request.
  await page.goto('about:blank');
  await stopServer(server.child);
  server = null;
  server = await startServer();
  await open(page);
  const restored = await page.evaluate(() => ({
    labels: window.smartseg.state.labels.map((l) => l.name),
    dirty: window.smartseg.state.dirty,
    shapes: window.smartseg.shapes.map((s) => `${s.label}:${s.type}:${s.points.length}`),
  }));
  console.log(`after the restart: ${JSON.stringify(restored)}`);
  check(JSON.stringify(restored.labels) === '["stripes","other"]', 'the labels did not come back');
  check(restored.dirty === false, 'the trained model did not come back (it needs training)');
  check(restored.shapes.length === 2 && restored.shapes[0] === 'stripes:polygon:16' &&
        restored.shapes[1].startsWith('other:linestrip:'), 'the shapes did not come back');
  await checkOverlay(page, 'after the restart');
  await page.close();
} catch (error) {
  problems.push(error.stack || String(error));
} finally {
  if (browser) await browser.close();
  if (server) {
    try {
      await stopServer(server.child);
    } catch (error) {
      problems.push(String(error));
    }
  }
  fs.rmSync(userData, { recursive: true, force: true });
}
if (problems.length) {
  for (const problem of problems) console.error(`FAILED: ${problem}`);
  exitCode = 1;
} else {
  console.log('PASSED');
}
process.exit(exitCode);

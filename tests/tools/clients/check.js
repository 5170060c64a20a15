// Reads quillet's output with independent clients and prints what they saw
// as JSON on stdout, for the tests to compare with the report:
//   node check.js html FILE.html [SCREENSHOT.png]  headless Chromium
//   node check.js pprof FILE.pb.gz                 the pprof-format decoder
//   node check.js speedscope FILE.json             speedscope's file schema
//   node check.js pprof-http FILE.pb.gz FUNCTION   pages of `go tool pprof -http`
//   node check.js kcachegrind FILE.callgrind       KCachegrind's loader, offscreen
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const http = require('http');
const net = require('net');
const os = require('os');
const path = require('path');
const zlib = require('zlib');

function need(name) {
  try {
    return require(name);
  } catch (e) {
    console.error(`check.js: the npm package ${name} is missing: run scripts/setup (npm ci in tests/tools/clients)`);
    process.exit(3);
  }
}

const kChromium = '/usr/bin/chromium';

async function html(file, screenshot) {
  const { chromium } = need('playwright-core');
  if (!fs.existsSync(kChromium)) {
    console.error(`check.js: ${kChromium} is missing: run scripts/setup (apt-get install chromium)`);
    process.exit(3);
  }
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quillet-chromium-'));
  // A fresh profile folder each time (Playwright passes it as --user-data-dir).
  const browser = await chromium.launchPersistentContext(profile, {
    executablePath: kChromium,
    headless: true,
    viewport: { width: 1280, height: 900 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const seen = { errors: [], requests: [] };
  try {
    const page = browser.pages()[0] || await browser.newPage();
    page.on('console', m => { if (m.type() === 'error') seen.errors.push(m.text()); });
    page.on('pageerror', e => seen.errors.push(String(e)));
    page.on('request', r => { if (!r.url().startsWith('file:')) seen.requests.push(r.url()); });
    const started = Date.now();
    await page.goto('file://' + path.resolve(file));
    await page.waitForFunction(() => window.quilletReady === true, null, { timeout: 20000 });
    seen.loadMs = Date.now() - started;
    if (screenshot) await page.screenshot({ path: screenshot, fullPage: true });
    const texts = sel => page.$$eval(sel, es => es.map(e => e.textContent));

    seen.summary = await texts('#summary div');
    seen.procedureOrder = await texts('#procedures tr.row td:first-child');
    // Sort by calls: the header is clicked twice, largest first, then smallest.
    await page.click('#procedures th[data-key="calls"]');
    seen.byCallsDown = await texts('#procedures tr.row td:nth-child(3)');
    await page.click('#procedures th[data-key="calls"]');
    seen.byCallsUp = await texts('#procedures tr.row td:nth-child(3)');

    // Open the first root of the call tree.
    seen.treeRoots = await texts('#tree > .node > div > .label');
    await page.click('#tree > .node > div > .toggle');
    seen.treeChildren = await texts('#tree > .node > .children > .node > div > .label');
    seen.selected = await page.textContent('#selected-name');
    seen.callers = await texts('#callers tr.row td:first-child');
    seen.callees = await texts('#callees tr.row td:first-child');
    const cells = sel => page.$$eval(sel, rows => rows.map(r => [...r.children].map(c => c.textContent)));
    // Each procedure's inclusive time per call (the sixth column), by name.
    seen.perCall = Object.fromEntries((await cells('#procedures tr.row')).map(r => [r[0], r[5]]));
    seen.callerRows = await cells('#callers tr.row');
    seen.calleeRows = await cells('#callees tr.row');
    seen.source = await page.$$eval('#source tr[data-line]', rows => rows.map(r => ({
      line: +r.dataset.line, hits: r.children[1].textContent, text: r.children[4].textContent,
      heated: r.style.background !== '' })));

    // Zoom the flame graph into a frame of the second level.
    const frames = await page.$$eval('#flame .frame', es => es.map(e => ({
      node: +e.dataset.node, name: e.textContent, width: parseFloat(e.style.width), top: parseFloat(e.style.top) })));
    seen.flameFrames = frames.length;
    const target = frames.filter(f => f.top > 0 && f.width >= 8).sort((a, b) => a.width - b.width)[0];
    if (target) {
      await page.click(`#flame .frame[data-node="${target.node}"]`);
      const zoomed = await page.$eval(`#flame .frame[data-node="${target.node}"]`, e => parseFloat(e.style.width));
      seen.zoom = { name: target.name, widthBefore: target.width, widthAfter: zoomed,
                    flameWidth: await page.$eval('#flame', e => e.clientWidth),
                    selected: await page.textContent('#selected-name') };
      await page.click('#reset-zoom');
    }
    await page.fill('#search', seen.treeChildren[0] || 'x');
    seen.search = { matches: await texts('#flame .frame.match'), result: await page.textContent('#search-result') };
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  return seen;
}

function pprof(file) {
  const { Profile } = need('pprof-format');
  const profile = Profile.decode(zlib.gunzipSync(fs.readFileSync(file)));
  const str = i => profile.stringTable.strings[Number(i)];
  const functions = new Map(profile.function.map(f => [Number(f.id), f]));
  const locations = new Map(profile.location.map(l => [Number(l.id), l]));
  const nameOf = id => str(functions.get(Number(locations.get(Number(id)).line[0].functionId)).name);
  const out = { sampleTypes: profile.sampleType.map(t => `${str(t.type)}/${str(t.unit)}`),
                defaultSampleType: str(profile.defaultSampleType), stacks: {}, lines: [] };
  out.totals = out.sampleTypes.map(() => 0);
  for (const s of profile.sample) {
    s.value.forEach((v, i) => { out.totals[i] += Number(v); });
    const kind = s.label.filter(l => str(l.key) === 'kind').map(l => str(l.str))[0];
    if (kind === 'line') {
      const leaf = locations.get(Number(s.locationId[0])).line[0];
      out.lines.push({ procedure: nameOf(s.locationId[0]), line: Number(leaf.line), hits: Number(s.value[0]),
                       time: Number(s.value[1]), hitsValue: Number(s.value[2]) });
    } else {
      const stack = s.locationId.map(nameOf).reverse().join(';');
      out.stacks[stack] = s.value.map(Number);
    }
  }
  return out;
}

function speedscope(file) {
  const Ajv = need('ajv');
  const schema = require(require.resolve('speedscope/dist/release/file-format-schema.json'));
  const ajv = new Ajv({ allErrors: true, strict: false });
  const validate = ajv.compile(schema);
  const valid = validate(JSON.parse(fs.readFileSync(file, 'utf8')));
  return { valid, errors: validate.errors || [] };
}

// Starts `command` in a process group of its own; `stop()` ends that group.
function start(command, args, env) {
  const child = spawn(command, args, { env: { ...process.env, ...env }, detached: true,
                                       stdio: ['ignore', 'pipe', 'pipe'] });
  const run = { output: '', exited: null };
  child.stdout.on('data', d => { run.output += d; });
  child.stderr.on('data', d => { run.output += d; });
  child.on('error', e => { run.output += String(e); run.exited = -1; });
  child.on('exit', (code, signal) => { run.exited = code === null ? signal : code; });
  run.stop = () => { if (run.exited === null) { try { process.kill(-child.pid, 'SIGKILL'); } catch (e) { } } };
  return run;
}

const sleep = ms => new Promise(r => setTimeout(r, ms));

function fetch(url) {
  return new Promise((resolve, reject) => {
    http.get(url, res => {
      let body = '';
      res.setEncoding('utf8');
      res.on('data', d => { body += d; });
      res.on('end', () => resolve({ status: res.statusCode, body }));
    }).on('error', reject);
  });
}

// The web interface of Go's pprof tool on a free local port, without a
// browser; the pages it serves for the profile and one function.
// A local port nothing listens on: the system's choice for a server that is
// closed again. (pprof takes the port literally: 0 would be served as 0.)
function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

async function pprofHttp(file, fn) {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'quillet-pprof-'));
  const port = await freePort();
  const run = start('go', ['tool', 'pprof', `-http=127.0.0.1:${port}`, '-no_browser', file],
                    { HOME: home, GOTOOLCHAIN: 'local', GOPROXY: 'off' });
  const seen = { pages: {} };
  try {
    let url = null;
    for (let waited = 0; !url && run.exited === null && waited < 60000; waited += 100) {
      const m = /Serving web UI on (http:\/\/\S+)/.exec(run.output);
      if (m) url = m[1].replace(/\/$/, ''); else await sleep(100);
    }
    if (!url) throw new Error('go tool pprof -http did not serve: ' + run.output);
    // The line is printed as the server starts: wait until it answers.
    for (let waited = 0; ; waited += 100) {
      try { await fetch(url + '/ui/top'); break; } catch (e) { if (waited > 30000) throw e; await sleep(100); }
    }
    const unquote = t => t.replace(/&#34;|&quot;/g, '"').replace(/&lt;/g, '<').replace(/&gt;/g, '>')
                          .replace(/&#39;/g, "'").replace(/&amp;/g, '&');
    for (const [name, page] of [['graph', '/ui/'], ['top', '/ui/top'], ['flamegraph', '/ui/flamegraph'],
                                ['source', '/ui/source?f=' + encodeURIComponent(fn)]]) {
      const r = await fetch(url + page);
      seen.pages[name] = { status: r.status, text: unquote(r.body.replace(/<[^>]*>/g, ' ')).replace(/\s+/g, ' ') };
    }
    seen.log = run.output;
  } finally {
    run.stop();
    fs.rmSync(home, { recursive: true, force: true });
  }
  return seen;
}

// KCachegrind opened on the file with Qt's offscreen platform and a session
// bus of its own: what its loader said on stderr ("Loading FILE : LINE : ...")
// and whether it was still running, the file loaded, after `seconds`.
async function kcachegrind(file, seconds) {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'quillet-kcachegrind-'));
  const runtime = path.join(home, 'runtime');
  fs.mkdirSync(runtime, { mode: 0o700 });
  const run = start('dbus-run-session', ['--', 'kcachegrind', path.resolve(file)],
                    { QT_QPA_PLATFORM: 'offscreen', HOME: home, XDG_RUNTIME_DIR: runtime });
  try {
    await sleep(1000 * Number(seconds || 5));
    return { running: run.exited === null, exited: run.exited,
             loaderMessages: run.output.split('\n').filter(l => l.startsWith('Loading ')), log: run.output };
  } finally {
    run.stop();
    fs.rmSync(home, { recursive: true, force: true });
  }
}

(async () => {
  const [kind, file, extra] = process.argv.slice(2);
  const checks = { html: () => html(file, extra), pprof: () => pprof(file), speedscope: () => speedscope(file),
                   'pprof-http': () => pprofHttp(file, extra), kcachegrind: () => kcachegrind(file, extra) };
  if (!checks[kind] || !file) {
    console.error('usage: node check.js html|pprof|speedscope|pprof-http|kcachegrind FILE [EXTRA]');
    process.exit(2);
  }
  process.stdout.write(JSON.stringify(await checks[kind]()) + '\n');
})().catch(e => { console.error('check.js: ' + (e.stack || e)); process.exit(1); });

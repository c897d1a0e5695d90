// A real browser against the web server: logging in through the form (with a password the form
// has to encode too), the viewer asking for a new picture about twice a second and showing it,
// the session-id link, and the popup window.
// Each case gets a server of its own, since every page here comes from the same address.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import net from 'node:net';
import { chromium } from 'playwright-core';

const serverPath = process.env.LUMORA_TEST_SERVER;
const picturePath = process.env.LUMORA_TEST_PICTURE;
const username = 'viewer';
const password = 'secret';
const sessionId = '5f0c1e2d3b4a69788796a5b4c3d2e1f00f1e2d3c';

// The flags that keep Chromium from reaching out to a network this machine does not have.
const chromiumFlags = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

let browser;

function portIsFree(port) {
  return new Promise((resolve) => {
    const probe = net.createServer();
    probe.once('error', () => resolve(false));
    probe.listen(port, '0.0.0.0', () => probe.close(() => resolve(true)));
  });
}

// Starts a server on a free port below 32768; resolves with its port and a stop function.
async function startServer(login) {
  for (let attempt = 0; attempt < 20; attempt++) {
    const port = 20000 + Math.floor(Math.random() * 12000);
    if (!(await portIsFree(port))) continue;
    const child = spawn(serverPath, [String(port), picturePath, login.username, login.password, sessionId, '300'],
      { stdio: ['ignore', 'pipe', 'inherit'] });
    const exited = new Promise((resolve) => child.once('exit', resolve));
    const firstLine = await Promise.race([
      new Promise((resolve) => child.stdout.once('data', (d) => resolve(String(d).trim()))),
      exited.then(() => 'exited'),
      new Promise((resolve) => setTimeout(() => resolve('timeout'), 5000)),
    ]);
    const stop = async () => {
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
      const ended = await Promise.race([exited.then(() => true),
        new Promise((resolve) => setTimeout(() => resolve(false), 5000))]);
      if (!ended) child.kill('SIGKILL');
    };
    if (firstLine === 'ready') return { port, stop };
    await stop();
  }
  throw new Error('no free port for the server');
}

async function withServer(body, login = { username, password }) {
  const server = await startServer(login);
  const context = await browser.newContext();
  try {
    await body(`http://127.0.0.1:${server.port}/`, context);
  } finally {
    await context.close();
    await server.stop();
  }
}

// The picture as shown, read in the same moment as it is found loaded: it reloads twice a
// second, so a second look could meet the next one still on its way. Read as it is when no
// loaded one comes within 10 s.
async function pictureShown(page) {
  const read = () => {
    const img = document.images.myImageName;
    const shown = { complete: img.complete, naturalWidth: img.naturalWidth, naturalHeight: img.naturalHeight,
      width: img.width, height: img.height };
    return shown.complete && shown.naturalWidth > 0 ? shown : null;
  };
  const loaded = await page.waitForFunction(read, null, { timeout: 10000 }).catch(() => null);
  if (loaded) return loaded.jsonValue();
  return page.$eval('img[name=myImageName]', (img) => ({
    complete: img.complete, naturalWidth: img.naturalWidth, naturalHeight: img.naturalHeight,
    width: img.width, height: img.height,
  }));
}

before(async () => {
  browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: chromiumFlags });
});

after(async () => {
  await browser?.close();
});

test('the login form lets the viewer in and the picture reloads about twice a second', async () => {
  await withServer(async (base, context) => {
    const page = await context.newPage();
    const pictureAnswers = [];
    page.on('response', (response) => {
      const url = new URL(response.url());
      if (/^\/webcam\.jpg\?\d+$/.test(url.pathname + url.search)) {
        pictureAnswers.push({ at: Date.now(), stamp: Number(url.search.slice(1)),
          status: response.status(), type: response.headers()['content-type'] });
      }
    });

    await page.goto(base);
    assert.equal(await page.title(), 'Lumora - Login');
    await page.fill('input[name=username]', username);
    await page.fill('input[name=password]', 'wrong');
    await Promise.all([page.waitForURL(/login\.html\?/), page.click('input[name=Login]')]);
    assert.equal(await page.title(), 'Lumora - Authorization failed');

    await page.goto(base);
    await page.fill('input[name=username]', username);
    await page.fill('input[name=password]', password);
    await Promise.all([page.waitForURL(/login\.html\?/), page.click('input[name=Login]')]);
    assert.ok(page.url().endsWith(`/login.html?username=${username}&password=${password}&Login=Login`), page.url());
    assert.equal(await page.title(), 'Lumora');

    const watchFrom = Date.now();
    await page.waitForTimeout(3000);
    const seen = pictureAnswers.filter((answer) => answer.at >= watchFrom);
    // Every 500 ms plus the time each request takes: about six in three seconds.
    assert.ok(seen.length >= 4 && seen.length <= 7, `${seen.length} picture requests in 3 s`);
    for (const answer of seen) {
      assert.equal(answer.status, 200);
      assert.equal(answer.type, 'image/jpeg');
      assert.ok(Math.abs(answer.stamp - answer.at) < 5000, 'the query is the time in milliseconds');
    }
    for (let i = 1; i < seen.length; i++) {
      const gap = seen[i].at - seen[i - 1].at;
      assert.ok(gap >= 300 && gap <= 1200, `${gap} ms between two pictures`);
    }
    assert.deepEqual(await pictureShown(page),
      { complete: true, naturalWidth: 320, naturalHeight: 240, width: 400, height: 300 });
  });
});

test('the session-id link lets the viewer in without a password; a wrong id does not', async () => {
  await withServer(async (base, context) => {
    const page = await context.newPage();
    await page.goto(`${base}index.html?id=${sessionId.toUpperCase()}`);
    assert.equal(await page.title(), 'Lumora - Login');
    await page.goto(`${base}webcam.html`);
    assert.equal(await page.title(), 'Lumora - Error 404');

    await page.goto(`${base}index.html?id=${sessionId}`);
    assert.equal(await page.title(), 'Lumora');
    assert.deepEqual(await pictureShown(page),
      { complete: true, naturalWidth: 320, naturalHeight: 240, width: 400, height: 300 });
    // Logged in now: the plain address shows the viewer too.
    await page.goto(base);
    assert.equal(await page.title(), 'Lumora');
  });
});

test('the popup link opens the popup viewer, whose link closes it', async () => {
  await withServer(async (base, context) => {
    const page = await context.newPage();
    await page.goto(`${base}index.html?id=${sessionId}`);
    const [popup] = await Promise.all([page.waitForEvent('popup'), page.click('text=Popup-Window')]);
    await popup.waitForLoadState();
    assert.ok(popup.url().endsWith('/popup.html'), popup.url());
    assert.equal(await popup.title(), 'Lumora');
    // The opener stays on the viewer: the link's own navigation is cancelled.
    assert.ok(page.url().endsWith(`/index.html?id=${sessionId}`), page.url());
    assert.deepEqual(await pictureShown(popup),
      { complete: true, naturalWidth: 320, naturalHeight: 240, width: 400, height: 300 });
    await Promise.all([popup.waitForEvent('close'), popup.click('text=Close')]);
    assert.ok(popup.isClosed());
  });
});

test('a user name and password with a blank, "!" and "ä" log in through the form', async () => {
  const login = { username: 'web cam', password: 'Kätzchen 1!' };
  await withServer(async (base, context) => {
    const page = await context.newPage();
    await page.goto(base);
    await page.fill('input[name=username]', login.username);
    await page.fill('input[name=password]', login.password);
    await Promise.all([page.waitForURL(/login\.html\?/), page.click('input[name=Login]')]);
    // What the browser really sent: the form's encoding, which the server has to undo.
    assert.ok(page.url().endsWith('/login.html?username=web+cam&password=K%C3%A4tzchen+1%21&Login=Login'),
      page.url());
    assert.equal(await page.title(), 'Lumora');
    assert.deepEqual(await pictureShown(page),
      { complete: true, naturalWidth: 320, naturalHeight: 240, width: 400, height: 300 });
  }, login);
});

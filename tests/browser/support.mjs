// What the browser test needs around the browser: a private Xvfb display, a
// person at it (xdotool), a static HTTP server on a loopback address, and
// commands with deadlines. Every wait is bounded; everything started here
// is stopped by stopAll().
import { execFile, spawn } from 'node:child_process';
import { createReadStream, readFileSync, statSync } from 'node:fs';
import http from 'node:http';
import https from 'node:https';
import path from 'node:path';

const stoppers = [];

export async function stopAll() {
  while (stoppers.length > 0) {
    try {
      await stoppers.pop()();
    } catch {
      // already gone
    }
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Runs a program to its end within timeoutMs; resolves with its standard
// output, rejects with its standard error on a failure or a timeout.
export function run(program, args, { env = process.env, input, timeoutMs = 30000 } = {}) {
  return new Promise((resolve, reject) => {
    const child = execFile(program, args, { env, timeout: timeoutMs, killSignal: 'SIGKILL' }, (error, stdout, stderr) => {
      if (error) reject(new Error(`${program} ${args.join(' ')}: ${error.message}\n${stdout}${stderr}`));
      else resolve(stdout);
    });
    if (input !== undefined) child.stdin.end(input);
  });
}

// Xvfb on a display number it picks itself, without TCP; resolves with the
// DISPLAY value once it accepts clients.
export function startXvfb({ timeoutMs = 15000 } = {}) {
  return new Promise((resolve, reject) => {
    // -noreset keeps it from resetting between xdotool's short connections.
    const xvfb = spawn('Xvfb', ['-displayfd', '3', '-nolisten', 'tcp', '-noreset', '-screen', '0', '1280x1024x24'], {
      stdio: ['ignore', 'ignore', 'ignore', 'pipe'],
    });
    stoppers.push(() => xvfb.kill('SIGKILL'));
    const timer = setTimeout(() => reject(new Error('Xvfb did not start')), timeoutMs);
    let text = '';
    xvfb.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) {
        clearTimeout(timer);
        resolve(`:${text.trim()}`);
      }
    });
    xvfb.on('exit', () => reject(new Error('Xvfb ended')));
  });
}

// The demo's verify server (browser/demo/verify_server.py) with the given
// options; resolves with its URL once it listens on 127.0.0.1.
export function startVerifyServer(source, args, { env = process.env, timeoutMs = 15000 } = {}) {
  return new Promise((resolve, reject) => {
    const server = spawn('/usr/bin/python3', [path.join(source, 'browser/demo/verify_server.py'), ...args], {
      env: { ...env, PYTHONDONTWRITEBYTECODE: '1' },
      stdio: ['ignore', 'pipe', 'inherit'],
    });
    stoppers.push(() => server.kill('SIGKILL'));
    const timer = setTimeout(() => reject(new Error('the verify server did not start')), timeoutMs);
    let text = '';
    server.stdout.on('data', (chunk) => {
      text += chunk;
      const listening = text.match(/^listening on (\S+)\n/);
      if (listening) {
        clearTimeout(timer);
        resolve(listening[1]);
      }
    });
    server.on('exit', () => reject(new Error('the verify server ended')));
  });
}

// A person at the display.
export class Desktop {
  constructor(display) {
    this.env = { ...process.env, DISPLAY: display };
  }

  async windows(title) {
    try {
      const out = await run('xdotool', ['search', '--onlyvisible', '--name', title], { env: this.env, timeoutMs: 5000 });
      return out.split('\n').filter(Boolean);
    } catch {
      return []; // xdotool search exits 1 when nothing matches
    }
  }

  // The id of a visible window whose title matches, once one appears.
  async waitForWindow(title, timeoutMs = 30000) {
    const end = Date.now() + timeoutMs;
    while (Date.now() < end) {
      const found = await this.windows(title);
      if (found.length > 0) return found[found.length - 1];
      await sleep(150);
    }
    throw new Error(`no window "${title}" within ${timeoutMs} ms`);
  }

  async title(window) {
    return (await run('xdotool', ['getwindowname', window], { env: this.env, timeoutMs: 5000 })).trim();
  }

  async type(window, text) {
    await run('xdotool', ['windowfocus', '--sync', window], { env: this.env, timeoutMs: 5000 });
    await run('xdotool', ['type', '--delay', '30', text], { env: this.env, timeoutMs: 20000 });
  }

  async press(window, key) {
    await run('xdotool', ['windowfocus', '--sync', window], { env: this.env, timeoutMs: 5000 });
    await run('xdotool', ['key', key], { env: this.env, timeoutMs: 5000 });
  }
}

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.json': 'application/json' };

// Serves files on http://host:<free port>; resolves with the origin. routes
// maps URL prefixes to folders, longest first ({'/pages/': dir, '/': dir}).
// Every answer may be read from any origin (a sandboxed page loads its
// modules from an opaque origin); "?csp-sandbox" serves a page sandboxed by
// its Content-Security-Policy.
export function serve(routes, host, tls = undefined) {
  const prefixes = Object.keys(routes).sort((a, b) => b.length - a.length);
  const handle = (request, response) => {
    const url = new URL(request.url, 'http://x');
    const prefix = prefixes.find((p) => url.pathname.startsWith(p));
    let file;
    let stat = null;
    try {
      const root = path.resolve(routes[prefix]);
      file = path.join(root, path.normalize(decodeURIComponent(url.pathname.slice(prefix.length))));
      if (file.startsWith(root + path.sep)) stat = statSync(file);
    } catch {
      stat = null; // no such route or file, or a malformed path
    }
    if (!stat?.isFile()) {
      response.writeHead(404).end();
      return;
    }
    const headers = {
      'content-type': TYPES[path.extname(file)] ?? 'application/octet-stream',
      'access-control-allow-origin': '*',
    };
    if (url.searchParams.has('csp-sandbox')) headers['content-security-policy'] = 'sandbox allow-scripts';
    response.writeHead(200, headers);
    createReadStream(file).pipe(response);
  };
  // With tls ({ key, cert }: see testCertificate) the pages are served over https.
  const server = tls ? https.createServer(tls, handle) : http.createServer(handle);
  stoppers.push(() => new Promise((resolve) => server.close(resolve)));
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, host, () => resolve(`${tls ? 'https' : 'http'}://${host}:${server.address().port}`));
  });
}

// A self-signed certificate for `host` (an IP address), made with OpenSSL in
// `dir`, for serve(); the browser is told to accept it.
export async function testCertificate(dir, host) {
  const key = path.join(dir, 'key.pem');
  const cert = path.join(dir, 'cert.pem');
  await run('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '1', '-keyout', key, '-out', cert,
    '-subj', `/CN=${host}`, '-addext', `subjectAltName=IP:${host}`]);
  return { key: readFileSync(key), cert: readFileSync(cert) };
}

export function onStop(stop) {
  stoppers.push(stop);
}

export function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

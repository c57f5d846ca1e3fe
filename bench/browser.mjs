// What the benchmarks that drive the real program in headless Chromium
// share (click_latency.mjs, deal_frame.mjs, journal_browse.mjs): the program
// started on a data folder, with its address once it listens; Chromium
// started as the tests start it; and the program's memory as the kernel
// counts it.
import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const require = createRequire(join(here, '..', 'tests', 'e2e', 'package.json'));
const { chromium } = require('playwright-core');

// Resolves with the child and its page's address.
export function startProgram(program, folder) {
  const child = spawn(resolve(program), ['--no-browser', '--seed', '1', '-C', resolve(folder)], {
    stdio: ['ignore', 'pipe', 'ignore'],
  });
  return new Promise((resolveUrl, reject) => {
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const match = out.match(/^(http:\/\/127\.0\.0\.1:\d+\/\S*)$/m);
      if (match) resolveUrl({ child, url: match[1] });
    });
    child.on('exit', (code) => reject(new Error(`the program ended with ${code}`)));
  });
}

export function launchChromium() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM_PATH || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
}

// A field of /proc/PID/status in kB: VmRSS now, VmHWM the peak so far.
export function memoryKb(pid, field = 'VmRSS') {
  const status = readFileSync(`/proc/${pid}/status`, 'utf8');
  return Number(status.match(new RegExp(`^${field}:\\s+(\\d+)`, 'm'))[1]);
}

// Serves a folder with python3 -m http.server and drives Debian's Chromium through
// playwright-core (no browser of its own), headless, in a fresh profile.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

export const chromiumPath = process.env.VARNEL_CHROMIUM || '/usr/bin/chromium';

const flags = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--autoplay-policy=no-user-gesture-required'];

// Starts the server on a free port; resolves to {url, stop()}.
export function serve(folder) {
  return new Promise((resolve, reject) => {
    const server = spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '--directory', folder, '0'],
      { stdio: ['ignore', 'pipe', 'pipe'] });
    let seen = '';
    server.stdout.on('data', (chunk) => {
      seen += chunk;
      const port = /port (\d+)/.exec(seen);
      if (port) resolve({ url: `http://127.0.0.1:${port[1]}/`, stop: () => server.kill() });
    });
    server.on('exit', (code) => reject(new Error(`http.server ended (${code}) before serving: ${seen}`)));
  });
}

// Opens the browser with downloads allowed, and Chromium's flags beside the usual ones; resolves
// to {context, page, close()}.
export async function openBrowser(extraFlags = []) {
  const profile = mkdtempSync(join(tmpdir(), 'varnel-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath, headless: true, args: [...flags, ...extraFlags], acceptDownloads: true,
    viewport: { width: 1280, height: 900 },
  });
  const page = context.pages()[0] ?? await context.newPage();
  return {
    context, page,
    close: async () => {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}
